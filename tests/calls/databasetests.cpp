#include "databasetests.h"

#include "autobooking/autobooking.h"
#include "db/connection.h"
#include "db/recordset.h"
#include "db/schema.h"
#include "db/udl.h"
#include "lookup/lookupqueries.h"
#include "reporter.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace vorsa::test {

namespace {

const QString Number = QStringLiteral("0401234567");
const QStringList CustomerColumns = {QStringLiteral("Nr"),       QStringLiteral("KdKzAutoBooking"),
                                     QStringLiteral("KdSuch"),   QStringLiteral("KdUnID"),
                                     QStringLiteral("KdName"),   QStringLiteral("StStrasse"),
                                     QStringLiteral("KdHausNr"), QStringLiteral("OrOrt"),
                                     QStringLiteral("StUnID"),   QStringLiteral("KdFaInfo")};

QString groupQuery(int group)
{
    return QStringLiteral("SELECT * FROM TNr WHERE Grp = %1 AND Nr LIKE '/*CallingNr*/'")
        .arg(group);
}

// A stored number that the lookup of Number finds only after `cuts` cuts.
QString storedAfterCuts(int cuts)
{
    if (cuts == 0)
        return Number;
    const qsizetype keep = Number.size() - cuts;
    const int other = (Number.at(keep).digitValue() + 1) % 10;
    return Number.left(keep) + QString::number(other) + QString(cuts - 1, QLatin1Char('0'));
}

Clock fixedClock(const QDateTime& at)
{
    return [at] { return at; };
}

} // namespace

void DatabaseTests::initTestCase()
{
    const QString reason = m_backend.unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(m_backend.name() + QStringLiteral(" fehlt: ") + reason));
}

void DatabaseTests::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_backend.createDatabase(m_dir->path());
    for (const char* table : {"TNr", "TKdSuche", "TFvFahrten"})
        exec(QStringLiteral("DROP TABLE IF EXISTS ") + QLatin1String(table));
    exec(QStringLiteral("CREATE TABLE TNr (Nr VARCHAR(40), Grp INTEGER)"));
    exec(QStringLiteral("CREATE TABLE TKdSuche (Nr VARCHAR(40), KdKzAutoBooking BOOLEAN, "
                        "KdSuch VARCHAR(20), KdUnID INTEGER, KdName VARCHAR(80), "
                        "StStrasse VARCHAR(80), KdHausNr VARCHAR(10), OrOrt VARCHAR(80), "
                        "StUnID INTEGER, KdFaInfo VARCHAR(80))"));
    try {
        db::Connection con;
        con.open(connectionString());
        db::applySchema(con, {QStringLiteral("TFvFahrten")});
    } catch (const VbError& e) {
        QFAIL(qPrintable(e.description()));
    }
}

void DatabaseTests::cleanup()
{
    m_dir.reset();
}

QString DatabaseTests::connectionString() const
{
    return connectionStringFor(m_dir->path());
}

void DatabaseTests::exec(const QString& statement)
{
    try {
        db::Connection con;
        con.open(connectionString());
        con.execute(statement);
    } catch (const VbError& e) {
        QTest::qFail(qPrintable(e.description()), __FILE__, __LINE__);
    }
}

// ---------------------------------------------------------------- lookup

void DatabaseTests::attemptsCutTrailingDigits_data()
{
    QTest::addColumn<int>("cutNr");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<int>("versuche");
    QTest::addColumn<int>("records");

    const QStringList two = {QStringLiteral("0401234000"), QStringLiteral("0401299999")};
    QTest::newRow("match only after three cuts") << 3 << "0401234599" << two << 3 << 1;
    QTest::newRow("full number needs no cut") << 3 << "0401234000" << two << 0 << 1;
    QTest::newRow("one cut finds two")
        << 3 << "0401234009" << QStringList{"0401234001", "0401234002"} << 1 << 2;
    QTest::newRow("CutNr 0 tries the number without wildcard")
        << 0 << "0401234" << QStringList{"0401234000"} << 0 << 0;
    QTest::newRow("a match beyond CutNr is not found") << 2 << "0401234599" << two << 0 << 0;
    QTest::newRow("nothing at any attempt") << 3 << "0777777777" << two << 0 << 0;
    // A shortened number keeps six digits before the wildcard.
    QTest::newRow("six digits are searched exactly only")
        << 3 << "040123" << QStringList{"040120"} << 0 << 0;
    QTest::newRow("seven digits are cut once")
        << 3 << "0401239" << QStringList{"0401230"} << 1 << 1;
    QTest::newRow("a cut never leaves fewer than six digits")
        << 3 << "0401299" << QStringList{"040120"} << 0 << 0;
}

