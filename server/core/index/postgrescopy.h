#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVector>
#include <memory>

class QSqlDatabase;
struct pg_conn;

namespace vorsa {

// Rows into a PostgreSQL table with COPY ... FROM STDIN, run on the libpq
// connection of a Qt connection: the rows go to the server as one stream,
// without a statement per row and without SQL literals for the server to
// parse (Qt's driver offers nothing of the kind). Statements around it
// (savepoints) run on the same connection; none may run while a COPY is open.
class PostgresCopy {
public:
    struct Failure {
        QString state; // SQLSTATE, "" when the connection itself failed
        QString message;
    };

    // Null when the connection is not a PostgreSQL one with a reachable handle.
    static std::unique_ptr<PostgresCopy> attach(const QSqlDatabase& db);

    // Runs a statement without result ("SAVEPOINT x"). False with the failure.
    bool exec(const QString& statement, Failure* failure);
    // Opens "COPY table (columns) FROM STDIN".
    bool begin(const QString& copyStatement, Failure* failure);
    // One line of data (appendLine's form), while the COPY is open.
    bool put(const QByteArray& line, Failure* failure);
    // Ends the COPY; false when the server refused its data (then nothing of
    // it is written) or the connection failed.
    bool end(Failure* failure);
    // Ends an open COPY without writing it.
    void cancel();
    bool isOpen() const { return m_open; }

    // Appends a row in COPY's text form, ended by a line feed: Null as \N,
    // yes/no as t and f, backslash, tab, line feed and carriage return
    // escaped, texts in UTF-8.
    static void appendLine(QByteArray& out, const QVector<QVariant>& values);

private:
    explicit PostgresCopy(pg_conn* connection) : m_connection(connection) {}
    Failure connectionFailure() const;
    bool results(Failure* failure);

    pg_conn* m_connection;
    bool m_open = false;
};

} // namespace vorsa
