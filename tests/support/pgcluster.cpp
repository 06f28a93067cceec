#include "pgcluster.h"

#include "db/udl.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QUuid>

#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorsa::test {

namespace {

int freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) {
        return 0;
    }
    return probe.serverPort();
}

bool isRoot()
{
    return ::geteuid() == 0;
}

QString sqlError(const QSqlError& e)
{
    return e.databaseText().isEmpty() ? e.text() : e.databaseText();
}

} // namespace

QString PgCluster::binDir()
{
    const QDir base(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = base.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(versions.begin(), versions.end(),
              [&](const QString& a, const QString& b) { return numeric.compare(a, b) > 0; });
    for (const QString& v : versions) {
        const QString bin = base.filePath(v + QStringLiteral("/bin"));
        if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable() &&
            QFileInfo(bin + QStringLiteral("/pg_ctl")).isExecutable()) {
            return bin;
        }
    }
    return {};
}

PgCluster::PgCluster()
{
    m_bin = binDir();
    if (m_bin.isEmpty()) {
        m_reason = QStringLiteral("PostgreSQL ist nicht installiert (kein initdb unter "
                                  "/usr/lib/postgresql/*/bin)");
        return;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        m_reason = QStringLiteral("Der Qt-Treiber QPSQL ist nicht installiert");
        return;
    }
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vorsa-pg-XXXXXX"));
    if (!m_dir->isValid()) {
        m_reason = QStringLiteral("Kein temporärer Ordner für PostgreSQL");
        return;
    }
    if (isRoot()) {
        // initdb refuses root: the cluster belongs to the system user "postgres".
        const passwd* pw = ::getpwnam("postgres");
        if (!pw) {
            m_reason = QStringLiteral("Als root wird der Benutzer \"postgres\" gebraucht");
            return;
        }
        if (::chown(QFile::encodeName(m_dir->path()).constData(), pw->pw_uid, pw->pw_gid) != 0) {
            m_reason = QStringLiteral("Der Ordner %1 kann nicht an \"postgres\" übergeben werden")
                           .arg(m_dir->path());
            return;
        }
    }
    const QString data = m_dir->filePath(QStringLiteral("data"));
    QString output;
    if (!copyTemplate(data, &output)) {
        m_reason = QStringLiteral("initdb ist gescheitert: ") + output.trimmed();
        return;
    }
    // The port is free when probed; another process may take it before the
    // server binds, so try a few.
    for (int attempt = 0; attempt < 3 && !m_running; ++attempt) {
        m_port = freePort();
        const QString options =
            QStringLiteral("-c listen_addresses=127.0.0.1 -p %1 -k %2 -c fsync=off "
                           "-c synchronous_commit=off -c full_page_writes=off")
                .arg(m_port)
                .arg(m_dir->path());
        m_running = runTool(QStringLiteral("pg_ctl"),
                            {QStringLiteral("-D"), data, QStringLiteral("-l"),
                             m_dir->filePath(QStringLiteral("server.log")), QStringLiteral("-o"),
                             options, QStringLiteral("-w"), QStringLiteral("-t"),
                             QStringLiteral("30"), QStringLiteral("start")},
                            &output, 40000);
    }
    if (m_running) {
        startWatchdog();
    } else {
        QFile log(m_dir->filePath(QStringLiteral("server.log")));
        QString tail;
        if (log.open(QIODevice::ReadOnly)) {
            tail = QString::fromUtf8(log.readAll()).right(600);
        }
        m_reason = QStringLiteral("PostgreSQL startet nicht: ") + output.trimmed() +
                   QLatin1Char(' ') + tail.trimmed();
    }
}

PgCluster::~PgCluster()
{
    stop();
}

