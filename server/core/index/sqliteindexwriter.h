#pragma once

#include "indexwriter.h"

#include <QLockFile>
#include <memory>

namespace vorsa {

namespace db {
class SqliteInsert;
}

// The new index on SQLite: built in a table beside the index (the index's
// name + "_Neu", with the index table's own definition), its rows committed
// at every progress point, so that no write lock is held while the program
// handles events (a call there may book a ride in the same file); the next
// row takes the lock again. commit()
// drops the old table, gives the new one its name and creates the old one's
// indexes and triggers on it, all in one short transaction; readers (WAL)
// see the old table until that commits.
//
// A lock file next to the database ("<file>-index.lock", taken over from a
// process that no longer runs) keeps a second build out; a table left beside
// the index by a killed build is dropped by the next one.
class SqliteIndexWriter : public IndexWriter {
public:
    explicit SqliteIndexWriter(const QString& table);
    ~SqliteIndexWriter() override;

    void begin(const QStringList& columns) override;
    void add(const QVector<QVariant>& values) override;
    void progressPoint() override;
    void commit() override;
    void abandon() noexcept override;

    static QString stagingTable(const QString& table) { return table + QStringLiteral("_Neu"); }
    // A CREATE TABLE statement with the table's name replaced by `name`.
    static QString renamedDefinition(const QString& createTable, const QString& name);
    // The lock file of a database file.
    static QString lockFileFor(const QString& databaseFile);

private:
    QString quoted(const QString& name) const;
    void lock();
    void readDefinition();

    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<db::SqliteInsert> m_insert;
    Columns m_columns;
    QString m_tableName;      // as the database spells it
    QString m_definition;     // its CREATE TABLE statement
    QStringList m_dependents; // its CREATE INDEX and CREATE TRIGGER statements
    bool m_inTransaction = false;
    bool m_staged = false; // the table beside the index exists
    bool m_done = false;
    QVector<QVariant> m_row;
};

} // namespace vorsa
