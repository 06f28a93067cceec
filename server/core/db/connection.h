#pragma once

#include <QSqlDatabase>
#include <QString>
#include <memory>

class QSqlError;
class QSqlQuery;

namespace vorsa::db {

// Connection states as the callers test them.
constexpr int adStateClosed = 0;
constexpr int adStateOpen = 1;
// Cursor locations, cursor types and lock types of the callers; only the
// client-side static cursor exists here, the values are kept for readability.
constexpr int adUseClient = 3;
enum class CursorType { Static = 3 };
enum class LockType { ReadOnly = 1, Optimistic = 3 };

// ADO's numbers for misuse of a closed object or a missing current record.
constexpr int adErrObjectClosed = 3704;     // the result set is closed
constexpr int adErrNoCurrentRecord = 3021;  // BOF or EOF
constexpr int adErrConnectionClosed = 3709; // no open connection for the operation
constexpr int adErrFeatureNotAvailable = 3251;

struct DataLink;
namespace detail {
struct ConnectionState;
}

// A database connection opened from a data-link file. Every failure is a
// VbError (database errors carry the statement that failed, never a password).
// Locks of other programs are waited for (see setLockWaitMs). SQLite files
// are opened with the WAL journal; a missing SQLite file is an
// error, never silently created. Closing the connection closes the result sets
// still attached to it; detached ones (Recordset::disconnect) stay readable.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setCursorLocation(int location) { m_cursorLocation = location; }
    // How long a statement waits for a lock another program holds before it
    // fails (SQLite's busy timeout, PostgreSQL's lock_timeout), from the next
    // open. Unset (-1): SQLite waits 10 s, PostgreSQL as long as its server.
    void setLockWaitMs(int ms) { m_lockWaitMs = ms; }
    int lockWaitMs() const { return m_lockWaitMs; }
    // How long opening a PostgreSQL connection may take before it fails, and
    // how long data sent on it may stay unacknowledged (a database server
    // that went away), from the next open. Unset (-1): 10 s to connect, the
    // system's own limit for sent data.
    void setConnectTimeoutSec(int seconds) { m_connectTimeoutSec = seconds; }
    // How long one statement may take, from the next open (PostgreSQL; -1,
    // the default: no limit). The server ends a slower statement itself
    // (statement_timeout); one that no longer answers at all (stopped, hung)
    // is given up on the client side half a second later: the statement
    // fails and the connection is lost (isOpen() stays true until close(),
    // isCurrent() is false), so its owner opens it afresh.
    void setStatementTimeoutMs(int ms) { m_statementTimeoutMs = ms; }
    // The most memory SQLite keeps of the file's pages for this connection,
    // from the next open (-1: SQLite's default of 2 MB).
    void setSqliteCacheKb(int kb) { m_sqliteCacheKb = kb; }
    int cursorLocation() const { return m_cursorLocation; }

    // connectionString: "File Name=" + path of a data-link file.
    // Opening an open connection closes it first. user/password, when not
    // empty, replace those of the data-link file.
    void open(const QString& connectionString, const QString& user = {},
              const QString& password = {});
    // Opens what a data-link names (tests, tools).
    void open(const DataLink& link);
    bool isOpen() const;
    int state() const { return isOpen() ? adStateOpen : adStateClosed; }
    void close();
    // Whether an open connection still reaches what its data link names now:
    // the data-link file is unchanged, a SQLite file is still the file that
    // was opened (not removed or replaced), a PostgreSQL connection has not
    // been ended by its server. A few system calls, no round trip. False
    // when closed.
    bool isCurrent() const;

    // Runs one statement without result. "DELETE * FROM t" is understood.
    // Returns the number of rows affected (-1 when the driver cannot tell).
    int execute(const QString& statement);

    void beginTrans();
    void commitTrans();
    void rollbackTrans();

    // The Qt connection (valid while open).
    QSqlDatabase database() const;
    // "QSQLITE", "QPSQL", "QODBC" (empty while closed).
    QString driverName() const;
    // The database as messages name it (path or host/database; never the password).
    QString description() const;

private:
    friend class Recordset;
    void requireOpen(const char* operation) const;

    std::shared_ptr<detail::ConnectionState> m_state; // shared with the attached result sets
    int m_cursorLocation = adUseClient;
    int m_lockWaitMs = -1;
    int m_connectTimeoutSec = -1;
    int m_statementTimeoutMs = -1;
    int m_sqliteCacheKb = -1;

    // What the open connection was made from, to tell when it is stale.
    struct FileStamp {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
    };
    static FileStamp stampOf(const QString& path);
    QString m_udlPath;
    FileStamp m_udlStamp;
    QString m_sqlitePath;
    FileStamp m_sqliteStamp;
};

// The text of a driver's error as messages quote it: the database's own
// words, else the driver's.
QString sqlErrorText(const QSqlError& error);
// The SQLSTATE of the last failure of a query ("23505"), empty when its
// driver names none: PostgreSQL's driver gives it as the error's code, an
// ODBC driver in the diagnostics of the statement.
QString sqlState(const QSqlQuery& query);

// The one place where statements of the system's own dialect are mapped to the
// engine: "DELETE * FROM" becomes "DELETE FROM"; everything else passes unchanged.
QString mapStatement(const QString& statement);

} // namespace vorsa::db
