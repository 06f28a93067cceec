#include "sqliteindexwriter.h"

#include "db/sqliteinsert.h"
#include "reporter.h"
#include "vberror.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

namespace vorsa {

namespace {

// A name in an SQL statement: quoted in any of SQLite's ways, or bare.
const QString kName =
    QStringLiteral("(?:\"(?:[^\"]|\"\")+\"|\\[[^\\]]+\\]|`[^`]+`|'(?:[^']|'')+'|[^\\s(]+)");

QString quotedName(QString name)
{
    name.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + name + QLatin1Char('"');
}

} // namespace

SqliteIndexWriter::SqliteIndexWriter(const QString& table) : IndexWriter(table) {}

SqliteIndexWriter::~SqliteIndexWriter()
{
    if (!m_done)
        abandon();
}

QString SqliteIndexWriter::renamedDefinition(const QString& createTable, const QString& name)
{
    static const QRegularExpression head(
        QStringLiteral("^(\\s*CREATE\\s+TABLE\\s+(?:IF\\s+NOT\\s+EXISTS\\s+)?)") + kName,
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = head.match(createTable);
    if (!m.hasMatch())
        return {};
    return m.captured(1) + quotedName(name) + createTable.mid(m.capturedEnd(0));
}

QString SqliteIndexWriter::renamedUniqueIndex(const QString& createIndex, const QString& name,
                                              const QString& table)
{
    static const QRegularExpression head(
        QStringLiteral("^(\\s*CREATE\\s+UNIQUE\\s+INDEX\\s+(?:IF\\s+NOT\\s+EXISTS\\s+)?)") + kName +
            QStringLiteral("(\\s+ON\\s+)") + kName,
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = head.match(createIndex);
    if (!m.hasMatch())
        return {};
    return m.captured(1) + quotedName(name) + m.captured(2) + quotedName(table) +
           createIndex.mid(m.capturedEnd(0));
}

QString SqliteIndexWriter::lockFileFor(const QString& databaseFile)
{
    return databaseFile + QStringLiteral("-index.lock");
}

QString SqliteIndexWriter::quoted(const QString& name) const
{
    return m_connection.database().driver()->escapeIdentifier(name, QSqlDriver::TableName);
}

void SqliteIndexWriter::lock()
{
    m_lock = std::make_unique<FileLock>(lockFileFor(m_connection.database().databaseName()));
    switch (m_lock->tryLock()) {
    case FileLock::Result::Locked:
        return;
    case FileLock::Result::HeldElse: {
        const QString holder = m_lock->holderPid() > 0 ? QStringLiteral("Prozess %1 auf \"%2\"")
                                                             .arg(m_lock->holderPid())
                                                             .arg(m_lock->holderHost())
                                                       : QString();
        m_lock.reset();
        throw buildRunning(holder);
    }
    case FileLock::Result::Failed:
        break;
    }
    const QString path = m_lock->path();
    m_lock.reset();
    throw VbError::pathFileAccess(path);
}

bool SqliteIndexWriter::dropLeftover(const QString& connectionString, const QString& table)
{
    db::Connection connection;
    // Housekeeping: a database another program is writing to is left for later.
    connection.setLockWaitMs(500);
    connection.open(connectionString, QString(), QString());
    QSqlQuery query(connection.database());
    query.prepare(QStringLiteral("SELECT name FROM sqlite_master "
                                 "WHERE type = 'table' AND name = ? COLLATE NOCASE"));
    query.addBindValue(stagingTable(table));
    if (!query.exec() || !query.next())
        return false;
    const QString leftover = query.value(0).toString();
    query.finish();
    // A running build is writing the table: it is no leftover.
    FileLock lock(lockFileFor(connection.database().databaseName()));
    if (lock.tryLock() != FileLock::Result::Locked)
        return false;
    connection.execute(
        QStringLiteral("DROP TABLE IF EXISTS ") +
        connection.database().driver()->escapeIdentifier(leftover, QSqlDriver::TableName));
    return true;
}

void SqliteIndexWriter::readDefinition()
{
    QSqlQuery query(m_connection.database());
    query.prepare(QStringLiteral("SELECT type, name, sql FROM sqlite_master "
                                 "WHERE tbl_name = ? COLLATE NOCASE AND sql IS NOT NULL "
                                 "ORDER BY rowid"));
    query.addBindValue(m_table);
    if (!query.exec()) {
        throw VbError::database(
            QStringLiteral("Die Definition der Tabelle \"%1\" konnte nicht gelesen werden: %2")
                .arg(m_table, db::sqlErrorText(query.lastError())));
    }
    m_dependents.clear();
    m_unique.clear();
    m_definition.clear();
    QList<Index> indexes;
    while (query.next()) {
        const QString type = query.value(0).toString();
        if (type == QLatin1String("table")) {
            m_tableName = query.value(1).toString();
            m_definition = query.value(2).toString();
        } else if (type == QLatin1String("index") || type == QLatin1String("trigger")) {
            m_dependents << query.value(2).toString();
            if (type == QLatin1String("index"))
                indexes.append({query.value(1).toString(), query.value(2).toString()});
        }
    }
    for (const Index& index : std::as_const(indexes)) {
        const QString name = stagingTable(index.name);
        const QString statement =
            renamedUniqueIndex(index.statement, name, stagingTable(m_tableName));
        if (!statement.isEmpty())
            m_unique.append({name, statement});
    }
    if (m_definition.isEmpty()) {
        throw VbError::database(
            QStringLiteral("Die Tabelle \"%1\" wurde in der Datenbank \"%2\" nicht gefunden")
                .arg(m_table, m_connection.description()));
    }
}

void SqliteIndexWriter::begin(const QStringList& columns)
{
    lock();
    readDefinition();
    const QString staging = stagingTable(m_tableName);
    const QString create = renamedDefinition(m_definition, staging);
    if (create.isEmpty()) {
        throw VbError::database(
            QStringLiteral("Die Definition der Tabelle \"%1\" wird nicht verstanden: %2")
                .arg(m_tableName, m_definition));
    }
    // Commits do not wait for the copy of the log into the database more
    // often than every 10,000 pages (40 MB of log).
    m_connection.execute(QStringLiteral("PRAGMA wal_autocheckpoint=10000"));

    m_connection.beginTrans();
    m_inTransaction = true;
    // A table left by a build that was killed.
    m_connection.execute(QStringLiteral("DROP TABLE IF EXISTS ") + quoted(staging));
    m_connection.execute(create);
    m_staged = true;
    for (const Index& index : std::as_const(m_unique))
        m_connection.execute(index.statement);
    // Keys given by AUTOINCREMENT go on from the old table's, as they would
    // in the table emptied and filled again.
    if (m_definition.contains(QLatin1String("AUTOINCREMENT"), Qt::CaseInsensitive)) {
        QSqlQuery sequence(m_connection.database());
        sequence.prepare(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) "
                                        "SELECT ?, seq FROM sqlite_sequence WHERE name = ?"));
        sequence.addBindValue(staging);
        sequence.addBindValue(m_tableName);
        sequence.exec(); // without it the keys start again at 1
    }

    m_columns = tableColumns(staging, columns);
    QStringList names;
    QStringList marks;
    for (const QString& name : std::as_const(m_columns.names)) {
        names << m_connection.database().driver()->escapeIdentifier(name, QSqlDriver::FieldName);
        marks << QStringLiteral("?");
    }
    const QString insert =
        m_columns.names.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(staging))
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quoted(staging), names.join(QStringLiteral(", ")),
                       marks.join(QStringLiteral(", ")));
    QString failure;
    m_insert = db::SqliteInsert::prepare(m_connection.database(), insert, &failure);
    if (!m_insert) {
        throw VbError::database(
            QStringLiteral("Die Anweisung konnte nicht vorbereitet werden: %1 [Anweisung: %2]")
                .arg(failure.isEmpty() ? QStringLiteral("keine SQLite-Verbindung") : failure,
                     insert));
    }
    m_row.resize(m_columns.positions.size());
    m_connection.commitTrans();
    m_inTransaction = false;
}

