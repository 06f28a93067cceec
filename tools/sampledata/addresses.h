#pragma once

#include <QString>
#include <QStringList>

namespace vorsa::db {
class Connection;
}

namespace vorsa::sampledata {

// Address databases from which the number index is rebuilt, as SQLite files
// (created afresh; an existing file at the path is replaced). Customers get
// one to four numbers written the way people type them ("12/34-5",
// "(0521) 12 34 56", "+49 171 ..."), area codes that are missing, blank or
// written again in front of the number, Null next to empty and blank fields.
// Deterministic for a seed. Each returns the numbers, digits only, that a
// rebuild from it writes, in the order it writes them.

// The customer-management database: table TKunden, and the tenants of its
// customers (MandNr 1 to 3) in TMandanten.
QStringList generateKundenDatabase(const QString& sqlitePath, int customers, unsigned seed = 1);

// The three tenants of the generated customers, into an existing TMandanten.
void insertTenants(db::Connection& con);

// A customer-management database made before it had tenants gets TMandanten
// and the three tenants; true when they were added.
bool addMissingTenants(const QString& sqlitePath);

// The dispatch database: AKdAdr, AStrassen, AOrte; some customers point to a
// street that does not exist, some streets to a town that does not exist.
QStringList generateDrovoDatabase(const QString& sqlitePath, int customers, unsigned seed = 1);

} // namespace vorsa::sampledata
