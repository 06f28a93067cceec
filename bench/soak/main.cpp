// Soak run of the headless server on the simulated line: N clients, a steady
// call rate for a bounded time, a few clients that read slowly and a few that
// never read but keep asking for the journal, and one database outage in the
// middle. Checks that every call reaches every reading client exactly once and
// stands in the journal once, and measures the server's memory before and
// after. Prints name=value lines; exits 1 when a check fails.
//
//     bench_soak [--minutes 10] [--clients 200] [--rate 10] [--outage 30]
//                [--slow 5] [--greedy 5]

#include "benchdata.h"
#include "serverprocess.h"
#include "testfiles.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
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
using test::freePort;
using test::residentKb;
using test::writeIni;

namespace {

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        wait(20);
    }
    return true;
}

// The value of "Anrufer=" in a notification line.
QByteArray callerOf(const QByteArray& line)
{
    const qsizetype at = line.indexOf("Anrufer=");
    if (at < 0)
        return {};
    const qsizetype from = at + 8;
    const qsizetype end = line.indexOf(';', from);
    return line.mid(from, end < 0 ? -1 : end - from);
}

enum class Kind { Reader, Slow, Greedy };

struct Client {
    Kind kind = Kind::Reader;
    std::unique_ptr<QTcpSocket> socket;
    QByteArray buffer;
    std::vector<quint8> seen; // per call: how often its line arrived
    int unknownLines = 0;
    bool closedByServer = false;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption minutesOption("minutes", "Dauer der Anrufe in Minuten.", "M", "10");
    const QCommandLineOption clientsOption("clients", "Anzahl der Clients.", "N", "200");
    const QCommandLineOption rateOption("rate", "Anrufe je Sekunde.", "R", "10");
    const QCommandLineOption outageOption("outage", "Dauer des Datenbankausfalls in Sekunden.", "S",
                                          "30");
    const QCommandLineOption slowOption("slow", "Clients, die langsam lesen.", "N", "5");
    const QCommandLineOption greedyOption(
        "greedy", "Clients, die nie lesen und immer wieder das Journal verlangen.", "N", "5");
    parser.addOptions(
        {minutesOption, clientsOption, rateOption, outageOption, slowOption, greedyOption});
    parser.process(app);
    const double minutes = parser.value(minutesOption).toDouble();
    const int clientCount = parser.value(clientsOption).toInt();
    const double rate = parser.value(rateOption).toDouble();
    const int outageSec = parser.value(outageOption).toInt();
    const int slowCount = parser.value(slowOption).toInt();
    const int greedyCount = parser.value(greedyOption).toInt();
    const int calls = int(minutes * 60 * rate);
    const int warmUpCalls = 20;

    // The numbers: most are stored (identified), every fifth is unknown; all
    // differ, so the repeat window suppresses none.
    QTemporaryDir dir;
    const QStringList stored = bench::createNumberIndex(dir.path(), 50000, calls + warmUpCalls);
    QStringList numbers;
    for (int i = 0; i < calls + warmUpCalls; ++i)
        numbers << (i % 5 == 4 ? QStringLiteral("0991%1").arg(i, 7, 10, QLatin1Char('0'))
                               : stored.at(i % stored.size()));
    QHash<QByteArray, int> callIndex;
    for (int i = 0; i < numbers.size(); ++i)
        callIndex.insert(numbers.at(i).toLatin1(), i);

    const quint16 port = freePort();
    writeIni(dir.filePath(QStringLiteral("VorsaSrv.INI")),
             {"[Settings]", "Line=SIM", "EigeneVorwahl=0521", "SecCapiConnection=0",
              "LocalPort=" + QString::number(port), "[Table]",
              "SQL1.1=SELECT Name2 AS Name, Ort FROM TTelefonNr",
              "SQL1.2=WHERE TelefonNr LIKE '/*CallingNr*/'", "Name=TTelefonNr", "[Feld1]",
              "FieldName=Datum", "[Feld2]", "FieldName=Anrufer", "[Feld3]", "FieldName=Name",
              "[Feld4]", "FieldName=Ort", "[Feld5]", "FieldName=Versuche"});

    QProcess server;
    QByteArray serverErrors;
    QObject::connect(&server, &QProcess::readyReadStandardError,
                     [&] { serverErrors += server.readAllStandardError(); });
    server.start(QStringLiteral(VORSA_SERVER_BINARY),
                 {QStringLiteral("--headless"), QStringLiteral("--dir"), dir.path()});
    if (!server.waitForStarted()) {
        std::fprintf(stderr, "VorsaSrv startet nicht\n");
        return 1;
    }
    const qint64 pid = server.processId();
    const QString sim = dir.filePath(QStringLiteral("VorsaSrv.sim"));
    if (!waitFor([&] { return QFile::exists(sim); }, 10000)) {
        std::fprintf(stderr, "Die simulierte Leitung kommt nicht\n");
        return 1;
    }
    QLocalSocket line;
    line.connectToServer(sim);
    if (!line.waitForConnected(5000))
        return 1;
    QByteArray answers;
    QObject::connect(&line, &QLocalSocket::readyRead, [&] { answers += line.readAll(); });
    auto inject = [&](int i) {
        line.write("0521999;" + numbers.at(i).toLatin1() + "\n");
        line.flush();
    };

