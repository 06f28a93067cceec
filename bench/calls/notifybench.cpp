// Time from a call injected through the simulated line of a running headless
// server until the last of 50 connected clients has its line. Prints
// name=value lines.

#include "benchdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

using namespace vorsa;

namespace {

void writeIni(const QString& path, const QStringList& lines)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (const QString& line : lines)
        file.write(line.toUtf8() + "\r\n");
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

int fail(const char* text)
{
    std::fprintf(stderr, "%s\n", text);
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    const int clientCount = 50;
    const int calls = 300;

    QTemporaryDir dir;
    const QStringList numbers = bench::createNumberIndex(dir.path(), rows, calls);
    const quint16 port = freePort();
    writeIni(dir.filePath(QStringLiteral("VorsaSrv.INI")),
             {"[Settings]",
              "Line=SIM",
              "EigeneVorwahl=0521",
              "SecCapiConnection=0",
              "LocalPort=" + QString::number(port),
              "[Table]",
              "SQL1.1=SELECT Name2 AS Name, Ort, TelefonNr AS Nr FROM TTelefonNr",
              "SQL1.2=WHERE TelefonNr LIKE '/*CallingNr*/'",
              "Name=TTelefonNr",
              "[Feld1]",
              "FieldName=Datum",
              "[Feld2]",
              "FieldName=Anrufer",
              "[Feld3]",
              "FieldName=Name",
              "[Feld4]",
              "FieldName=Ort",
              "[Feld5]",
              "FieldName=Nr",
              "[Feld6]",
              "FieldName=Versuche"});

    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QStringLiteral(VORSA_SERVER_BINARY),
                 {QStringLiteral("--headless"), QStringLiteral("--dir"), dir.path()});
    if (!server.waitForStarted())
        return fail("VorsaSrv startet nicht");
    const QString sim = dir.filePath(QStringLiteral("VorsaSrv.sim"));
    for (int i = 0; i < 200 && !QFile::exists(sim); ++i)
        QThread::msleep(50);

    std::vector<std::unique_ptr<QTcpSocket>> clients;
    std::vector<QByteArray> buffers(clientCount);
    int complete = 0;
    QEventLoop loop;
    for (int i = 0; i < clientCount; ++i) {
        auto client = std::make_unique<QTcpSocket>();
        client->connectToHost(QHostAddress::LocalHost, port);
        if (!client->waitForConnected(5000))
            return fail("Client bekommt keine Verbindung");
        client->write(QStringLiteral("HN:bench%1").arg(i).toLatin1());
        client->flush();
        QTcpSocket* raw = client.get();
        QObject::connect(raw, &QTcpSocket::readyRead, [&, raw, i] {
            const bool had = buffers[size_t(i)].contains('\r');
            buffers[size_t(i)] += raw->readAll();
            if (!had && buffers[size_t(i)].contains('\r') && ++complete == clientCount)
                loop.quit();
        });
        clients.push_back(std::move(client));
    }

    QLocalSocket line;
    line.connectToServer(sim);
    if (!line.waitForConnected(5000))
        return fail("Die simulierte Leitung antwortet nicht");
    {
        QEventLoop settle;
        QTimer::singleShot(500, &settle, &QEventLoop::quit);
        settle.exec();
    }

    QList<double> times;
    int lost = 0;
    for (int c = 0; c < calls && c < numbers.size(); ++c) {
        for (auto& b : buffers)
            b.clear();
        complete = 0;
        QElapsedTimer timer;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start();
        line.write("0521999;" + numbers.at(c).toLatin1() + "\n");
        line.flush();
        timeout.start(2000);
        loop.exec();
        const double us = double(timer.nsecsElapsed()) / 1000.0;
        if (complete == clientCount)
            times << us;
        else
            ++lost;
        QEventLoop pause;
        QTimer::singleShot(10, &pause, &QEventLoop::quit);
        pause.exec();
    }

    server.terminate();
    server.waitForFinished(10000);

    std::printf("notify_rows=%d\nnotify_clients=%d\nnotify_calls=%lld\nnotify_lost=%d\n", rows,
                clientCount, qlonglong(times.size()), lost);
    std::printf("notify_median_us=%.1f\n", bench::median(times));
    std::printf("notify_p99_us=%.1f\n", bench::percentile(times, 99.0));
    std::printf("notify_max_us=%.1f\n", bench::percentile(times, 100.0));
    return lost == 0 ? 0 : 1;
}
