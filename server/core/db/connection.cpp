#include "connection.h"

#include "connectionstate.h"
#include "libpq.h"
#include "odbc.h"
#include "udl.h"
#include "vberror.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>
#include <limits>
#include <poll.h>
#include <sys/stat.h>

namespace vorsa::db {

namespace {

// How long a statement waits for another process that holds the SQLite file
// (an index build run from cron while the server serves calls), unless the
// connection says otherwise.
constexpr int sqliteBusyTimeoutMs = 10000;
// How long opening a PostgreSQL connection may take, unless the connection
// says otherwise.
constexpr int postgresConnectTimeoutSec = 10;
// How much longer than its statement limit a statement is waited for on the
// client side: a server that is alive ends it itself within that time.
constexpr std::chrono::milliseconds statementGraceMs{500};

// Whether an idle PostgreSQL connection is still up. Nothing arrives on an
// idle connection unless its server ends it (a restart, an administrator)
// or the network gave up on it; anything that arrived counts as an end.
bool postgresConnectionUp(PGconn* connection)
{
    const LibPq* pq = libpq();
    if (!pq || pq->PQstatus(connection) != CONNECTION_OK)
        return false;
    const int fd = pq->PQsocket(connection);
    if (fd < 0)
        return false;
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 0;
}

QString nextConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("vorsa_db_%1").arg(++counter);
}

void removeConnection(const QString& name)
{
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isValid()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

VbError noAnswer(const detail::ConnectionState& state, const QString& statement)
{
    return VbError::database(
        QStringLiteral("Die Datenbank \"%1\" hat nicht innerhalb von %2 s geantwortet; die "
                       "Verbindung wird neu aufgebaut [Anweisung: %3]")
            .arg(state.description)
            .arg(QString::number(double(state.statementLimit.count()) / 1000.0, 'g', 3),
                 statement));
}

QString sqlErrorText(const QSqlError& error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.driverText().trimmed() : text;
}

QString sqlState(const QSqlQuery& query)
{
    if (query.driver() && query.driver()->dbmsType() == QSqlDriver::PostgreSQL) {
        static const QRegularExpression state(QStringLiteral("^[0-9A-Z]{5}$"));
        const QString code = query.lastError().nativeErrorCode();
        if (state.match(code).hasMatch())
            return code;
    }
    return odbcSqlState(query);
}

QString mapStatement(const QString& statement)
{
    static const QRegularExpression deleteStar(QStringLiteral("^(\\s*)DELETE\\s*\\*\\s*FROM\\b"),
                                               QRegularExpression::CaseInsensitiveOption);
    // Most statements have nothing to map (every lookup runs through here).
    if (!statement.contains(QLatin1String("DELETE"), Qt::CaseInsensitive))
        return statement;
    QString mapped = statement;
    mapped.replace(deleteStar, QStringLiteral("\\1DELETE FROM"));
    return mapped;
}

Connection::Connection() : m_state(std::make_shared<detail::ConnectionState>()) {}

Connection::~Connection()
{
    try {
        close();
    } catch (...) {
    }
}

void Connection::open(const QString& connectionString, const QString& user, const QString& password)
{
    close();
    DataLink link = dataLinkFromConnectionString(connectionString);
    if (!user.isEmpty()) {
        link.user = user;
    }
    if (!password.isEmpty()) {
        link.password = password;
    }
    open(link);
}

void Connection::open(const DataLink& link)
{
    close();
    const QString description = link.description();
    if (!QSqlDatabase::isDriverAvailable(link.driver)) {
        throw VbError::database(
            QStringLiteral("Der Datenbanktreiber %1 für \"%2\" ist nicht installiert")
                .arg(link.driver, description));
    }
    if (link.driver == QLatin1String("QSQLITE") && !QFileInfo(link.databaseName).isFile()) {
        throw VbError::database(QStringLiteral("Die Datenbankdatei \"%1\" wurde nicht gefunden")
                                    .arg(link.databaseName));
    }

    const QString name = nextConnectionName();
    const int busyTimeoutMs = m_lockWaitMs >= 0 ? m_lockWaitMs : sqliteBusyTimeoutMs;
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(link.driver, name);
        db.setDatabaseName(link.databaseName);
        if (link.driver == QLatin1String("QSQLITE")) {
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
        } else {
            if (!link.host.isEmpty()) {
                db.setHostName(link.host);
            }
            if (link.port > 0) {
                db.setPort(link.port);
            }
            db.setUserName(link.user);
            db.setPassword(link.password);
            if (link.driver == QLatin1String("QPSQL")) {
                // Notices ("already exists, skipping") are no news to the operator.
                QString options = QStringLiteral("-c client_min_messages=warning");
                if (m_lockWaitMs >= 0)
                    options += QStringLiteral(" -c lock_timeout=%1").arg(m_lockWaitMs);
                if (m_statementTimeoutMs > 0)
                    options += QStringLiteral(" -c statement_timeout=%1").arg(m_statementTimeoutMs);
                // A connection that stays open hears within a minute and a half
                // when its server has gone (keepalives), and a statement sent to
                // a server that no longer answers fails after the connect
                // timeout instead of the system's quarter of an hour.
                QString connect = QStringLiteral("connect_timeout=%1;keepalives=1;"
                                                 "keepalives_idle=60;keepalives_interval=10;"
                                                 "keepalives_count=3")
                                      .arg(m_connectTimeoutSec >= 0 ? m_connectTimeoutSec
                                                                    : postgresConnectTimeoutSec);
                if (m_connectTimeoutSec > 0)
                    connect += QStringLiteral(";tcp_user_timeout=%1")
                                   .arg(qMin<qint64>(qint64(m_connectTimeoutSec) * 1000,
                                                     std::numeric_limits<int>::max()));
                db.setConnectOptions(connect + QStringLiteral(";options='%1'").arg(options));
            }
        }
        if (!db.open()) {
            failure = sqlErrorText(db.lastError());
        } else if (link.driver == QLatin1String("QSQLITE")) {
            // WAL lets lookups read while an index build writes; it needs a
            // writable folder, so a refusal keeps the default journal. The
            // switches are tried without waiting: a database another program
            // holds keeps its journal until a later open.
            QSqlQuery pragma(db);
            pragma.exec(QStringLiteral("PRAGMA busy_timeout=0"));
            pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
            pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
            if (m_sqliteCacheKb >= 0)
                pragma.exec(QStringLiteral("PRAGMA cache_size=-%1").arg(m_sqliteCacheKb));
            pragma.exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(busyTimeoutMs));
        }
    }
    if (!failure.isNull()) {
        removeConnection(name);
        throw VbError::database(
            QStringLiteral("Die Datenbank \"%1\" konnte nicht geöffnet werden: %2")
                .arg(description, failure));
    }

