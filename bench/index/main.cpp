// Rebuilds the number index from a customer-management database of 100,000
// TKunden rows (one to four numbers each) the way cron does it: a process
// "VorsaSrv --build-index" of its own, once into an empty index and once
// over the full one, with the index on SQLite (a file on disk) and on
// PostgreSQL (the throwaway server of the tests). Measures each process's wall
// and CPU time and its peak resident memory. Given the VorsaSrv of an earlier
// version (--baseline), runs that the same way for comparison. Finally times,
// in this process, how long the end of a build (the new index replacing the
// old one) takes. Prints name=value lines.
//
// The builds are started by a small process forked at the start, so that
// each one's peak memory is its own (see Launcher).
//
// Usage: bench_index [--customers N] [--dir FOLDER] [--engine sqlite|postgresql]
//                    [--server VORSASRV] [--baseline VORSASRV]
// (FOLDER must be on disk; default the current folder)
#include "addresses.h"
#include "db/connection.h"
#include "db/recordset.h"
#include "db/schema.h"
#include "db/udl.h"
#include "index/indexbuild.h"
#include "index/stderrindexview.h"
#include "ini.h"
#include "pgcluster.h"
#include "reporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

using namespace vorsa;

namespace {

struct Measure {
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMb = 0;
    int rows = 0;
    int exitStatus = -1;
};

void line(const QString& name, const QString& value)
{
    std::printf("%s=%s\n", qPrintable(name), qPrintable(value));
    std::fflush(stdout);
}

void line(const QString& name, double value, int decimals)
{
    line(name, QString::number(value, 'f', decimals));
}

int indexRows(const QString& dir)
{
    db::Connection con;
    con.open(QStringLiteral("File Name=") + dir + QStringLiteral("/udlVorsa.UDL"));
    db::Recordset rs;
    rs.open(QStringLiteral("SELECT COUNT(*) FROM TTelefonNr"), con);
    return rs.value(0).toInt();
}

// Starts the builds from a small process forked before this one has grown:
// Linux gives a new program the peak memory of the process that starts it
// (its memory until exec), which would otherwise be this one's with the
// generated customers.
class Launcher {
public:
    struct Result {
        double seconds = 0;
        double cpuSeconds = 0;
        long maxRssKb = 0;
        int status = -1;
    };

    Launcher()
    {
        // Close-on-exec: a program started later (the PostgreSQL watchdog)
        // must not keep the launcher's input open.
        if (pipe2(m_request, O_CLOEXEC) != 0 || pipe2(m_reply, O_CLOEXEC) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            close(m_request[1]);
            close(m_reply[0]);
            serve(m_request[0], m_reply[1]);
            _exit(0);
        }
        close(m_request[0]);
        close(m_reply[1]);
    }
    ~Launcher()
    {
        close(m_request[1]); // the launcher ends at the end of its input
        close(m_reply[0]);
        if (m_pid > 0)
            waitpid(m_pid, nullptr, 0);
    }

    // Runs "exe --dir dir --build-index" with stderr into log.
    Result run(const QByteArray& exe, const QByteArray& dir, const QByteArray& log)
    {
        Result r;
        const QByteArray request = exe + '\0' + dir + '\0' + log + '\0';
        const quint32 size = quint32(request.size());
        if (m_pid <= 0 || write(m_request[1], &size, sizeof size) != sizeof size ||
            write(m_request[1], request.constData(), size) != qint64(size) ||
            read(m_reply[0], &r, sizeof r) != sizeof r)
            return {};
        return r;
    }

private:
    static void serve(int in, int out)
    {
        quint32 size = 0;
        while (read(in, &size, sizeof size) == sizeof size) {
            std::string request(size, '\0');
            if (read(in, request.data(), size) != qint64(size))
                return;
            const char* exe = request.c_str();
            const char* dir = exe + std::strlen(exe) + 1;
            const char* log = dir + std::strlen(dir) + 1;
            char* argv[] = {const_cast<char*>(exe), const_cast<char*>("--dir"),
                            const_cast<char*>(dir), const_cast<char*>("--build-index"), nullptr};
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 2, log, O_WRONLY | O_CREAT | O_TRUNC, 0644);
            Result r;
            timespec t0{}, t1{};
            clock_gettime(CLOCK_MONOTONIC, &t0);
            pid_t pid = 0;
            if (posix_spawn(&pid, exe, &actions, nullptr, argv, environ) == 0) {
                int status = 0;
                rusage usage{};
                wait4(pid, &status, 0, &usage);
                clock_gettime(CLOCK_MONOTONIC, &t1);
                r.seconds = double(t1.tv_sec - t0.tv_sec) + (t1.tv_nsec - t0.tv_nsec) / 1e9;
                r.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 +
                               usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
                r.maxRssKb = usage.ru_maxrss;
                r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            posix_spawn_file_actions_destroy(&actions);
            if (write(out, &r, sizeof r) != sizeof r)
                return;
        }
    }

