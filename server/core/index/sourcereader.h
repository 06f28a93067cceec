#pragma once

#include "db/connection.h"

#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace vorsa {

// The records of an address database, read one after another and never held
// in memory together: the record count comes from a count of the same
// statement, the records from a forward-only query (PostgreSQL sends them
// row by row). Fields are found by name, the name as spelt first, then
// ignoring case.
class SourceReader {
public:
    // Counts the statement's records and runs it. Raises when either fails.
    void open(const QString& statement, db::Connection& connection);
    bool isOpen() const { return m_open; }
    void close();

    int recordCount() const { return m_count; }
    // Moves to the next record (the first one at the first call); false at
    // the end. A record that cannot be read (the database is gone) raises.
    bool next();

    // Position of a field, -1 when the statement has none of that name.
    int fieldIndex(const QString& name) const;
    bool hasField(const QString& name) const { return fieldIndex(name) >= 0; }
    // A field of the current record; a missing field raises 3265.
    QVariant value(const QString& name) const;
    QVariant value(int index) const { return m_query.value(index); }

    // "SELECT COUNT(*) FROM (statement) AS ..." for the record count.
    static QString countStatement(const QString& statement);

private:
    QSqlQuery m_query;
    QString m_statement;
    QHash<QString, int> m_exact;
    QHash<QString, int> m_folded;
    int m_count = 0;
    bool m_open = false;
};

} // namespace vorsa
