#pragma once

// The types and constants of libpq; its functions come from libpq().
#include <libpq-fe.h>

class QSqlDatabase;

namespace vorsa::db {

// The functions of libpq that the server uses beside Qt's PostgreSQL driver
// (the driver's connection handle is a PGconn). They are looked up in the
// libpq the driver has loaded, when first needed: a program that never
// reaches a PostgreSQL database does not load libpq, nor the TLS, LDAP and
// Kerberos libraries it brings, at its start.
struct LibPq {
    decltype(&::PQstatus) PQstatus = nullptr;
    decltype(&::PQsocket) PQsocket = nullptr;
    decltype(&::PQerrorMessage) PQerrorMessage = nullptr;
    decltype(&::PQgetResult) PQgetResult = nullptr;
    decltype(&::PQresultStatus) PQresultStatus = nullptr;
    decltype(&::PQresultErrorField) PQresultErrorField = nullptr;
    decltype(&::PQresultErrorMessage) PQresultErrorMessage = nullptr;
    decltype(&::PQclear) PQclear = nullptr;
    decltype(&::PQsendQuery) PQsendQuery = nullptr;
    decltype(&::PQexec) PQexec = nullptr;
    decltype(&::PQputCopyData) PQputCopyData = nullptr;
    decltype(&::PQputCopyEnd) PQputCopyEnd = nullptr;
};

// Null when libpq cannot be loaded or lacks one of the functions.
const LibPq* libpq();

// The libpq connection under a connection of Qt's PostgreSQL driver; null for
// other drivers and for a connection without one.
PGconn* postgresHandle(const QSqlDatabase& db);

} // namespace vorsa::db
