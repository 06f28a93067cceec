#pragma once

#include "callclient.h"
#include "desktop.h"
#include "iconlist.h"
#include "reporter.h"
#include "windowstacking.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace vorsa::test {

// A program folder with a client INI file and a client core on recording
// reporter, desktop and window.
struct ClientFixture {
    QTemporaryDir dir;
    RecordingReporter reporter;
    RecordingDesktop desktop;
    RecordingWindowStacking window;
    FileIconList icons;
    std::unique_ptr<CallClient> client;

    QString iniPath() const { return dir.filePath(QStringLiteral("VorsaCl.INI")); }

    void writeIni(const QByteArray& content)
    {
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray iniContent() const
    {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // n icon files icon1.bmp ... (readable, not empty) and their ICONS section.
    QByteArray iconSection(int n)
    {
        QByteArray section = "[ICONS]\r\n";
        for (int i = 1; i <= n; ++i) {
            const QString name = QStringLiteral("icon%1.bmp").arg(i);
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::WriteOnly))
                f.write("BM");
            section += "ICON" + QByteArray::number(i) + "=" + name.toLatin1() + "\r\n";
        }
        return section;
    }

    CallClient& make()
    {
        client = std::make_unique<CallClient>(dir.path(), reporter, desktop, window, icons);
        client->setLocalHostName(QStringLiteral("platz7"));
        return *client;
    }
    // Made and loaded.
    CallClient& load()
    {
        make().Form_Load();
        return *client;
    }
};

// A call server stand-in on loopback: accepts one client, records what it
// sends and sends bytes to it.
struct FakeServer {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    QByteArray received;

    FakeServer()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                peer = s;
                QObject::connect(s, &QTcpSocket::readyRead, s,
                                 [this, s] { received += s->readAll(); });
            }
        });
    }
    quint16 port() const { return server.serverPort(); }
    QByteArray portSettings() const
    {
        return "[Settings]\r\nRemoteHost=127.0.0.1\r\nRemotePort=" + QByteArray::number(port()) +
               "\r\n";
    }
    bool waitForPeer()
    {
        return QTest::qWaitFor([this] { return peer != nullptr; }, 5000);
    }
    bool waitForReceived(const QByteArray& data)
    {
        return QTest::qWaitFor([&] { return received.contains(data); }, 5000);
    }
    void send(const QByteArray& bytes)
    {
        peer->write(bytes);
        peer->flush();
    }
};

// Waits until the client has handled a data arrival to its end.
inline bool waitForArrival(CallClient& client, QSignalSpy& spy, int count = 1)
{
    return QTest::qWaitFor([&] { return spy.count() >= count; }, 5000);
}

} // namespace vorsa::test
