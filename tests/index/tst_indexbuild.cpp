// The rebuild of the number index from both kinds of address database.

#include "indexfixture.h"

#include "addresses.h"
#include "index/indexbuild.h"
#include "index/nurziffern.h"
#include "reporter.h"

#include <QTest>

using namespace vorsa;
using namespace vorsa::test;

namespace {

const QString kNullGuid = QStringLiteral("{00000000-0000-0000-0000-000000000000}");

// Runs one build in a program folder whose index is open as the window has it.
struct Build {
    explicit Build(ProgramFolder& folder) : folder(folder)
    {
        ProgramFolder::open(connection, folder.udlVorsa());
        recordset.open(QStringLiteral("Select * From TTelefonNr"), connection,
                       db::CursorType::Static, db::LockType::Optimistic);
    }
    bool kunden()
    {
        IndexBuild build(folder.path(), connection, &recordset, window, reporter);
        const bool ok = build.KUNDEN_Verarbeitung();
        statistics = build.statistics();
        return ok;
    }
    bool drovo()
    {
        IndexBuild build(folder.path(), connection, &recordset, window, reporter);
        const bool ok = build.DROVO_Verarbeitung();
        statistics = build.statistics();
        return ok;
    }

    ProgramFolder& folder;
    db::Connection connection;
    db::Recordset recordset;
    RecordingIndexWindow window;
    RecordingReporter reporter;
    IndexBuild::Statistics statistics;
};

QVariant null()
{
    return QVariant();
}

} // namespace

class TestIndexBuild : public QObject {
    Q_OBJECT
private slots:
    void digitFilterKeepsOnlyDigitsInOrder_data();
    void digitFilterKeepsOnlyDigitsInOrder();
    void customerNumbersFollowAreaCodeRules_data();
    void customerNumbersFollowAreaCodeRules();
    void dispatchNumbersFollowAreaCodeRules_data();
    void dispatchNumbersFollowAreaCodeRules();
    void customerRowCopiesColumnsAndSubstitutesNull();
    void dispatchRowTakesStreetAndTownFromTheJoin();
    void sharedNumbersGiveOneRowEach();
    void progressAdvancesEveryHundredRecords();
    void emptySourceEmptiesIndexAndLeavesProgressAlone();
    void setUpFailureEndsBuild_data();
    void setUpFailureEndsBuild();
    void columnTheIndexLacksIsLeftOutOfEveryRow();
    void refusedRowIsDroppedAndTheOthersKept();
    void callAtProgressPointFindsNumbersAlreadyWritten();
    void sampleDatabasesRebuildToTheirNumbers_data();
    void sampleDatabasesRebuildToTheirNumbers();
    void addressDatabaseOnPostgres();
    void refusedRowOnPostgresIndexKeepsItsNeighbours();

private:
    void runNumbers(bool drovo);
};

void TestIndexBuild::digitFilterKeepsOnlyDigitsInOrder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("digits");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("separators") << "12/34-5"
                                << "12345";
    QTest::newRow("brackets and blanks") << "(0521) 12 34 56"
                                         << "0521123456";
    QTest::newRow("country code kept") << "+49/171/5"
                                       << "491715";
    QTest::newRow("leading zeros kept") << "0049 0521"
                                        << "00490521";
    QTest::newRow("letters dropped") << "Tel. 0521 abc 7"
                                     << "05217";
    QTest::newRow("lone hyphen") << "-"
                                 << "";
    QTest::newRow("other digit scripts dropped") << QString::fromUtf8("٣4١5") << "45";
    QTest::newRow("long") << QString(300, QLatin1Char('7')) << QString(300, QLatin1Char('7'));
}

void TestIndexBuild::digitFilterKeepsOnlyDigitsInOrder()
{
    QFETCH(QString, text);
    QFETCH(QString, digits);
    QCOMPARE(NurZiffern(text), digits);
}

