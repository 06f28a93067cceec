#pragma once

#include <QString>

namespace vorsa::sampledata {

// Creates (or extends) the server's database at a SQLite path: TTelefonNr with
// `customers` generated customers (one to three numbers each, in a few area
// codes), AKdAdr/AStrassen/AOrte for the autobooking columns, and an empty
// TFvFahrten. Deterministic for a seed. Returns the numbers written, in order.
QStringList generateServerDatabase(const QString& sqlitePath, int customers, unsigned seed = 1);

// Writes a data-link file naming a SQLite database (path relative to the UDL's folder).
void writeSqliteUdl(const QString& udlPath, const QString& databaseFile);

} // namespace vorsa::sampledata
