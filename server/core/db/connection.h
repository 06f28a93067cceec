#pragma once

#include <QSqlDatabase>
#include <QString>

namespace vorsa::db {

// Connection states as the callers test them.
constexpr int adStateClosed = 0;
constexpr int adStateOpen = 1;
// Cursor locations, cursor types and lock types of the callers; only the
// client-side static cursor exists here, the values are kept for readability.
constexpr int adUseClient = 3;
enum class CursorType { Static = 3 };
enum class LockType { ReadOnly = 1, Optimistic = 3 };

// A database connection opened from a data-link file. Every failure is a
// VbError (database errors carry the statement that failed, never a password).
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setCursorLocation(int location) { m_cursorLocation = location; }
    int cursorLocation() const { return m_cursorLocation; }

    // connectionString: "File Name=" + path of a data-link file.
    void open(const QString& connectionString, const QString& user = {},
              const QString& password = {});
    bool isOpen() const;
    int state() const { return isOpen() ? adStateOpen : adStateClosed; }
    void close();

    // Runs one statement without result. "DELETE * FROM t" is understood.
    void execute(const QString& statement);

    void beginTrans();
    void commitTrans();
    void rollbackTrans();

    // The Qt connection (valid while open).
    QSqlDatabase database() const;
    // "QSQLITE", "QPSQL", "QODBC" (empty while closed).
    QString driverName() const;

private:
    QString m_name;  // unique Qt connection name
    int m_cursorLocation = adUseClient;
};

// The one place where statements of the system's own dialect are mapped to the
// engine: "DELETE * FROM" becomes "DELETE FROM"; everything else passes unchanged.
QString mapStatement(const QString& statement);

} // namespace vorsa::db
