#include "indexwriter.h"

#include "db/recordset.h"
#include "db/udl.h"
#include "reporter.h"
#include "sqliteindexwriter.h"
#include "transactionindexwriter.h"
#include "vberror.h"

#include <QFileInfo>
#include <QSqlField>
#include <QSqlRecord>

namespace vorsa {

std::unique_ptr<IndexWriter> IndexWriter::open(const QString& connectionString,
                                               const QString& table)
{
    // The engine the data-link names decides how the new index is built.
    const QString driver = db::dataLinkFromConnectionString(connectionString).driver;
    std::unique_ptr<IndexWriter> writer;
    if (driver == QLatin1String("QSQLITE"))
        writer.reset(new SqliteIndexWriter(table));
    else
        writer.reset(new TransactionIndexWriter(table, driver == QLatin1String("QPSQL")));
    writer->m_connection.setCursorLocation(db::adUseClient);
    // SQLite's build waits as long as every connection of the program does;
    // a writer there holds the file for moments only.
    if (driver != QLatin1String("QSQLITE"))
        writer->m_connection.setLockWaitMs(BuildLockWaitMs);
    writer->m_connection.open(connectionString, QString(), QString());
    return writer;
}

IndexWriter::Columns IndexWriter::tableColumns(const QString& table, const QStringList& wanted)
{
    QSqlDatabase db = m_connection.database();
    // PostgreSQL's catalogue knows unquoted names in lower case.
    const QString catalogued = db.driverName() == QLatin1String("QPSQL") ? table.toLower() : table;
    const QSqlRecord record = db.record(catalogued);
    if (record.isEmpty()) {
        throw VbError::database(
            QStringLiteral("Die Tabelle \"%1\" wurde in der Datenbank \"%2\" nicht gefunden")
                .arg(table, m_connection.description()));
    }
    Columns columns;
    for (int i = 0; i < wanted.size(); ++i) {
        int found = -1;
        for (int c = 0; c < record.count() && found < 0; ++c) {
            if (record.fieldName(c) == wanted.at(i))
                found = c;
        }
        for (int c = 0; c < record.count() && found < 0; ++c) {
            if (record.fieldName(c).compare(wanted.at(i), Qt::CaseInsensitive) == 0)
                found = c;
        }
        if (found < 0)
            continue; // left out of every row
        columns.positions << i;
        columns.names << record.fieldName(found);
        columns.types << record.field(found).metaType();
    }
    return columns;
}

void IndexWriter::tableRow(const Columns& columns, const QVector<QVariant>& values,
                           QVector<QVariant>& row)
{
    for (int i = 0; i < columns.positions.size(); ++i)
        row[i] = db::valueForColumn(values.at(columns.positions.at(i)), columns.types.at(i));
}

VbError IndexWriter::buildRunning(const QString& holder)
{
    return VbError::database(
        QStringLiteral("Der Telefonnummernindex wird gerade von einem anderen Vorgang neu "
                       "aufgebaut%1. Er bleibt unverändert; bitte den Aufbau erneut starten, "
                       "wenn der andere fertig ist.")
            .arg(holder.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(holder)));
}

bool IndexWriter::dropLeftovers(const QString& connectionString, const QString& table)
{
    bool dropped = false;
    ignoringErrors([&] {
        // Only the SQLite build leaves a table of its own behind; the
        // transaction of a killed build on another engine ends with it. A
        // killed build also leaves its lock file beside the database: without
        // one there is nothing to drop, and the database is not opened (a
        // server at its start then maps no database library yet).
        const db::DataLink link = db::dataLinkFromConnectionString(connectionString);
        if (link.driver == QLatin1String("QSQLITE") &&
            QFileInfo::exists(SqliteIndexWriter::lockFileFor(link.databaseName)))
            dropped = SqliteIndexWriter::dropLeftover(connectionString, table);
    });
    return dropped;
}

} // namespace vorsa
