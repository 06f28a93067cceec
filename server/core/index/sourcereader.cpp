#include "sourcereader.h"

#include "vberror.h"

#include <QSqlError>
#include <QSqlRecord>

namespace vorsa {

QString SourceReader::countStatement(const QString& statement)
{
    return QStringLiteral("SELECT COUNT(*) FROM (%1) AS vorsa_quelle").arg(statement);
}

void SourceReader::open(const QString& statement, db::Connection& connection)
{
    close();
    if (!connection.isOpen()) {
        throw VbError(db::adErrConnectionClosed,
                      QStringLiteral("Die Verbindung zur Adressdatenbank ist geschlossen"));
    }
    m_statement = statement;
    const QSqlDatabase db = connection.database();
    {
        QSqlQuery count(db);
        count.setForwardOnly(true);
        if (!count.exec(countStatement(statement)) || !count.next()) {
            throw VbError::database(
                QStringLiteral("Die Abfrage konnte nicht ausgeführt werden: %1 [Anweisung: %2]")
                    .arg(db::sqlErrorText(count.lastError()), statement));
        }
        m_count = count.value(0).toInt();
    }
    m_query = QSqlQuery(db);
    m_query.setForwardOnly(true);
    if (!m_query.exec(statement)) {
        const QString failure = db::sqlErrorText(m_query.lastError());
        m_query = QSqlQuery();
        throw VbError::database(
            QStringLiteral("Die Abfrage konnte nicht ausgeführt werden: %1 [Anweisung: %2]")
                .arg(failure, statement));
    }
    const QSqlRecord record = m_query.record();
    for (int i = record.count() - 1; i >= 0; --i) {
        m_exact.insert(record.fieldName(i), i);
        m_folded.insert(record.fieldName(i).toLower(), i);
    }
    m_open = true;
}

void SourceReader::close()
{
    m_query = QSqlQuery();
    m_exact.clear();
    m_folded.clear();
    m_count = 0;
    m_open = false;
}

bool SourceReader::next()
{
    if (!m_open)
        return false;
    if (m_query.next())
        return true;
    if (m_query.lastError().isValid()) {
        throw VbError::database(
            QStringLiteral("Die Adressdatenbank konnte nicht weiter gelesen werden: %1 "
                           "[Anweisung: %2]")
                .arg(db::sqlErrorText(m_query.lastError()), m_statement));
    }
    return false;
}

int SourceReader::fieldIndex(const QString& name) const
{
    const int exact = m_exact.value(name, -1);
    return exact >= 0 ? exact : m_folded.value(name.toLower(), -1);
}

QVariant SourceReader::value(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw VbError::itemNotFound(name);
    return m_query.value(index);
}

} // namespace vorsa
