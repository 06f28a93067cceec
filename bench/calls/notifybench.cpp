// From a call injected through the simulated line of a running headless
// server until the last of 50 connected clients has its line, with the
// server's CPU time per call and its resident memory over 10,000 calls.
// Prints name=value lines; with --compare, the same figures of another
// server program (the build before a change) and the ratios.
//
//     bench_calls_notify [ROWS] [--server PATH] [--compare PATH]
//                        [--calls 300] [--memory-calls 10000] [--clients 50]

#include "benchdata.h"
#include "serverprocess.h"
#include "testfiles.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

using namespace vorsa;

namespace {

// Resident memory of a process in kB, from /proc.
qint64 residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// CPU time of a process in ns as the kernel accounts it, all threads
// (schedstat: time on a CPU, in ns).
qint64 cpuNs(qint64 pid)
{
    qint64 sum = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (stat.open(QIODevice::ReadOnly))
            sum += stat.readAll().split(' ').first().toLongLong();
    }
    return sum;
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Figures {
    double medianUs = 0;
    double p99Us = 0;
    double maxUs = 0;
    int lost = 0;
    int measured = 0;
    double cpuPerCallUs = 0;
    double cpuPerCallBurstUs = 0;
    qint64 rssStartKb = 0;
    qint64 rssWarmKb = 0;
    qint64 rssAfterKb = 0;
    bool ok = false;
};

// The clients: each counts the lines it has received.
struct Clients {
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    std::vector<qint64> lines;
    qint64 wanted = 0; // every client must have this many lines
    int complete = 0;  // clients that have them
    QEventLoop* loop = nullptr;
};

Figures run(const QString& program, const QString& dir, const QStringList& numbers, int calls,
            int memoryCalls, int clientCount)
{
    Figures f;
    QFile::remove(QDir(dir).filePath(QStringLiteral("VorsaSvr.log")));
    const quint16 port = test::freePort();
    test::writeIni(QDir(dir).filePath(QStringLiteral("VorsaSrv.INI")),
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

    test::ServerProcess server(dir, program);
    // Its messages (a line per call) go nowhere, as they would to a journal.
    server.process().setStandardErrorFile(QProcess::nullDevice());
    if (const QString why = server.start(port, true, true); !why.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(why));
        return f;
    }
    wait(300);
    const qint64 pid = server.pid();
    f.rssStartKb = residentKb(pid);

    Clients clients;
    QEventLoop loop;
    clients.loop = &loop;
    clients.lines.assign(size_t(clientCount), 0);
    for (int i = 0; i < clientCount; ++i) {
        auto client = server.connectClient(QStringLiteral("bench%1").arg(i));
        if (!client) {
            std::fprintf(stderr, "Client bekommt keine Verbindung\n");
            return f;
        }
        QTcpSocket* raw = client.get();
        QObject::connect(raw, &QTcpSocket::readyRead, raw, [&clients, raw, i] {
            const qint64 had = clients.lines[size_t(i)];
            clients.lines[size_t(i)] += raw->readAll().count('\r');
            if (had < clients.wanted && clients.lines[size_t(i)] >= clients.wanted &&
                ++clients.complete == int(clients.sockets.size()))
                clients.loop->quit();
        });
        clients.sockets.push_back(std::move(client));
    }
    wait(500);

    // One call, until every client has its line; false when that took longer than 2 s.
    int next = 0;
    const auto call = [&](double* us) {
        ++clients.wanted;
        clients.complete = 0;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        QElapsedTimer timer;
        timer.start();
        server.inject(QStringLiteral("0521999"), numbers.at(next++));
        timeout.start(2000);
        loop.exec();
        if (us)
            *us = double(timer.nsecsElapsed()) / 1000.0;
        const bool all = clients.complete == clientCount;
        // A late line must not count for the next call.
        if (!all) {
            while (clients.complete < clientCount && timer.elapsed() < 10000)
                wait(50);
        }
        return all;
    };

    // The latency: calls 20 ms apart.
    QList<double> times;
    const qint64 cpuBefore = cpuNs(pid);
    for (int c = 0; c < calls; ++c) {
        QElapsedTimer spacing;
        spacing.start();
        double us = 0;
        if (call(&us))
            times << us;
        else
            ++f.lost;
        if (spacing.elapsed() < 20)
            wait(int(20 - spacing.elapsed()));
    }
    f.cpuPerCallUs = double(cpuNs(pid) - cpuBefore) / 1000.0 / calls;
    f.rssWarmKb = residentKb(pid);

    // The memory: one call after the other.
    const qint64 burstBefore = cpuNs(pid);
    for (int c = 0; c < memoryCalls; ++c) {
        if (!call(nullptr))
            ++f.lost;
    }
    f.cpuPerCallBurstUs = double(cpuNs(pid) - burstBefore) / 1000.0 / qMax(1, memoryCalls);
    wait(300);
    f.rssAfterKb = residentKb(pid);

    clients.sockets.clear();
    server.stop();
    f.measured = int(times.size());
    f.medianUs = bench::median(times);
    f.p99Us = bench::percentile(times, 99.0);
    f.maxUs = bench::percentile(times, 100.0);
    f.ok = f.lost == 0;
    return f;
}

void print(const QString& prefix, const Figures& f)
{
    const QByteArray p = prefix.toLatin1();
    std::printf("%snotify_calls=%d\n%snotify_lost=%d\n", p.constData(), f.measured, p.constData(),
                f.lost);
    std::printf("%snotify_median_us=%.1f\n", p.constData(), f.medianUs);
    std::printf("%snotify_p99_us=%.1f\n", p.constData(), f.p99Us);
    std::printf("%snotify_max_us=%.1f\n", p.constData(), f.maxUs);
    std::printf("%sserver_cpu_per_call_us=%.1f\n", p.constData(), f.cpuPerCallUs);
    std::printf("%sserver_cpu_per_call_burst_us=%.1f\n", p.constData(), f.cpuPerCallBurstUs);
    std::printf("%sserver_rss_start_kb=%lld\n", p.constData(), f.rssStartKb);
    std::printf("%sserver_rss_warm_kb=%lld\n", p.constData(), f.rssWarmKb);
    std::printf("%sserver_rss_after_kb=%lld\n", p.constData(), f.rssAfterKb);
    std::printf("%sserver_rss_growth_kb=%lld\n", p.constData(), f.rssAfterKb - f.rssWarmKb);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("ROWS"),
                                 QStringLiteral("Zeilen des Nummernindex (Vorgabe 1000000)."));
    const QCommandLineOption serverOption(
        QStringLiteral("server"), QStringLiteral("Der Server (Vorgabe: vorsasrvd dieses Builds)."),
        QStringLiteral("PATH"), QStringLiteral(VORSA_SERVER_BINARY));
    const QCommandLineOption compareOption(
        QStringLiteral("compare"),
        QStringLiteral("Ein zweiter Server zum Vergleich (VorsaSrv läuft mit --headless)."),
        QStringLiteral("PATH"));
    const QCommandLineOption callsOption(QStringLiteral("calls"),
                                         QStringLiteral("Anrufe im Abstand von 20 ms."),
                                         QStringLiteral("N"), QStringLiteral("300"));
    const QCommandLineOption memoryOption(QStringLiteral("memory-calls"),
                                          QStringLiteral("Anrufe nacheinander für den Speicher."),
                                          QStringLiteral("N"), QStringLiteral("10000"));
    const QCommandLineOption clientsOption(QStringLiteral("clients"),
                                           QStringLiteral("Anzahl der Clients."),
                                           QStringLiteral("N"), QStringLiteral("50"));
    parser.addOptions({serverOption, compareOption, callsOption, memoryOption, clientsOption});
    parser.process(app);
    const int rows = parser.positionalArguments().isEmpty()
                         ? 1000000
                         : parser.positionalArguments().first().toInt();
    const int calls = parser.value(callsOption).toInt();
    const int memoryCalls = parser.value(memoryOption).toInt();
    const int clientCount = parser.value(clientsOption).toInt();
    const QString server = QFileInfo(parser.value(serverOption)).absoluteFilePath();
    const QString compare = parser.isSet(compareOption)
                                ? QFileInfo(parser.value(compareOption)).absoluteFilePath()
                                : QString();