// Columns: area code, three fixed lines, mobile (QVariant() is Null), the
// numbers written in order.
static void numberRows()
{
    QTest::addColumn<QVariant>("area");
    QTest::addColumn<QVariant>("t1");
    QTest::addColumn<QVariant>("t2");
    QTest::addColumn<QVariant>("t3");
    QTest::addColumn<QVariant>("mobile");
    QTest::addColumn<QStringList>("numbers");
    const QVariant s = QStringLiteral("   ");
    const QVariant e = QStringLiteral("");
    auto v = [](const char* t) { return QVariant(QString::fromUtf8(t)); };

    QTest::newRow("area code, blanks, empty, mobile alone")
        << v("0521") << v("12/34-5") << e << s << v("0171/123")
        << QStringList{"052112345", "0171123"};
    QTest::newRow("blank area code")
        << s << v("0521-123") << null() << null() << null() << QStringList{"0521123"};
    QTest::newRow("area code written twice")
        << v("0521") << v("0521/123") << null() << null() << null() << QStringList{"05210521123"};
    QTest::newRow("lone hyphen behind area code")
        << v("0521") << v("-") << null() << null() << null() << QStringList{"0521"};
    QTest::newRow("lone hyphen without area code")
        << null() << v("-") << null() << null() << null() << QStringList{""};
    QTest::newRow("Null area code")
        << null() << v("12 34") << null() << v("5") << null() << QStringList{"1234", "5"};
    QTest::newRow("empty area code")
        << e << v("77") << null() << null() << null() << QStringList{"77"};
    QTest::newRow("Null and blank telephone fields")
        << v("0521") << null() << s << e << null() << QStringList{};
    QTest::newRow("all three lines in order") << v("05 21") << v("1") << v("2") << v("3") << v("4")
                                              << QStringList{"05211", "05212", "05213", "4"};
    QTest::newRow("international mobile never prefixed")
        << v("05/21") << null() << v("33-44") << null() << v("+49/171/5")
        << QStringList{"05213344", "491715"};
    QTest::newRow("only a mobile")
        << null() << null() << null() << null() << v("0160 99") << QStringList{"016099"};
    QTest::newRow("area code without numbers")
        << v("0521") << null() << null() << null() << null() << QStringList{};
    QTest::newRow("tab is not a blank")
        << null() << v("\t") << null() << null() << null() << QStringList{""};
}

void TestIndexBuild::runNumbers(bool drovo)
{
    QFETCH(QVariant, area);
    QFETCH(QVariant, t1);
    QFETCH(QVariant, t2);
    QFETCH(QVariant, t3);
    QFETCH(QVariant, mobile);
    QFETCH(QStringList, numbers);

    ProgramFolder folder;
    folder.createIndex();
    if (drovo) {
        folder.createAddresses({"AKdAdr", "AStrassen", "AOrte"});
        insertRows(folder.udlAdressen(), "AKdAdr",
                   {{{"KdUnID", 1},
                     {"KdVorwahl", area},
                     {"KdTelefon1", t1},
                     {"KdTelefon2", t2},
                     {"KdTelefon3", t3},
                     {"KdMobil1", mobile}}});
    } else {
        folder.createAddresses({"TKunden"});
        insertRows(folder.udlAdressen(), "TKunden", {kunde(1, area, t1, t2, t3, mobile)});
    }

    Build build(folder);
    QVERIFY(drovo ? build.drovo() : build.kunden());
    QVERIFY2(build.reporter.entries.isEmpty(), qPrintable(build.reporter.procedures().join(',')));
    QCOMPARE(indexNumbers(folder.udlVorsa()), numbers);
}

void TestIndexBuild::customerNumbersFollowAreaCodeRules_data()
{
    numberRows();
}
void TestIndexBuild::customerNumbersFollowAreaCodeRules()
{
    runNumbers(false);
}
void TestIndexBuild::dispatchNumbersFollowAreaCodeRules_data()
{
    numberRows();
}
void TestIndexBuild::dispatchNumbersFollowAreaCodeRules()
{
    runNumbers(true);
}