    m_state = std::make_shared<detail::ConnectionState>();
    m_state->name = name;
    m_state->driver = link.driver;
    m_state->description = description;
    m_state->open = true;
    if (m_statementTimeoutMs > 0 && link.driver == QLatin1String("QPSQL")) {
        const LibPq* pq = libpq();
        PGconn* pg = postgresHandle(database());
        if (pq && pg) {
            m_state->socket = pq->PQsocket(pg);
            m_state->statementLimit =
                std::chrono::milliseconds(m_statementTimeoutMs) + statementGraceMs;
            m_state->watchdog = std::make_shared<StatementWatchdog>();
        }
    }
    m_udlPath = link.udlPath;
    m_udlStamp = m_udlPath.isEmpty() ? FileStamp{} : stampOf(m_udlPath);
    m_sqlitePath = link.driver == QLatin1String("QSQLITE") ? link.databaseName : QString();
    m_sqliteStamp = m_sqlitePath.isEmpty() ? FileStamp{} : stampOf(m_sqlitePath);
}

Connection::FileStamp Connection::stampOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    FileStamp stamp;
    stamp.exists = true;
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.size = qint64(st.st_size);
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

bool Connection::isCurrent() const
{
    if (!isOpen())
        return false;
    if (!m_udlPath.isEmpty()) {
        const FileStamp now = stampOf(m_udlPath);
        if (!now.exists || now.device != m_udlStamp.device || now.inode != m_udlStamp.inode ||
            now.size != m_udlStamp.size || now.modifiedNs != m_udlStamp.modifiedNs)
            return false;
    }
    if (!m_sqlitePath.isEmpty()) {
        // The file changes with every write; only another file in its place counts.
        const FileStamp now = stampOf(m_sqlitePath);
        if (!now.exists || now.device != m_sqliteStamp.device || now.inode != m_sqliteStamp.inode)
            return false;
    }
    if (m_state->driver == QLatin1String("QPSQL")) {
        PGconn* pg = postgresHandle(database());
        return pg && postgresConnectionUp(pg);
    }
    return true;
}