void DatabaseTests::attemptsCutTrailingDigits()
{
    QFETCH(int, cutNr);
    QFETCH(QString, number);
    QFETCH(QStringList, stored);
    for (const QString& nr : stored)
        exec(QStringLiteral("INSERT INTO TNr (Nr, Grp) VALUES ('%1', 1)").arg(nr));

    RecordingReporter reporter;
    db::Connection con;
    con.open(connectionString());
    clsSqlRs query;
    query.SQL = groupQuery(1);
    query.CutNr = cutNr;
    query.Suchen(number, QStringLiteral("%"), con, reporter);

    QVERIFY2(reporter.entries.isEmpty(), qPrintable(reporter.procedures().join(',')));
    QTEST(query.AnzahlVersuche, "versuche");
    QTEST(query.RecordCount, "records");
    QTEST(query.Rs.recordCount(), "records");
}

void DatabaseTests::quoteInCallingNumberStaysInsideTheText()
{
    exec(QStringLiteral("INSERT INTO TNr (Nr, Grp) VALUES ('0401234000', 1)"));
    exec(QStringLiteral("INSERT INTO TNr (Nr, Grp) VALUES ('04''11', 1)"));
    RecordingReporter reporter;
    db::Connection con;
    con.open(connectionString());
    clsSqlRs query;
    query.SQL = groupQuery(1);

    query.Suchen(QStringLiteral("0' OR '1'='1"), QStringLiteral("%"), con, reporter);
    QCOMPARE(query.RecordCount, 0);
    query.Suchen(QStringLiteral("04'11"), QStringLiteral("%"), con, reporter);
    QCOMPARE(query.RecordCount, 1);
    query.Suchen(QStringLiteral("04'\r\n1\t1"), QStringLiteral("%"), con, reporter);
    QCOMPARE(query.RecordCount, 1);
    exec(QStringLiteral("INSERT INTO TNr (Nr, Grp) VALUES ('040123''11', 1)"));
    query.CutNr = 1;
    query.Suchen(QStringLiteral("040123'1'"), QStringLiteral("%"), con, reporter);
    QCOMPARE(query.RecordCount, 1);
    QCOMPARE(query.AnzahlVersuche, 1);
    QVERIFY2(reporter.entries.isEmpty(), qPrintable(reporter.procedures().join(',')));
}

void DatabaseTests::shortNumberIsSearchedExactlyOnly()
{
    exec(QStringLiteral("INSERT INTO TNr (Nr, Grp) VALUES ('12', 1), ('120000', 1)"));
    RecordingReporter reporter;
    db::Connection con;
    con.open(connectionString());
    clsSqlRs query;
    query.SQL = groupQuery(1);
    query.CutNr = 3;
    query.Suchen(QStringLiteral("12"), QStringLiteral("%"), con, reporter);
    QCOMPARE(query.RecordCount, 1);
    QCOMPARE(query.Rs.value(QStringLiteral("Nr")).toString(), QStringLiteral("12"));
    query.Suchen(QStringLiteral("1"), QStringLiteral("%"), con, reporter); // never "%" alone
    QCOMPARE(query.RecordCount, 0);
    QVERIFY2(reporter.entries.isEmpty(), qPrintable(reporter.procedures().join(',')));
    QVERIFY(!query.lastSearchFailed);
}

void DatabaseTests::rejectedStatementIsReported()
{
    RecordingReporter reporter;
    db::Connection con;
    con.open(connectionString());
    clsSqlRs query;
    query.SQL = QStringLiteral("SELECT * FROM Missing WHERE Nr = '/*CallingNr*/'");
    query.Suchen(Number, QStringLiteral("%"), con, reporter);
    QCOMPARE(reporter.procedures(), QStringList{QStringLiteral("clsSqlRs/Suchen")});
    QCOMPARE(query.RecordCount, 0);
}

