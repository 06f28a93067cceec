// From a call injected through the simulated line of a running headless
// server until the last of 50 connected clients has its line (the clients
// are plain sockets read with epoll), with the server's CPU time per call
// (the kernel's accounting of the process) and its resident memory over
// 10,000 calls.
// Prints name=value lines; with --compare, the same figures of another
// server program (the build before a change) and the ratios; with --tls, the
// same server once more with TLS=1 (clients on OpenSSL, read the same way),
// its figures with "tls_" and the ratios to plain TCP.
//
//     bench_calls_notify [ROWS] [--server PATH] [--compare PATH] [--tls]
//                        [--calls 300] [--memory-calls 10000] [--clients 50]

#include "benchdata.h"
#include "serverprocess.h"
#include "testcertificates.h"
#include "testfiles.h"
#include "wire/protocol.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>
#ifdef VORSA_BENCH_TLS
#include <openssl/err.h>
#include <openssl/ssl.h>
#endif

using namespace vorsa;
using test::residentKb;

namespace {

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

constexpr int RepeatWindowSec = 5;

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

// The clients, as lean as a client can be: plain sockets read with epoll in
// this thread, so that the time measured is the server's, not a client
// library's. Each counts the lines (CR) it has received. With TLS each
// socket carries an OpenSSL session (verifying the server's certificate
// against `ca`), read the same way.
class Clients {
public:
    ~Clients()
    {
#ifdef VORSA_BENCH_TLS
        for (SSL* ssl : m_ssl)
            SSL_free(ssl);
        if (m_ctx)
            SSL_CTX_free(m_ctx);
#endif
        for (int fd : m_fds)
            ::close(fd);
        if (m_epoll >= 0)
            ::close(m_epoll);
    }
    bool connect(quint16 port, int count, const QString& ca = {})
    {
#ifdef VORSA_BENCH_TLS
        if (!ca.isEmpty()) {
            m_ctx = SSL_CTX_new(TLS_client_method());
            if (!m_ctx || SSL_CTX_load_verify_locations(m_ctx, QFile::encodeName(ca).constData(),
                                                        nullptr) != 1)
                return false;
            SSL_CTX_set_verify(m_ctx, SSL_VERIFY_PEER, nullptr);
        }
#else
        if (!ca.isEmpty())
            return false;
#endif
        m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
        for (int i = 0; i < count; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(port);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
                return false;
            m_fds.push_back(fd);
            m_lines.push_back(0);
            const QByteArray hello = wire::announcement(QStringLiteral("bench%1").arg(i));
#ifdef VORSA_BENCH_TLS
            if (m_ctx) {
                SSL* ssl = SSL_new(m_ctx);
                m_ssl.push_back(ssl);
                SSL_set_fd(ssl, fd);
                SSL_set1_host(ssl, "localhost");
                if (SSL_connect(ssl) != 1 ||
                    SSL_write(ssl, hello.constData(), int(hello.size())) != hello.size()) {
                    ERR_print_errors_fp(stderr);
                    return false;
                }
            } else
#endif
                if (::send(fd, hello.constData(), size_t(hello.size()), 0) != hello.size())
                return false;
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.u32 = quint32(i);
            ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
        }
        return true;
    }
    // Waits until every client has `lines` lines; false after `timeoutMs`.
    bool waitFor(qint64 lines, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        int complete = 0;
        for (qint64 n : m_lines)
            complete += n >= lines ? 1 : 0;
        epoll_event events[64];
        char buffer[65536];
        while (complete < int(m_fds.size())) {
            const int left = timeoutMs - int(timer.elapsed());
            if (left <= 0)
                return false;
            const int ready = ::epoll_wait(m_epoll, events, 64, left);
            for (int e = 0; e < ready; ++e) {
                const size_t i = events[e].data.u32;
                for (;;) {
                    const ssize_t n = receive(i, buffer, sizeof buffer);
                    if (n <= 0)
                        break;
                    const qint64 had = m_lines[i];
                    m_lines[i] += std::count(buffer, buffer + n, '\r');
                    if (had < lines && m_lines[i] >= lines)
                        ++complete;
                }
            }
        }
        return true;
    }

private:
    ssize_t receive(size_t i, char* buffer, size_t size)
    {
#ifdef VORSA_BENCH_TLS
        if (m_ctx)
            return SSL_read(m_ssl[i], buffer, int(size));
#endif
        return ::recv(m_fds[i], buffer, size, 0);
    }

