#include "sqliteinsert.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QUuid>
#include <sqlite3.h>

namespace vorsa::db {

namespace {

// What Qt's drivers take for Null.
bool isNullValue(const QVariant& value)
{
    if (value.isNull())
        return true;
    switch (value.typeId()) {
    case QMetaType::QString:
        return static_cast<const QString*>(value.constData())->isNull();
    case QMetaType::QByteArray:
        return static_cast<const QByteArray*>(value.constData())->isNull();
    case QMetaType::QDateTime:
        return !static_cast<const QDateTime*>(value.constData())->isValid();
    case QMetaType::QDate:
        return !static_cast<const QDate*>(value.constData())->isValid();
    case QMetaType::QTime:
        return !static_cast<const QTime*>(value.constData())->isValid();
    case QMetaType::QUuid:
        return static_cast<const QUuid*>(value.constData())->isNull();
    default:
        return false;
    }
}

int bindText(sqlite3_stmt* statement, int position, const QString& text)
{
    return sqlite3_bind_text16(statement, position, text.utf16(), int(text.size() * 2),
                               SQLITE_TRANSIENT);
}

QString message(sqlite3* handle)
{
    return QString::fromUtf16(static_cast<const char16_t*>(sqlite3_errmsg16(handle)));
}

} // namespace

std::unique_ptr<SqliteInsert> SqliteInsert::prepare(const QSqlDatabase& db,
                                                    const QString& statement, QString* error)
{
    if (db.driverName() != QLatin1String("QSQLITE") || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    if (!connection)
        return nullptr;
    sqlite3_stmt* prepared = nullptr;
    const int rc = sqlite3_prepare16_v2(connection, statement.utf16(), int(statement.size() * 2),
                                        &prepared, nullptr);
    if (rc != SQLITE_OK) {
        if (error)
            *error = message(connection);
        sqlite3_finalize(prepared);
        return nullptr;
    }
    return std::unique_ptr<SqliteInsert>(new SqliteInsert(connection, prepared));
}

SqliteInsert::~SqliteInsert()
{
    sqlite3_finalize(m_statement);
}

bool SqliteInsert::bind(int position, const QVariant& value)
{
    int rc = SQLITE_OK;
    if (isNullValue(value)) {
        rc = sqlite3_bind_null(m_statement, position);
    } else {
        switch (value.typeId()) {
        case QMetaType::QByteArray: {
            const auto* bytes = static_cast<const QByteArray*>(value.constData());
            rc = sqlite3_bind_blob(m_statement, position, bytes->constData(), int(bytes->size()),
                                   SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::Int:
        case QMetaType::Bool:
            rc = sqlite3_bind_int(m_statement, position, value.toInt());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(m_statement, position, value.toDouble());
            break;
        case QMetaType::UInt:
        case QMetaType::LongLong:
            rc = sqlite3_bind_int64(m_statement, position, value.toLongLong());
            break;
        case QMetaType::QDateTime:
            rc = bindText(m_statement, position, value.toDateTime().toString(Qt::ISODateWithMs));
            break;
        case QMetaType::QTime:
            rc = bindText(m_statement, position, value.toTime().toString(u"hh:mm:ss.zzz"));
            break;
        case QMetaType::QString:
            rc = bindText(m_statement, position, *static_cast<const QString*>(value.constData()));
            break;
        default:
            rc = bindText(m_statement, position, value.toString());
            break;
        }
    }
    return rc == SQLITE_OK;
}

bool SqliteInsert::exec(const QVector<QVariant>& values, QString* error)
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    for (int i = 0; i < values.size(); ++i) {
        if (!bind(i + 1, values.at(i))) {
            m_errorCode = sqlite3_errcode(m_handle) & 0xff;
            if (error)
                *error = message(m_handle);
            return false;
        }
    }
    const int rc = sqlite3_step(m_statement);
    const bool ok = rc == SQLITE_DONE || rc == SQLITE_ROW;
    if (!ok) {
        m_errorCode = rc & 0xff;
        if (error)
            *error = message(m_handle);
    }
    // Reset at once: a finished statement must not hold its read lock until
    // the next row.
    sqlite3_reset(m_statement);
    return ok;
}

qint64 SqliteInsert::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_handle);
}

} // namespace vorsa::db