void DatabaseTests::choiceBetweenQueries_data()
{
    // Per query "records/cuts", or "x" for a query the database rejects.
    QTest::addColumn<QString>("queries");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QList<int>>("notSearched");

    QTest::newRow("unique hit on the full number ends the pass") << "1/0,2/0" << 0 << QList<int>{1};
    QTest::newRow("first empty, second three after one cut") << "0/0,3/1" << 1 << QList<int>{};
    QTest::newRow("fewer records needing more cuts lose") << "2/0,1/1" << 0 << QList<int>{};
    QTest::newRow("fewer records with the same cuts win") << "3/1,2/1" << 1 << QList<int>{};
    QTest::newRow("fewer records with fewer cuts win") << "3/2,2/1" << 1 << QList<int>{};
    QTest::newRow("a tie keeps the earlier query") << "2/0,2/0" << 0 << QList<int>{};
    QTest::newRow("nothing found gives the first query") << "0/0,0/0" << 0 << QList<int>{};
    QTest::newRow("a unique hit after a cut searches on") << "1/1,1/0" << 1 << QList<int>{};
    QTest::newRow("the candidate moves on") << "5/1,3/1,2/0" << 2 << QList<int>{};
    QTest::newRow("more cuts never replace") << "5/0,3/1,2/1" << 0 << QList<int>{};
    QTest::newRow("a failed search takes part without records") << "x,2/0" << 1 << QList<int>{};
}

void DatabaseTests::choiceBetweenQueries()
{
    QFETCH(QString, queries);
    QFETCH(int, chosen);
    QFETCH(QList<int>, notSearched);

    RecordingReporter reporter;
    LookupQueries lookup(reporter);
    lookup.setCutDigits(QStringLiteral("3"));
    const QStringList shapes = queries.split(QLatin1Char(','));
    for (int group = 1; group <= shapes.size(); ++group) {
        const QString& shape = shapes.at(group - 1);
        if (shape == QLatin1String("x")) {
            lookup.ClassSqlRsInstanzieren(QStringLiteral("SELECT * FROM Missing"));
            continue;
        }
        lookup.ClassSqlRsInstanzieren(groupQuery(group));
        const int records = shape.section(QLatin1Char('/'), 0, 0).toInt();
        const int cuts = shape.section(QLatin1Char('/'), 1, 1).toInt();
        for (int i = 0; i < records; ++i)
            exec(QStringLiteral("INSERT INTO TNr (Nr, Grp) VALUES ('%1', %2)")
                     .arg(storedAfterCuts(cuts))
                     .arg(group));
    }

    db::Connection con;
    clsSqlRs* result = lookup.AnruferSuchen(Number, con, connectionString(), QStringLiteral("%"));
    QVERIFY(result);
    QCOMPARE(result, &lookup.at(chosen));
    for (int i : notSearched)
        QVERIFY2(!lookup.at(i).Rs.isOpen(), "a query after the unique hit was searched");
    QCOMPARE(reporter.entries.isEmpty(), !queries.contains(QLatin1Char('x')));
}

void DatabaseTests::noConnectionIsReportedAndGivesNoQuery()
{
    RecordingReporter reporter;
    LookupQueries lookup(reporter);
    lookup.setCutDigits(QStringLiteral("3"));
    lookup.ClassSqlRsInstanzieren(groupQuery(1));
    db::Connection con;
    const QString missing =
        QStringLiteral("File Name=") + m_dir->filePath(QStringLiteral("none.UDL"));
    QCOMPARE(lookup.AnruferSuchen(Number, con, missing, QStringLiteral("%")), nullptr);
    QVERIFY(!con.isOpen());
    QCOMPARE(reporter.procedures(), QStringList{QStringLiteral("AnruferSuchen")});
    QCOMPARE(reporter.entries[0].title, QStringLiteral("Fehler: 53"));
    QVERIFY(reporter.entries[0].text.contains(QStringLiteral("none.UDL")));
}

