#pragma once

#include <QString>
#include <QStringList>

namespace vorsa::db {

class Connection;

// The tables the system knows how to create.
QStringList knownTables();

// Creates the named tables (and their indexes) for the connection's engine,
// from the SQL shipped with the program (":/sql/sqlite/<Table>.sql",
// ":/sql/postgresql/<Table>.sql"). Tables that exist are left alone. An unknown
// table or an engine without SQL raises 5 naming it; a statement the database
// refuses raises the database error.
void applySchema(Connection& connection, const QStringList& tables);

// The statements of one table's SQL file for an engine folder ("sqlite",
// "postgresql"), split at the ";" that end a line.
QStringList schemaStatements(const QString& engine, const QString& table);

} // namespace vorsa::db