    // Warm-up: the first lookups and a client load what the server keeps
    // for its whole run; the memory is measured after them.
    {
        QTcpSocket warm;
        warm.connectToHost(QHostAddress::LocalHost, port);
        warm.waitForConnected(5000);
        warm.write("HN:warm");
        for (int i = 0; i < warmUpCalls; ++i) {
            inject(calls + i);
            wait(20);
        }
        waitFor([&] { return answers.count('\n') >= warmUpCalls; }, 20000);
        warm.disconnectFromHost();
        wait(2000);
    }
    const qint64 rssBefore = residentKb(pid);

    // The clients.
    std::vector<Client> clients(static_cast<size_t>(clientCount));
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> sentAt(size_t(calls), -1);
    std::vector<qint64> lastArrival(size_t(calls), -1);
    auto takeLines = [&](Client& c) {
        qsizetype cr;
        qsizetype from = 0;
        while ((cr = c.buffer.indexOf('\r', from)) >= 0) {
            const QByteArray caller = callerOf(c.buffer.mid(from, cr - from));
            from = cr + 1;
            const auto it = callIndex.constFind(caller);
            if (it == callIndex.constEnd() || it.value() >= calls) {
                ++c.unknownLines; // a warm-up call replayed, or a stray line
                continue;
            }
            if (c.seen[size_t(it.value())] < 255)
                ++c.seen[size_t(it.value())];
            if (c.kind == Kind::Reader) // the time until the last reader had it
                lastArrival[size_t(it.value())] = clock.elapsed();
        }
        c.buffer.remove(0, from);
    };
    for (int i = 0; i < clientCount; ++i) {
        Client& c = clients[size_t(i)];
        c.kind = i < greedyCount               ? Kind::Greedy
                 : i < greedyCount + slowCount ? Kind::Slow
                                               : Kind::Reader;
        c.seen.assign(size_t(calls), 0);
        c.socket = std::make_unique<QTcpSocket>();
        if (c.kind != Kind::Reader)
            c.socket->setReadBufferSize(c.kind == Kind::Slow ? 2048 : 1);
        c.socket->connectToHost(QHostAddress::LocalHost, port);
        if (!c.socket->waitForConnected(5000)) {
            std::fprintf(stderr, "Client %d bekommt keine Verbindung\n", i);
            return 1;
        }
        c.socket->write(QStringLiteral("HN:soak%1").arg(i).toLatin1());
        c.socket->flush();
        QTcpSocket* raw = c.socket.get();
        if (c.kind == Kind::Reader)
            QObject::connect(raw, &QTcpSocket::readyRead, [&, raw, i] {
                Client& me = clients[size_t(i)];
                me.buffer += raw->readAll();
                takeLines(me);
            });
        QObject::connect(raw, &QTcpSocket::disconnected,
                         [&, i] { clients[size_t(i)].closedByServer = true; });
        wait(2); // announcements arrive as separate messages
    }
    wait(1000);
    const qint64 rssConnected = residentKb(pid);

    // Slow readers take 2 KiB twice a second; greedy clients never read and
    // ask for the whole journal every two seconds.
    QTimer slowTimer;
    QObject::connect(&slowTimer, &QTimer::timeout, [&] {
        for (Client& c : clients) {
            if (c.kind == Kind::Slow && c.socket->state() == QAbstractSocket::ConnectedState) {
                c.buffer += c.socket->read(2048);
                takeLines(c);
            }
        }
    });
    slowTimer.start(500);
    QTimer greedyTimer;
    QObject::connect(&greedyTimer, &QTimer::timeout, [&] {
        for (Client& c : clients) {
            if (c.kind == Kind::Greedy && c.socket->state() == QAbstractSocket::ConnectedState)
                c.socket->write("*D*:");
        }
    });
    greedyTimer.start(2000);

