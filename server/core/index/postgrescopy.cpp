#include "postgrescopy.h"

#include "db/libpq.h"
#include "db/recordset.h"
#include <QDateTime>

namespace vorsa {

namespace {

// Only called once attach() found libpq.
const db::LibPq& pq()
{
    return *db::libpq();
}

void appendEscaped(QByteArray& out, const QByteArray& text)
{
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

bool isNull(const QVariant& value)
{
    if (value.isNull())
        return true;
    return value.typeId() == QMetaType::QString &&
           static_cast<const QString*>(value.constData())->isNull();
}

} // namespace

std::unique_ptr<PostgresCopy> PostgresCopy::attach(const QSqlDatabase& db)
{
    PGconn* connection = db::postgresHandle(db);
    if (!connection || !db::libpq())
        return nullptr;
    return std::unique_ptr<PostgresCopy>(new PostgresCopy(connection));
}

PostgresCopy::Failure PostgresCopy::connectionFailure() const
{
    return {QString(), QString::fromUtf8(pq().PQerrorMessage(m_connection)).trimmed()};
}

bool PostgresCopy::results(Failure* failure)
{
    // Every result of the statement is taken, so that the connection is
    // ready for the next one.
    bool ok = true;
    while (PGresult* result = pq().PQgetResult(m_connection)) {
        const ExecStatusType status = pq().PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && ok) {
            ok = false;
            if (failure) {
                failure->state =
                    QString::fromLatin1(pq().PQresultErrorField(result, PG_DIAG_SQLSTATE));
                failure->message = QString::fromUtf8(pq().PQresultErrorMessage(result)).trimmed();
            }
        }
        pq().PQclear(result);
    }
    if (ok && pq().PQstatus(m_connection) != CONNECTION_OK) {
        ok = false;
        if (failure)
            *failure = connectionFailure();
    }
    return ok;
}

bool PostgresCopy::exec(const QString& statement, Failure* failure)
{
    if (!pq().PQsendQuery(m_connection, statement.toUtf8().constData())) {
        if (failure)
            *failure = connectionFailure();
        return false;
    }
    return results(failure);
}

bool PostgresCopy::begin(const QString& copyStatement, Failure* failure)
{
    PGresult* result = pq().PQexec(m_connection, copyStatement.toUtf8().constData());
    const bool ok = result && pq().PQresultStatus(result) == PGRES_COPY_IN;
    if (!ok && failure) {
        if (result) {
            failure->state = QString::fromLatin1(pq().PQresultErrorField(result, PG_DIAG_SQLSTATE));
            failure->message = QString::fromUtf8(pq().PQresultErrorMessage(result)).trimmed();
        } else {
            *failure = connectionFailure();
        }
    }
    pq().PQclear(result);
    if (!ok)
        results(nullptr);
    m_open = ok;
    return ok;
}

bool PostgresCopy::put(const QByteArray& line, Failure* failure)
{
    if (pq().PQputCopyData(m_connection, line.constData(), int(line.size())) == 1)
        return true;
    if (failure)
        *failure = connectionFailure();
    return false;
}

bool PostgresCopy::end(Failure* failure)
{
    m_open = false;
    if (pq().PQputCopyEnd(m_connection, nullptr) != 1) {
        if (failure)
            *failure = connectionFailure();
        results(nullptr);
        return false;
    }
    return results(failure);
}

void PostgresCopy::cancel()
{
    if (!m_open)
        return;
    m_open = false;
    pq().PQputCopyEnd(m_connection, "abgebrochen");
    results(nullptr);
}

void PostgresCopy::appendLine(QByteArray& out, const QVector<QVariant>& values)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += '\t';
        const QVariant& v = values.at(i);
        if (isNull(v)) {
            out += "\\N";
            continue;
        }
        if (db::isIntegerType(v.metaType())) {
            out += v.toByteArray();
            continue;
        }
        switch (v.typeId()) {
        case QMetaType::Bool:
            out += v.toBool() ? 't' : 'f';
            break;
        case QMetaType::Double:
            out += QByteArray::number(v.toDouble(), 'g', 17);
            break;
        case QMetaType::QByteArray:
            out += "\\\\x" + v.toByteArray().toHex();
            break;
        case QMetaType::QDateTime:
            out += v.toDateTime().toString(Qt::ISODateWithMs).toUtf8();
            break;
        case QMetaType::QString:
            appendEscaped(out, static_cast<const QString*>(v.constData())->toUtf8());
            break;
        default:
            appendEscaped(out, v.toString().toUtf8());
        }
    }
    out += '\n';
}

} // namespace vorsa