void DatabaseTests::lookupKeepsTheConnectionForTheNextCall()
{
    exec(QStringLiteral("INSERT INTO TNr (Nr, Grp) VALUES ('%1', 1)").arg(Number));
    RecordingReporter reporter;
    LookupQueries lookup(reporter);
    lookup.setCutDigits(QStringLiteral("3"));
    lookup.ClassSqlRsInstanzieren(groupQuery(1));
    db::Connection con;
    clsSqlRs* result = lookup.AnruferSuchen(Number, con, connectionString(), QStringLiteral("%"));
    QVERIFY(result);
    QVERIFY(con.isOpen());
    QCOMPARE(result->Rs.value(QStringLiteral("Nr")).toString(), Number);

    // What another program commits meanwhile is found by the next lookup on
    // the same connection, and the rows of the last one stay as they were.
    exec(QStringLiteral("INSERT INTO TNr (Nr, Grp) VALUES ('0409999999', 1)"));
    const QString before = con.description();
    lookup.resetCounts();
    result = lookup.AnruferSuchen(QStringLiteral("0409999999"), con, connectionString(),
                                  QStringLiteral("%"));
    QVERIFY(result);
    QCOMPARE(result->RecordCount, 1);
    QVERIFY(con.isOpen());
    QCOMPARE(con.description(), before);
    QVERIFY(reporter.entries.isEmpty());

    // A search that fails leaves the connection closed: the next lookup
    // opens a fresh one.
    lookup.ClassSqlRsInstanzieren(QStringLiteral("SELECT * FROM Missing"));
    lookup.resetCounts();
    lookup.AnruferSuchen(QStringLiteral("0400000000"), con, connectionString(),
                         QStringLiteral("%"));
    QCOMPARE(reporter.procedures(), QStringList{QStringLiteral("clsSqlRs/Suchen")});
    QVERIFY(!con.isOpen());
}

void DatabaseTests::changedDataLinkIsOpenedAfresh()
{
    exec(QStringLiteral("INSERT INTO TNr (Nr, Grp) VALUES ('%1', 1)").arg(Number));
    RecordingReporter reporter;
    LookupQueries lookup(reporter);
    lookup.setCutDigits(QStringLiteral("3"));
    lookup.ClassSqlRsInstanzieren(groupQuery(1));
    db::Connection con;
    QVERIFY(lookup.AnruferSuchen(Number, con, connectionString(), QStringLiteral("%")));
    QVERIFY(con.isCurrent());

    // The administrator points the data link at a database that is not there.
    const QString udl = QDir(m_dir->path()).absoluteFilePath(QStringLiteral("udlVorsa.UDL"));
    QFile::rename(udl, udl + QStringLiteral(".alt"));
    db::writeUdl(udl, QStringLiteral("Provider=SQLite;Data Source=fehlt.db"));
    QVERIFY(!con.isCurrent());
    lookup.resetCounts();
    QCOMPARE(lookup.AnruferSuchen(Number, con, connectionString(), QStringLiteral("%")), nullptr);
    QCOMPARE(reporter.procedures(), QStringList{QStringLiteral("AnruferSuchen")});
    QVERIFY(reporter.entries[0].text.contains(QStringLiteral("fehlt.db")));

    // And back: the next lookup finds the caller again.
    QFile::remove(udl);
    QFile::rename(udl + QStringLiteral(".alt"), udl);
    reporter.clear();
    lookup.resetCounts();
    clsSqlRs* result = lookup.AnruferSuchen(Number, con, connectionString(), QStringLiteral("%"));
    QVERIFY(result);
    QCOMPARE(result->RecordCount, 1);
    QVERIFY(reporter.entries.isEmpty());
}

void DatabaseTests::databaseGoneMidwayIsReportedAndKeepsTheColumns()
{
    exec(QStringLiteral("INSERT INTO TNr (Nr, Grp) VALUES ('%1', 1)").arg(Number));
    RecordingReporter reporter;
    LookupQueries lookup(reporter);
    lookup.setCutDigits(QStringLiteral("3"));
    lookup.ClassSqlRsInstanzieren(groupQuery(1));
    db::Connection con;
    QVERIFY(lookup.AnruferSuchen(Number, con, connectionString(), QStringLiteral("%")));
    const QStringList columns = lookup.notFoundColumns();
    QCOMPARE(columns.size(), 2);
    QCOMPARE(columns[0].toLower(), QStringLiteral("nr"));

    m_backend.makeUnreachable(m_dir->path()); // PostgreSQL: the server is stopped
    lookup.resetCounts();
    QCOMPARE(lookup.AnruferSuchen(Number, con, connectionString(), QStringLiteral("%")), nullptr);
    QCOMPARE(reporter.procedures(), QStringList{QStringLiteral("AnruferSuchen")});
    QVERIFY(!con.isOpen());
    QCOMPARE(lookup.notFoundColumns(), columns);
}

// ---------------------------------------------------------------- booking