    // The calls, at a steady rate; the database goes away in the middle.
    const QString db = dir.filePath(QStringLiteral("vorsa.db"));
    const qint64 runMs = qint64(calls / rate * 1000);
    const qint64 outageFrom = runMs / 2 - outageSec * 500;
    const qint64 outageTo = outageFrom + outageSec * 1000;
    bool outage = false;
    int outageCalls = 0;
    qint64 peakRss = rssBefore;
    int next = 0;
    clock.restart();
    QTimer pace;
    QEventLoop running;
    QObject::connect(&pace, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (!outage && outageSec > 0 && now >= outageFrom && now < outageTo) {
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::rename(db + QLatin1String(suffix), db + QLatin1String(suffix) + ".weg");
            outage = true;
        } else if (outage && now >= outageTo) {
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::rename(db + QLatin1String(suffix) + ".weg", db + QLatin1String(suffix));
            outage = false;
        }
        while (next < calls && next * 1000.0 / rate <= now) {
            sentAt[size_t(next)] = now;
            if (outage)
                ++outageCalls;
            inject(next++);
        }
        if (next % 200 == 0)
            peakRss = qMax(peakRss, residentKb(pid));
        if (next >= calls)
            running.quit();
    });
    pace.start(20);
    running.exec();
    pace.stop();
    peakRss = qMax(peakRss, residentKb(pid));

    // Every reading client has every call, or 60 s have passed.
    auto complete = [&] {
        for (const Client& c : clients) {
            if (c.kind == Kind::Greedy)
                continue;
            for (quint8 n : c.seen)
                if (n == 0)
                    return false;
        }
        return true;
    };
    waitFor(complete, 60000);
    slowTimer.stop();
    greedyTimer.stop();
    const qint64 rssEndOfCalls = residentKb(pid);
    const bool allAnswered =
        waitFor([&] { return answers.count('\n') >= calls + warmUpCalls; }, 30000);

    int missing = 0, doubled = 0, readers = 0, greedyClosed = 0, readersClosed = 0;
    for (const Client& c : clients) {
        if (c.kind == Kind::Greedy) {
            greedyClosed += c.closedByServer ? 1 : 0;
            continue;
        }
        ++readers;
        readersClosed += c.closedByServer ? 1 : 0;
        for (quint8 n : c.seen) {
            missing += n == 0 ? 1 : 0;
            doubled += n > 1 ? 1 : 0;
        }
    }
    QList<double> latency;
    for (int i = 0; i < calls; ++i) {
        if (lastArrival[size_t(i)] >= 0)
            latency << double(lastArrival[size_t(i)] - sentAt[size_t(i)]);
    }

    // The journal: every call once.
    std::vector<int> journal(size_t(calls), 0);
    int identified = 0, notIdentified = 0;
    {
        QFile log(dir.filePath(QStringLiteral("VorsaSvr.log")));
        log.open(QIODevice::ReadOnly);
        for (const QByteArray& l : log.readAll().split('\n')) {
            if (!l.startsWith("*D*"))
                continue;
            const auto it = callIndex.constFind(callerOf(l));
            if (it == callIndex.constEnd() || it.value() >= calls)
                continue;
            ++journal[size_t(it.value())];
            (l.startsWith("*D*Icon=3;") ? notIdentified : identified) += 1;
        }
    }
    int journalMissing = 0, journalDoubled = 0;
    for (int n : journal) {
        journalMissing += n == 0 ? 1 : 0;
        journalDoubled += n > 1 ? 1 : 0;
    }

    // All clients leave; the server's memory after the run.
    for (Client& c : clients)
        c.socket->abort();
    clients.clear();
    wait(3000);
    const qint64 rssAfter = residentKb(pid);
    server.terminate();
    server.waitForFinished(10000);
    serverErrors += server.readAllStandardError();
    const int reportedErrors = int(serverErrors.count("Fehler:"));

    std::printf(
        "soak_minutes=%.1f\nsoak_clients=%d\nsoak_slow_clients=%d\nsoak_greedy_clients=%d\n",
        minutes, clientCount, slowCount, greedyCount);
    std::printf("soak_calls=%d\nsoak_rate_per_s=%.1f\nsoak_outage_s=%d\nsoak_outage_calls=%d\n",
                calls, rate, outageSec, outageCalls);
    std::printf("soak_calls_answered_ok=%lld\n", qlonglong(answers.count("OK\n")) - warmUpCalls);
    std::printf("soak_reader_lines_missing=%d\nsoak_reader_lines_doubled=%d\n", missing, doubled);
    std::printf("soak_readers_closed=%d\nsoak_greedy_closed=%d\n", readersClosed, greedyClosed);
    std::printf("soak_journal_missing=%d\nsoak_journal_doubled=%d\n", journalMissing,
                journalDoubled);
    std::printf("soak_identified=%d\nsoak_not_identified=%d\nsoak_errors_reported=%d\n", identified,
                notIdentified, reportedErrors);
    std::printf("soak_latency_median_ms=%.1f\nsoak_latency_p99_ms=%.1f\nsoak_latency_max_ms=%.1f\n",
                bench::median(latency), bench::percentile(latency, 99.0),
                bench::percentile(latency, 100.0));
    std::printf("soak_rss_before_kb=%lld\nsoak_rss_clients_connected_kb=%lld\n"
                "soak_rss_peak_kb=%lld\nsoak_rss_end_of_calls_kb=%lld\nsoak_rss_after_kb=%lld\n",
                rssBefore, rssConnected, peakRss, rssEndOfCalls, rssAfter);
    std::printf("soak_rss_growth_mb=%.2f\n", double(rssAfter - rssBefore) / 1024.0);
    const bool ok = allAnswered && missing == 0 && doubled == 0 && readersClosed == 0 &&
                    journalMissing == 0 && journalDoubled == 0 && rssAfter - rssBefore < 5 * 1024;
    std::printf("soak_ok=%d\n", ok ? 1 : 0);
    return ok ? 0 : 1;
}