    int m_epoll = -1;
    std::vector<int> m_fds;
    std::vector<qint64> m_lines;
#ifdef VORSA_BENCH_TLS
    SSL_CTX* m_ctx = nullptr;
    std::vector<SSL*> m_ssl;
#endif
};

// The simulated line, written to directly; its answers are read and dropped.
class Line {
public:
    ~Line()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool connect(const QString& path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(),
                    qMin(size_t(name.size()), sizeof address.sun_path - 1));
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return false;
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        return true;
    }
    void ring(const QString& calling)
    {
        char answers[4096];
        while (::recv(m_fd, answers, sizeof answers, 0) > 0) {
        }
        const QByteArray call = "0521999;" + calling.toLatin1() + '\n';
        ::send(m_fd, call.constData(), size_t(call.size()), MSG_NOSIGNAL);
    }

private:
    int m_fd = -1;
};

// Keeps a process (0: this one) on one CPU.
void pin(qint64 pid, int cpu)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    ::sched_setaffinity(pid_t(pid), sizeof set, &set);
}

// With `certificates`, the server runs with TLS=1 and the clients speak TLS.
Figures run(const QString& program, const QString& dir, const QStringList& numbers, int calls,
            int memoryCalls, int clientCount, bool pinned, int spacingMs,
            const test::TestCertificates* certificates = nullptr)
{
    Figures f;
    QFile::remove(QDir(dir).filePath(QStringLiteral("VorsaSvr.log")));
    const quint16 port = test::freePort();
    QStringList tls = {"TLS=0"};
    if (certificates)
        tls = {"TLS=1", "TLSZertifikat=" + certificates->path(QStringLiteral("server.pem")),
               "TLSSchluessel=" + certificates->path(QStringLiteral("server.key"))};
    test::writeIni(
        QDir(dir).filePath(QStringLiteral("VorsaSrv.INI")),
        QStringList{"[Settings]", "Line=SIM", "EigeneVorwahl=0521", "SecCapiConnection=0",
                    // A short repeat window: the numbers of the 10,000 calls
                    // are forgotten before the memory is taken after them.
                    "DateDiffSec=" + QString::number(RepeatWindowSec),
                    "LocalPort=" + QString::number(port)} +
            tls +
            QStringList{"[Table]",
                        "SQL1.1=SELECT Name2 AS Name, Ort, TelefonNr AS Nr FROM TTelefonNr",
                        "SQL1.2=WHERE TelefonNr LIKE '/*CallingNr*/'", "Name=TTelefonNr", "[Feld1]",
                        "FieldName=Datum", "[Feld2]", "FieldName=Anrufer", "[Feld3]",
                        "FieldName=Name", "[Feld4]", "FieldName=Ort", "[Feld5]", "FieldName=Nr",
                        "[Feld6]", "FieldName=Versuche"});

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
    // Server and clients on CPUs of their own: a client woken on the
    // server's CPU would interrupt it at every line it sends, a cost that
    // clients on other machines never cause.
    if (pinned) {
        pin(pid, 0);
        pin(0, 1);
    }

    Clients clients;
    Line line;
    const QString ca = certificates ? certificates->path(QStringLiteral("ca.pem")) : QString();
    if (!clients.connect(port, clientCount, ca) || !line.connect(server.simSocket())) {
        std::fprintf(stderr, "Keine Verbindung zum Server\n");
        return f;
    }
    wait(500);

    // One call, until every client has its line; false when that took longer than 2 s.
    qint64 lines = 0;
    int next = 0;
    const auto call = [&](double* us) {
        QElapsedTimer timer;
        timer.start();
        line.ring(numbers.at(next++));
        const bool all = clients.waitFor(++lines, 2000);
        if (us)
            *us = double(timer.nsecsElapsed()) / 1000.0;
        if (!all) // a late line must not count for the next call
            clients.waitFor(lines, 10000);
        return all;
    };

    // The latency: calls 20 ms apart (spacingMs).
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
        if (spacing.elapsed() < spacingMs)
            QThread::msleep(ulong(spacingMs - spacing.elapsed()));
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
    // Once the repeat window has passed, the next call forgets the numbers.
    QThread::sleep(RepeatWindowSec + 1);
    call(nullptr);
    wait(300);
    f.rssAfterKb = residentKb(pid);

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
    const QCommandLineOption spacingOption(QStringLiteral("spacing-ms"),
                                           QStringLiteral("Abstand der Anrufe der Latenzmessung."),
                                           QStringLiteral("MS"), QStringLiteral("20"));
    const QCommandLineOption tlsOption(
        QStringLiteral("tls"),
        QStringLiteral("Denselben Server danach mit TLS=1 messen (Clients mit OpenSSL)."));
    const QCommandLineOption sharedOption(
        QStringLiteral("shared-cpu"),
        QStringLiteral("Server und Clients nicht auf je eine eigene CPU legen."));
    parser.addOptions({serverOption, compareOption, callsOption, memoryOption, clientsOption,
                       spacingOption, tlsOption, sharedOption});
    parser.process(app);
    const int rows = parser.positionalArguments().isEmpty()
                         ? 1000000
                         : parser.positionalArguments().first().toInt();
    const int calls = parser.value(callsOption).toInt();
    const int memoryCalls = parser.value(memoryOption).toInt();
    const int clientCount = parser.value(clientsOption).toInt();
    const QString server = QFileInfo(parser.value(serverOption)).absoluteFilePath();
    const bool pinned = !parser.isSet(sharedOption) && QThread::idealThreadCount() >= 2;
    const int spacingMs = parser.value(spacingOption).toInt();
    const QString compare = parser.isSet(compareOption)
                                ? QFileInfo(parser.value(compareOption)).absoluteFilePath()
                                : QString();

    QTemporaryDir dir;
    // Every call a number of its own: the repeat window suppresses none.
    const QStringList numbers = bench::createNumberIndex(dir.path(), rows, calls + memoryCalls + 1);
    if (numbers.size() < calls + memoryCalls + 1) {
        std::fprintf(stderr, "Zu wenige Nummern im Index\n");
        return 1;
    }
    std::printf("notify_rows=%d\nnotify_clients=%d\nnotify_cpus_of_their_own=%d\n", rows,
                clientCount, pinned ? 1 : 0);
    bool ok = true;
    Figures base;
    if (!compare.isEmpty()) {
        base =
            run(compare, dir.path(), numbers, calls, memoryCalls, clientCount, pinned, spacingMs);
        print(QStringLiteral("base_"), base);
        ok = ok && base.ok;
    }
    const Figures now =
        run(server, dir.path(), numbers, calls, memoryCalls, clientCount, pinned, spacingMs);
    print(QString(), now);
    ok = ok && now.ok;
    if (parser.isSet(tlsOption)) {
        test::TestCertificates certificates;
        if (const QString why = certificates.make(); !why.isEmpty()) {
            std::fprintf(stderr, "Keine Zertifikate: %s\n", qPrintable(why));
            return 1;
        }
        const Figures tls = run(server, dir.path(), numbers, calls, memoryCalls, clientCount,
                                pinned, spacingMs, &certificates);
        print(QStringLiteral("tls_"), tls);
        ok = ok && tls.ok;
        if (now.ok && tls.ok) {
            std::printf("ratio_tls_notify_median=%.2f\n", tls.medianUs / now.medianUs);
            std::printf("ratio_tls_notify_p99=%.2f\n", tls.p99Us / now.p99Us);
            std::printf("ratio_tls_server_cpu_per_call=%.2f\n",
                        tls.cpuPerCallUs / now.cpuPerCallUs);
            std::printf("ratio_tls_server_cpu_per_call_burst=%.2f\n",
                        tls.cpuPerCallBurstUs / now.cpuPerCallBurstUs);
        }
    }
    if (!compare.isEmpty() && base.ok && now.ok) {
        std::printf("ratio_notify_median=%.2f\n", now.medianUs / base.medianUs);
        std::printf("ratio_notify_p99=%.2f\n", now.p99Us / base.p99Us);
        std::printf("ratio_server_cpu_per_call=%.2f\n", now.cpuPerCallUs / base.cpuPerCallUs);
        std::printf("ratio_server_rss_start=%.2f\n",
                    double(now.rssStartKb) / double(base.rssStartKb));
    }
    return ok ? 0 : 1;
}
