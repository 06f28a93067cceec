// Replays a long call journal into the client core from a local server and
// measures how long it takes until every line is a row, and how long the
// event loop was blocked at most meanwhile. Prints name=value lines.
#include "callclient.h"
#include "desktop.h"
#include "iconlist.h"
#include "ini.h"
#include "reporter.h"
#include "windowstacking.h"

#ifdef VORSA_BENCH_WINDOW
#include "frmpeera.h"
#include <QApplication>
#include <QStandardPaths>
#include <QTreeView>
#endif
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <ctime>

using namespace vorsa;

namespace {

QByteArray journal(int lines)
{
    QByteArray out;
    out.reserve(qsizetype(lines) * 140);
    for (int i = 0; i < lines; ++i) {
        const int minute = i % 1440;
        out += "Icon=" + QByteArray::number(1 + i % 3) +
               ";Datum=" + QByteArray::number(10 + i % 18) + ".11.2026 " +
               QByteArray::number(100 + minute / 60).mid(1) + ":" +
               QByteArray::number(100 + minute % 60).mid(1) + ":05;Anrufer=0815 " +
               QByteArray::number(100000 + i) + ";Versuche=" + QByteArray::number(i % 4) +
               ";KdName=Kunde Nummer " + QByteArray::number(i) +
               ";KdStrasse=Hauptstra\xdf"
               "e " +
               QByteArray::number(i % 200) + ";KdOrt=M\xfcnchen\r";
    }
    return out;
}

// The server side runs in its own thread, so that only the client's work is measured.
class ReplayServer : public QObject {
public:
    explicit ReplayServer(QByteArray replay) : m_replay(std::move(replay)) {}
    quint16 start()
    {
        m_server = new QTcpServer(this);
        m_server->listen(QHostAddress::LocalHost);
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* s = m_server->nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, s, [this, s] {
                const QByteArray request = s->readAll();
                if (request.startsWith("*D*:"))
                    s->write(m_replay);
            });
        });
        return m_server->serverPort();
    }

private:
    QByteArray m_replay;
    QTcpServer* m_server = nullptr;
};

qint64 threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

const char* g_prefix = "";

void print(const char* name, double value, const char* format = "%.1f")
{
    std::printf("%s%s=", g_prefix, name);
    std::printf(format, value);
    std::printf("\n");
}

} // namespace

int main(int argc, char* argv[])
{
    // As VorsaCl does: the local time zone is read once, not at every date.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
#ifdef VORSA_BENCH_WINDOW
    // The same replay into the real window, its list view attached.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(
        true); // the window's placement stays out of the user's settings
    const char* prefix = "client_window_replay_";
#else
    QCoreApplication app(argc, argv);
    const char* prefix = "client_replay_";
#endif
    const QStringList args = app.arguments();
    const int lines = args.size() > 1 ? args[1].toInt() : 100000;
    const int slice = args.size() > 2 ? args[2].toInt() : CallClient::DefaultSliceLines;

    QThread serverThread;
    auto* server = new ReplayServer(journal(lines));
    server->moveToThread(&serverThread);
    serverThread.start();
    quint16 port = 0;
    QMetaObject::invokeMethod(
        server, [&] { port = server->start(); }, Qt::BlockingQueuedConnection);

    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("VorsaCl.INI"));
    IniSchreiben("Settings", "RemoteHost", ini, "127.0.0.1");
    IniSchreiben("Settings", "RemotePort", ini, QString::number(port));
    IniSchreiben("Settings", "TopmostByCall", ini, "1");
    const char* extra[] = {"KdName", "KdStrasse", "KdOrt"};
    IniSchreiben("Feld1", "FieldName", ini, "Datum");
    IniSchreiben("Feld1", "ColumnFormat", ini, "hh:mm  dd.mm.yy");
    IniSchreiben("Feld2", "FieldName", ini, "Anrufer");
    for (int i = 0; i < 3; ++i)
        IniSchreiben(QStringLiteral("Feld%1").arg(i + 3), "FieldName", ini, extra[i]);

#ifdef VORSA_BENCH_WINDOW
    frmPeerA form(dir.path());
    CallClient& client = form.core();
#else
    LogReporter reporter;
    RecordingDesktop desktop;
    RecordingWindowStacking window;
    FileIconList icons;
    CallClient client(dir.path(), reporter, desktop, window, icons);
#endif
    client.setSliceLines(slice);
    int alerts = 0;
    QObject::connect(&client, &CallClient::arrivalHandled, [&] { ++alerts; });

    QElapsedTimer clock;
    qint64 requestAt = -1, doneAt = -1, lastTick = 0, longestBlock = 0;
    qint64 cpuAtRequest = 0, cpuDone = 0, lastCpu = 0, longestCpuBlock = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        longestBlock = qMax(longestBlock, now - lastTick);
        longestCpuBlock = qMax(longestCpuBlock, cpu - lastCpu);
        lastTick = now;
        lastCpu = cpu;
    });
    auto finish = [&] {
        if (doneAt < 0 && requestAt >= 0 && client.model().rowCount() == lines &&
            client.pendingLines() == 0) {
            doneAt = clock.nsecsElapsed();
            cpuDone = threadCpuNs();
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
        }
    };
    QObject::connect(&client, &CallClient::arrivalHandled, finish);
    QObject::connect(&client, &CallClient::connected, [&] {
        // The announcement is out of the way and the window painted.
        QTimer::singleShot(500, [&] {
            clock.start();
            lastTick = 0;
            cpuAtRequest = lastCpu = threadCpuNs();
            ticker.start();
            requestAt = clock.nsecsElapsed();
            client.mnuAlles_Click();
        });
    });
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
#ifdef VORSA_BENCH_WINDOW
    form.load();
    form.show();
#else
    client.Form_Load();
#endif
    app.exec();
    ticker.stop();

    const double total = doneAt < 0 ? -1 : double(doneAt - requestAt) / 1e6;
    g_prefix = prefix;
    print("lines", lines, "%.0f");
    print("slice_lines", slice, "%.0f");
    print("total_ms", total);
    print("longest_block_ms", double(longestBlock) / 1e6);
    // The same two on the client thread's own CPU clock: what the client did,
    // without the time the machine gave to other processes.
    print("cpu_ms", doneAt < 0 ? -1 : double(cpuDone - cpuAtRequest) / 1e6);
    print("longest_block_cpu_ms", double(longestCpuBlock) / 1e6);
    print("rows", client.model().rowCount(), "%.0f");
    print("alerts", alerts, "%.0f");

    serverThread.quit();
    serverThread.wait();
    delete server;
    return doneAt < 0 ? 1 : 0;
}