void TestIndexBuild::customerRowCopiesColumnsAndSubstitutesNull()
{
    ProgramFolder folder;
    folder.createIndex();
    folder.createAddresses({"TKunden"});
    const QString guid = QStringLiteral("{0A1B2C3D-0000-4000-8000-00000000BEEF}");
    insertRows(folder.udlAdressen(), "TKunden",
               {{{"MandNr", 7},
                 {"UnID", guid},
                 {"SuchID", "MEIER"},
                 {"KundenNrID", 4711},
                 {"Name2", QString::fromUtf8("Jürgen Meier")},
                 {QString::fromUtf8("Straße"), QString::fromUtf8("Mühlenweg 3")},
                 {"PLZ", "33602"},
                 {"Ort", "Bielefeld"},
                 {"KundenArt", 2},
                 {"Vorwahl", "0521"},
                 {"Telefon1", "123"},
                 {"Mobil", "0171 9"}},
                // Every copied column Null.
                {{"MandNr", null()},
                 {"UnID", null()},
                 {"KundenNrID", null()},
                 {"KundenArt", null()},
                 {"Telefon1", "555"}}});

    Build build(folder);
    QVERIFY(build.kunden());
    const QList<QVariantMap> rows = indexRows(folder.udlVorsa());
    QCOMPARE(rows.size(), 3);
    for (int i = 0; i < 2; ++i) {
        const QVariantMap& r = rows[i];
        QCOMPARE(r["sperre"].toInt(), 0);
        QCOMPARE(r["mandnr"].toInt(), 7);
        QCOMPARE(r["unid"].toString(), guid);
        QCOMPARE(r["suchid"].toString(), QStringLiteral("MEIER"));
        QCOMPARE(r["kundennrid"].toInt(), 4711);
        QCOMPARE(r["name2"].toString(), QString::fromUtf8("Jürgen Meier"));
        QCOMPARE(r[QString::fromUtf8("straße")].toString(), QString::fromUtf8("Mühlenweg 3"));
        QCOMPARE(r["plz"].toString(), QStringLiteral("33602"));
        QCOMPARE(r["ort"].toString(), QStringLiteral("Bielefeld"));
        QCOMPARE(r["kundenart"].toInt(), 2);
    }
    QCOMPARE(rows[0]["telefonnr"].toString(), QStringLiteral("0521123"));
    QCOMPARE(rows[1]["telefonnr"].toString(), QStringLiteral("01719"));

    const QVariantMap& n = rows[2];
    QCOMPARE(n["telefonnr"].toString(), QStringLiteral("555"));
    QCOMPARE(n["unid"].toString(), kNullGuid);
    for (const char* zero : {"mandnr", "kundennrid", "kundenart"}) {
        QVERIFY2(!n[zero].isNull() && n[zero].toInt() == 0, zero);
    }
    for (const char* empty : {"suchid", "name2", "straße", "plz", "ort"}) {
        const QVariant value = n[QString::fromUtf8(empty)];
        QVERIFY2(!value.isNull() && value.toString().isEmpty(), empty);
    }
}