namespace {

struct Booking {
    RecordingReporter reporter;
    LookupQueries lookup{reporter};
    db::Connection con;
};

// Looks the number up with `select` over TKdSuche and books for the record found.
void book(Booking& b, const QString& connectionString, const QDateTime& at,
          const AutobookingSettings& settings, const QString& select = QStringLiteral("SELECT *"))
{
    b.lookup.setCutDigits(QStringLiteral("0"));
    b.lookup.ClassSqlRsInstanzieren(select +
                                    QStringLiteral(" FROM TKdSuche WHERE Nr = '/*CallingNr*/'"));
    clsSqlRs* found = b.lookup.AnruferSuchen(Number, b.con, connectionString, QStringLiteral("%"));
    QVERIFY(found);
    QCOMPARE(found->RecordCount, 1);
    QVERIFY(b.con.isOpen()); // the lookup's connection, kept for the booking
    Autobooking(b.reporter, fixedClock(at))
        .AutobookingFahrtAnlegen(*found, b.con, connectionString, settings);
    // Kept open for the next call, unless the booking failed.
    QCOMPARE(b.con.isOpen(), b.reporter.entries.isEmpty());
}

AutobookingSettings active()
{
    AutobookingSettings s;
    s.aktiv = true;
    s.auftragsTyp = QStringLiteral("T");
    return s;
}

const QString MarkedCustomer = QStringLiteral(
    "INSERT INTO TKdSuche VALUES ('0401234567', TRUE, 'MUELLER', 42, 'Müller', 'Hauptstraße', "
    "%1, 'Bielefeld', 7, 'klingeln')");

} // namespace

void DatabaseTests::bookingWritesTheRide()
{
    exec(MarkedCustomer.arg(QStringLiteral("'12a'")));
    Booking b;
    book(b, connectionString(), QDateTime(QDate(2026, 12, 6), QTime(9, 14, 5)), active());
    QVERIFY2(b.reporter.entries.isEmpty(), qPrintable(b.reporter.procedures().join(',')));

    db::Connection con;
    con.open(connectionString());
    db::Recordset ride;
    ride.open(QStringLiteral("SELECT * FROM TFvFahrten"), con);
    QCOMPARE(ride.recordCount(), 1);
    QCOMPARE(ride.value(QStringLiteral("Sperre")).toBool(), false);
    QCOMPARE(ride.value(QStringLiteral("FaAbgegeben")).toBool(), false);
    const QList<QPair<QString, QString>> expected = {
        {"MandNr", "1"},
        {"FaKfzNr", "0"},
        {"FaDatum", "2026/12/06"},
        {"FaUhrzeit", "09:14"},
        {"FaWeDatum", "2026/12/06"},
        {"FaWeUhrzeit", "09:14"},
        {"FaAnnahmeDatum", "2026/12/06"},
        {"FaAnnahmeUhrzeit", "09:14"},
        {"FaUhrzeitEnde", "09:34"},
        {"FaDatumEnde", "2026/12/06"},
        {"FaArt", "T"},
        {"FaVorlauf", "0"},
        {"FaKdSuch", "MUELLER"},
        {"FaKdUnID", "42"},
        {"FaKdAnrede", ""},
        {"FaKdAdresse", "Müller, Hauptstraße 12a, Bielefeld"},
        {"FaKdTelefon", "0401234567"},
        {"FaVonStr", "Hauptstraße, Bielefeld"},
        {"FaZuStr", ""},
        {"FaVonStrUnID", "7"},
        {"FaZuStrUnID", "0"},
        {"FaVonHausNr", "12a"},
        {"FaZuHausNr", ""},
        {"FaInfo", "klingeln"},
        {"FaStSchl", "2"},
        {"FaBerechnung", "B"},
        {"FaSbAnnahme", "Autobooking"},
    };
    for (const auto& [column, value] : expected) {
        const QVariant actual = ride.value(column);
        QVERIFY2(!actual.isNull(), qPrintable(column));
        QCOMPARE(actual.toString(), value);
    }
}

