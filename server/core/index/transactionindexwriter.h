#pragma once

#include "indexwriter.h"
#include "postgrescopy.h"

#include <QSqlQuery>
#include <memory>

namespace vorsa {

// The new index in one transaction on the build's own connection: the index
// is emptied ("DELETE * FROM"), the rows are written, and commit() commits
// it. Readers of other connections keep seeing the old rows until then; a
// build that ends before (or a connection that is lost) rolls everything back.
//
// PostgreSQL: rows stream to the server with COPY (PostgresCopy), 1,000 rows
// to a COPY, each COPY under a savepoint, so that a row the database refuses
// (SQLSTATE class 22 or 23) is found by writing that batch row by row and
// dropped without its neighbours. A transaction-level advisory lock keeps a
// second build out. Other engines write each row with one prepared INSERT;
// a row the database refuses for its values (SQLSTATE class 22 or 23, or any
// failure where the driver names no SQLSTATE) is dropped, any other failure
// ends the build.
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
    void finishBatch();
    void copyRowByRow();
    void savepoint(const QString& statement);
    void insertRow(const QVector<QVariant>& values);

    bool m_postgres;
    Columns m_columns;
    QSqlQuery m_insert;      // other engines: "INSERT INTO t (a, b) VALUES (?, ?)"
    QString m_copyStatement; // "COPY t (a, b) FROM STDIN"
    std::unique_ptr<PostgresCopy> m_copy;
    QVector<QVariant> m_row;
    QByteArray m_batch; // the lines of the open COPY
    int m_batchRows = 0;
    bool m_inTransaction = false;
    bool m_done = false;
};

} // namespace vorsa