bool Connection::isOpen() const
{
    return m_state && m_state->open;
}

void Connection::close()
{
    if (!isOpen()) {
        return;
    }
    // Attached result sets let go of their driver objects first.
    const QList<detail::ConnectionUser*> users = m_state->users;
    for (detail::ConnectionUser* user : users) {
        user->connectionClosing();
    }
    m_state->users.clear();
    m_state->open = false;
    removeConnection(m_state->name);
}

void Connection::requireOpen(const char* operation) const
{
    if (!isOpen()) {
        throw VbError(adErrConnectionClosed,
                      QStringLiteral("Die Verbindung ist geschlossen: %1 ist nicht möglich")
                          .arg(QString::fromUtf8(operation)));
    }
}

int Connection::execute(const QString& statement)
{
    requireOpen("Ausführen einer Anweisung");
    const QString mapped = mapStatement(statement);
    QSqlQuery query(database());
    StatementDeadline deadline = m_state->deadline();
    const bool ok = query.exec(mapped);
    if (deadline.end())
        throw noAnswer(*m_state, statement);
    if (!ok) {
        throw VbError::database(
            QStringLiteral("Die SQL-Anweisung konnte nicht ausgeführt werden: %1 [Anweisung: %2]")
                .arg(sqlErrorText(query.lastError()), statement));
    }
    return query.numRowsAffected();
}

void Connection::beginTrans()
{
    requireOpen("BeginTrans");
    bool ok = false;
    QSqlDatabase db = database();
    QString text;
    if (m_state->driver == QLatin1String("QSQLITE")) {
        // IMMEDIATE takes the write lock at once, so a concurrent writer makes
        // this wait (busy timeout) instead of failing halfway through.
        QSqlQuery query(db);
        ok = query.exec(QStringLiteral("BEGIN IMMEDIATE"));
        text = sqlErrorText(query.lastError());
    } else {
        ok = db.transaction();
        text = sqlErrorText(db.lastError());
    }
    if (!ok) {
        throw VbError::database(
            QStringLiteral("Die Transaktion konnte nicht begonnen werden: %1").arg(text));
    }
}

void Connection::commitTrans()
{
    requireOpen("CommitTrans");
    QSqlDatabase db = database();
    bool ok = false;
    QString text;
    if (m_state->driver == QLatin1String("QSQLITE")) {
        QSqlQuery query(db);
        ok = query.exec(QStringLiteral("COMMIT"));
        text = sqlErrorText(query.lastError());
    } else {
        ok = db.commit();
        text = sqlErrorText(db.lastError());
    }
    if (!ok) {
        throw VbError::database(
            QStringLiteral("Die Transaktion konnte nicht abgeschlossen werden: %1").arg(text));
    }
}

void Connection::rollbackTrans()
{
    requireOpen("RollbackTrans");
    QSqlDatabase db = database();
    bool ok = false;
    QString text;
    if (m_state->driver == QLatin1String("QSQLITE")) {
        QSqlQuery query(db);
        ok = query.exec(QStringLiteral("ROLLBACK"));
        text = sqlErrorText(query.lastError());
    } else {
        ok = db.rollback();
        text = sqlErrorText(db.lastError());
    }
    if (!ok) {
        throw VbError::database(
            QStringLiteral("Die Transaktion konnte nicht zurückgesetzt werden: %1").arg(text));
    }
}

QSqlDatabase Connection::database() const
{
    if (!isOpen()) {
        return {};
    }
    return QSqlDatabase::database(m_state->name, false);
}

QString Connection::driverName() const
{
    return isOpen() ? m_state->driver : QString();
}

QString Connection::description() const
{
    return isOpen() ? m_state->description : QString();
}

} // namespace vorsa::db
