#include "libpq.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>
#include <dlfcn.h>

namespace vorsa::db {

namespace {
template <typename F> bool resolve(void* library, const char* name, F& function)
{
    function = reinterpret_cast<F>(::dlsym(library, name));
    return function != nullptr;
}

LibPq load()
{
    LibPq f;
    // The library Qt's driver loaded (its major version is libpq's ABI); it
    // stays loaded for the life of the program.
    void* library = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return f;
    const bool complete =
        resolve(library, "PQstatus", f.PQstatus) && resolve(library, "PQsocket", f.PQsocket) &&
        resolve(library, "PQerrorMessage", f.PQerrorMessage) &&
        resolve(library, "PQgetResult", f.PQgetResult) &&
        resolve(library, "PQresultStatus", f.PQresultStatus) &&
        resolve(library, "PQresultErrorField", f.PQresultErrorField) &&
        resolve(library, "PQresultErrorMessage", f.PQresultErrorMessage) &&
        resolve(library, "PQclear", f.PQclear) && resolve(library, "PQsendQuery", f.PQsendQuery) &&
        resolve(library, "PQexec", f.PQexec) &&
        resolve(library, "PQputCopyData", f.PQputCopyData) &&
        resolve(library, "PQputCopyEnd", f.PQputCopyEnd);
    if (!complete)
        f.PQstatus = nullptr;
    return f;
}
} // namespace

const LibPq* libpq()
{
    static const LibPq functions = load();
    return functions.PQstatus ? &functions : nullptr;
}

PGconn* postgresHandle(const QSqlDatabase& db)
{
    if (!db.isValid() || db.driverName() != QLatin1String("QPSQL") || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    // Qt names the type after the struct behind libpq's typedef.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

} // namespace vorsa::db
