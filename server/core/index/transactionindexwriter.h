#pragma once

#include "indexwriter.h"

namespace vorsa {

// The new index in one transaction on the build's own connection: the index
// is emptied ("DELETE * FROM"), the rows are written, and commit() commits
// it. Readers of other connections keep seeing the old rows until then; a
// build that ends before (or a connection that is lost) rolls everything back.
//
// PostgreSQL: rows go in multi-row INSERTs of up to 1,000 rows, each under a
// savepoint, so that a row the database refuses (SQLSTATE class 22 or 23) is
// found by writing that batch row by row and dropped without its neighbours.
// A transaction-level advisory lock keeps a second build out. Other engines
// write one row per INSERT and drop every row that fails.
class TransactionIndexWriter : public IndexWriter {
public:
    TransactionIndexWriter(const QString& table, bool postgres);
    ~TransactionIndexWriter() override;

    void begin(const QStringList& columns) override;
    void add(const QVector<QVariant>& values) override;
    void progressPoint() override {}
    void commit() override;
    void abandon() noexcept override;

    static constexpr int PostgresBatchRows = 1000;

private:
    void flush();
    void flushRowByRow();
    void execute(const QString& statement);

    bool m_postgres;
    int m_batchRows;
    Columns m_columns;
    QString m_insertHead;  // "INSERT INTO t (a, b) VALUES "
    QStringList m_pending; // "(1, 'x')" per row
    bool m_inTransaction = false;
    bool m_done = false;
};

} // namespace vorsa
