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
#include <algorithm>

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
    m_spalten = record();
    m_zeilenId.clear();
    if (primaryKey().isEmpty()) {
        const int column = spalte(kKundenNr);
        if (column < 0)
            throw vorsa::VbError::itemNotFound(kKundenNr);
        QSqlIndex key(table, QStringLiteral("key"));
        if (database().driverName() == u"QSQLITE") {
            // SQLite tells every row apart by its row id, also customers
            // without a number; the number read goes with it, so that a row
            // id given anew (VACUUM) never finds another customer. The first
            // of its names that is no column of the table.
            for (const QString& name :
                 {QStringLiteral("rowid"), QStringLiteral("_rowid_"), QStringLiteral("oid")}) {
                if (m_spalten.indexOf(name) < 0) {
                    m_zeilenId = name;
                    break;
                }
            }
            if (!m_zeilenId.isEmpty())
                key.append(QSqlField(m_zeilenId, QMetaType(QMetaType::LongLong), table));
        }
        key.append(m_spalten.field(column));
        setPrimaryKey(key);
    }
    m_schluessel = primaryKey();
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

bool KundenModell::zeileEindeutig(int row) const
{
    if (row < 0 || row >= rowCount())
        return false;
    const QSqlRecord key = primaryValues(row);
    for (int i = 0; i < key.count(); ++i) {
        if (!key.isNull(i))
            return true;
    }
    return false;
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
    if (m_spalten.isEmpty())
        return QString();
    const QSqlDriver* driver = database().driver();
    QStringList fields;
    for (int i = 0; i < m_spalten.count(); ++i)
        fields << driver->escapeIdentifier(m_spalten.fieldName(i), QSqlDriver::FieldName);
    // The row id after the table's own columns, under its own name.
    if (!m_zeilenId.isEmpty())
        fields << m_zeilenId + QStringLiteral(" AS ") +
                      driver->escapeIdentifier(m_zeilenId, QSqlDriver::FieldName);
    QString text = QStringLiteral("SELECT ") + fields.join(QStringLiteral(", ")) +
                   QStringLiteral(" FROM ") +
                   driver->escapeIdentifier(tableName(), QSqlDriver::TableName);
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
    // A failed select takes the table's declared key again.
    setPrimaryKey(m_schluessel);
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

int KundenModell::columnCount(const QModelIndex& parent) const
{
    const int all = QSqlTableModel::columnCount(parent);
    return m_zeilenId.isEmpty() ? all : std::min(all, int(m_spalten.count()));
}

bool KundenModell::aenderungenSchreiben()
{
    for (int row = 0; row < rowCount(); ++row) {
        bool changed = false;
        for (int column = 0; column < columnCount() && !changed; ++column)
            changed = isDirty(index(row, column));
        if (!changed)
            continue;
        // A row that the select did not read is a new customer.
        const bool neu = !indexInQuery(index(row, 0)).isValid();
        if (!(neu ? insertRowIntoTable(record(row)) : updateRowInTable(row, record(row))))
            return false;
    }
    return true;
}

bool KundenModell::zeileLoeschen(int row)
{
    return row >= 0 && row < rowCount() && deleteRowFromTable(row);
}

void KundenModell::failed(const QString& statement, const QSqlError& error)
{
    m_statement = statement;
    setLastError(error);
}

bool KundenModell::aufZeile(const QString& prepared, const QString& shown,
                            const QVariantList& values, const QSqlRecord& key)
{
    const QSqlDriver* driver = database().driver();
    QStringList where;
    QStringList whereShown;
    QVariantList keyValues;
    for (int i = 0; i < key.count(); ++i) {
        const QString name = key.fieldName(i);
        const QString column =
            name == m_zeilenId ? name : driver->escapeIdentifier(name, QSqlDriver::FieldName);
        if (key.isNull(i)) {
            where << column + QStringLiteral(" IS NULL");
            whereShown << where.last();
        } else {
            where << column + QStringLiteral(" = ?");
            whereShown << column + QStringLiteral(" = ") + driver->formatValue(key.field(i));
            keyValues << key.value(i);
        }
    }
    const QString shownText =
        shown + QStringLiteral(" WHERE ") + whereShown.join(QStringLiteral(" AND "));
    if (keyValues.isEmpty()) {
        // "KundenNrID IS NULL" would find every customer without a number.
        failed(QString(),
               QSqlError(QStringLiteral("Die Zeile des Kunden ist in der Tabelle %1 nicht "
                                        "eindeutig zu finden: er hat keine Kundennummer, und die "
                                        "Tabelle hat keinen Primärschlüssel. Die Kundennummer "
                                        "muss zuerst mit einem anderen Programm eingetragen "
                                        "werden.")
                             .arg(tableName()),
                         QString(), QSqlError::StatementError));
        return false;
    }
    QSqlQuery query(database());
    bool ok =
        query.prepare(prepared + QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND ")));
    if (ok) {
        for (const QVariant& value : values)
            query.addBindValue(value);
        for (const QVariant& value : keyValues)
            query.addBindValue(value);
        ok = query.exec();
    }
    if (!ok) {
        failed(shownText, query.lastError());
        return false;
    }
    const int touched = query.numRowsAffected();
    if (touched == 1)
        return true;
    // Another workstation deleted the customer or changed its number
    // meanwhile, or the key does not tell the row apart.
    failed(shownText,
           QSqlError(touched == 0
                         ? QStringLiteral("Der Kunde ist nicht mehr in der Tabelle (inzwischen "
                                          "gelöscht oder seine Nummer geändert).")
                         : QStringLiteral("Die Anweisung träfe %1 Zeilen statt nur die des "
                                          "Kunden; es wurde nichts geändert.")
                               .arg(touched),
                     QString(), QSqlError::StatementError));
    return false;
}

bool KundenModell::updateRowInTable(int row, const QSqlRecord& values)
{
    // Only the changed fields are marked as generated.
    QVariantList changed;
    for (int i = 0; i < values.count(); ++i) {
        if (values.isGenerated(i))
            changed << values.value(i);
    }
    if (changed.isEmpty())
        return true;
    const QSqlDriver* driver = database().driver();
    return aufZeile(driver->sqlStatement(QSqlDriver::UpdateStatement, tableName(), values, true),
                    driver->sqlStatement(QSqlDriver::UpdateStatement, tableName(), values, false),
                    changed, primaryValues(row));
}

bool KundenModell::insertRowIntoTable(const QSqlRecord& values)
{
    if (QSqlTableModel::insertRowIntoTable(values))
        return true;
    failed(
        database().driver()->sqlStatement(QSqlDriver::InsertStatement, tableName(), values, false),
        lastError());
    return false;
}

bool KundenModell::deleteRowFromTable(int row)
{
    const QString text = database().driver()->sqlStatement(QSqlDriver::DeleteStatement, tableName(),
                                                           QSqlRecord(), false);
    return aufZeile(text, text, {}, primaryValues(row));
}

} // namespace kundenstamm
