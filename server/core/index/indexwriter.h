#pragma once

#include "db/connection.h"
#include "vberror.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

namespace vorsa {

// Where an index build writes the new number index. The new index is built on
// a connection of the build's own and replaces the one in use as a whole in
// commit(): until then every other connection, in this process or another,
// reads the complete old index, and a build that ends before commit() (an
// error, a killed process) leaves the old index as it was. Old rows are never
// read.
//
// Only one build runs at a time: a second one is refused by begin(). Locks
// that other programs hold on the index are waited for a few seconds
// (BuildLockWaitMs), then the build ends with the old index kept.
class IndexWriter {
public:
    struct Counts {
        int written = 0; // rows in the new index
        int dropped = 0; // rows the database refused
    };

    virtual ~IndexWriter() = default;
    IndexWriter(const IndexWriter&) = delete;
    IndexWriter& operator=(const IndexWriter&) = delete;

    // Opens the build's own connection to the database that connectionString
    // names ("File Name=" + data-link file) and gives the writer for its
    // engine. Raises when the database cannot be opened.
    static std::unique_ptr<IndexWriter> open(const QString& connectionString,
                                             const QString& table = QStringLiteral("TTelefonNr"));

    // Drops what a build that was killed before its end left in the database
    // that connectionString names (SQLite: the new index beside the old one),
    // unless a build is running now. Never raises; true when something was
    // dropped.
    static bool dropLeftovers(const QString& connectionString,
                              const QString& table = QStringLiteral("TTelefonNr"));

    // How long the build waits for a lock another program holds on the index
    // (PostgreSQL) before it gives up.
    static constexpr int BuildLockWaitMs = 3000;

    // Takes the build lock and prepares the new, empty index. columns are the
    // columns the build sets, in the order of the values of add(); columns
    // the table lacks are left out of every row (the row keeps the table's
    // default there). Raises when the build cannot start; nothing is changed
    // then.
    virtual void begin(const QStringList& columns) = 0;
    // One row of the new index. A row the database refuses (a constraint, a
    // value of the wrong kind) is dropped and counted; any other failure (the
    // disk is full, the connection is lost) raises, and the build cannot go on.
    virtual void add(const QVector<QVariant>& values) = 0;
    // A progress point: the program handles its pending events next, and
    // calls handled there may write to the same database.
    virtual void progressPoint() = 0;
    // The new index replaces the old one. Raises when it cannot; the old index
    // then stays.
    virtual void commit() = 0;
    // Gives the new index up; the old one stays. Never raises.
    virtual void abandon() noexcept = 0;

    const Counts& counts() const { return m_counts; }
    // The build's own connection (valid until the writer is destroyed).
    db::Connection& connection() { return m_connection; }

protected:
    IndexWriter(const QString& table) : m_table(table) {}

    // Positions of the table's columns among the build's columns, and the
    // table's names and types for them, read from the driver's catalogue.
    struct Columns {
        QVector<int> positions;   // index into the build's values
        QStringList names;        // as the table spells them
        QVector<QMetaType> types; // the table's column types
    };
    // Raises when the table does not exist.
    Columns tableColumns(const QString& table, const QStringList& wanted);
    // The build's values as the table's columns take them, into row.
    static void tableRow(const Columns& columns, const QVector<QVariant>& values,
                         QVector<QVariant>& row);
    // Another build holds the index; holder names it where known.
    static VbError buildRunning(const QString& holder = {});

    db::Connection m_connection;
    QString m_table;
    Counts m_counts;
};

} // namespace vorsa