void TestIndexBuild::dispatchRowTakesStreetAndTownFromTheJoin()
{
    ProgramFolder folder;
    folder.createIndex();
    folder.createAddresses({"AKdAdr", "AStrassen", "AOrte"});
    insertRows(folder.udlAdressen(), "AOrte", {{{"OrNr", 1}, {"OrOrt", "Herford"}}});
    insertRows(folder.udlAdressen(), "AStrassen",
               {{{"StUnID", 10}, {"StStrasse", "Ringstraße"}, {"StOrNr", 1}},
                {{"StUnID", 11}, {"StStrasse", "Feldweg"}, {"StOrNr", 99}}});
    insertRows(folder.udlAdressen(), "AKdAdr",
               {{{"KdUnID", 5},
                 {"KdSuch", "HUBER"},
                 {"KdName", "Huber"},
                 {"KdPlz", "32052"},
                 {"KdStUnID", 10},
                 {"KdTelefon1", "1"}},
                {{"KdUnID", 6}, {"KdStUnID", 11}, {"KdTelefon1", "2"}}, // street, no town
                {{"KdUnID", 7}, {"KdStUnID", 12}, {"KdTelefon1", "3"}}, // no such street
                {{"KdUnID", 8},
                 {"KdSuch", null()},
                 {"KdName", null()},
                 {"KdPlz", null()},
                 {"KdTelefon1", "4"}}});

    Build build(folder);
    QVERIFY(build.drovo());
    const QList<QVariantMap> rows = indexRows(folder.udlVorsa());
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0]["suchid"].toString(), QStringLiteral("HUBER"));
    QCOMPARE(rows[0]["name2"].toString(), QStringLiteral("Huber"));
    QCOMPARE(rows[0]["plz"].toString(), QStringLiteral("32052"));
    QCOMPARE(rows[0]["kundennrid"].toInt(), 5);
    QCOMPARE(rows[0][QString::fromUtf8("straße")].toString(), QString::fromUtf8("Ringstraße"));
    QCOMPARE(rows[0]["ort"].toString(), QStringLiteral("Herford"));
    QCOMPARE(rows[1][QString::fromUtf8("straße")].toString(), QStringLiteral("Feldweg"));
    QCOMPARE(rows[1]["ort"].toString(), QStringLiteral(""));
    QVERIFY(!rows[1]["ort"].isNull());
    QCOMPARE(rows[2][QString::fromUtf8("straße")].toString(), QStringLiteral(""));
    QCOMPARE(rows[2]["ort"].toString(), QStringLiteral(""));
    QCOMPARE(rows[3]["kundennrid"].toInt(), 8);
    for (const QVariantMap& r : rows) {
        QCOMPARE(r["mandnr"].toInt(), 0);
        QCOMPARE(r["kundenart"].toInt(), 0);
        QCOMPARE(r["sperre"].toInt(), 0);
        QCOMPARE(r["unid"].toString(), kNullGuid); // the table's default
        QVERIFY(!r["suchid"].isNull() && !r["name2"].isNull() && !r["plz"].isNull());
    }
    for (const char* empty : {"suchid", "name2", "plz"}) {
        QVERIFY2(rows[3][empty].toString().isEmpty(), empty);
    }
}

void TestIndexBuild::sharedNumbersGiveOneRowEach()
{
    ProgramFolder folder;
    folder.createIndex();
    folder.createAddresses({"TKunden"});
    insertRows(folder.udlAdressen(), "TKunden",
               {kunde(1, "0521", "1234"), kunde(2, "0521", "12 34"),
                kunde(3, null(), "05211234", null(), null(), "0521 1234")});
    Build build(folder);
    QVERIFY(build.kunden());
    QCOMPARE(indexNumbers(folder.udlVorsa()), QStringList(4, QStringLiteral("05211234")));
}

void TestIndexBuild::progressAdvancesEveryHundredRecords()
{
    ProgramFolder folder;
    folder.createIndex();
    folder.createAddresses({"TKunden"});
    QList<QVariantMap> rows;
    for (int i = 1; i <= 250; ++i)
        rows << kunde(i, null(), QString::number(1000 + i));
    insertRows(folder.udlAdressen(), "TKunden", rows);

    Build build(folder);
    QVERIFY(build.kunden());
    const QStringList expected{"unbind",    "min 1",  "max 250",   "value 1",
                               "visible 1", "value 100", "events", "value 200",
                               "events",    "value 250", "bind"};
    QCOMPARE(build.window.log, expected);
    QCOMPARE(build.statistics.records, 250);
    QCOMPARE(build.statistics.rowsWritten, 250);
    // The window's result set shows the rebuilt index.
    QCOMPARE(build.recordset.recordCount(), 250);
}

void TestIndexBuild::emptySourceEmptiesIndexAndLeavesProgressAlone()
{
    ProgramFolder folder;
    folder.createIndex();
    folder.createAddresses({"TKunden"});
    insertRows(folder.udlVorsa(), "TTelefonNr",
               {{{"TelefonNr", "0521999"}}, {{"TelefonNr", "0521998"}}});

    Build build(folder);
    QCOMPARE(build.recordset.recordCount(), 2);
    QVERIFY(build.kunden());
    QVERIFY(build.reporter.entries.isEmpty());
    QCOMPARE(build.window.log, QStringList{"refresh"});
    QCOMPARE(build.recordset.recordCount(), 0);
    QVERIFY(indexRows(folder.udlVorsa()).isEmpty());
}

