// Load on the SIP line of a headless server: sipp places 100 calls per second
// for 10 seconds while 20 clients are connected. Every call must reach every
// client exactly once, except repeats inside the repeat window. Prints
// name=value figures: INVITE to 180 and INVITE to client line, 50th and 99th
// percentile, and the delivery counts.
#include "sip/sipline.h"
#include "sippeer.h"
#include "sipserverfixture.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int Clients = 20;
constexpr int Rate = 100;
constexpr int Calls = 1000;
constexpr int DistinctNumbers = 900; // calls 901.. repeat numbers of the first second

// User and system CPU time of a process in ms, from /proc.
double processCpuMs(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p / 100.0 * double(v.size() - 1) + 0.5));
    return v[i];
}

// sipp's message log: "----- 2026-12-07 13:00:35.651479" then "UDP message sent" or
// "received", then the message.
struct Trace {
    QHash<QString, double> inviteSent; // Call-ID -> ms since epoch
    QHash<QString, double> ringing;    // Call-ID -> first 180
    QHash<QString, QString> callerOf;  // Call-ID -> From user
};

Trace readTrace(const QString& file)
{
    Trace t;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return t;
    const QList<QByteArray> blocks = f.readAll().split('\n');
    double stamp = 0;
    bool sent = false;
    QString firstLine, callId, fromUser;
    auto flush = [&] {
        if (callId.isEmpty())
            return;
        if (sent && firstLine.startsWith(QStringLiteral("INVITE "))) {
            t.inviteSent.insert(callId, stamp);
            t.callerOf.insert(callId, fromUser);
        } else if (!sent && firstLine.startsWith(QStringLiteral("SIP/2.0 180")) &&
                   !t.ringing.contains(callId)) {
            t.ringing.insert(callId, stamp);
        }
    };
    static const QRegularExpression fromRe(QStringLiteral("^From:.*<sip:([^@;>]+)"));
    for (QByteArray line : blocks) {
        line = line.trimmed();
        if (line.startsWith("-----------------------------------------------")) {
            flush();
            const QString when = QString::fromLatin1(line.mid(48)).trimmed();
            const QDateTime dt =
                QDateTime::fromString(when.left(19), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            stamp = double(dt.toMSecsSinceEpoch()) + when.mid(19).toDouble() * 1000.0;
            firstLine.clear();
            callId.clear();
            fromUser.clear();
            continue;
        }
        if (line.startsWith("UDP message")) {
            sent = line.contains("sent");
            continue;
        }
        if (firstLine.isEmpty() && !line.isEmpty()) {
            firstLine = QString::fromLatin1(line);
            continue;
        }
        if (line.startsWith("Call-ID:"))
            callId = QString::fromLatin1(line.mid(8)).trimmed();
        const auto m = fromRe.match(QString::fromLatin1(line));
        if (m.hasMatch())
            fromUser = m.captured(1);
    }
    flush();
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("VORSA_BUILD_DIR"))
        qputenv("VORSA_BUILD_DIR", VORSA_BUILD_DIR_DEFAULT);
    if (qEnvironmentVariableIsEmpty("VORSA_SOURCE_DIR"))
        qputenv("VORSA_SOURCE_DIR", VORSA_SOURCE_DIR_DEFAULT);
    if (SippPeer::program().isEmpty()) {
        std::printf("skipped=sipp not installed\n");
        return 0;
    }

    // --line-only: the SIP agent in this process, without server and clients,
    // to tell its own cost from that of the call path behind it.
    const bool lineOnly = app.arguments().contains(QStringLiteral("--line-only"));
    SipServerFixture fixture;
    std::unique_ptr<vorsa::SipLine> line;
    int reported = 0;
    if (lineOnly) {
        fixture.sipPort = SippPeer::freePort(QHostAddress::LocalHost);
        vorsa::SipLine::Settings s;
        s.listen = QStringLiteral("127.0.0.1:%1").arg(fixture.sipPort);
        line = std::make_unique<vorsa::SipLine>(s, nullptr);
        QObject::connect(line.get(), &vorsa::IPhoneLine::IncomingCall, &app, [&] { ++reported; });
        if (!line->startCAPI()) {
            std::fprintf(stderr, "the SIP line does not start\n");
            return 1;
        }
    } else {
        const QString problem = fixture.start(Clients);
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(problem));
            return 1;
        }
    }
    const qint64 measuredPid = lineOnly ? QCoreApplication::applicationPid() : fixture.server.pid();

    // Arrival of each caller's line at each client.
    const int clientCount = lineOnly ? 0 : Clients;
    std::vector<QHash<QString, double>> arrival(Clients);
    std::vector<int> lines(Clients, 0), duplicates(Clients, 0);
    std::vector<QByteArray> buffers(Clients);
    static const QRegularExpression callerRe(QStringLiteral(";Anrufer=(\\d+);"));
    auto drain = [&] {
        const double now = double(QDateTime::currentMSecsSinceEpoch());
        for (int i = 0; i < clientCount; ++i) {
            buffers[i] += fixture.clients[size_t(i)]->readAll();
            qsizetype cr;
            while ((cr = buffers[i].indexOf('\r')) >= 0) {
                const QString line = QString::fromLatin1(buffers[i].left(cr));
                buffers[i].remove(0, cr + 1);
                ++lines[i];
                const auto m = callerRe.match(line);
                if (!m.hasMatch())
                    continue;
                if (arrival[i].contains(m.captured(1)))
                    ++duplicates[i];
                else
                    arrival[i].insert(m.captured(1), now);
            }
        }
    };
    for (auto& c : fixture.clients)
        QObject::connect(c.get(), &QTcpSocket::readyRead, &app, drain);

    SippPeer sipp(fixture.dir.path());
    SippPeer::Call call;
    // The callers, one per call, from a sipp injection file: the last
    // hundred calls repeat callers of the first second.
    const QString callers = fixture.dir.filePath(QStringLiteral("callers.csv"));
    {
        QFile csv(callers);
        csv.open(QIODevice::WriteOnly);
        csv.write("SEQUENTIAL\n");
        for (int i = 0; i < Calls; ++i)
            csv.write("0521777" + QByteArray::number(1000 + i % DistinctNumbers) + ";\n");
    }
    call.from = QStringLiteral("<sip:[field0]@127.0.0.1>");
    call.pauseMs = 200;
    const QString messages = fixture.dir.filePath(QStringLiteral("sipp_messages.log"));
    const double cpuBefore = processCpuMs(measuredPid);
    QElapsedTimer wall;
    wall.start();
    const bool started = sipp.start(
        call, QStringLiteral("127.0.0.1:%1").arg(fixture.sipPort),
        {QStringLiteral("-m"), QString::number(Calls), QStringLiteral("-r"), QString::number(Rate),
         QStringLiteral("-l"), QStringLiteral("500"), QStringLiteral("-trace_msg"),
         QStringLiteral("-message_file"), messages, QStringLiteral("-inf"), callers});
    if (!started) {
        std::fprintf(stderr, "sipp does not start\n");
        return 1;
    }
    const bool sippOk = sipp.finish(60000);
    if (!sippOk)
        std::fprintf(stderr, "%s\n", qPrintable(sipp.output().right(1500)));
    const qint64 sippMs = wall.elapsed();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 3000)
        QTest::qWait(50);
    drain();
    const double serverCpuMs = processCpuMs(measuredPid) - cpuBefore;

    const Trace trace = readTrace(messages);
    std::vector<double> toRinging, toClient;
    int expected = 0;
    QHash<QString, double> firstInvite; // caller -> first INVITE
    for (auto it = trace.inviteSent.cbegin(); it != trace.inviteSent.cend(); ++it) {
        const QString caller = trace.callerOf.value(it.key());
        if (!firstInvite.contains(caller) || firstInvite[caller] > it.value())
            firstInvite[caller] = it.value();
        if (trace.ringing.contains(it.key()))
            toRinging.push_back(trace.ringing[it.key()] - it.value());
    }
    expected = int(firstInvite.size());
    int missing = 0;
    for (int i = 0; i < clientCount; ++i) {
        for (auto it = firstInvite.cbegin(); it != firstInvite.cend(); ++it) {
            if (!arrival[i].contains(it.key())) {
                ++missing;
                continue;
            }
            toClient.push_back(arrival[i][it.key()] - it.value());
        }
    }
    int minLines = Calls, maxLines = 0, dup = 0;
    if (lineOnly) {
        std::printf("line_calls_sent=%lld\n", qlonglong(trace.inviteSent.size()));
        std::printf("line_calls_reported=%d\n", reported);
        std::printf("line_sipp_all_calls_passed=%d\n", sippOk ? 1 : 0);
        std::printf("line_invite_to_180_p50_ms=%.2f\n", percentile(toRinging, 50));
        std::printf("line_invite_to_180_p99_ms=%.2f\n", percentile(toRinging, 99));
        std::printf("line_process_cpu_ms_per_call=%.3f\n", serverCpuMs / double(Calls));
        return reported == int(trace.inviteSent.size()) ? 0 : 2;
    }
    for (int i = 0; i < Clients; ++i) {
        minLines = std::min(minLines, lines[i]);
        maxLines = std::max(maxLines, lines[i]);
        dup += duplicates[i];
    }
    std::printf("sip_calls_sent=%lld\n", qlonglong(trace.inviteSent.size()));
    std::printf("sip_rate_per_s=%d\n", Rate);
    std::printf("sip_clients=%d\n", Clients);
    std::printf("sip_sipp_all_calls_passed=%d\n", sippOk ? 1 : 0);
    std::printf("sip_sipp_wall_ms=%lld\n", sippMs);
    std::printf("sip_distinct_callers=%d\n", expected);
    std::printf("sip_lines_per_client_min=%d\n", minLines);
    std::printf("sip_lines_per_client_max=%d\n", maxLines);
    std::printf("sip_duplicate_lines=%d\n", dup);
    std::printf("sip_missing_lines=%d\n", missing);
    std::printf("sip_invite_to_180_p50_ms=%.2f\n", percentile(toRinging, 50));
    std::printf("sip_invite_to_180_p90_ms=%.2f\n", percentile(toRinging, 90));
    std::printf("sip_invite_to_180_p99_ms=%.2f\n", percentile(toRinging, 99));
    std::printf("sip_invite_to_client_p50_ms=%.2f\n", percentile(toClient, 50));
    std::printf("sip_invite_to_client_p90_ms=%.2f\n", percentile(toClient, 90));
    std::printf("sip_invite_to_client_p99_ms=%.2f\n", percentile(toClient, 99));
    std::printf("sip_invite_to_client_max_ms=%.2f\n", percentile(toClient, 100));
    std::printf("sip_server_cpu_ms=%.0f\n", serverCpuMs);
    std::printf("sip_server_cpu_ms_per_call=%.2f\n", serverCpuMs / double(qMax(1, Calls)));
    return missing == 0 && dup == 0 ? 0 : 2;
}
