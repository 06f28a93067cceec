#pragma once

#include "filelock.h"
#include "indexwriter.h"

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
// The UNIQUE indexes of the index table are made on the new table when it is
// created, so that a row they refuse is dropped when it is written, as the
// index table itself would drop it; at the swap they take their own names
// again.
//
// A lock on a file next to the database ("<file>-index.lock"; the kernel
// gives it up when the process ends) keeps a second build out; a table left
// beside the index by a killed build is dropped by the next build, or when
// the server or its index window opens (dropLeftover).
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
    // A CREATE UNIQUE INDEX statement with the index's name and its table's
    // replaced; empty for any other statement.
    static QString renamedUniqueIndex(const QString& createIndex, const QString& name,
                                      const QString& table);
    // The lock file of a database file.
    static QString lockFileFor(const QString& databaseFile);
    // Drops the new index a killed build left in the SQLite database that
    // connectionString names, unless a build is running. True when dropped.
    static bool dropLeftover(const QString& connectionString, const QString& table);

private:
    struct Index {
        QString name;
        QString statement;
    };
    QString quoted(const QString& name) const;
    void lock();
    void readDefinition();

    std::unique_ptr<FileLock> m_lock;
    std::unique_ptr<db::SqliteInsert> m_insert;
    Columns m_columns;
    QString m_tableName;      // as the database spells it
    QString m_definition;     // its CREATE TABLE statement
    QStringList m_dependents; // its CREATE INDEX and CREATE TRIGGER statements
    QList<Index> m_unique;    // its UNIQUE indexes, as made on the new table
    bool m_inTransaction = false;
    bool m_staged = false; // the table beside the index exists
    bool m_done = false;
    QVector<QVariant> m_row;
};

} // namespace vorsa