void TestIndexBuild::setUpFailureEndsBuild_data()
{
    QTest::addColumn<bool>("drovo");
    QTest::addColumn<QString>("breakage");
    QTest::addColumn<int>("rowsLeft");
    QTest::addColumn<QString>("procedure");
    // The address database cannot be reached: the index is left as it was.
    QTest::newRow("no data-link file") << false << "udl" << 2 << "KUNDEN_Verarbeitung";
    QTest::newRow("no database file") << false << "database" << 2 << "KUNDEN_Verarbeitung";
    // The source cannot be opened: the index was emptied before.
    QTest::newRow("no TKunden") << false << "table" << 0 << "KUNDEN_Verarbeitung";
    QTest::newRow("no AOrte") << true << "table" << 0 << "DROVO_Verarbeitung";
    QTest::newRow("dispatch: no data-link file") << true << "udl" << 2 << "DROVO_Verarbeitung";
}

void TestIndexBuild::setUpFailureEndsBuild()
{
    QFETCH(bool, drovo);
    QFETCH(QString, breakage);
    QFETCH(int, rowsLeft);
    QFETCH(QString, procedure);

    ProgramFolder folder;
    folder.createIndex();
    insertRows(folder.udlVorsa(), "TTelefonNr",
               {{{"TelefonNr", "0521999"}}, {{"TelefonNr", "0521998"}}});
    if (breakage == QLatin1String("udl")) {
        QVERIFY(QFile::remove(folder.udlAdressen()));
    } else if (breakage == QLatin1String("database")) {
        QVERIFY(QFile::remove(folder.file("adressen.db")));
    } else {
        // Everything but the one table the source needs.
        folder.createAddresses(drovo ? QStringList{"AKdAdr", "AStrassen"} : QStringList{"AKdAdr"});
    }

    Build build(folder);
    QVERIFY(!(drovo ? build.drovo() : build.kunden()));
    QCOMPARE(build.reporter.procedures(), QStringList{procedure});
    const RecordingReporter::Entry& box = build.reporter.entries.first();
    QVERIFY(box.text.startsWith("[" + procedure + "]\r\n\r\n"));
    QVERIFY(box.text.size() > procedure.size() + 6); // a description follows
    QVERIFY(box.title.startsWith(QStringLiteral("Fehler: ")));
    QCOMPARE(box.icon, MessageIcon::Warning);
    if (breakage == QLatin1String("udl"))
        QCOMPARE(box.title, QStringLiteral("Fehler: 53"));
    QCOMPARE(indexRows(folder.udlVorsa()).size(), rowsLeft);
    // No progress, the grid stays bound.
    QVERIFY(build.window.matching("visible").isEmpty());
    QVERIFY(build.window.matching("unbind").isEmpty());
}

void TestIndexBuild::columnTheIndexLacksIsLeftOutOfEveryRow()
{
    ProgramFolder folder;
    {
        // An index table of an older installation, without KundenArt and UnID.
        db::Connection con;
        ProgramFolder::open(con, folder.udlVorsa());
        con.execute("CREATE TABLE TTelefonNr (TelNrID INTEGER PRIMARY KEY AUTOINCREMENT, "
                    "Sperre INTEGER, MandNr INTEGER, SuchID TEXT, KundenNrID INTEGER, "
                    "Name2 TEXT, \"Straße\" TEXT, PLZ TEXT, Ort TEXT, TelefonNr TEXT)");
    }
    folder.createAddresses({"TKunden"});
    insertRows(folder.udlAdressen(), "TKunden",
               {kunde(1, "0521", "1", "2"), kunde(2, null(), "3")});

    Build build(folder);
    QVERIFY(build.kunden());
    const QList<QVariantMap> rows = indexRows(folder.udlVorsa());
    QCOMPARE(indexNumbers(folder.udlVorsa()), (QStringList{"05211", "05212", "3"}));
    QCOMPARE(rows[2]["kundennrid"].toInt(), 2);
    QCOMPARE(rows[2]["name2"].toString(), QStringLiteral("Kunde 2"));
}