void DatabaseTests::bookingAtTheEndOfTheYearEndsNextYear()
{
    exec(MarkedCustomer.arg(QStringLiteral("'1'")));
    Booking b;
    book(b, connectionString(), QDateTime(QDate(2026, 12, 31), QTime(23, 50, 0)), active());

    db::Connection con;
    con.open(connectionString());
    db::Recordset ride;
    ride.open(QStringLiteral("SELECT * FROM TFvFahrten"), con);
    QCOMPARE(ride.recordCount(), 1);
    QCOMPARE(ride.value(QStringLiteral("FaDatum")).toString(), QStringLiteral("2026/12/31"));
    QCOMPARE(ride.value(QStringLiteral("FaWeDatum")).toString(), QStringLiteral("2026/12/31"));
    QCOMPARE(ride.value(QStringLiteral("FaUhrzeit")).toString(), QStringLiteral("23:50"));
    QCOMPARE(ride.value(QStringLiteral("FaUhrzeitEnde")).toString(), QStringLiteral("00:10"));
    QCOMPARE(ride.value(QStringLiteral("FaDatumEnde")).toString(), QStringLiteral("2027/01/01"));
}

void DatabaseTests::bookingWithoutHouseNumber()
{
    exec(MarkedCustomer.arg(QStringLiteral("NULL")));
    Booking b;
    book(b, connectionString(), QDateTime(QDate(2026, 12, 6), QTime(9, 14, 5)), active());

    db::Connection con;
    con.open(connectionString());
    db::Recordset ride;
    ride.open(QStringLiteral("SELECT * FROM TFvFahrten"), con);
    QCOMPARE(ride.recordCount(), 1);
    QCOMPARE(ride.value(QStringLiteral("FaKdAdresse")).toString(),
             QStringLiteral("Müller, Hauptstraße , Bielefeld"));
    QVERIFY(ride.value(QStringLiteral("FaVonHausNr")).isNull());
}

void DatabaseTests::noBookingUnlessActiveAndMarked_data()
{
    QTest::addColumn<bool>("aktiv");
    QTest::addColumn<QString>("marked");
    QTest::newRow("customer not marked") << true << "FALSE";
    QTest::newRow("mark is null") << true << "NULL";
    QTest::newRow("autobooking off") << false << "TRUE";
}

void DatabaseTests::noBookingUnlessActiveAndMarked()
{
    QFETCH(bool, aktiv);
    QFETCH(QString, marked);
    exec(QStringLiteral("INSERT INTO TKdSuche VALUES ('0401234567', %1, 'M', 1, 'M', 'S', '1', "
                        "'O', 1, '')")
             .arg(marked));
    AutobookingSettings settings = active();
    settings.aktiv = aktiv;
    Booking b;
    b.lookup.setCutDigits(QStringLiteral("0"));
    b.lookup.ClassSqlRsInstanzieren(
        QStringLiteral("SELECT * FROM TKdSuche WHERE Nr = '/*CallingNr*/'"));
    clsSqlRs* found =
        b.lookup.AnruferSuchen(Number, b.con, connectionString(), QStringLiteral("%"));
    QVERIFY(found);
    Autobooking(b.reporter, systemClock())
        .AutobookingFahrtAnlegen(*found, b.con, connectionString(), settings);
    QVERIFY(b.reporter.entries.isEmpty());

    db::Connection con;
    con.open(connectionString());
    db::Recordset ride;
    ride.open(QStringLiteral("SELECT * FROM TFvFahrten"), con);
    QCOMPARE(ride.recordCount(), 0);
}

void DatabaseTests::failedBookingLeavesNoRide_data()
{
    QTest::addColumn<QString>("missingColumn");
    QTest::newRow("found record without the mark") << "KdKzAutoBooking";
    QTest::newRow("found record without the ride info") << "KdFaInfo";
}

void DatabaseTests::failedBookingLeavesNoRide()
{
    QFETCH(QString, missingColumn);
    exec(MarkedCustomer.arg(QStringLiteral("'1'")));
    QStringList columns = CustomerColumns;
    columns.removeAll(missingColumn);
    Booking b;
    book(b, connectionString(), QDateTime(QDate(2026, 12, 6), QTime(9, 14, 5)), active(),
         QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")));
    QCOMPARE(b.reporter.procedures(), QStringList{QStringLiteral("AutobookingFahrtAnlegen")});
    QCOMPARE(b.reporter.entries.first().title, QStringLiteral("Fehler: 3265"));

    db::Connection con;
    con.open(connectionString());
    db::Recordset ride;
    ride.open(QStringLiteral("SELECT * FROM TFvFahrten"), con);
    QCOMPARE(ride.recordCount(), 0);
}

} // namespace vorsa::test
