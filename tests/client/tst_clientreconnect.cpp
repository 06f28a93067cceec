// The call client connects again by itself after the connection dropped or a
// connect failed, with a growing pause, and says so in the status line.
#include "clientfixture.h"
#include "ini.h"
#include "testfiles.h"

using namespace vorsa;
using namespace vorsa::test;

namespace {
QByteArray settingsFor(quint16 port, const QByteArray& more = {})
{
    return "[Settings]\r\nRemoteHost=127.0.0.1\r\nRemotePort=" + QByteArray::number(port) +
           "\r\nTopmost=0\r\nTopmostByCall=0\r\n" + more;
}
} // namespace

class ClientReconnectTest : public QObject {
    Q_OBJECT
private slots:
    void droppedConnectionIsMadeAgain()
    {
        FakeServer server;
        ClientFixture f;
        f.writeIni(settingsFor(server.port()));
        f.make().setReconnectUnitMs(100);
        QSignalSpy states(f.client.get(), &CallClient::connectionStateChanged);
        f.client->Form_Load();
        QVERIFY(server.waitForReceived("HN:platz7"));
        QTRY_COMPARE(f.client->connectionState(), QStringLiteral("verbunden"));
        QCOMPARE(IniLesen("Settings", "AutoReconnect", f.iniPath(), "<none>"), QString("1"));

        QTcpSocket* first = server.peer;
        server.received.clear();
        first->disconnectFromHost(); // the server restarts
        QVERIFY(QTest::qWaitFor(
            [&] {
                return f.client->connectionState().startsWith(
                    QStringLiteral("getrennt – neuer Versuch in "));
            },
            5000));
        QCOMPARE(f.client->connectionState(), QStringLiteral("getrennt – neuer Versuch in 1 s"));
        QVERIFY(server.waitForReceived("HN:platz7"));
        QVERIFY(server.peer != first);
        QTRY_COMPARE(f.client->connectionState(), QStringLiteral("verbunden"));
        QVERIFY(!f.client->menus().verbindenEnabled);
        QVERIFY(f.client->menus().aktualisierenEnabled);

        server.send("Icon=1;Anrufer=Nach dem Neustart\r");
        QTRY_COMPARE(f.client->model().rowCount(), 1);
        QVERIFY(f.reporter.entries.isEmpty()); // a drop and a reconnect are no errors
    }

    void failedConnectsAreTriedAgainWithGrowingPauses()
    {
        const quint16 port = freePort();
        ClientFixture f;
        f.writeIni(settingsFor(port));
        f.make().setReconnectUnitMs(20);
        QList<int> pauses;
        connect(f.client.get(), &CallClient::connectionStateChanged, this, [&](const QString& s) {
            if (s.startsWith(QStringLiteral("getrennt")))
                pauses << f.client->reconnectPauseMs();
        });
        f.client->Form_Load();
        QVERIFY(QTest::qWaitFor([&] { return pauses.size() >= 8; }, 10000));
        // 1, 2, 4, 8, 16 and at most 30 times the first pause.
        QCOMPARE(pauses.mid(0, 8), (QList<int>{20, 40, 80, 160, 320, 600, 600, 600}));
        // Only the connect at start is shown in a box; the later ones are not.
        QCOMPARE(f.reporter.procedures(), QStringList{"Verbinden Vorsamelder"});

        QTcpServer later;
        QVERIFY(later.listen(QHostAddress::LocalHost, port));
        QTRY_COMPARE_WITH_TIMEOUT(f.client->connectionState(), QStringLiteral("verbunden"), 5000);
        QCOMPARE(f.reporter.entries.size(), 1);
    }

    void verbindenTriesAtOnceWhileWaiting()
    {
        FakeServer server;
        ClientFixture f;
        f.writeIni(settingsFor(server.port()));
        f.make().setReconnectUnitMs(60000);
        f.client->Form_Load();
        QVERIFY(server.waitForReceived("HN:platz7"));
        server.received.clear();
        server.peer->disconnectFromHost();
        QTRY_COMPARE(f.client->connectionState(),
                     QStringLiteral("getrennt – neuer Versuch in 60 s"));
        f.client->mnuVerbinden_Click();
        QVERIFY(server.waitForReceived("HN:platz7"));
        QTRY_COMPARE(f.client->connectionState(), QStringLiteral("verbunden"));
        QCOMPARE(f.client->reconnectPauseMs(), 0);
    }

    void switchedOffItStaysClosed()
    {
        FakeServer server;
        int connections = 0;
        QObject::connect(&server.server, &QTcpServer::newConnection, [&] { ++connections; });
        ClientFixture f;
        f.writeIni(settingsFor(server.port(), "AutoReconnect=0\r\n"));
        f.make().setReconnectUnitMs(20);
        f.client->Form_Load();
        QVERIFY(server.waitForReceived("HN:platz7"));
        server.peer->disconnectFromHost();
        QTRY_COMPARE(f.client->connectionState(), QStringLiteral("getrennt"));
        QTest::qWait(200);
        QCOMPARE(connections, 1);
        QCOMPARE(IniLesen("Settings", "AutoReconnect", f.iniPath(), "<none>"), QString("0"));
    }
};

QTEST_GUILESS_MAIN(ClientReconnectTest)
#include "tst_clientreconnect.moc"