void TestIndexBuild::refusedRowIsDroppedAndTheOthersKept()
{
    ProgramFolder folder;
    {
        db::Connection con;
        ProgramFolder::open(con, folder.udlVorsa());
        con.execute("CREATE TABLE TTelefonNr (TelNrID INTEGER PRIMARY KEY AUTOINCREMENT, "
                    "Sperre INTEGER, MandNr INTEGER, UnID TEXT, SuchID TEXT, KundenNrID INTEGER, "
                    "Name2 TEXT, \"Straße\" TEXT, PLZ TEXT, Ort TEXT, "
                    "TelefonNr TEXT CHECK (TelefonNr <> '999'), KundenArt INTEGER)");
    }
    folder.createAddresses({"TKunden"});
    QList<QVariantMap> rows;
    for (int i = 1; i <= 150; ++i)
        rows << kunde(i, null(), i == 42 ? QStringLiteral("9-9-9") : QString::number(i));
    insertRows(folder.udlAdressen(), "TKunden", rows);

    Build build(folder);
    QVERIFY(build.kunden());
    QVERIFY(build.reporter.entries.isEmpty());
    QCOMPARE(build.statistics.rowsDropped, 1);
    const QStringList numbers = indexNumbers(folder.udlVorsa());
    QCOMPARE(numbers.size(), 149);
    QVERIFY(!numbers.contains("999"));
    QCOMPARE(numbers.first(), QStringLiteral("1"));
    QCOMPARE(numbers.last(), QStringLiteral("150"));
}

void TestIndexBuild::callAtProgressPointFindsNumbersAlreadyWritten()
{
    ProgramFolder folder;
    folder.createIndex();
    folder.createAddresses({"TKunden"});
    QList<QVariantMap> rows;
    for (int i = 1; i <= 250; ++i)
        rows << kunde(i, "0521", QString::number(100000 + i));
    insertRows(folder.udlAdressen(), "TKunden", rows);

    // What a call handled at a progress point does: the server's own
    // connection looks the number up, and may book a ride.
    QStringList seen;
    bool booked = true;
    int point = 0;
    Build build(folder);
    build.window.onEvents = [&] {
        ++point;
        db::Connection server;
        ProgramFolder::open(server, folder.udlVorsa());
        for (int customer : {point * 100, point * 100 + 1}) {
            db::Recordset lookup;
            lookup.open(QStringLiteral("SELECT * FROM TTelefonNr WHERE TelefonNr = '0521%1'")
                            .arg(100000 + customer),
                        server);
            seen << QStringLiteral("%1:%2").arg(customer).arg(lookup.recordCount());
        }
        QElapsedTimer t;
        t.start();
        booked = booked && ignoringErrors([&] {
                     server.execute("INSERT INTO TFvFahrten (FaKdSuch) VALUES ('ANRUF')");
                 }) &&
                 t.elapsed() < 1000;
        server.close();
    };
    QVERIFY(build.kunden());
    QCOMPARE(seen, (QStringList{"100:1", "101:0", "200:1", "201:0"}));
    QVERIFY2(booked, "a ride could not be booked while the index was being built");
    QCOMPARE(indexRows(folder.udlVorsa()).size(), 250);
}

void TestIndexBuild::sampleDatabasesRebuildToTheirNumbers_data()
{
    QTest::addColumn<bool>("drovo");
    QTest::newRow("customer management") << false;
    QTest::newRow("dispatch") << true;
}

