#include "schema.h"

#include "connection.h"
#include "vberror.h"

#include <QFile>

namespace vorsa::db {

namespace {

QString engineFolder(const QString& driver)
{
    if (driver == QLatin1String("QSQLITE")) {
        return QStringLiteral("sqlite");
    }
    if (driver == QLatin1String("QPSQL")) {
        return QStringLiteral("postgresql");
    }
    return {};
}

} // namespace

QStringList knownTables()
{
    return {QStringLiteral("TTelefonNr"), QStringLiteral("TKunden"), QStringLiteral("AKdAdr"),
            QStringLiteral("AStrassen"),  QStringLiteral("AOrte"),   QStringLiteral("TFvFahrten"),
            QStringLiteral("TMandanten")};
}

QStringList schemaStatements(const QString& engine, const QString& table)
{
    QFile file(QStringLiteral(":/sql/%1/%2.sql").arg(engine, table));
    if (!file.open(QIODevice::ReadOnly)) {
        throw VbError(err::InvalidCall,
                      QStringLiteral("Für die Tabelle \"%1\" gibt es keine Definition (%2)")
                          .arg(table, engine));
    }
    QStringList statements;
    QString current;
    for (const QString& rawLine : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("--"))) {
            continue;
        }
        current += (current.isEmpty() ? QString() : QStringLiteral("\n")) + rawLine.trimmed();
        if (line.endsWith(QLatin1Char(';'))) {
            current.chop(1);
            statements << current;
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty()) {
        statements << current;
    }
    return statements;
}

void applySchema(Connection& connection, const QStringList& tables)
{
    const QString engine = engineFolder(connection.driverName());
    if (engine.isEmpty()) {
        throw VbError(err::InvalidCall,
                      QStringLiteral("Für den Datenbanktreiber \"%1\" gibt es keine "
                                     "Tabellendefinitionen")
                          .arg(connection.driverName()));
    }
    for (const QString& table : tables) {
        for (const QString& statement : schemaStatements(engine, table)) {
            connection.execute(statement);
        }
    }
}

} // namespace vorsa::db