    int m_request[2] = {-1, -1};
    int m_reply[2] = {-1, -1};
    pid_t m_pid = -1;
};

Launcher* launcher = nullptr;

// One "VorsaSrv --build-index" with its stderr in the folder's build-index.log.
Measure runBuild(const QString& server, const QString& dir)
{
    const Launcher::Result r =
        launcher->run(server.toLocal8Bit(), dir.toLocal8Bit(),
                      (dir + QStringLiteral("/build-index.log")).toLocal8Bit());
    if (r.status < 0)
        std::fprintf(stderr, "%s kann nicht gestartet werden\n", qPrintable(server));
    Measure m;
    m.seconds = r.seconds;
    m.cpuSeconds = r.cpuSeconds;
    m.peakMb = r.maxRssKb / 1024.0;
    m.exitStatus = r.status;
    m.rows = indexRows(dir);
    return m;
}

// A program folder whose index is on the given engine, empty, and whose
// address database is the shared one.
class Folder {
public:
    Folder(const QString& base, const QString& name, const QString& addresses, test::PgCluster* pg)
        : m_path(base + QLatin1Char('/') + name)
    {
        QDir().mkpath(m_path);
        db::writeUdl(m_path + QStringLiteral("/udlAdressen.UDL"),
                     QStringLiteral("Provider=SQLite;Data Source=") + addresses);
        IniSchreiben(QStringLiteral("Settings"), QStringLiteral("Application"),
                     m_path + QStringLiteral("/VorsaSrv.INI"), QStringLiteral("KUNDEN"));
        if (pg) {
            QString error;
            if (!pg->createDatabase(name, &error))
                throw VbError::database(error);
            pg->writeUdl(m_path + QStringLiteral("/udlVorsa.UDL"), name);
        } else {
            QFile(m_path + QStringLiteral("/vorsa.db")).open(QIODevice::WriteOnly);
            db::writeUdl(m_path + QStringLiteral("/udlVorsa.UDL"),
                         QStringLiteral("Provider=SQLite;Data Source=vorsa.db"));
        }
        db::Connection con;
        con.open(QStringLiteral("File Name=") + m_path + QStringLiteral("/udlVorsa.UDL"));
        db::applySchema(con, {QStringLiteral("TTelefonNr")});
    }
    const QString& path() const { return m_path; }

private:
    QString m_path;
};

// The end of a build in this process: from the progress bar at its maximum
// (the walk done) until the grid is bound again (the new index in place).
class EndTimer : public StderrIndexView {
public:
    void setProgressMaximum(int value) override { m_maximum = value; }
    void setProgressValue(int value) override
    {
        if (value == m_maximum)
            m_walked.start();
    }
    void bindGrid() override { commitSeconds = m_walked.nsecsElapsed() / 1e9; }
    double commitSeconds = 0;

private:
    int m_maximum = -1;
    QElapsedTimer m_walked;
};

double timeCommit(const QString& dir)
{
    db::Connection index;
    index.open(QStringLiteral("File Name=") + dir + QStringLiteral("/udlVorsa.UDL"));
    EndTimer view;
    LogReporter reporter;
    IndexBuild build(dir, index, nullptr, view, reporter);
    return build.KUNDEN_Verarbeitung() ? view.commitSeconds : -1;
}

bool benchEngine(const QString& engine, const QString& base, const QString& addresses,
                 int expectedRows, const QString& server, const QString& baseline)
{
    std::unique_ptr<test::PgCluster> pg;
    if (engine == QLatin1String("postgresql")) {
        pg = std::make_unique<test::PgCluster>();
        if (!pg->available()) {
            std::fprintf(stderr, "PostgreSQL: %s\n", qPrintable(pg->reason()));
            return false;
        }
    }
    bool ok = true;
    struct Program {
        QString prefix;
        QString binary;
    };
    QList<Program> programs{{engine, server}};
    if (!baseline.isEmpty())
        programs << Program{QStringLiteral("before_") + engine, baseline};
    QList<Measure> full;
    for (const Program& program : programs) {
        const Folder folder(base, program.prefix, addresses, pg.get());
        const Measure empty = runBuild(program.binary, folder.path());
        const Measure over = runBuild(program.binary, folder.path());
        full << over;
        for (const auto& [label, m] :
             {std::pair{QStringLiteral("empty_index_"), empty}, std::pair{QString(), over}}) {
            const QString p = program.prefix + QLatin1Char('_') + label;
            line(p + QStringLiteral("seconds"), m.seconds, 3);
            line(p + QStringLiteral("cpu_seconds"), m.cpuSeconds, 3);
            line(p + QStringLiteral("rows_per_second"), m.rows / m.seconds, 0);
            line(p + QStringLiteral("peak_rss_mb"), m.peakMb, 1);
            line(p + QStringLiteral("ok"), m.exitStatus == 0 && m.rows == expectedRows
                                               ? QStringLiteral("1")
                                               : QStringLiteral("0"));
            ok = ok && m.exitStatus == 0 && m.rows == expectedRows;
        }
        if (program.binary == server)
            line(program.prefix + QStringLiteral("_commit_seconds"), timeCommit(folder.path()), 3);
    }
    if (full.size() == 2) {
        line(engine + QStringLiteral("_speedup_x"),
             (full[0].rows / full[0].seconds) / (full[1].rows / full[1].seconds), 1);
        line(engine + QStringLiteral("_peak_rss_ratio"), full[0].peakMb / full[1].peakMb, 2);
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    Launcher small; // before anything grows
    launcher = &small;
    QCoreApplication app(argc, argv);
    int customers = 100000;
    QString base = QDir::currentPath();
    QString server = QStringLiteral(VORSA_SERVER_BINARY);
    QString baseline;
    QStringList engines{QStringLiteral("sqlite"), QStringLiteral("postgresql")};
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--customers"))
            customers = args[++i].toInt();
        else if (args[i] == QLatin1String("--dir"))
            base = args[++i];
        else if (args[i] == QLatin1String("--server"))
            server = args[++i];
        else if (args[i] == QLatin1String("--baseline"))
            baseline = args[++i];
        else if (args[i] == QLatin1String("--engine"))
            engines = QStringList{args[++i]};
    }
    QTemporaryDir tmp(base + QStringLiteral("/bench-index-XXXXXX"));
    if (!tmp.isValid()) {
        std::fprintf(stderr, "Kein Arbeitsordner in %s\n", qPrintable(base));
        return 1;
    }
    try {
        const QString addresses = tmp.filePath(QStringLiteral("adressen.db"));
        const QStringList numbers = sampledata::generateKundenDatabase(addresses, customers);
        line(QStringLiteral("customers"), QString::number(customers));
        line(QStringLiteral("index_rows"), QString::number(numbers.size()));
        bool ok = true;
        for (const QString& engine : std::as_const(engines))
            ok =
                benchEngine(engine, tmp.path(), addresses, int(numbers.size()), server, baseline) &&
                ok;
        return ok ? 0 : 1;
    } catch (const VbError& e) {
        std::fprintf(stderr, "Fehler %d: %s\n", e.number(), qPrintable(e.description()));
        return 1;
    }
}