    QTemporaryDir dir;
    // Every call a number of its own: the repeat window suppresses none.
    const QStringList numbers = bench::createNumberIndex(dir.path(), rows, calls + memoryCalls);
    if (numbers.size() < calls + memoryCalls) {
        std::fprintf(stderr, "Zu wenige Nummern im Index\n");
        return 1;
    }
    std::printf("notify_rows=%d\nnotify_clients=%d\n", rows, clientCount);
    bool ok = true;
    Figures base;
    if (!compare.isEmpty()) {
        base = run(compare, dir.path(), numbers, calls, memoryCalls, clientCount);
        print(QStringLiteral("base_"), base);
        ok = ok && base.ok;
    }
    const Figures now = run(server, dir.path(), numbers, calls, memoryCalls, clientCount);
    print(QString(), now);
    ok = ok && now.ok;
    if (!compare.isEmpty() && base.ok && now.ok) {
        std::printf("ratio_notify_median=%.2f\n", now.medianUs / base.medianUs);
        std::printf("ratio_notify_p99=%.2f\n", now.p99Us / base.p99Us);
        std::printf("ratio_server_cpu_per_call=%.2f\n", now.cpuPerCallUs / base.cpuPerCallUs);
        std::printf("ratio_server_rss_start=%.2f\n",
                    double(now.rssStartKb) / double(base.rssStartKb));
    }
    return ok ? 0 : 1;
}
