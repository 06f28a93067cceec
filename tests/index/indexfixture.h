#pragma once

// Shared pieces of the number index tests: a program folder with the
// server's database and an address database, a window that records what the
// build does to it, and readers for the index rows.

#include "db/connection.h"
#include "db/recordset.h"
#include "db/schema.h"
#include "index/indexbuildview.h"
#include "index/telnrgenerieren.h"
#include "pgcluster.h"
#include "reporter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace vorsa::test {

// Records every call of the build as a short line: "min 1", "max 250",
// "value 100", "visible 1", "refresh", "unbind", "bind", "events",
// "button Fertig 0".
class RecordingIndexWindow : public IIndexWindow {
public:
    void setProgressMinimum(int v) override { log << QStringLiteral("min %1").arg(v); }
    void setProgressMaximum(int v) override { log << QStringLiteral("max %1").arg(v); }
    void setProgressValue(int v) override { log << QStringLiteral("value %1").arg(v); }
    void setProgressVisible(bool v) override { log << QStringLiteral("visible %1").arg(int(v)); }
    void refreshGrid() override { log << QStringLiteral("refresh"); }
    void unbindGrid() override { log << QStringLiteral("unbind"); }
    void bindGrid() override { log << QStringLiteral("bind"); }
    void processEvents() override
    {
        log << QStringLiteral("events");
        if (onEvents)
            onEvents();
    }
    void setStartButton(const QString& caption, bool enabled) override
    {
        log << QStringLiteral("button %1 %2").arg(caption).arg(int(enabled));
    }
    QStringList matching(const QString& prefix) const
    {
        QStringList out;
        for (const QString& l : log)
            if (l.startsWith(prefix))
                out << l;
        return out;
    }

    QStringList log;
    std::function<void()> onEvents;
};

// A program folder: "udlVorsa.UDL" naming vorsa.db with TTelefonNr and
// TFvFahrten, "udlAdressen.UDL" naming adressen.db with the address tables.
class ProgramFolder {
public:
    ProgramFolder()
    {
        QVERIFY(m_dir.isValid());
        writeSqliteUdl(udlVorsa(), QStringLiteral("vorsa.db"));
        writeSqliteUdl(udlAdressen(), QStringLiteral("adressen.db"));
    }
    QString path() const { return m_dir.path(); }
    QString udlVorsa() const { return m_dir.filePath(QStringLiteral("udlVorsa.UDL")); }
    QString udlAdressen() const { return m_dir.filePath(QStringLiteral("udlAdressen.UDL")); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

    // Opens a connection from a data-link file of the folder.
    static void open(db::Connection& con, const QString& udl)
    {
        con.open(QStringLiteral("File Name=") + udl);
    }
    void createIndex(const QStringList& tables = {QStringLiteral("TTelefonNr"),
                                                  QStringLiteral("TFvFahrten")})
    {
        db::Connection con;
        open(con, udlVorsa());
        db::applySchema(con, tables);
    }
    void createAddresses(const QStringList& tables)
    {
        db::Connection con;
        open(con, udlAdressen());
        db::applySchema(con, tables);
    }

private:
    QTemporaryDir m_dir;
};

// One INSERT with the named columns.
inline void insertRow(db::Connection& con, const QString& table, const QVariantMap& values)
{
    QStringList columns, marks;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        columns << it.key(); // unquoted: PostgreSQL folds them like the table's own
        marks << QStringLiteral("?");
    }
    QSqlQuery q(con.database());
    QVERIFY2(
        q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))),
        qPrintable(q.lastError().text()));
    int i = 0;
    for (const QVariant& v : values)
        q.bindValue(i++, v);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
}

inline void insertRows(const QString& udl, const QString& table, const QList<QVariantMap>& rows)
{
    db::Connection con;
    ProgramFolder::open(con, udl);
    con.beginTrans();
    for (const QVariantMap& row : rows)
        insertRow(con, table, row);
    con.commitTrans();
}

// The index rows in the order they were written, each as column -> value.
inline QList<QVariantMap> indexRows(const QString& udlVorsa)
{
    db::Connection con;
    ProgramFolder::open(con, udlVorsa);
    db::Recordset rs;
    rs.open(QStringLiteral("SELECT * FROM TTelefonNr ORDER BY TelNrID"), con);
    QList<QVariantMap> rows;
    for (; !rs.eof(); rs.moveNext()) {
        QVariantMap row;
        for (int i = 0; i < rs.fieldCount(); ++i)
            row.insert(rs.fieldName(i).toLower(), rs.value(i));
        rows << row;
    }
    return rows;
}

inline QStringList indexNumbers(const QString& udlVorsa)
{
    QStringList numbers;
    for (const QVariantMap& row : indexRows(udlVorsa))
        numbers << row.value(QStringLiteral("telefonnr")).toString();
    return numbers;
}