bool PgCluster::initdb(const QString& data, QString* output)
{
    return runTool(QStringLiteral("initdb"),
                   {QStringLiteral("-D"), data, QStringLiteral("-A"), QStringLiteral("trust"),
                    QStringLiteral("-U"), user(), QStringLiteral("--no-sync"), QStringLiteral("-E"),
                    QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8")},
                   output, 120000);
}

bool PgCluster::copyTemplate(const QString& data, QString* output)
{
    // initdb takes seconds; its result is the same every time, so one
    // template per machine and PostgreSQL version is made once and copied.
    const uid_t owner = isRoot() ? ::getpwnam("postgres")->pw_uid : ::geteuid();
    const QString templ = QDir::tempPath() + QStringLiteral("/vorsa-pg-template-v1-%1-%2")
                                                 .arg(QFileInfo(m_bin).dir().dirName())
                                                 .arg(owner);
    struct stat info {};
    const QByteArray templPath = QFile::encodeName(templ);
    const bool usable = ::stat(templPath.constData(), &info) == 0 && info.st_uid == owner &&
                        QFileInfo::exists(templ + QStringLiteral("/PG_VERSION"));
    if (!usable) {
        if (QFileInfo::exists(templ)) {
            // Not ours or incomplete: do without the template.
            return initdb(data, output);
        }
        // Built inside our own folder and moved into place in one step, so
        // that a test started at the same time never sees half a template.
        const QString fresh = m_dir->filePath(QStringLiteral("template"));
        if (!initdb(fresh, output)) {
            return false;
        }
        if (!QDir().rename(fresh, templ)) {
            // Another test was quicker; use ours directly.
            return QDir().rename(fresh, data);
        }
    }
    return runTool(QStringLiteral("cp"), {QStringLiteral("-a"), templ, data}, output, 60000);
}

void PgCluster::startWatchdog()
{
    // A test that crashes never reaches the destructor: a small shell waits
    // for this process to end and then stops the server and removes the folder.
    const QString pgCtl = m_bin + QStringLiteral("/pg_ctl");
    const QString stop =
        isRoot() ? QStringLiteral("runuser -u postgres -- \"$2\"") : QStringLiteral("\"$2\"");
    const QString script =
        QStringLiteral("while kill -0 \"$0\" 2>/dev/null; do sleep 1; done; "
                       "[ -f \"$1/frozen.pids\" ] && kill -CONT $(cat \"$1/frozen.pids\"); ") +
        stop + QStringLiteral(" -D \"$1/data\" -m immediate stop >/dev/null 2>&1; rm -rf \"$1\"");
    // Its output goes nowhere, so that it never holds the test's output open.
    QProcess watchdog;
    watchdog.setProgram(QStringLiteral("/bin/sh"));
    watchdog.setArguments({QStringLiteral("-c"), script,
                           QString::number(QCoreApplication::applicationPid()), m_dir->path(),
                           pgCtl});
    watchdog.setStandardInputFile(QProcess::nullDevice());
    watchdog.setStandardOutputFile(QProcess::nullDevice());
    watchdog.setStandardErrorFile(QProcess::nullDevice());
    watchdog.startDetached();
}

QString PgCluster::frozenList() const
{
    return m_dir->filePath(QStringLiteral("frozen.pids"));
}

bool PgCluster::freeze(QString* error)
{
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        thaw();
        return false;
    };
    if (!m_running)
        return fail(m_reason);
    QFile pidFile(m_dir->filePath(QStringLiteral("data/postmaster.pid")));
    if (!pidFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("postmaster.pid fehlt"));
    const qint64 postmaster = pidFile.readLine().trimmed().toLongLong();
    if (postmaster <= 0)
        return fail(QStringLiteral("postmaster.pid ohne Prozessnummer"));
    // The postmaster first, so that it starts no process meanwhile; then
    // its children (the backends and the server's helpers).
    QList<qint64> pids{postmaster};
    const QStringList entries =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> after = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (after.size() > 1 && after.at(1).toLongLong() == postmaster)
            pids << pid;
    }
    QFile list(frozenList());
    if (!list.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("%1 kann nicht geschrieben werden").arg(list.fileName()));
    for (const qint64 pid : pids)
        list.write(QByteArray::number(pid) + ' ');
    list.close();
    for (const qint64 pid : pids) {
        if (::kill(pid_t(pid), SIGSTOP) != 0 && pid == postmaster)
            return fail(QStringLiteral("SIGSTOP an %1 ist gescheitert").arg(pid));
        m_frozen << pid;
    }
    return true;
}

