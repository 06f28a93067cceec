#include "libpq.h"

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

} // namespace vorsa::db
