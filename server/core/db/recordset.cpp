#include "recordset.h"
#include "sqliteinsert.h"

#include "connectionstate.h"
#include "vberror.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>

namespace vorsa::db {

namespace {

// Prepared INSERTs kept per result set (one per column set in use).
constexpr int maxPreparedInserts = 8;

VbError closedError()
{
    return VbError(adErrObjectClosed,
                   QStringLiteral("Der Vorgang ist für ein geschlossenes Objekt nicht zulässig"));
}

VbError noCurrentRecord()
{
    return VbError(adErrNoCurrentRecord,
                   QStringLiteral("Entweder BOF oder EOF ist True, oder der aktuelle Datensatz "
                                  "wurde gelöscht. Der angeforderte Vorgang benötigt einen "
                                  "aktuellen Datensatz."));
}

VbError noConnection()
{
    return VbError(adErrConnectionClosed,
                   QStringLiteral("Die Verbindung kann nicht verwendet werden, um diesen Vorgang "
                                  "auszuführen. Sie ist entweder geschlossen oder in diesem "
                                  "Zusammenhang ungültig."));
}

// The first table after FROM of a simple SELECT, as written (quotes kept);
// empty when the statement has none (a join in parentheses, no FROM).
QString tableOfStatement(const QString& statement)
{
    static const QRegularExpression from(
        QStringLiteral("^\\s*SELECT\\b.*?\\bFROM\\s+("
                       "(?:\"(?:[^\"]|\"\")+\"|\\[[^\\]]+\\]|`[^`]+`|[\\w$]+)"
                       "(?:\\.(?:\"(?:[^\"]|\"\")+\"|\\[[^\\]]+\\]|`[^`]+`|[\\w$]+))?)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption |
            QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpressionMatch m = from.match(statement);
    return m.hasMatch() ? m.captured(1) : QString();
}

// Brackets and back quotes (of other dialects) become the driver's quoting.
QString tableForDriver(const QString& table, const QSqlDriver* driver)
{
    QStringList parts;
    static const QRegularExpression part(
        QStringLiteral("\"(?:[^\"]|\"\")+\"|\\[[^\\]]+\\]|`[^`]+`|[^.]+"));
    auto it = part.globalMatch(table);
    while (it.hasNext()) {
        const QString p = it.next().captured(0);
        if (p.startsWith(QLatin1Char('[')) || p.startsWith(QLatin1Char('`'))) {
            parts << driver->escapeIdentifier(p.mid(1, p.size() - 2), QSqlDriver::TableName);
        } else {
            parts << p;
        }
    }
    return parts.join(QLatin1Char('.'));
}

// The name under which the driver's catalogue knows the table: PostgreSQL
// folds unquoted names to lower case.
QString tableForCatalogue(const QString& table, const QSqlDatabase& db)
{
    if (db.driverName() != QLatin1String("QPSQL")) {
        return table;
    }
    QStringList parts;
    static const QRegularExpression part(QStringLiteral("\"(?:[^\"]|\"\")+\"|[^.]+"));
    auto it = part.globalMatch(table);
    while (it.hasNext()) {
        const QString p = it.next().captured(0);
        parts << (p.startsWith(QLatin1Char('"')) ? p : p.toLower());
    }
    return parts.join(QLatin1Char('.'));
}

} // namespace

bool isIntegerType(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

QVariant valueForColumn(const QVariant& value, QMetaType columnType)
{
    if (!value.isValid() || value.isNull()) {
        return QVariant(columnType.isValid() ? columnType : QMetaType::fromType<QString>());
    }
    if (columnType.id() == QMetaType::Bool && value.metaType().id() != QMetaType::Bool) {
        if (isIntegerType(value.metaType()) || value.metaType().id() == QMetaType::Double) {
            return QVariant(value.toDouble() != 0.0);
        }
        const QString text = value.toString().trimmed().toLower();
        static const QStringList no = {QString(),
                                       QStringLiteral("0"),
                                       QStringLiteral("false"),
                                       QStringLiteral("falsch"),
                                       QStringLiteral("nein"),
                                       QStringLiteral("no")};
        return QVariant(!no.contains(text));
    }
    if (isIntegerType(columnType) && value.metaType().id() == QMetaType::Bool) {
        return QVariant(value.toBool() ? 1 : 0);
    }
    return value;
}

struct Recordset::Impl : detail::ConnectionUser {
    explicit Impl(Recordset* o) : owner(o) {}
    ~Impl() override { detachFromConnection(); }

    Recordset* owner;
    std::shared_ptr<detail::ConnectionState> connection; // null when detached
    QString statement;
    LockType lock = LockType::ReadOnly;

    QStringList names;
    QHash<QString, int> byName;  // lower-case name -> position
    QHash<QString, int> byExact; // name as the database spells it -> position
    QVector<QVector<QVariant>> rows;

    // The table that takes new rows, read at the first addNew.
    bool tableRead = false;
    QString table;          // as the INSERT names it
    QSqlRecord tableRecord; // its columns
    QStringList tableNames;
    QVector<QMetaType> tableTypes;
    QHash<QString, int> tableByName;  // lower-case
    QHash<QString, int> tableByExact; // as spelt
    QString primaryKey;
    bool keyReturned = false; // PostgreSQL: INSERT ... RETURNING the key
    bool isSqlite = false;
    bool direct = false;                    // SQLite rows bound on the driver's handle
    QHash<QVector<int>, QSqlQuery> inserts; // prepared, per column set
    // The same on SQLite, run on the connection's own handle.
    QHash<QVector<int>, std::shared_ptr<SqliteInsert>> sqliteInserts;

    bool adding = false;
    QVector<int> pendingColumns; // table columns in the order set
    QVector<QVariant> pendingValues;

    int tableColumn(const QString& name) const
    {
        const int exact = tableByExact.value(name, -1);
        return exact >= 0 ? exact : tableByName.value(name.toLower(), -1);
    }
    int resultColumn(const QString& name) const
    {
        const int exact = byExact.value(name, -1);
        return exact >= 0 ? exact : byName.value(name.toLower(), -1);
    }

    void connectionClosing() override
    {
        // The connection takes the result set with it, as it would on Windows.
        inserts.clear();
        sqliteInserts.clear();
        connection.reset();
        clearRows();
        owner->m_open = false;
    }

    void detachFromConnection()
    {
        inserts.clear();
        sqliteInserts.clear();
        if (connection) {
            connection->detach(this);
            connection.reset();
        }
    }

    void clearRows()
    {
        names.clear();
        byName.clear();
        byExact.clear();
        rows.clear();
        adding = false;
        pendingColumns.clear();
        pendingValues.clear();
        tableRead = false;
        tableRecord = QSqlRecord();
        tableNames.clear();
        tableTypes.clear();
        tableByName.clear();
        tableByExact.clear();
    }

    QSqlDatabase database() const
    {
        if (!connection || !connection->open) {
            throw noConnection();
        }
        return QSqlDatabase::database(connection->name, false);
    }

    void fetch()
    {
        QSqlDatabase db = database();
        QSqlQuery query(db);
        query.setForwardOnly(true);
        const QString mapped = mapStatement(statement);
        StatementDeadline deadline = connection->deadline();
        const bool ok = query.exec(mapped);
        if (deadline.end())
            throw noAnswer(*connection, statement);
        if (!ok) {
            throw VbError::database(
                QStringLiteral("Die Abfrage konnte nicht ausgeführt werden: %1 [Anweisung: %2]")
                    .arg(sqlErrorText(query.lastError()), statement));
        }
        names.clear();
        byName.clear();
        byExact.clear();
        rows.clear();
        const QSqlRecord layout = query.record();
        const int count = layout.count();
        for (int i = 0; i < count; ++i) {
            names << layout.fieldName(i);
            byName.insert(names.last().toLower(), i);
        }
        // A look-up by the name as spelt finds what the look-up ignoring case finds.
        for (const QString& name : std::as_const(names))
            byExact.insert(name, byName.value(name.toLower()));
        if (query.isSelect()) {
            // Rows of a large result come in pieces while they are read.
            StatementDeadline reading = connection->deadline();
            while (query.next()) {
                QVector<QVariant> row(count);
                for (int i = 0; i < count; ++i) {
                    row[i] = query.value(i);
                }
                shareRepeatedTexts(row);
                rows.append(std::move(row));
            }
            if (reading.end())
                throw noAnswer(*connection, statement);
            if (query.lastError().isValid()) {
                throw VbError::database(
                    QStringLiteral("Die Abfrage konnte nicht gelesen werden: %1 [Anweisung: %2]")
                        .arg(sqlErrorText(query.lastError()), statement));
            }
        }
    }

    // A whole index is held in memory: a text equal to the one above it in
    // the same column (a default, a town) shares that one's storage.
    void shareRepeatedTexts(QVector<QVariant>& row) const
    {
        if (rows.isEmpty()) {
            return;
        }
        const QVector<QVariant>& above = rows.constLast();
        for (qsizetype i = 0; i < row.size(); ++i) {
            QVariant& v = row[i];
            const QVariant& u = above.at(i);
            if (v.typeId() == QMetaType::QString && u.typeId() == QMetaType::QString &&
                !v.isNull() && !u.isNull()) {
                const QString& a = *static_cast<const QString*>(v.constData());
                const QString& b = *static_cast<const QString*>(u.constData());
                if (a.size() == b.size() && a == b) {
                    v = u;
                }
            }
        }
    }

    void readTable()
    {
        if (tableRead) {
            return;
        }
        QSqlDatabase db = database();
        const QString written = tableOfStatement(mapStatement(statement));
        if (written.isEmpty()) {
            throw VbError(adErrFeatureNotAvailable,
                          QStringLiteral("Neue Datensätze sind nur für Abfragen einer einzelnen "
                                         "Tabelle möglich [Anweisung: %1]")
                              .arg(statement));
        }
        table = tableForDriver(written, db.driver());
        const QString catalogued = tableForCatalogue(table, db);
        StatementDeadline deadline = connection->deadline();
        tableRecord = db.record(catalogued);
        if (tableRecord.isEmpty() && deadline.end())
            throw noAnswer(*connection, statement);
        if (tableRecord.isEmpty()) {
            throw VbError::database(
                QStringLiteral("Die Tabelle \"%1\" für neue Datensätze wurde nicht gefunden "
                               "[Anweisung: %2]")
                    .arg(written, statement));
        }
        tableByName.clear();
        tableByExact.clear();
        tableNames.clear();
        tableTypes.clear();
        for (int i = 0; i < tableRecord.count(); ++i) {
            tableNames << tableRecord.fieldName(i);
            tableTypes << tableRecord.field(i).metaType();
            tableByName.insert(tableNames.last().toLower(), i);
        }
        for (const QString& name : std::as_const(tableNames))
            tableByExact.insert(name, tableByName.value(name.toLower()));
        const QSqlIndex key = db.primaryIndex(catalogued);
        if (deadline.end())
            throw noAnswer(*connection, statement);
        primaryKey = key.count() == 1 ? key.fieldName(0) : QString();
        isSqlite = db.driverName() == QLatin1String("QSQLITE");
        direct = isSqlite;
        keyReturned = !primaryKey.isEmpty() && db.driverName() == QLatin1String("QPSQL");
        tableRead = true;
    }

    QString insertText(const QSqlDatabase& db) const
    {
        QStringList quoted;
        QStringList marks;
        for (int column : std::as_const(pendingColumns)) {
            quoted << db.driver()->escapeIdentifier(tableNames.at(column), QSqlDriver::FieldName);
            marks << QStringLiteral("?");
        }
        QString text = pendingColumns.isEmpty()
                           ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                           : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                 .arg(table, quoted.join(QStringLiteral(", ")),
                                      marks.join(QStringLiteral(", ")));
        if (keyReturned) {
            text += QStringLiteral(" RETURNING ") +
                    db.driver()->escapeIdentifier(primaryKey, QSqlDriver::FieldName);
        }
        return text;
    }

    static VbError saveError(const QString& failure, const QString& text)
    {
        return VbError::database(
            QStringLiteral("Der Datensatz konnte nicht gespeichert werden: %1 [Anweisung: %2]")
                .arg(failure, text));
    }

    // SQLite: the statement on the connection's handle. False when the
    // handle cannot be used, so that the insert goes through Qt.
    bool insertDirect(QVariant& id)
    {
        auto it = sqliteInserts.find(pendingColumns);
        if (it == sqliteInserts.end()) {
            QSqlDatabase db = database();
            const QString text = insertText(db);
            QString failure;
            std::shared_ptr<SqliteInsert> prepared = SqliteInsert::prepare(db, text, &failure);
            if (!prepared) {
                if (!failure.isEmpty())
                    throw saveError(failure, text);
                direct = false;
                return false;
            }
            if (sqliteInserts.size() >= maxPreparedInserts)
                sqliteInserts.clear();
            it = sqliteInserts.insert(pendingColumns, std::move(prepared));
        } else if (!connection || !connection->open) {
            throw noConnection();
        }
        QString failure;
        if (!it.value()->exec(pendingValues, &failure)) {
            QSqlDatabase db = database();
            const QString text = insertText(db);
            sqliteInserts.erase(it);
            throw saveError(failure, text);
        }
        if (keyFromDatabase())
            id = it.value()->lastInsertId();
        return true;
    }

    // The row leaves its key to the database, which gives it back.
    bool keyFromDatabase() const
    {
        const int keyColumn = primaryKey.isEmpty() ? -1 : tableColumn(primaryKey);
        return keyColumn >= 0 && !pendingColumns.contains(keyColumn);
    }

    void insertPending()
    {
        QVariant id;
        if (!direct || !insertDirect(id))
            insertThroughQt(id);

        // The saved row becomes part of the result set.
        QVector<QVariant> row(names.size());
        for (int c = 0; c < pendingColumns.size(); ++c) {
            const int pos = resultColumn(tableNames.at(pendingColumns.at(c)));
            if (pos >= 0) {
                row[pos] = pendingValues.at(c);
            }
        }
        const int keyPos = primaryKey.isEmpty() ? -1 : resultColumn(primaryKey);
        if (keyPos >= 0 && id.isValid()) {
            row[keyPos] = id;
        }
        rows.append(std::move(row));
    }

    void insertThroughQt(QVariant& id)
    {
        auto it = inserts.find(pendingColumns);
        QString text;
        if (it == inserts.end()) {
            // Prepared once per column set; later rows only bind their values.
            QSqlDatabase db = database();
            text = insertText(db);
            if (inserts.size() >= maxPreparedInserts) {
                inserts.clear();
            }
            QSqlQuery prepared(db);
            if (!prepared.prepare(text)) {
                throw saveError(sqlErrorText(prepared.lastError()), text);
            }
            it = inserts.insert(pendingColumns, prepared);
        } else if (!connection || !connection->open) {
            throw noConnection();
        }
        QSqlQuery& insert = it.value();
        for (int i = 0; i < pendingValues.size(); ++i) {
            insert.bindValue(i, pendingValues.at(i));
        }
        StatementDeadline deadline = connection->deadline();
        const bool ok = insert.exec();
        if (deadline.end()) {
            text = insert.lastQuery();
            inserts.erase(it);
            throw noAnswer(*connection, text);
        }
        if (!ok) {
            const QString failure = sqlErrorText(insert.lastError());
            text = insert.lastQuery();
            inserts.erase(it);
            throw saveError(failure, text);
        }
        // The key the database gave the row (PostgreSQL: RETURNING; asking for
        // lastval() instead would fail, and so abort a transaction, on
        // tables without a sequence).
        if (keyFromDatabase()) {
            if (keyReturned) {
                if (insert.next()) {
                    id = insert.value(0);
                }
            } else if (isSqlite) {
                id = insert.lastInsertId();
            }
        }
        insert.finish();
    }
};

Recordset::Recordset() : d(std::make_unique<Impl>(this)) {}

Recordset::~Recordset() = default;

void Recordset::open(const QString& statement, Connection& connection, CursorType cursor,
                     LockType lock)
{
    Q_UNUSED(cursor);
    if (m_open) {
        close();
    }
    if (!connection.isOpen()) {
        throw noConnection();
    }
    d->clearRows();
    d->statement = statement;
    d->lock = lock;
    d->connection = connection.m_state;
    d->connection->attach(d.get());
    try {
        d->fetch();
    } catch (...) {
        d->detachFromConnection();
        d->clearRows();
        throw;
    }
    m_open = true;
    m_pos = 1;
}

void Recordset::close()
{
    d->detachFromConnection();
    d->clearRows();
    m_open = false;
    m_pos = 0;
}

void Recordset::disconnect()
{
    if (!m_open) {
        throw closedError();
    }
    d->detachFromConnection();
}

void Recordset::requery()
{
    if (!m_open) {
        throw closedError();
    }
    d->adding = false;
    d->pendingColumns.clear();
    d->pendingValues.clear();
    d->fetch();
    m_pos = 1;
}

int Recordset::recordCount() const
{
    if (!m_open) {
        throw closedError();
    }
    return int(d->rows.size());
}

bool Recordset::eof() const
{
    if (!m_open) {
        throw closedError();
    }
    return m_pos > d->rows.size();
}

bool Recordset::bof() const
{
    if (!m_open) {
        throw closedError();
    }
    return d->rows.isEmpty() || m_pos < 1;
}

void Recordset::moveFirst()
{
    if (!m_open) {
        throw closedError();
    }
    d->adding = false;
    m_pos = 1;
}

void Recordset::moveNext()
{
    if (!m_open) {
        throw closedError();
    }
    if (m_pos > d->rows.size()) {
        throw noCurrentRecord();
    }
    d->adding = false;
    ++m_pos;
}

int Recordset::fieldCount() const
{
    return m_open ? int(d->names.size()) : 0;
}

QString Recordset::fieldName(int index) const
{
    if (index < 0 || index >= fieldCount()) {
        throw VbError::itemNotFound(QString::number(index));
    }
    return d->names.at(index);
}

QVariant Recordset::value(int index) const
{
    if (!m_open) {
        throw closedError();
    }
    if (index < 0 || index >= d->names.size()) {
        throw VbError::itemNotFound(QString::number(index));
    }
    if (m_pos < 1 || m_pos > d->rows.size()) {
        throw noCurrentRecord();
    }
    return d->rows.at(m_pos - 1).at(index);
}

QVariant Recordset::value(const QString& name) const
{
    if (!m_open) {
        throw closedError();
    }
    const int index = fieldIndex(name);
    if (index < 0) {
        throw VbError::itemNotFound(name);
    }
    return value(index);
}

bool Recordset::hasField(const QString& name) const
{
    return fieldIndex(name) >= 0;
}

int Recordset::fieldIndex(const QString& name) const
{
    if (!m_open) {
        return -1;
    }
    return d->resultColumn(name);
}

QVariant Recordset::valueAt(int row, int column) const
{
    if (!m_open || row < 0 || row >= d->rows.size() || column < 0 || column >= d->names.size()) {
        return {};
    }
    return d->rows.at(row).at(column);
}

void Recordset::addNew()
{
    if (!m_open) {
        throw closedError();
    }
    if (d->lock == LockType::ReadOnly) {
        throw VbError(adErrFeatureNotAvailable,
                      QStringLiteral("Das aktuelle Recordset unterstützt keine Aktualisierung. "
                                     "Dies ist möglicherweise eine Einschränkung des Providers "
                                     "oder des gewählten Sperrtyps."));
    }
    d->readTable();
    d->adding = true;
    d->pendingColumns.clear();
    d->pendingValues.clear();
}

void Recordset::setValue(const QString& name, const QVariant& value)
{
    if (!m_open) {
        throw closedError();
    }
    if (!d->adding) {
        throw VbError(adErrFeatureNotAvailable,
                      QStringLiteral("Bestehende Datensätze können nicht geändert werden; "
                                     "erst AddNew aufrufen (Feld %1)")
                          .arg(name));
    }
    const int column = d->tableColumn(name);
    if (column < 0) {
        throw VbError::itemNotFound(name);
    }
    QVariant stored = valueForColumn(value, d->tableTypes.at(column));
    const qsizetype already = d->pendingColumns.indexOf(column);
    if (already >= 0) {
        d->pendingValues[already] = std::move(stored);
    } else {
        d->pendingColumns << column;
        d->pendingValues << std::move(stored);
    }
}

void Recordset::update()
{
    if (!m_open) {
        throw closedError();
    }
    if (!d->adding) {
        return;
    }
    d->adding = false;
    try {
        d->insertPending();
    } catch (...) {
        d->pendingColumns.clear();
        d->pendingValues.clear();
        throw;
    }
    d->pendingColumns.clear();
    d->pendingValues.clear();
    m_pos = int(d->rows.size());
}

void Recordset::cancelUpdate()
{
    d->adding = false;
    d->pendingColumns.clear();
    d->pendingValues.clear();
}

} // namespace vorsa::db
