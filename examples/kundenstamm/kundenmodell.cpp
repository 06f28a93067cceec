#include "kundenmodell.h"

#include "vberror.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>

namespace kundenstamm {

namespace {

const QString kTabelle = QStringLiteral("TKunden");
const QString kKundenNr = QStringLiteral("KundenNrID");

} // namespace

KundenModell::KundenModell(QObject* parent, const QSqlDatabase& db) : QSqlTableModel(parent, db)
{
    setEditStrategy(QSqlTableModel::OnManualSubmit);
}

void KundenModell::tabelleOeffnen()
{
    QString table;
    for (const QString& t : database().tables()) {
        if (t.compare(kTabelle, Qt::CaseInsensitive) == 0)
            table = t;
    }
    if (table.isEmpty())
        throw vorsa::VbError::itemNotFound(kTabelle);
    setTable(table);
    if (primaryKey().isEmpty()) {
        const int column = spalte(kKundenNr);
        if (column < 0)
            throw vorsa::VbError::itemNotFound(kKundenNr);
        QSqlIndex key(table, QStringLiteral("key"));
        key.append(record().field(column));
        setPrimaryKey(key);
    }
    const int number = spalte(kKundenNr);
    if (number >= 0)
        setSort(number, Qt::AscendingOrder);
}

int KundenModell::spalte(const QString& name) const
{
    return record().indexOf(name); // QSqlRecord compares names ignoring case
}

QVariant KundenModell::kundenNr(int row) const
{
    const int column = spalte(kKundenNr);
    if (column < 0 || row < 0 || row >= rowCount())
        return QVariant();
    return data(index(row, column), Qt::EditRole);
}

int KundenModell::zeileVon(const QVariant& nummer) const
{
    const int column = spalte(kKundenNr);
    if (column < 0 || nummer.isNull())
        return -1;
    const qlonglong wanted = nummer.toLongLong();
    for (int row = 0; row < rowCount(); ++row) {
        const QVariant value = data(index(row, column), Qt::EditRole);
        if (!value.isNull() && value.toLongLong() == wanted)
            return row;
    }
    return -1;
}

QVariant KundenModell::wertAusText(int column, const QString& text) const
{
    const QSqlField field = record().field(column);
    const QMetaType type = field.metaType();
    if (text.isEmpty())
        return QVariant(type);
    switch (type.id()) {
    case QMetaType::QDate:
    case QMetaType::QDateTime: {
        const QDate date = QDate::fromString(text, QStringLiteral("yyyy/MM/dd"));
        return date.isValid() ? QVariant(date) : QVariant(text);
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort: {
        bool ok = false;
        const qlonglong number = text.toLongLong(&ok);
        return ok ? QVariant(number) : QVariant(text);
    }
    default:
        return text;
    }
}

QString KundenModell::textAusWert(const QVariant& value)
{
    if (value.isNull())
        return QString();
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy/MM/dd"));
    case QMetaType::QDateTime:
        return value.toDateTime().date().toString(QStringLiteral("yyyy/MM/dd"));
    case QMetaType::Double:
    case QMetaType::Float: {
        // The number boxes read a "." as a thousands separator: a fraction goes in
        // with the German decimal comma and without grouping.
        QLocale german(QLocale::German, QLocale::Germany);
        german.setNumberOptions(QLocale::OmitGroupSeparator);
        return german.toString(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    }
    default:
        return value.toString();
    }
}

QString KundenModell::selectStatement() const
{
    QString text = database().driver()->sqlStatement(QSqlDriver::SelectStatement, tableName(),
                                                     record(), false);
    if (text.isEmpty())
        return text;
    if (!m_bedingung.isEmpty())
        text += QStringLiteral(" WHERE ") + m_bedingung;
    const QString order = orderByClause();
    if (!order.isEmpty())
        text += QLatin1Char(' ') + order;
    return text;
}

bool KundenModell::select()
{
    const bool ok = QSqlTableModel::select();
    if (!ok) {
        m_statement = selectStatement();
        return false;
    }
    while (canFetchMore())
        fetchMore();
    return true;
}

void KundenModell::sort(int column, Qt::SortOrder order)
{
    setSort(column, order);
    if (query().isActive())
        select();
}

QString KundenModell::statementText(QSqlDriver::StatementType type, const QSqlRecord& values,
                                    const QSqlRecord& where) const
{
    const QSqlDriver* driver = database().driver();
    QString text = driver->sqlStatement(type, tableName(), values, false);
    if (!where.isEmpty())
        text += QLatin1Char(' ') +
                driver->sqlStatement(QSqlDriver::WhereStatement, tableName(), where, false);
    return text;
}

void KundenModell::failed(const QString& statement, const QSqlError& error)
{
    m_statement = statement;
    setLastError(error);
}

bool KundenModell::updateRowInTable(int row, const QSqlRecord& values)
{
    // Only the changed fields are marked as generated.
    bool changed = false;
    for (int i = 0; i < values.count(); ++i)
        changed = changed || values.isGenerated(i);
    if (!changed)
        return true;
    const QSqlRecord where = primaryValues(row);
    QSqlDatabase db = database();
    const QSqlDriver* driver = db.driver();
    const QString text =
        driver->sqlStatement(QSqlDriver::UpdateStatement, tableName(), values, true) +
        QLatin1Char(' ') +
        driver->sqlStatement(QSqlDriver::WhereStatement, tableName(), where, true);
    QSqlQuery query(db);
    bool ok = query.prepare(text);
    if (ok) {
        for (int i = 0; i < values.count(); ++i) {
            if (values.isGenerated(i))
                query.addBindValue(values.value(i));
        }
        for (int i = 0; i < where.count(); ++i) {
            if (!where.isNull(i))
                query.addBindValue(where.value(i));
        }
        ok = query.exec();
    }
    if (!ok) {
        failed(statementText(QSqlDriver::UpdateStatement, values, where), query.lastError());
        return false;
    }
    // Another workstation deleted the customer or changed its key meanwhile:
    // the change would go nowhere.
    if (query.numRowsAffected() == 0) {
        failed(statementText(QSqlDriver::UpdateStatement, values, where),
               QSqlError(QStringLiteral("Der Kunde ist nicht mehr in der Tabelle (inzwischen "
                                        "gelöscht oder seine Nummer geändert)."),
                         QString(), QSqlError::StatementError));
        return false;
    }
    return true;
}

bool KundenModell::insertRowIntoTable(const QSqlRecord& values)
{
    if (QSqlTableModel::insertRowIntoTable(values))
        return true;
    failed(statementText(QSqlDriver::InsertStatement, values, QSqlRecord()), lastError());
    return false;
}

bool KundenModell::deleteRowFromTable(int row)
{
    const QSqlRecord where = primaryValues(row);
    if (QSqlTableModel::deleteRowFromTable(row))
        return true;
    failed(QStringLiteral("DELETE FROM %1 %2")
               .arg(tableName(), database().driver()->sqlStatement(QSqlDriver::WhereStatement,
                                                                   tableName(), where, false)),
           lastError());
    return false;
}

} // namespace kundenstamm
