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
bool refusedRow(const QSqlError& error)
{
    const QString state = error.nativeErrorCode();
    return state.startsWith(QLatin1String("22")) || state.startsWith(QLatin1String("23"));
}

VbError writeFailure(const QSqlError& error)
{
    return VbError::database(
        QStringLiteral("Der neue Telefonnummernindex konnte nicht geschrieben werden: %1")
            .arg(errorText(error)));
}

} // namespace

TransactionIndexWriter::TransactionIndexWriter(const QString& table, bool postgres)
    : IndexWriter(table), m_postgres(postgres), m_batchRows(postgres ? PostgresBatchRows : 1)
{
}

TransactionIndexWriter::~TransactionIndexWriter()
{
    if (!m_done)
        abandon();
}

void TransactionIndexWriter::execute(const QString& statement)
{
    m_connection.execute(statement);
}

void TransactionIndexWriter::begin(const QStringList& columns)
{
    m_columns = tableColumns(m_table, columns);
    QSqlDatabase db = m_connection.database();
    QStringList names;
    for (const QString& name : std::as_const(m_columns.names))
        names << db.driver()->escapeIdentifier(name, QSqlDriver::FieldName);
    m_insertHead = QStringLiteral("INSERT INTO %1 (%2) VALUES ")
                       .arg(m_table, names.join(QStringLiteral(", ")));

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
    execute(QStringLiteral("DELETE * FROM ") + m_table);
}

void TransactionIndexWriter::add(const QVector<QVariant>& values)
{
    const QSqlDriver* driver = m_connection.database().driver();
    QString row;
    row.reserve(16 * m_columns.positions.size());
    row += QLatin1Char('(');
    for (int i = 0; i < m_columns.positions.size(); ++i) {
        if (i > 0)
            row += QStringLiteral(", ");
        // Written as the driver writes a bound value of its own type: texts
        // always quoted and escaped, whatever the column.
        const QVariant value =
            forColumn(values.at(m_columns.positions.at(i)), m_columns.types.at(i));
        QSqlField field(QString(), value.metaType());
        field.setValue(value);
        row += driver->formatValue(field);
    }
    row += QLatin1Char(')');
    m_pending << row;
    if (m_pending.size() >= m_batchRows)
        flush();
}

void TransactionIndexWriter::flush()
{
    if (m_pending.isEmpty())
        return;
    QSqlDatabase db = m_connection.database();
    if (!m_postgres) {
        for (const QString& row : std::as_const(m_pending)) {
            QSqlQuery insert(db);
            if (insert.exec(m_insertHead + row))
                ++m_counts.written;
            else
                ++m_counts.dropped;
        }
        m_pending.clear();
        return;
    }

    // One failed statement gives the whole transaction up: the batch runs
    // under a savepoint that takes it back alone.
    execute(QStringLiteral("SAVEPOINT ") + kBatchSavepoint);
    QSqlQuery insert(db);
    if (insert.exec(m_insertHead + m_pending.join(QStringLiteral(", ")))) {
        execute(QStringLiteral("RELEASE SAVEPOINT ") + kBatchSavepoint);
        m_counts.written += int(m_pending.size());
        m_pending.clear();
        return;
    }
    const QSqlError error = insert.lastError();
    insert.finish();
    execute(QStringLiteral("ROLLBACK TO SAVEPOINT ") + kBatchSavepoint);
    execute(QStringLiteral("RELEASE SAVEPOINT ") + kBatchSavepoint);
    if (!refusedRow(error))
        throw writeFailure(error);
    flushRowByRow();
}

void TransactionIndexWriter::flushRowByRow()
{
    QSqlDatabase db = m_connection.database();
    for (const QString& row : std::as_const(m_pending)) {
        execute(QStringLiteral("SAVEPOINT ") + kRowSavepoint);
        QSqlQuery insert(db);
        if (insert.exec(m_insertHead + row)) {
            execute(QStringLiteral("RELEASE SAVEPOINT ") + kRowSavepoint);
            ++m_counts.written;
            continue;
        }
        const QSqlError error = insert.lastError();
        insert.finish();
        execute(QStringLiteral("ROLLBACK TO SAVEPOINT ") + kRowSavepoint);
        execute(QStringLiteral("RELEASE SAVEPOINT ") + kRowSavepoint);
        if (!refusedRow(error))
            throw writeFailure(error);
        ++m_counts.dropped;
    }
    m_pending.clear();
}

void TransactionIndexWriter::commit()
{
    flush();
    m_connection.commitTrans();
    m_inTransaction = false;
    m_done = true;
}

void TransactionIndexWriter::abandon() noexcept
{
    m_done = true;
    m_pending.clear();
    if (m_inTransaction && m_connection.isOpen() && m_connection.database().isOpen())
        ignoringErrors([&] { m_connection.rollbackTrans(); });
    m_inTransaction = false;
}

} // namespace vorsa