void PgCluster::thaw()
{
    for (const qint64 pid : std::as_const(m_frozen))
        ::kill(pid_t(pid), SIGCONT);
    m_frozen.clear();
    if (m_dir)
        QFile::remove(frozenList());
}

void PgCluster::stop()
{
    thaw();
    if (!m_running) {
        return;
    }
    QString output;
    runTool(QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), m_dir->filePath(QStringLiteral("data")), QStringLiteral("-m"),
             QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")},
            &output, 30000);
    m_running = false;
}

QString PgCluster::socketDir() const
{
    return m_dir ? m_dir->path() : QString();
}

bool PgCluster::runTool(const QString& tool, const QStringList& arguments, QString* output,
                        int timeoutMs)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& key : env.keys()) {
        if (key.startsWith(QLatin1String("PG"))) {
            env.remove(key);
        }
    }
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(m_dir->path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QString program = tool.contains(QLatin1Char('/')) || tool == QLatin1String("cp")
                                ? tool
                                : m_bin + QLatin1Char('/') + tool;
    if (isRoot()) {
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                  QStringLiteral("--"), program} +
                          arguments);
    } else {
        process.start(program, arguments);
    }
    if (!process.waitForStarted(10000)) {
        *output = process.errorString();
        return false;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        *output = tool + QStringLiteral(": keine Antwort");
        return false;
    }
    *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool PgCluster::run(const QString& database, const QString& statement, QString* error)
{
    if (!m_running) {
        if (error) {
            *error = m_reason;
        }
        return false;
    }
    const QString name = QStringLiteral("vorsa_pgcluster_") + QUuid::createUuid().toString();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(host());
        db.setPort(m_port);
        db.setUserName(user());
        db.setDatabaseName(database);
        if (db.open()) {
            QSqlQuery query(db);
            ok = query.exec(statement);
            if (!ok && error) {
                *error = sqlError(query.lastError());
            }
        } else if (error) {
            *error = sqlError(db.lastError());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool PgCluster::createDatabase(const QString& name, QString* error)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return run(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE \"%1\"").arg(quoted),
               error);
}

QString PgCluster::initString(const QString& database, bool viaSocket) const
{
    return QStringLiteral("Provider=PostgreSQL OLE DB Provider;Password=\"\";User ID=%1;"
                          "Data Source=%2;Location=%3;Port=%4")
        .arg(user(), viaSocket ? socketDir() : host(), database)
        .arg(m_port);
}

void PgCluster::writeUdl(const QString& udlPath, const QString& database, bool viaSocket) const
{
    db::writeUdl(udlPath, initString(database, viaSocket));
}

void writeSqliteUdl(const QString& udlPath, const QString& databaseFile, bool createFile)
{
    const QDir folder = QFileInfo(udlPath).absoluteDir();
    const QString absolute =
        QFileInfo(databaseFile).isAbsolute() ? databaseFile : folder.absoluteFilePath(databaseFile);
    QString relative = folder.relativeFilePath(absolute);
    if (relative.startsWith(QLatin1String(".."))) {
        relative = absolute;
    }
    db::writeUdl(udlPath, QStringLiteral("Provider=SQLite;Data Source=%1").arg(relative));
    if (createFile && !QFileInfo::exists(absolute)) {
        QFile file(absolute);
        file.open(QIODevice::WriteOnly);
    }
}

} // namespace vorsa::test
