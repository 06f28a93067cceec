#include "transactionindexwriter.h"

#include "reporter.h"
#include "vberror.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace vorsa {

namespace {

// The advisory lock of the index build: "Vors" and 1.
constexpr int kLockClass = 0x566F7273;
constexpr int kLockObject = 1;
const QString kBatchSavepoint = QStringLiteral("vorsa_index_batch");
const QString kRowSavepoint = QStringLiteral("vorsa_index_row");

// A row the database refuses for its values: data exceptions and integrity
// constraint violations. Anything else (the connection, the disk, the
// statement) is no fault of the row.
bool refusedRow(const QString& sqlState)
{
    return sqlState.startsWith(QLatin1String("22")) || sqlState.startsWith(QLatin1String("23"));
}

// Another program held a lock on the index longer than the build waits.
bool lockNotAvailable(const QString& sqlState)
{
    return sqlState == QLatin1String("55P03");
}

VbError lockedIndex(const QString& message)
{
    return VbError::database(
        QStringLiteral("Der Telefonnummernindex ist von einem anderen Programm gesperrt; nach "
                       "%1 Sekunden Warten wurde der Aufbau abgebrochen (%2).")
            .arg(IndexWriter::BuildLockWaitMs / 1000)
            .arg(message));
}

VbError writeFailure(const QString& sqlState, const QString& message)
{
    if (lockNotAvailable(sqlState))
        return lockedIndex(message);
    return VbError::database(
        QStringLiteral("Der neue Telefonnummernindex konnte nicht geschrieben werden: %1")
            .arg(message));
}

VbError writeFailure(const PostgresCopy::Failure& failure)
{
    return writeFailure(failure.state, failure.message);
}

} // namespace

TransactionIndexWriter::TransactionIndexWriter(const QString& table, bool postgres)
    : IndexWriter(table), m_postgres(postgres)
{
}

TransactionIndexWriter::~TransactionIndexWriter()
{
    if (!m_done)
        abandon();
}

void TransactionIndexWriter::begin(const QStringList& columns)
{
    m_columns = tableColumns(m_table, columns);
    m_row.resize(m_columns.positions.size());
    QSqlDatabase db = m_connection.database();
    QStringList names;
    for (const QString& name : std::as_const(m_columns.names))
        names << db.driver()->escapeIdentifier(name, QSqlDriver::FieldName);
    const QString list = names.join(QStringLiteral(", "));
    m_copyStatement = QStringLiteral("COPY %1 (%2) FROM STDIN").arg(m_table, list);
    if (m_postgres) {
        m_copy = PostgresCopy::attach(db);
        if (!m_copy || m_columns.names.isEmpty()) {
            throw VbError::database(
                QStringLiteral("Der Telefonnummernindex kann auf der Verbindung \"%1\" nicht "
                               "geschrieben werden")
                    .arg(m_connection.description()));
        }
    }

    m_connection.beginTrans();
    m_inTransaction = true;
    if (!m_postgres) {
        // One statement for every row, its values bound.
        QStringList marks;
        for (qsizetype i = 0; i < m_columns.names.size(); ++i)
            marks << QStringLiteral("?");
        const QString statement = m_columns.names.isEmpty()
                                      ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_table)
                                      : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                            .arg(m_table, list, marks.join(QStringLiteral(", ")));
        m_insert = QSqlQuery(db);
        if (!m_insert.prepare(statement)) {
            throw VbError::database(
                QStringLiteral("Die Anweisung konnte nicht vorbereitet werden: %1 [Anweisung: %2]")
                    .arg(db::sqlErrorText(m_insert.lastError()), statement));
        }
    }
    if (m_postgres) {
        // Held until the transaction ends, also when the process is killed.
        QSqlQuery lock(db);
        if (!lock.exec(QStringLiteral("SELECT pg_try_advisory_xact_lock(%1, %2)")
                           .arg(kLockClass)
                           .arg(kLockObject))) {
            throw VbError::database(
                QStringLiteral("Die Sperre für den Aufbau des Telefonnummernindex konnte nicht "
                               "gesetzt werden: %1")
                    .arg(db::sqlErrorText(lock.lastError())));
        }
        if (!lock.next() || !lock.value(0).toBool())
            throw buildRunning();
    }
    const QString emptying = QStringLiteral("DELETE * FROM ") + m_table;
    QSqlQuery empty(db);
    if (!empty.exec(db::mapStatement(emptying))) {
        const QSqlError error = empty.lastError();
        if (lockNotAvailable(db::sqlState(empty))) {
            throw VbError::database(
                lockedIndex(db::sqlErrorText(error)).description() +
                QStringLiteral(" Er bleibt unverändert; bitte den Aufbau später erneut starten."));
        }
        throw VbError::database(
            QStringLiteral("Die SQL-Anweisung konnte nicht ausgeführt werden: %1 [Anweisung: %2]")
                .arg(db::sqlErrorText(error), emptying));
    }
}

