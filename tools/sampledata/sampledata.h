#pragma once

#include <QString>
#include <QStringList>

namespace vorsa::sampledata {

// Fills the server's database named by a data-link file: TTelefonNr with
// `customers` generated customers (one to three numbers each, in a few area
// codes), the dispatch tables AKdAdr/AStrassen/AOrte behind them, and an empty
// TFvFahrten. Tables are created when missing. Deterministic for a seed.
// Returns the numbers written, in order.
QStringList generateServerDatabase(const QString& udlPath, int customers, unsigned seed = 1);

// Writes a data-link file naming a SQLite database (a path relative to the
// folder of the data-link file, or absolute).
void writeSqliteUdl(const QString& udlPath, const QString& databaseFile);

} // namespace vorsa::sampledata
