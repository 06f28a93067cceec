#pragma once

#include <QString>
#include <QVariant>
#include <memory>

class QSqlDatabase;
struct sqlite3;
struct sqlite3_stmt;

namespace vorsa::db {

// A prepared INSERT run straight on the SQLite handle of a Qt connection.
// Qt's binding builds a placeholder name for every value it binds, which
// costs more than the insert itself when a number index of a hundred
// thousand rows is rebuilt. Values are bound as Qt's SQLite driver binds
// them, so a row reads back exactly as if it had been written through Qt.
class SqliteInsert {
public:
    // Null when the connection is not a SQLite one (or its handle cannot be
    // reached); error is set when the statement does not compile.
    static std::unique_ptr<SqliteInsert> prepare(const QSqlDatabase& db, const QString& statement,
                                                 QString* error);
    ~SqliteInsert();
    SqliteInsert(const SqliteInsert&) = delete;
    SqliteInsert& operator=(const SqliteInsert&) = delete;

    // Binds the values (they must live until exec() returns) and runs the
    // statement once. False with the database's message on failure.
    bool exec(const QVector<QVariant>& values, QString* error);
    qint64 lastInsertId() const;
    // SQLite's primary result code of the last failed exec() (SQLITE_CONSTRAINT ...).
    int errorCode() const { return m_errorCode; }

private:
    SqliteInsert(sqlite3* handle, sqlite3_stmt* statement)
        : m_handle(handle), m_statement(statement)
    {
    }
    bool bind(int position, const QVariant& value);

    sqlite3* m_handle;
    sqlite3_stmt* m_statement;
    int m_errorCode = 0;
};

} // namespace vorsa::db
