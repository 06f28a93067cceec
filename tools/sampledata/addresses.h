#pragma once

#include <QString>
#include <QStringList>

namespace vorsa::sampledata {

// Address databases from which the number index is rebuilt, as SQLite files
// (created afresh; an existing file at the path is replaced). Customers get
// one to four numbers written the way people type them ("12/34-5",
// "(0521) 12 34 56", "+49 171 ..."), area codes that are missing, blank or
// written again in front of the number, Null next to empty and blank fields.
// Deterministic for a seed. Each returns the numbers, digits only, that a
// rebuild from it writes, in the order it writes them.

// The customer-management database: table TKunden.
QStringList generateKundenDatabase(const QString& sqlitePath, int customers, unsigned seed = 1);

// The dispatch database: AKdAdr, AStrassen, AOrte; some customers point to a
// street that does not exist, some streets to a town that does not exist.
QStringList generateDrovoDatabase(const QString& sqlitePath, int customers, unsigned seed = 1);

} // namespace vorsa::sampledata
