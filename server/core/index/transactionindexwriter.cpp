#include "transactionindexwriter.h"

#include "reporter.h"
#include "vberror.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

namespace vorsa {

namespace {

// The advisory lock of the index build: "Vors" and 1.
constexpr int kLockClass = 0x566F7273;
constexpr int kLockObject = 1;
const QString kBatchSavepoint = QStringLiteral("vorsa_index_batch");
const QString kRowSavepoint = QStringLiteral("vorsa_index_row");

QString errorText(const QSqlError& error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.driverText().trimmed() : text;
}

// A row the database refuses for its values: data exceptions and integrity
// constraint violations. Anything else (the connection, the disk, the
// statement) is no fault of the row.
bool refusedRow(const QString& sqlState)
{
    return sqlState.startsWith(QLatin1String("22")) || sqlState.startsWith(QLatin1String("23"));
}

VbError writeFailure(const QString& message)
{
    return VbError::database(
        QStringLiteral("Der neue Telefonnummernindex konnte nicht geschrieben werden: %1")
            .arg(message));
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
    m_insertHead = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(m_table, list);
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
    if (m_postgres) {
        // Held until the transaction ends, also when the process is killed.
        QSqlQuery lock(db);
        if (!lock.exec(QStringLiteral("SELECT pg_try_advisory_xact_lock(%1, %2)")
                           .arg(kLockClass)
                           .arg(kLockObject))) {
            throw VbError::database(
                QStringLiteral("Die Sperre für den Aufbau des Telefonnummernindex konnte nicht "
                               "gesetzt werden: %1")
                    .arg(errorText(lock.lastError())));
        }
        if (!lock.next() || !lock.value(0).toBool()) {
            throw VbError::database(QStringLiteral(
                "Der Telefonnummernindex wird gerade von einem anderen Vorgang neu aufgebaut. Er "
                "bleibt unverändert; bitte den Aufbau erneut starten, wenn der andere fertig "
                "ist."));
        }
    }
    m_connection.execute(QStringLiteral("DELETE * FROM ") + m_table);
}

void TransactionIndexWriter::add(const QVector<QVariant>& values)
{
    for (int i = 0; i < m_columns.positions.size(); ++i)
        m_row[i] = forColumn(values.at(m_columns.positions.at(i)), m_columns.types.at(i));
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
            throw writeFailure(failure.message);
    }
    if (!m_copy->put(QByteArray::fromRawData(m_batch.constData() + start, m_batch.size() - start),
                     &failure))
        throw writeFailure(failure.message);
    if (++m_batchRows >= PostgresBatchRows)
        finishBatch();
}

void TransactionIndexWriter::insertRow(const QVector<QVariant>& values)
{
    // Written as the driver writes a bound value of its own type: texts
    // always quoted and escaped, whatever the column.
    const QSqlDriver* driver = m_connection.database().driver();
    QStringList literals;
    for (const QVariant& value : values) {
        QSqlField field(QString(), value.metaType());
        field.setValue(value);
        literals << driver->formatValue(field);
    }
    QSqlQuery insert(m_connection.database());
    if (insert.exec(m_insertHead + QLatin1Char('(') + literals.join(QStringLiteral(", ")) +
                    QLatin1Char(')')))
        ++m_counts.written;
    else
        ++m_counts.dropped;
}

void TransactionIndexWriter::savepoint(const QString& statement)
{
    PostgresCopy::Failure failure;
    if (!m_copy->exec(statement, &failure))
        throw writeFailure(failure.message);
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
            throw writeFailure(failure.message);
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
            throw writeFailure(failure.message);
        ++m_counts.dropped;
    }
}

void TransactionIndexWriter::commit()
{
    finishBatch();
    m_connection.commitTrans();
    m_inTransaction = false;
    m_done = true;
}

void TransactionIndexWriter::abandon() noexcept
{
    m_done = true;
    if (m_copy)
        m_copy->cancel();
    m_batch.clear();
    m_batchRows = 0;
    if (m_inTransaction && m_connection.isOpen() && m_connection.database().isOpen())
        ignoringErrors([&] { m_connection.rollbackTrans(); });
    m_inTransaction = false;
}

} // namespace vorsa
