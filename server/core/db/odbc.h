#pragma once

#include <QString>

class QSqlQuery;

namespace vorsa::db {

// The SQLSTATE of the last failure of a query on Qt's ODBC driver, read from
// the diagnostics of its statement handle (Qt's error keeps only the text
// and the driver's own number). Empty for other drivers, when the ODBC
// driver manager cannot be reached, or when the driver names none.
QString odbcSqlState(const QSqlQuery& query);

} // namespace vorsa::db
