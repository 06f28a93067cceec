// The rebuild of the number index from both kinds of address database.

#include "indexfixture.h"

#include "addresses.h"
#include "db/udl.h"
#include "filelock.h"
#include "index/indexbuild.h"
#include "index/nurziffern.h"
#include "index/sqliteindexwriter.h"
#include "reporter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSysInfo>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

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
    void customerRowCopiesColumnsAndSubstitutesNull_data();
    void customerRowCopiesColumnsAndSubstitutesNull();
    void dispatchRowTakesStreetAndTownFromTheJoin();
    void sharedNumbersGiveOneRowEach();
    void progressAdvancesEveryHundredRecords();
    void emptySourceEmptiesIndexAndLeavesProgressAlone();
    void setUpFailureEndsBuild_data();
    void setUpFailureEndsBuild();
    void columnTheIndexLacksIsLeftOutOfEveryRow();
    void refusedRowIsDroppedAndTheOthersKept();
    void callsAtProgressPointsFindTheOldIndex_data();
    void callsAtProgressPointsFindTheOldIndex();
    void failureDuringTheWalkKeepsTheOldIndex_data();
    void failureDuringTheWalkKeepsTheOldIndex();
    void secondBuildIsRefused_data();
    void secondBuildIsRefused();
    void sqliteIndexKeepsItsDefinition();
    void tableDefinitionIsRenamed_data();
    void tableDefinitionIsRenamed();
    void sampleDatabasesRebuildToTheirNumbers_data();
    void sampleDatabasesRebuildToTheirNumbers();
    void addressDatabaseOnPostgres();
    void refusedRowOnPostgresIndexKeepsItsNeighbours();
    void lockOfAnotherProgramOnPostgresEndsTheBuild();
    void lockFileOfAnEndedBuildDoesNotBlock_data();
    void lockFileOfAnEndedBuildDoesNotBlock();
    void uniqueIndexDropsDuplicatesAsTheyAreWritten();
    void uniqueIndexIsRenamed_data();
    void uniqueIndexIsRenamed();
    void indexThroughOdbc();
    void cleanupTestCase() { releaseSharedPg(); }

private:
    void runNumbers(bool drovo);
};

static void engines()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("SQLite") << "sqlite";
    QTest::newRow("PostgreSQL") << "postgresql";
}

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

void TestIndexBuild::customerRowCopiesColumnsAndSubstitutesNull_data()
{
    engines();
}