void TestIndexBuild::sampleDatabasesRebuildToTheirNumbers()
{
    QFETCH(bool, drovo);
    ProgramFolder folder;
    folder.createIndex();
    const QString database = folder.file("adressen.db");
    const QStringList expected = drovo ? sampledata::generateDrovoDatabase(database, 1234, 7)
                                       : sampledata::generateKundenDatabase(database, 1234, 7);
    QVERIFY(expected.size() > 1234);

    Build build(folder);
    QVERIFY(drovo ? build.drovo() : build.kunden());
    QVERIFY(build.reporter.entries.isEmpty());
    QCOMPARE(build.statistics.records, 1234);
    QCOMPARE(indexNumbers(folder.udlVorsa()), expected);
    QCOMPARE(build.window.matching("value"),
             (QStringList{"value 1", "value 100", "value 200", "value 300", "value 400",
                          "value 500", "value 600", "value 700", "value 800", "value 900",
                          "value 1000", "value 1100", "value 1200", "value 1234"}));
}

void TestIndexBuild::addressDatabaseOnPostgres()
{
    PgCluster pg;
    if (!pg.available())
        QSKIP(qPrintable(pg.reason()));
    QString error;
    QVERIFY2(pg.createDatabase("adressen", &error), qPrintable(error));

    ProgramFolder folder;
    folder.createIndex();
    pg.writeUdl(folder.udlAdressen(), "adressen");
    folder.createAddresses({"TKunden"});
    insertRows(folder.udlAdressen(), "TKunden",
               {kunde(1, "0521", "12/34-5", "", "   ", "0171/123"),
                {{"KundenNrID", 2},
                 {"Name2", QString::fromUtf8("Bäckerei Groß")},
                 {QString::fromUtf8("Straße"), QString::fromUtf8("Große Straße 1")},
                 {"UnID", null()},
                 {"KundenArt", null()},
                 {"Telefon1", "0521-77"}}});

    Build build(folder);
    QVERIFY(build.kunden());
    QVERIFY2(build.reporter.entries.isEmpty(), qPrintable(build.reporter.entries.value(0).text));
    const QList<QVariantMap> rows = indexRows(folder.udlVorsa());
    QCOMPARE(indexNumbers(folder.udlVorsa()), (QStringList{"052112345", "0171123", "052177"}));
    QCOMPARE(rows[2]["name2"].toString(), QString::fromUtf8("Bäckerei Groß"));
    QCOMPARE(rows[2][QString::fromUtf8("straße")].toString(), QString::fromUtf8("Große Straße 1"));
    QCOMPARE(rows[2]["unid"].toString(), kNullGuid);
    QCOMPARE(rows[2]["kundenart"].toInt(), 0);
    QCOMPARE(rows[0]["kundennrid"].toInt(), 1);
}

void TestIndexBuild::refusedRowOnPostgresIndexKeepsItsNeighbours()
{
    // PostgreSQL gives up a whole transaction after one failed statement; the
    // rows committed with the refused one must survive it.
    PgCluster pg;
    if (!pg.available())
        QSKIP(qPrintable(pg.reason()));
    QString error;
    QVERIFY2(pg.createDatabase("vorsa", &error), qPrintable(error));
    ProgramFolder folder;
    pg.writeUdl(folder.udlVorsa(), "vorsa");
    folder.createIndex({"TTelefonNr"});
    QVERIFY2(pg.run("vorsa",
                    "ALTER TABLE TTelefonNr ADD CONSTRAINT no999 "
                    "CHECK (TelefonNr <> '999')",
                    &error),
             qPrintable(error));
    folder.createAddresses({"TKunden"});
    QList<QVariantMap> rows;
    for (int i = 1; i <= 120; ++i)
        rows << kunde(i, null(), i == 50 ? QStringLiteral("999") : QString::number(i));
    insertRows(folder.udlAdressen(), "TKunden", rows);

    Build build(folder);
    QVERIFY(build.kunden());
    QVERIFY2(build.reporter.entries.isEmpty(), qPrintable(build.reporter.entries.value(0).text));
    const QStringList numbers = indexNumbers(folder.udlVorsa());
    QCOMPARE(numbers.size(), 119);
    QVERIFY(numbers.contains("49") && numbers.contains("51") && !numbers.contains("999"));
}

QTEST_GUILESS_MAIN(TestIndexBuild)
#include "tst_indexbuild.moc"
