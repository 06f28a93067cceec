#include "odbc.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlResult>
#include <QVariant>
#include <dlfcn.h>

namespace vorsa::db {

namespace {

// The few types and the function of the ODBC interface used here, as the
// driver manager (unixODBC) defines them on 64-bit Linux.
using SqlReturn = short;
using SqlHandle = void*;
constexpr short kHandleStatement = 3; // SQL_HANDLE_STMT
constexpr SqlReturn kSuccess = 0;
constexpr SqlReturn kSuccessWithInfo = 1;
using GetDiagRec = SqlReturn (*)(short handleType, SqlHandle handle, short record,
                                 unsigned char* state, int* nativeError, unsigned char* message,
                                 short bufferLength, short* textLength);

GetDiagRec getDiagRec()
{
    // The driver manager that Qt's ODBC driver loaded; it stays loaded.
    static const GetDiagRec function = [] {
        void* library = ::dlopen("libodbc.so.2", RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
        return library ? reinterpret_cast<GetDiagRec>(::dlsym(library, "SQLGetDiagRec")) : nullptr;
    }();
    return function;
}

} // namespace

QString odbcSqlState(const QSqlQuery& query)
{
    if (!query.driver() || !query.result())
        return {};
    const QVariant handle = query.result()->handle();
    // Qt's ODBC results give their statement handle as a plain pointer.
    if (!handle.isValid() || qstrcmp(handle.typeName(), "void*") != 0)
        return {};
    SqlHandle statement = *static_cast<SqlHandle const*>(handle.constData());
    const GetDiagRec diagnostics = getDiagRec();
    if (!statement || !diagnostics)
        return {};
    unsigned char state[6] = {};
    int nativeError = 0;
    unsigned char message[8];
    short length = 0;
    const SqlReturn rc = diagnostics(kHandleStatement, statement, 1, state, &nativeError, message,
                                     short(sizeof message), &length);
    if (rc != kSuccess && rc != kSuccessWithInfo)
        return {};
    return QString::fromLatin1(reinterpret_cast<const char*>(state), 5);
}

} // namespace vorsa::db