void SqliteIndexWriter::add(const QVector<QVariant>& values)
{
    // A transaction from the first row after a progress point on, so that
    // none is open while the program handles its events.
    if (!m_inTransaction) {
        m_connection.beginTrans();
        m_inTransaction = true;
    }
    tableRow(m_columns, values, m_row);
    QString failure;
    if (m_insert->exec(m_row, &failure)) {
        ++m_counts.written;
        return;
    }
    switch (m_insert->errorCode()) {
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
    case SQLITE_RANGE:
        ++m_counts.dropped; // this row only
        return;
    default:
        throw VbError::database(
            QStringLiteral("Der neue Telefonnummernindex konnte nicht geschrieben werden: %1")
                .arg(failure));
    }
}

void SqliteIndexWriter::progressPoint()
{
    if (!m_inTransaction)
        return;
    m_connection.commitTrans();
    m_inTransaction = false;
}

void SqliteIndexWriter::commit()
{
    progressPoint();
    m_insert.reset();

    // The views that read the index keep their text; they find the new
    // table under the old name.
    m_connection.execute(QStringLiteral("PRAGMA legacy_alter_table=ON"));
    m_connection.beginTrans();
    m_inTransaction = true;
    m_connection.execute(QStringLiteral("DROP TABLE ") + quoted(m_tableName));
    m_connection.execute(QStringLiteral("ALTER TABLE %1 RENAME TO %2")
                             .arg(quoted(stagingTable(m_tableName)), quoted(m_tableName)));
    // The rows are the same; the UNIQUE indexes get their own names back.
    for (const Index& index : std::as_const(m_unique))
        m_connection.execute(QStringLiteral("DROP INDEX ") + quoted(index.name));
    for (const QString& statement : std::as_const(m_dependents))
        m_connection.execute(statement);
    m_connection.commitTrans();
    m_inTransaction = false;
    m_staged = false;
    m_done = true;
    ignoringErrors([&] { m_connection.execute(QStringLiteral("PRAGMA legacy_alter_table=OFF")); });
    m_lock.reset();
}

void SqliteIndexWriter::abandon() noexcept
{
    m_done = true;
    m_insert.reset();
    if (m_connection.isOpen()) {
        if (m_inTransaction)
            ignoringErrors([&] { m_connection.rollbackTrans(); });
        if (m_staged)
            ignoringErrors([&] {
                m_connection.execute(QStringLiteral("DROP TABLE IF EXISTS ") +
                                     quoted(stagingTable(m_tableName)));
            });
    }
    m_inTransaction = false;
    m_staged = false;
    m_lock.reset();
}

} // namespace vorsa