// A customer of TKunden with the given telephone fields (QVariant() is Null).
inline QVariantMap kunde(int id, const QVariant& vorwahl, const QVariant& t1,
                         const QVariant& t2 = {}, const QVariant& t3 = {},
                         const QVariant& mobil = {})
{
    return {{QStringLiteral("KundenNrID"), id},
            {QStringLiteral("Name2"), QStringLiteral("Kunde %1").arg(id)},
            {QStringLiteral("Vorwahl"), vorwahl},
            {QStringLiteral("Telefon1"), t1},
            {QStringLiteral("Telefon2"), t2},
            {QStringLiteral("Telefon3"), t3},
            {QStringLiteral("Mobil"), mobil}};
}

// One throwaway PostgreSQL server for all cases of a test program, started
// at first use; releaseSharedPg() (in cleanupTestCase) stops it.
inline std::unique_ptr<PgCluster>& sharedPgSlot()
{
    static std::unique_ptr<PgCluster> cluster;
    return cluster;
}
inline PgCluster& sharedPg()
{
    if (!sharedPgSlot())
        sharedPgSlot() = std::make_unique<PgCluster>();
    return *sharedPgSlot();
}
inline void releaseSharedPg()
{
    sharedPgSlot().reset();
}

// Puts the folder's index on an engine ("sqlite" or "postgresql", a fresh
// database of the shared server) and creates TTelefonNr and TFvFahrten there.
// Empty when done, else why it cannot be (the test then skips).
inline QString prepareIndex(ProgramFolder& folder, const QString& engine)
{
    if (engine == QLatin1String("postgresql")) {
        PgCluster& pg = sharedPg();
        if (!pg.available())
            return pg.reason();
        static int databases = 0;
        const QString name = QStringLiteral("vorsa%1").arg(++databases);
        QString error;
        if (!pg.createDatabase(name, &error))
            return error;
        pg.writeUdl(folder.udlVorsa(), name);
    }
    folder.createIndex();
    return {};
}

// Rebuilds the folder's index from its customer-management database, without
// a word on stderr; true when it ran to its end without a message.
inline bool buildIndexQuietly(const QString& programDir)
{
    RecordingIndexWindow window;
    RecordingReporter reporter;
    TelNrGenerieren logic(programDir, reporter, window);
    logic.setApplication(QStringLiteral("KUNDEN"));
    return logic.load() && logic.command1Click() && reporter.entries.isEmpty();
}

// Numbers of the index that start with 0 and stand in exactly one row, with
// that row's customer (KundenNrID): `count` of them spread over the index.
inline QList<QPair<QString, QString>> callableNumbers(const QString& udlVorsa, int count)
{
    QMap<QString, int> rows;
    QMap<QString, QString> customer;
    QStringList order;
    for (const QVariantMap& row : indexRows(udlVorsa)) {
        const QString number = row.value(QStringLiteral("telefonnr")).toString();
        if (++rows[number] == 1)
            order << number;
        customer[number] = row.value(QStringLiteral("kundennrid")).toString();
    }
    QStringList unique;
    for (const QString& number : std::as_const(order))
        if (rows.value(number) == 1 && number.startsWith(QLatin1Char('0')) && number.size() >= 6)
            unique << number;
    QList<QPair<QString, QString>> chosen;
    const qsizetype step = qMax<qsizetype>(1, unique.size() / qMax(1, count));
    for (qsizetype i = 0; i < unique.size() && chosen.size() < count; i += step)
        chosen.append({unique.at(i), customer.value(unique.at(i))});
    return chosen;
}

// The settings of a server that identifies callers in the index: the number
// looked up with up to three trailing digits cut, the customer's name and
// number (KundenNrID as "Kunde") sent to the clients; `settings` are more
// lines of the [Settings] section.
inline QStringList callerServerSettings(const QStringList& settings = {})
{
    return QStringList{QStringLiteral("[Settings]")} + settings +
           QStringList{
               QStringLiteral("Application=KUNDEN"),
               QStringLiteral("EigeneVorwahl=0521"),
               QStringLiteral("LetzteStellenAbschneiden=3"),
               QStringLiteral("[Table]"),
               QStringLiteral("SQL1.1=SELECT Name2 AS Name, KundenNrID AS Kunde FROM TTelefonNr"),
               QStringLiteral("SQL1.2=WHERE TelefonNr LIKE '/*CallingNr*/'"),
               QStringLiteral("Name=TTelefonNr"),
               QStringLiteral("[Feld1]"),
               QStringLiteral("FieldName=Datum"),
               QStringLiteral("[Feld2]"),
               QStringLiteral("FieldName=Anrufer"),
               QStringLiteral("[Feld3]"),
               QStringLiteral("FieldName=Name"),
               QStringLiteral("[Feld4]"),
               QStringLiteral("FieldName=Kunde"),
               QStringLiteral("[Feld5]"),
               QStringLiteral("FieldName=Versuche")};
}

inline void writeLines(const QString& path, const QStringList& lines, bool append = false)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | (append ? QIODevice::Append : QIODevice::Truncate)));
    file.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
}

// The fields of a notification line ("Icon=1;Datum=...;Anrufer=...").
inline QMap<QString, QString> notificationFields(const QString& line)
{
    QMap<QString, QString> fields;
    for (const QString& part : line.split(QLatin1Char(';'))) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq > 0)
            fields.insert(part.left(eq), part.mid(eq + 1));
    }
    return fields;
}

} // namespace vorsa::test