void TransactionIndexWriter::add(const QVector<QVariant>& values)
{
    tableRow(m_columns, values, m_row);
    if (!m_postgres) {
        insertRow(m_row);
        return;
    }

    const qsizetype start = m_batch.size();
    PostgresCopy::appendLine(m_batch, m_row);
    PostgresCopy::Failure failure;
    if (!m_copy->isOpen()) {
        // One failed statement gives the whole transaction up: each COPY
        // runs under a savepoint that takes it back alone.
        savepoint(QStringLiteral("SAVEPOINT ") + kBatchSavepoint);
        if (!m_copy->begin(m_copyStatement, &failure))
            throw writeFailure(failure);
    }
    if (!m_copy->put(QByteArray::fromRawData(m_batch.constData() + start, m_batch.size() - start),
                     &failure))
        throw writeFailure(failure);
    if (++m_batchRows >= PostgresBatchRows)
        finishBatch();
}

void TransactionIndexWriter::insertRow(const QVector<QVariant>& values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        m_insert.bindValue(int(i), values.at(i));
    if (m_insert.exec()) {
        ++m_counts.written;
        return;
    }
    // A driver that names no SQLSTATE cannot tell the row's fault from the
    // connection's: the row is dropped, and a lost connection fails the commit.
    const QString state = db::sqlState(m_insert);
    if (!state.isEmpty() && !refusedRow(state))
        throw writeFailure(state, db::sqlErrorText(m_insert.lastError()));
    ++m_counts.dropped;
}

void TransactionIndexWriter::savepoint(const QString& statement)
{
    PostgresCopy::Failure failure;
    if (!m_copy->exec(statement, &failure))
        throw writeFailure(failure);
}

void TransactionIndexWriter::finishBatch()
{
    if (!m_copy || !m_copy->isOpen())
        return;
    PostgresCopy::Failure failure;
    if (m_copy->end(&failure)) {
        savepoint(QStringLiteral("RELEASE SAVEPOINT ") + kBatchSavepoint);
        m_counts.written += m_batchRows;
    } else {
        savepoint(QStringLiteral("ROLLBACK TO SAVEPOINT ") + kBatchSavepoint);
        savepoint(QStringLiteral("RELEASE SAVEPOINT ") + kBatchSavepoint);
        if (!refusedRow(failure.state))
            throw writeFailure(failure);
        copyRowByRow();
    }
    m_batch.clear();
    m_batchRows = 0;
}

void TransactionIndexWriter::copyRowByRow()
{
    qsizetype start = 0;
    while (start < m_batch.size()) {
        const qsizetype end = m_batch.indexOf('\n', start) + 1;
        const QByteArray line = m_batch.mid(start, end - start);
        start = end;
        PostgresCopy::Failure failure;
        savepoint(QStringLiteral("SAVEPOINT ") + kRowSavepoint);
        if (m_copy->begin(m_copyStatement, &failure) && m_copy->put(line, &failure) &&
            m_copy->end(&failure)) {
            savepoint(QStringLiteral("RELEASE SAVEPOINT ") + kRowSavepoint);
            ++m_counts.written;
            continue;
        }
        m_copy->cancel();
        savepoint(QStringLiteral("ROLLBACK TO SAVEPOINT ") + kRowSavepoint);
        savepoint(QStringLiteral("RELEASE SAVEPOINT ") + kRowSavepoint);
        if (!refusedRow(failure.state))
            throw writeFailure(failure);
        ++m_counts.dropped;
    }
}

void TransactionIndexWriter::commit()
{
    finishBatch();
    m_insert = QSqlQuery();
    m_connection.commitTrans();
    m_inTransaction = false;
    m_done = true;
}

void TransactionIndexWriter::abandon() noexcept
{
    m_done = true;
    m_insert = QSqlQuery();
    if (m_copy)
        m_copy->cancel();
    m_batch.clear();
    m_batchRows = 0;
    if (m_inTransaction && m_connection.isOpen() && m_connection.database().isOpen())
        ignoringErrors([&] { m_connection.rollbackTrans(); });
    m_inTransaction = false;
}

} // namespace vorsa