void TestIndexBuild::customerRowCopiesColumnsAndSubstitutesNull()
{
    QFETCH(QString, engine);
    ProgramFolder folder;
    const QString why = prepareIndex(folder, engine);
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    folder.createAddresses({"TKunden"});
    const QString guid = QStringLiteral("{0A1B2C3D-0000-4000-8000-00000000BEEF}");
    // Quotes, backslashes, tabs and line ends reach the index as they are.
    const QString name = QString::fromUtf8("Jürgen \"Jo\" O'Meier\t\\N\r\nZeile 2 \\ \\\\");
    insertRows(folder.udlAdressen(), "TKunden",
               {{{"MandNr", 7},
                 {"UnID", guid},
                 {"SuchID", "MEIER"},
                 {"KundenNrID", 4711},
                 {"Name2", name},
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
    QVERIFY2(build.kunden(), qPrintable(build.reporter.entries.value(0).text));
    const QList<QVariantMap> rows = indexRows(folder.udlVorsa());
    QCOMPARE(rows.size(), 3);
    for (int i = 0; i < 2; ++i) {
        const QVariantMap& r = rows[i];
        QCOMPARE(r["sperre"].toInt(), 0);
        QCOMPARE(r["mandnr"].toInt(), 7);
        QCOMPARE(r["unid"].toString(), guid);
        QCOMPARE(r["suchid"].toString(), QStringLiteral("MEIER"));
        QCOMPARE(r["kundennrid"].toInt(), 4711);
        QCOMPARE(r["name2"].toString(), name);
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
    const QStringList expected{"unbind",    "min 1",     "max 250", "value 1",
                               "visible 1", "value 100", "events",  "value 200",
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
    QTest::addColumn<QString>("procedure");
    QTest::newRow("no data-link file") << false << "udl"
                                       << "KUNDEN_Verarbeitung";
    QTest::newRow("no database file") << false << "database"
                                      << "KUNDEN_Verarbeitung";
    QTest::newRow("no TKunden") << false << "table"
                                << "KUNDEN_Verarbeitung";
    QTest::newRow("no AOrte") << true << "table"
                              << "DROVO_Verarbeitung";
    QTest::newRow("dispatch: no data-link file") << true << "udl"
                                                 << "DROVO_Verarbeitung";
    QTest::newRow("no index table") << false << "index"
                                    << "KUNDEN_Verarbeitung";
}

void TestIndexBuild::setUpFailureEndsBuild()
{
    QFETCH(bool, drovo);
    QFETCH(QString, breakage);
    QFETCH(QString, procedure);

    ProgramFolder folder;
    folder.createIndex();
    insertRows(folder.udlVorsa(), "TTelefonNr",
               {{{"TelefonNr", "0521999"}}, {{"TelefonNr", "0521998"}}});
    if (breakage == QLatin1String("udl")) {
        QVERIFY(QFile::remove(folder.udlAdressen()));
    } else if (breakage == QLatin1String("database")) {
        QVERIFY(QFile::remove(folder.file("adressen.db")));
    } else if (breakage == QLatin1String("index")) {
        folder.createAddresses({"TKunden"});
        insertRows(folder.udlAdressen(), "TKunden", {kunde(1, "0521", "1")});
    } else {
        // Everything but the one table the source needs.
        folder.createAddresses(drovo ? QStringList{"AKdAdr", "AStrassen"} : QStringList{"AKdAdr"});
    }

    Build build(folder);
    if (breakage == QLatin1String("index"))
        build.connection.execute("DROP TABLE TTelefonNr");
    QVERIFY(!(drovo ? build.drovo() : build.kunden()));
    QCOMPARE(build.reporter.procedures(), QStringList{procedure});
    const RecordingReporter::Entry& box = build.reporter.entries.first();
    QVERIFY(box.text.startsWith("[" + procedure + "]\r\n\r\n"));
    QVERIFY(box.text.size() > procedure.size() + 6); // a description follows
    QVERIFY(box.title.startsWith(QStringLiteral("Fehler: ")));
    QCOMPARE(box.icon, MessageIcon::Warning);
    if (breakage == QLatin1String("udl"))
        QCOMPARE(box.title, QStringLiteral("Fehler: 53"));
    // The index is never touched before the new one is complete.
    if (breakage != QLatin1String("index"))
        QCOMPARE(indexNumbers(folder.udlVorsa()), (QStringList{"0521999", "0521998"}));
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

void TestIndexBuild::callsAtProgressPointsFindTheOldIndex_data()
{
    engines();
}

void TestIndexBuild::callsAtProgressPointsFindTheOldIndex()
{
    QFETCH(QString, engine);
    ProgramFolder folder;
    const QString why = prepareIndex(folder, engine);
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    folder.createAddresses({"TKunden"});
    QList<QVariantMap> rows;
    for (int i = 1; i <= 250; ++i)
        rows << kunde(i, "0521", QString::number(100000 + i));
    insertRows(folder.udlAdressen(), "TKunden", rows);
    {
        Build first(folder);
        QVERIFY(first.kunden());
    }
    // A customer who is new in this build.
    insertRows(folder.udlAdressen(), "TKunden", {kunde(251, "0521", "100251")});

    // What calls handled at a progress point do: a server that keeps its
    // connection open between calls and one that opens it for each call
    // look numbers up, and a ride is booked.
    db::Connection kept;
    ProgramFolder::open(kept, folder.udlVorsa());
    auto found = [](db::Connection& con, int customer) {
        db::Recordset lookup;
        lookup.open(QStringLiteral("SELECT * FROM TTelefonNr WHERE TelefonNr LIKE '0521%1'")
                        .arg(100000 + customer),
                    con);
        return lookup.recordCount();
    };
    QStringList seen;
    bool booked = true;
    int point = 0;
    Build build(folder);
    build.window.onEvents = [&] {
        ++point;
        db::Connection server;
        ProgramFolder::open(server, folder.udlVorsa());
        for (int customer : {1, point * 100, point * 100 + 1, 250, 251})
            seen << QStringLiteral("%1:%2:%3")
                        .arg(customer)
                        .arg(found(server, customer))
                        .arg(found(kept, customer));
        QElapsedTimer t;
        t.start();
        booked = booked && ignoringErrors([&] {
                     server.execute("INSERT INTO TFvFahrten (FaKdSuch) VALUES ('ANRUF')");
                 }) &&
                 t.elapsed() < 1000;
    };
    QVERIFY(build.kunden());
    QCOMPARE(seen, (QStringList{"1:1:1", "100:1:1", "101:1:1", "250:1:1", "251:0:0", "1:1:1",
                                "200:1:1", "201:1:1", "250:1:1", "251:0:0"}));
    QVERIFY2(booked, "a ride could not be booked while the index was being built");
    // Once the build is done, both find the new index.
    QCOMPARE(found(kept, 251), 1);
    QCOMPARE(found(kept, 1), 1);
    db::Connection fresh;
    ProgramFolder::open(fresh, folder.udlVorsa());
    QCOMPARE(found(fresh, 251), 1);
    QCOMPARE(indexRows(folder.udlVorsa()).size(), 251);
    QCOMPARE(build.recordset.recordCount(), 251);
}

void TestIndexBuild::failureDuringTheWalkKeepsTheOldIndex_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("breakage");
    QTest::newRow("SQLite: address database cut off") << "sqlite"
                                                      << "source";
    QTest::newRow("PostgreSQL: address database cut off") << "postgresql"
                                                          << "source";
    QTest::newRow("PostgreSQL: index connection lost") << "postgresql"
                                                       << "index";
}

void TestIndexBuild::failureDuringTheWalkKeepsTheOldIndex()
{
    QFETCH(QString, engine);
    QFETCH(QString, breakage);
    ProgramFolder folder;
    const QString why = prepareIndex(folder, engine);
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    // A source larger than SQLite's page cache, so that the walk reads from
    // the file after the count has read it through.
    const int customers = breakage == QLatin1String("source") ? 20000 : 3000;
    const QString addresses = folder.file("adressen.db");
    sampledata::generateKundenDatabase(addresses, customers, 5);
    {
        Build first(folder);
        QVERIFY(first.kunden());
    }
    const QList<QVariantMap> before = indexRows(folder.udlVorsa());
    QVERIFY(before.size() > customers);
    sampledata::generateKundenDatabase(addresses, customers, 6);

    Build build(folder);
    int point = 0;
    build.window.onEvents = [&] {
        if (++point != 1)
            return;
        if (breakage == QLatin1String("source")) {
            // The file is cut off under the walk (a share that went away).
            QFile file(addresses);
            QVERIFY(file.resize(0));
        } else {
            QString error;
            QVERIFY2(sharedPg().run("postgres",
                                    "SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                    "WHERE backend_type = 'client backend' "
                                    "AND xact_start IS NOT NULL AND pid <> pg_backend_pid()",
                                    &error),
                     qPrintable(error));
        }
    };
    QVERIFY(!build.kunden());
    QCOMPARE(build.reporter.procedures(), QStringList{"KUNDEN_Verarbeitung"});
    const QString text = build.reporter.entries.first().text;
    QVERIFY2(text.contains(QStringLiteral("bleibt unverändert")), qPrintable(text));
    QCOMPARE(build.statistics.rowsWritten, 0);
    QVERIFY(build.statistics.records < customers);
    QCOMPARE(indexRows(folder.udlVorsa()), before);
    // The grid shows the old index again.
    QCOMPARE(build.window.log.last(), QStringLiteral("bind"));
    QCOMPARE(build.recordset.recordCount(), before.size());
    if (engine == QLatin1String("sqlite")) {
        db::Recordset staging;
        staging.open("SELECT name FROM sqlite_master WHERE name = 'TTelefonNr_Neu'",
                     build.connection);
        QCOMPARE(staging.recordCount(), 0);
    }

    // Nothing of the failed build is in the way of the next one.
    const QStringList expected = sampledata::generateKundenDatabase(addresses, customers, 6);
    Build again(folder);
    QVERIFY(again.kunden());
    QCOMPARE(indexNumbers(folder.udlVorsa()), expected);
}

void TestIndexBuild::secondBuildIsRefused_data()
{
    engines();
}

void TestIndexBuild::secondBuildIsRefused()
{
    QFETCH(QString, engine);
    ProgramFolder folder;
    const QString why = prepareIndex(folder, engine);
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    insertRows(folder.udlVorsa(), "TTelefonNr", {{{"TelefonNr", "0521999"}}});
    folder.createAddresses({"TKunden"});
    insertRows(folder.udlAdressen(), "TKunden", {kunde(1, "0521", "1")});

    // Another build holds the index: its lock file, or its advisory lock.
    FileLock lockFile(SqliteIndexWriter::lockFileFor(folder.file("vorsa.db")));
    db::Connection other;
    if (engine == QLatin1String("sqlite")) {
        QCOMPARE(lockFile.tryLock(), FileLock::Result::Locked);
    } else {
        ProgramFolder::open(other, folder.udlVorsa());
        other.execute("SELECT pg_advisory_lock(1450144371, 1)");
    }
    {
        Build build(folder);
        QVERIFY(!build.kunden());
        QCOMPARE(build.reporter.procedures(), QStringList{"KUNDEN_Verarbeitung"});
        QVERIFY2(build.reporter.entries.first().text.contains("anderen Vorgang"),
                 qPrintable(build.reporter.entries.first().text));
        if (engine == QLatin1String("sqlite")) {
            // The refused build names the holder.
            QVERIFY2(build.reporter.entries.first().text.contains(
                         QStringLiteral("Prozess %1").arg(QCoreApplication::applicationPid())),
                     qPrintable(build.reporter.entries.first().text));
        }
        QCOMPARE(indexNumbers(folder.udlVorsa()), QStringList{"0521999"});
    }
    lockFile.unlock();
    other.close();
    Build build(folder);
    QVERIFY(build.kunden());
    QCOMPARE(indexNumbers(folder.udlVorsa()), QStringList{"05211"});
}

void TestIndexBuild::sqliteIndexKeepsItsDefinition()
{
    ProgramFolder folder;
    auto schema = [&] {
        db::Connection con;
        ProgramFolder::open(con, folder.udlVorsa());
        db::Recordset rs;
        rs.open("SELECT type, name, sql FROM sqlite_master WHERE type <> 'table' ORDER BY name",
                con);
        QStringList out;
        for (; !rs.eof(); rs.moveNext())
            out << rs.value(0).toString() + " " + rs.value(1).toString() + ": " +
                       rs.value(2).toString();
        return out;
    };
    {
        db::Connection con;
        ProgramFolder::open(con, folder.udlVorsa());
        con.execute("CREATE TABLE TTelefonNr (TelNrID INTEGER PRIMARY KEY AUTOINCREMENT, "
                    "Sperre BOOLEAN DEFAULT 0, MandNr INTEGER DEFAULT 0, UnID TEXT, SuchID TEXT, "
                    "KundenNrID INTEGER, Name2 TEXT, \"Straße\" TEXT, PLZ TEXT, Ort TEXT, "
                    "TelefonNr TEXT COLLATE NOCASE CHECK (TelefonNr <> '999'), KundenArt INTEGER, "
                    "Notiz TEXT DEFAULT 'neu')");
        con.execute("CREATE INDEX TTelefonNr_TelefonNr ON TTelefonNr (TelefonNr)");
        con.execute("CREATE INDEX TTelefonNr_Ort ON TTelefonNr (Ort, Name2)");
        con.execute("CREATE TABLE Geloescht (Nr TEXT)");
        con.execute("CREATE TRIGGER TTelefonNr_geloescht AFTER DELETE ON TTelefonNr "
                    "BEGIN INSERT INTO Geloescht VALUES (old.TelefonNr); END");
        con.execute("CREATE VIEW Nummern AS SELECT TelefonNr, Name2 FROM TTelefonNr");
        // Left by a build that was killed.
        con.execute("CREATE TABLE TTelefonNr_Neu (TelefonNr TEXT)");
        con.execute("INSERT INTO TTelefonNr_Neu VALUES ('halb')");
        for (const char* number : {"1", "2", "3"})
            con.execute(QStringLiteral("INSERT INTO TTelefonNr (TelefonNr) VALUES ('%1')")
                            .arg(QLatin1String(number)));
    }
    const QStringList before = schema();
    folder.createAddresses({"TKunden"});
    insertRows(folder.udlAdressen(), "TKunden",
               {kunde(1, null(), "11"), kunde(2, null(), "999"), kunde(3, null(), "33")});

    Build build(folder);
    QVERIFY(build.kunden());
    QCOMPARE(build.statistics.rowsDropped, 1); // the CHECK of the index still holds
    QCOMPARE(schema(), before);
    const QList<QVariantMap> rows = indexRows(folder.udlVorsa());
    QCOMPARE(indexNumbers(folder.udlVorsa()), (QStringList{"11", "33"}));
    // Keys go on from the old rows', the defaults of the table apply.
    QVERIFY(rows[0]["telnrid"].toInt() > 3);
    QCOMPARE(rows[1]["notiz"].toString(), QStringLiteral("neu"));
    db::Recordset view;
    view.open("SELECT * FROM Nummern ORDER BY TelefonNr", build.connection);
    QCOMPARE(view.recordCount(), 2);
    db::Recordset tables;
    tables.open("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name",
                build.connection);
    QStringList names;
    for (; !tables.eof(); tables.moveNext())
        names << tables.value(0).toString();
    QCOMPARE(names, (QStringList{"Geloescht", "TTelefonNr", "sqlite_sequence"}));
}

void TestIndexBuild::tableDefinitionIsRenamed_data()
{
    QTest::addColumn<QString>("definition");
    QTest::addColumn<QString>("renamed");
    QTest::newRow("plain") << "CREATE TABLE TTelefonNr (a INTEGER, b TEXT)"
                           << "CREATE TABLE \"TTelefonNr_Neu\" (a INTEGER, b TEXT)";
    QTest::newRow("quoted, no blank") << "CREATE TABLE \"TTelefonNr\"(a)"
                                      << "CREATE TABLE \"TTelefonNr_Neu\"(a)";
    QTest::newRow("brackets") << "CREATE TABLE [TTelefonNr] (a)"
                              << "CREATE TABLE \"TTelefonNr_Neu\" (a)";
    QTest::newRow("lower case, if not exists")
        << "create table if not exists TTelefonNr(a)"
        << "create table if not exists \"TTelefonNr_Neu\"(a)";
    QTest::newRow("quote in the name") << "CREATE TABLE \"T\"\"x\" (a)"
                                       << "CREATE TABLE \"TTelefonNr_Neu\" (a)";
}

void TestIndexBuild::tableDefinitionIsRenamed()
{
    QFETCH(QString, definition);
    QFETCH(QString, renamed);
    QCOMPARE(SqliteIndexWriter::renamedDefinition(definition, "TTelefonNr_Neu"), renamed);
}

void TestIndexBuild::sampleDatabasesRebuildToTheirNumbers_data()
{
    QTest::addColumn<bool>("drovo");
    QTest::addColumn<QString>("engine");
    QTest::newRow("customer management") << false << "sqlite";
    QTest::newRow("dispatch") << true << "sqlite";
    // More rows than one multi-row INSERT takes.
    QTest::newRow("customer management, index on PostgreSQL") << false << "postgresql";
    QTest::newRow("dispatch, index on PostgreSQL") << true << "postgresql";
}

void TestIndexBuild::sampleDatabasesRebuildToTheirNumbers()
{
    QFETCH(bool, drovo);
    QFETCH(QString, engine);
    ProgramFolder folder;
    const QString why = prepareIndex(folder, engine);
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
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

void TestIndexBuild::lockOfAnotherProgramOnPostgresEndsTheBuild()
{
    // A program that keeps the index locked (a long transaction, a table
    // being altered) holds the build up for a few seconds, not for ever.
    ProgramFolder folder;
    const QString why = prepareIndex(folder, QStringLiteral("postgresql"));
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    insertRows(folder.udlVorsa(), "TTelefonNr", {{{"TelefonNr", "0521999"}}});
    folder.createAddresses({"TKunden"});
    insertRows(folder.udlAdressen(), "TKunden", {kunde(1, "0521", "1")});

    db::Connection other;
    ProgramFolder::open(other, folder.udlVorsa());
    other.beginTrans();
    other.execute("LOCK TABLE TTelefonNr IN SHARE MODE");
    {
        Build build(folder);
        QElapsedTimer waited;
        waited.start();
        QVERIFY(!build.kunden());
        QVERIFY(waited.elapsed() >= IndexWriter::BuildLockWaitMs - 100);
        QVERIFY2(waited.elapsed() < IndexWriter::BuildLockWaitMs + 5000,
                 qPrintable(QString::number(waited.elapsed())));
        QCOMPARE(build.reporter.procedures(), QStringList{"KUNDEN_Verarbeitung"});
        const RecordingReporter::Entry& box = build.reporter.entries.first();
        QVERIFY2(box.text.contains("von einem anderen Programm gesperrt") &&
                     box.text.contains(QString::fromUtf8("bleibt unverändert")),
                 qPrintable(box.text));
        QVERIFY(box.title.startsWith("Fehler: "));
    }
    QCOMPARE(indexNumbers(folder.udlVorsa()), QStringList{"0521999"});
    other.rollbackTrans();

    Build build(folder);
    QVERIFY(build.kunden());
    QCOMPARE(indexNumbers(folder.udlVorsa()), QStringList{"05211"});
}

void TestIndexBuild::lockFileOfAnEndedBuildDoesNotBlock_data()
{
    QTest::addColumn<QString>("ending");
    QTest::newRow("killed with SIGKILL") << "killed";
    // The process id in the file belongs to a running program of the same
    // name now (this one): only the lock itself may count.
    QTest::newRow("its process id taken again") << "reused";
    QTest::newRow("written on another host") << "host";
}

void TestIndexBuild::lockFileOfAnEndedBuildDoesNotBlock()
{
    QFETCH(QString, ending);
    ProgramFolder folder;
    folder.createIndex();
    insertRows(folder.udlVorsa(), "TTelefonNr", {{{"TelefonNr", "0521999"}}});
    folder.createAddresses({"TKunden"});
    insertRows(folder.udlAdressen(), "TKunden", {kunde(1, "0521", "1")});
    const QString lockPath = SqliteIndexWriter::lockFileFor(folder.file("vorsa.db"));

    if (ending == QLatin1String("killed")) {
        // A process that takes the lock as a build does and is killed holding it.
        const QByteArray path = QFile::encodeName(lockPath);
        int ready[2];
        QCOMPARE(::pipe(ready), 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            const int fd = ::open(path.constData(), O_RDWR | O_CREAT, 0644);
            if (fd < 0 || ::flock(fd, LOCK_EX) != 0 || ::write(ready[1], "x", 1) != 1)
                ::_exit(1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char byte = 0;
        QCOMPARE(::read(ready[0], &byte, 1), ssize_t(1));
        ::close(ready[0]);
        {
            Build running(folder);
            QVERIFY(!running.kunden()); // held while the process lives
        }
        QCOMPARE(::kill(child, SIGKILL), 0);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
    } else {
        QFile file(lockPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QString host = ending == QLatin1String("host") ? QStringLiteral("anderer-rechner")
                                                             : QSysInfo::machineHostName();
        file.write(QStringLiteral("%1\n%2\n%3\n")
                       .arg(QCoreApplication::applicationPid())
                       .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName(), host)
                       .toUtf8());
    }
    QVERIFY(QFile::exists(lockPath));

    Build build(folder);
    QVERIFY2(build.kunden(), qPrintable(build.reporter.entries.value(0).text));
    QCOMPARE(indexNumbers(folder.udlVorsa()), QStringList{"05211"});
    QVERIFY(!QFile::exists(lockPath));
}

void TestIndexBuild::uniqueIndexDropsDuplicatesAsTheyAreWritten()
{
    // An index table that allows a number once per customer: a customer who
    // stores a number twice gives one row, as if the rows were written into
    // the table itself.
    ProgramFolder folder;
    folder.createIndex();
    {
        db::Connection con;
        ProgramFolder::open(con, folder.udlVorsa());
        con.execute(
            "CREATE UNIQUE INDEX \"TTelefonNr Kunde\" ON TTelefonNr(KundenNrID, TelefonNr)");
        con.execute("INSERT INTO TTelefonNr (KundenNrID, TelefonNr) VALUES (9, '0521999')");
    }
    folder.createAddresses({"TKunden"});
    insertRows(
        folder.udlAdressen(), "TKunden",
        {kunde(1, "0521", "1", "1", "2", "05211"), kunde(2, "0521", "1"), kunde(3, null(), "7")});
    auto indexes = [&] {
        db::Connection con;
        ProgramFolder::open(con, folder.udlVorsa());
        db::Recordset rs;
        rs.open("SELECT name, sql FROM sqlite_master WHERE type = 'index' ORDER BY name", con);
        QStringList out;
        for (; !rs.eof(); rs.moveNext())
            out << rs.value(0).toString() + ": " + rs.value(1).toString();
        return out;
    };
    const QStringList before = indexes();

    Build build(folder);
    QVERIFY2(build.kunden(), qPrintable(build.reporter.entries.value(0).text));
    QVERIFY(build.reporter.entries.isEmpty());
    QCOMPARE(build.statistics.rowsDropped, 2);
    QCOMPARE(indexNumbers(folder.udlVorsa()), (QStringList{"05211", "05212", "05211", "7"}));
    QCOMPARE(indexes(), before);

    // The index keeps refusing duplicates under its own name.
    db::Connection con;
    ProgramFolder::open(con, folder.udlVorsa());
    QVERIFY(!ignoringErrors(
        [&] { con.execute("INSERT INTO TTelefonNr (KundenNrID, TelefonNr) VALUES (3, '7')"); }));
}

void TestIndexBuild::uniqueIndexIsRenamed_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("renamed");
    QTest::newRow("plain") << "CREATE UNIQUE INDEX ux ON TTelefonNr (TelefonNr)"
                           << "CREATE UNIQUE INDEX \"ux_Neu\" ON \"TTelefonNr_Neu\" (TelefonNr)";
    QTest::newRow("quoted, no blank, condition")
        << "create unique index if not exists \"u x\" on [TTelefonNr](a) WHERE a <> ''"
        << "create unique index if not exists \"ux_Neu\" on \"TTelefonNr_Neu\"(a) WHERE a <> ''";
    QTest::newRow("not unique") << "CREATE INDEX ix ON TTelefonNr (TelefonNr)"
                                << "";
}

void TestIndexBuild::uniqueIndexIsRenamed()
{
    QFETCH(QString, statement);
    QFETCH(QString, renamed);
    QCOMPARE(SqliteIndexWriter::renamedUniqueIndex(statement, "ux_Neu", "TTelefonNr_Neu"), renamed);
}

void TestIndexBuild::indexThroughOdbc()
{
    // An index reached through ODBC (PostgreSQL's ODBC driver here): one
    // prepared INSERT for every row; a row the database refuses for its
    // values is dropped, any other failure ends the build with the old index
    // kept.
    QFile drivers(QStringLiteral("/etc/odbcinst.ini"));
    if (!QSqlDatabase::isDriverAvailable("QODBC") || !drivers.open(QIODevice::ReadOnly) ||
        !drivers.readAll().contains("[PostgreSQL Unicode]"))
        QSKIP("PostgreSQL's ODBC driver or Qt's ODBC driver is not installed");
    PgCluster& pg = sharedPg();
    if (!pg.available())
        QSKIP(qPrintable(pg.reason()));
    QString error;
    QVERIFY2(pg.createDatabase("odbc", &error), qPrintable(error));
    ProgramFolder folder;
    pg.writeUdl(folder.udlVorsa(), "odbc");
    folder.createIndex({"TTelefonNr"});
    QVERIFY2(pg.run("odbc",
                    "ALTER TABLE TTelefonNr ADD CONSTRAINT no999 CHECK (TelefonNr <> '999')",
                    &error),
             qPrintable(error));
    db::writeUdl(folder.udlVorsa(),
                 QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"Driver={PostgreSQL "
                                "Unicode};Server=%1;Port=%2;Database=odbc;Uid=%3;\"")
                     .arg(pg.host())
                     .arg(pg.port())
                     .arg(pg.user()));
    insertRows(folder.udlVorsa(), "TTelefonNr", {{{"TelefonNr", "0521999"}}});
    folder.createAddresses({"TKunden"});
    QList<QVariantMap> rows;
    for (int i = 1; i <= 30; ++i)
        rows << kunde(i, null(), i == 12 ? QStringLiteral("999") : QString::number(i));
    rows[2]["Name2"] = QString::fromUtf8("Bäckerei Groß");
    insertRows(folder.udlAdressen(), "TKunden", rows);

    {
        Build build(folder);
        QVERIFY2(build.kunden(), qPrintable(build.reporter.entries.value(0).text));
        QCOMPARE(build.statistics.rowsDropped, 1);
        QCOMPARE(build.statistics.rowsWritten, 29);
    }
    const QList<QVariantMap> written = indexRows(folder.udlVorsa());
    QCOMPARE(written.size(), 29);
    QCOMPARE(written[2]["name2"].toString(), QString::fromUtf8("Bäckerei Groß"));
    QCOMPARE(written[2]["unid"].toString(), kNullGuid);
    QCOMPARE(written[0]["sperre"].toBool(), false);

    // A failure that is not the row's (here a trigger's own error) ends the build.
    QVERIFY2(pg.run("odbc",
                    "CREATE FUNCTION kaputt() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                    "IF NEW.TelefonNr = '20' THEN RAISE EXCEPTION 'Platte voll'; END IF; "
                    "RETURN NEW; END $$",
                    &error),
             qPrintable(error));
    QVERIFY2(pg.run("odbc",
                    "CREATE TRIGGER kaputt BEFORE INSERT ON TTelefonNr "
                    "FOR EACH ROW EXECUTE FUNCTION kaputt()",
                    &error),
             qPrintable(error));
    const QStringList before = indexNumbers(folder.udlVorsa());
    Build build(folder);
    QVERIFY(!build.kunden());
    QCOMPARE(build.reporter.procedures(), QStringList{"KUNDEN_Verarbeitung"});
    QVERIFY2(build.reporter.entries.first().text.contains("Platte voll"),
             qPrintable(build.reporter.entries.first().text));
    QCOMPARE(indexNumbers(folder.udlVorsa()), before);
}

QTEST_GUILESS_MAIN(TestIndexBuild)
#include "tst_indexbuild.moc"
