#pragma once

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace vorsa::test {

// A throwaway PostgreSQL cluster for tests.
//
// The constructor creates a cluster in a temporary folder (initdb -A trust
// --no-sync, superuser "postgres", UTF-8 with the C.UTF-8 locale) and starts
// it on 127.0.0.1 at a free port, with its socket in the same folder and
// fsync off; the destructor stops it and removes the folder (a watchdog does
// the same when the test process dies without it). As root, initdb
// and pg_ctl run as the system user "postgres" (runuser), otherwise as the
// current user. The binaries are taken from the newest
// /usr/lib/postgresql/<version>/bin. The result of initdb is kept once per
// machine as a template folder in the temporary folder and copied for each
// cluster, so a cluster starts in about a second.
//
// When PostgreSQL is not installed or the cluster does not start, available()
// is false and reason() tells why; tests then skip:
//
//     static vorsa::test::PgCluster* pg;   // one per test class, in initTestCase
//     pg = new vorsa::test::PgCluster;
//     if (!pg->available()) QSKIP(qPrintable(pg->reason()));
//     pg->createDatabase("vorsa");
//     pg->writeUdl(dir.filePath("udlVorsa.UDL"), "vorsa");
//     connection.open("File Name=" + dir.filePath("udlVorsa.UDL"));
class PgCluster {
public:
    PgCluster();
    ~PgCluster();
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    bool available() const { return m_running; }
    QString reason() const { return m_reason; }

    QString host() const { return QStringLiteral("127.0.0.1"); }
    int port() const { return m_port; }
    QString socketDir() const;
    QString user() const { return QStringLiteral("postgres"); }

    // Creates an empty database; false (with *error) when that fails.
    bool createDatabase(const QString& name, QString* error = nullptr);
    // Runs one statement as the superuser in a database (settings, checks).
    bool run(const QString& database, const QString& statement, QString* error = nullptr);

    // Stops the server and every process of it (SIGSTOP), as a server that
    // hangs: its connections stay up, nothing answers. thaw() lets them go on;
    // the destructor (and the watchdog of a test that crashed) thaws a frozen
    // server before it stops it.
    bool freeze(QString* error = nullptr);
    void thaw();

    // The init string of a data-link file for a database of this cluster,
    // over TCP, or over the socket folder when viaSocket is true.
    QString initString(const QString& database, bool viaSocket = false) const;
    // Writes such a data-link file (UTF-16LE with BOM, as Windows writes it).
    void writeUdl(const QString& udlPath, const QString& database, bool viaSocket = false) const;

    // The folder of initdb and pg_ctl, empty when PostgreSQL is not installed.
    static QString binDir();

private:
    bool runTool(const QString& tool, const QStringList& arguments, QString* output, int timeoutMs);
    bool initdb(const QString& data, QString* output);
    bool copyTemplate(const QString& data, QString* output);
    void startWatchdog();
    void stop();
    QString frozenList() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QList<qint64> m_frozen;
    QString m_bin;
    int m_port = 0;
    bool m_running = false;
    QString m_reason;
};

// Writes a data-link file naming a SQLite database (the path relative to the
// file's folder when it lies inside it) and creates the empty database file
// when it is missing and createFile is true.
void writeSqliteUdl(const QString& udlPath, const QString& databaseFile, bool createFile = true);

} // namespace vorsa::test
