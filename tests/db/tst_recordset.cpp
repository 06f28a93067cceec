// Connection and result sets against a real engine: SQLite always, PostgreSQL
// (built with VORSA_TEST_POSTGRESQL) through a throwaway cluster.
#include "db/connection.h"
#include "db/recordset.h"
#include "db/schema.h"
#include "db/udl.h"
#include "pgcluster.h"
#include "vberror.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <atomic>
#include <thread>

using namespace vorsa;
using namespace vorsa::db;

namespace {

template <typename F> int errorNumberOf(F&& f, QString* description = nullptr)
{
    try {
        f();
    } catch (const VbError& e) {
        if (description) {
            *description = e.description();
        }
        return e.number();
    }
    return 0;
}

} // namespace

class TestRecordset : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<test::PgCluster> m_pg;
    Connection m_con;

    QString udl() const { return m_dir.filePath(QStringLiteral("udlVorsa.UDL")); }
    QString connectionString() const { return QStringLiteral("File Name=") + udl(); }
    bool postgres() const { return m_con.driverName() == QLatin1String("QPSQL"); }

    // One index row through a result set, as the index builds write them.
    void addNumber(Recordset& rs, const QString& number, const QVariant& name,
                   const QVariant& street = QStringLiteral("Hauptstraße"))
    {
        rs.addNew();
        rs.setValue(QStringLiteral("Sperre"), false);
        rs.setValue(QStringLiteral("MandNr"), 7);
        rs.setValue(QStringLiteral("Name2"), name);
        rs.setValue(QStringLiteral("Straße"), street);
        rs.setValue(QStringLiteral("TelefonNr"), number);
        rs.update();
    }

    QString planOf(const QString& select)
    {
        Recordset plan;
        plan.open(
            (postgres() ? QStringLiteral("EXPLAIN ") : QStringLiteral("EXPLAIN QUERY PLAN ")) +
                select,
            m_con);
        QStringList lines;
        for (; !plan.eof(); plan.moveNext()) {
            lines << plan.value(plan.fieldCount() - 1).toString();
        }
        return lines.join(QLatin1Char('\n'));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
#ifdef VORSA_TEST_POSTGRESQL
        m_pg = std::make_unique<test::PgCluster>();
        if (!m_pg->available()) {
            QSKIP(qPrintable(QStringLiteral("PostgreSQL-Tests übersprungen: ") + m_pg->reason()));
        }
        QString error;
        QVERIFY2(m_pg->createDatabase(QStringLiteral("vorsa"), &error), qPrintable(error));
        m_pg->writeUdl(udl(), QStringLiteral("vorsa"));
#else
        test::writeSqliteUdl(udl(), QStringLiteral("vorsa.db"));
#endif
        m_con.open(connectionString());
        QVERIFY(m_con.isOpen());
        applySchema(m_con, knownTables());
        // Applying twice leaves the tables alone.
        applySchema(m_con, knownTables());
    }

    void init()
    {
        if (!m_con.isOpen()) {
            m_con.open(connectionString());
        }
        for (const QString& table : knownTables()) {
            m_con.execute(QStringLiteral("DELETE * FROM ") + table);
        }
    }

    void recordCountIsExactAndValuesKeepTheirTypes()
    {
        {
            Recordset index;
            index.open(QStringLiteral("Select * From TTelefonNr"), m_con, CursorType::Static,
                       LockType::Optimistic);
            addNumber(index, QStringLiteral("0521123"), QStringLiteral("Müller"));
            addNumber(index, QStringLiteral("0521456"), QStringLiteral("Meier"));
            addNumber(index, QStringLiteral("0171999"), QStringLiteral("Schulze"));
        }
        Recordset rs;
        rs.open(QStringLiteral("SELECT * FROM TTelefonNr ORDER BY TelefonNr"), m_con);
        QCOMPARE(rs.recordCount(), 3);
        QVERIFY(!rs.eof());
        QVERIFY(!rs.bof());
        QCOMPARE(rs.value(QStringLiteral("TelefonNr")).toString(), QStringLiteral("0171999"));
        QCOMPARE(rs.value(QStringLiteral("TelefonNr")).typeId(), QMetaType::QString);
        QCOMPARE(rs.value(QStringLiteral("Straße")).toString(), QStringLiteral("Hauptstraße"));
        const QVariant mand = rs.value(QStringLiteral("MandNr"));
        QVERIFY2(mand.typeId() == QMetaType::LongLong || mand.typeId() == QMetaType::Int,
                 mand.typeName());
        QCOMPARE(mand.toInt(), 7);
        const QVariant blocked = rs.value(QStringLiteral("Sperre"));
        if (postgres()) {
            QCOMPARE(blocked.typeId(), QMetaType::Bool);
        } else {
            QCOMPARE(blocked.typeId(), QMetaType::LongLong);
        }
        QCOMPARE(blocked.toBool(), false);
        // The default of the table, not set by the writer.
        QCOMPARE(rs.value(QStringLiteral("UnID")).toString(),
                 QStringLiteral("{00000000-0000-0000-0000-000000000000}"));
        // Walk all rows forward.
        QStringList numbers;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            numbers << rs.value(QStringLiteral("telefonnr")).toString();
        }
        QCOMPARE(numbers, (QStringList{QStringLiteral("0171999"), QStringLiteral("0521123"),
                                       QStringLiteral("0521456")}));
        QCOMPARE(errorNumberOf([&] { rs.moveNext(); }), adErrNoCurrentRecord);
    }

    void nullIsDistinctFromEmptyText()
    {
        Recordset index;
        index.open(QStringLiteral("SELECT * FROM TTelefonNr"), m_con, CursorType::Static,
                   LockType::Optimistic);
        addNumber(index, QStringLiteral("1"), QString(QLatin1String("")), QVariant());
        index.close();

        Recordset rs;
        rs.open(QStringLiteral("SELECT Name2, Straße, SuchID FROM TTelefonNr"), m_con);
        QCOMPARE(rs.recordCount(), 1);
        const QVariant empty = rs.value(QStringLiteral("Name2"));
        QVERIFY(!empty.isNull());
        QCOMPARE(empty.toString(), QString());
        QVERIFY(rs.value(QStringLiteral("Straße")).isNull());
        QVERIFY(rs.value(2).isNull()); // never written
    }

    void emptyResultIsEofAndBofAndHasNoCurrentRow()
    {
        Recordset rs;
        rs.open(QStringLiteral("SELECT * FROM TFvFahrten WHERE FaUnID=0"), m_con);
        QCOMPARE(rs.recordCount(), 0);
        QVERIFY(rs.eof());
        QVERIFY(rs.bof());
        rs.moveFirst();
        QVERIFY(rs.eof());
        QVERIFY(rs.fieldCount() > 20);
        QCOMPARE(errorNumberOf([&] { rs.value(QStringLiteral("FaDatum")); }), adErrNoCurrentRecord);
    }

    void fieldsByPositionAndByNameIgnoringCase()
    {
        Recordset index;
        index.open(QStringLiteral("SELECT * FROM TTelefonNr"), m_con, CursorType::Static,
                   LockType::Optimistic);
        addNumber(index, QStringLiteral("0521123"), QStringLiteral("Müller"));

        Recordset rs;
        rs.open(QStringLiteral("SELECT TelefonNr AS Nr, Name2, Straße FROM TTelefonNr"), m_con);
        QCOMPARE(rs.fieldCount(), 3);
        QCOMPARE(rs.fieldName(1).toLower(), QStringLiteral("name2"));
        QCOMPARE(rs.value(0).toString(), QStringLiteral("0521123"));
        QCOMPARE(rs.value(QStringLiteral("NR")).toString(), QStringLiteral("0521123"));
        QCOMPARE(rs.value(QStringLiteral("nr")), rs.value(QStringLiteral("Nr")));
        QCOMPARE(rs.value(QStringLiteral("STRAßE")).toString(), QStringLiteral("Hauptstraße"));
        QVERIFY(rs.hasField(QStringLiteral("name2")));
        QCOMPARE(rs.valueAt(0, 1).toString(), QStringLiteral("Müller"));
        QVERIFY(rs.valueAt(1, 1).isNull());

        QString description;
        QCOMPARE(errorNumberOf([&] { rs.value(QStringLiteral("KdKzAutoBooking")); }, &description),
                 err::ItemNotFound);
        QVERIFY2(description.contains(QStringLiteral("KdKzAutoBooking")), qPrintable(description));
        QCOMPARE(errorNumberOf([&] { rs.value(3); }), err::ItemNotFound);
    }

    void savedRowIsInTheTableBeforeTheNextStatement()
    {
        Recordset ride;
        ride.open(QStringLiteral("SELECT * FROM TFvFahrten WHERE FaUnID=0"), m_con,
                  CursorType::Static, LockType::Optimistic);
        ride.addNew();
        ride.setValue(QStringLiteral("Sperre"), false);
        ride.setValue(QStringLiteral("MandNr"), 1);
        ride.setValue(QStringLiteral("FaAbgegeben"), false);
        ride.setValue(QStringLiteral("FaDatum"), QStringLiteral("2026/12/31"));
        ride.setValue(QStringLiteral("FaUhrzeit"), QStringLiteral("23:50"));
        ride.setValue(QStringLiteral("FaKdAdresse"),
                      QStringLiteral("Müller, Hauptstraße , Bielefeld"));
        ride.setValue(QStringLiteral("FaVonHausNr"), QVariant());
        ride.setValue(QStringLiteral("FaKdUnID"), QVariant(qlonglong(4711)));
        ride.setValue(QStringLiteral("FaSbAnnahme"), QStringLiteral("Autobooking"));
        ride.update();
        QCOMPARE(ride.recordCount(), 1);
        QCOMPARE(ride.value(QStringLiteral("FaDatum")).toString(), QStringLiteral("2026/12/31"));
        const QVariant key = ride.value(QStringLiteral("FaUnID")); // given by the database
        ride.close();

        Recordset check;
        check.open(QStringLiteral("SELECT * FROM TFvFahrten"), m_con);
        QCOMPARE(check.recordCount(), 1);
        QVERIFY(check.value(QStringLiteral("FaUnID")).toInt() > 0);
        QCOMPARE(key.toInt(), check.value(QStringLiteral("FaUnID")).toInt());
        QCOMPARE(check.value(QStringLiteral("FaDatum")).toString(), QStringLiteral("2026/12/31"));
        QCOMPARE(check.value(QStringLiteral("FaDatum")).typeId(), QMetaType::QString);
        QCOMPARE(check.value(QStringLiteral("FaUhrzeit")).toString(), QStringLiteral("23:50"));
        QCOMPARE(check.value(QStringLiteral("FaKdAdresse")).toString(),
                 QStringLiteral("Müller, Hauptstraße , Bielefeld"));
        QVERIFY(check.value(QStringLiteral("FaVonHausNr")).isNull());
        QCOMPARE(check.value(QStringLiteral("FaKdUnID")).toInt(), 4711);
        QCOMPARE(check.value(QStringLiteral("FaAbgegeben")).toBool(), false);
        QCOMPARE(check.value(QStringLiteral("FaVorlauf")).toInt(), 0); // table default
    }

    void yesNoColumnsTakeBooleansAndNumbers_data()
    {
        QTest::addColumn<QVariant>("given");
        QTest::addColumn<bool>("stored");
        QTest::newRow("true") << QVariant(true) << true;
        QTest::newRow("false") << QVariant(false) << false;
        QTest::newRow("1") << QVariant(1) << true;
        QTest::newRow("0") << QVariant(0) << false;
        QTest::newRow("-1") << QVariant(-1) << true;
    }

    void yesNoColumnsTakeBooleansAndNumbers()
    {
        QFETCH(QVariant, given);
        QFETCH(bool, stored);
        Recordset rs;
        rs.open(QStringLiteral("SELECT * FROM AKdAdr"), m_con, CursorType::Static,
                LockType::Optimistic);
        rs.addNew();
        rs.setValue(QStringLiteral("KdName"), QStringLiteral("Kunde"));
        rs.setValue(QStringLiteral("KdKzAutoBooking"), given);
        rs.update();

        Recordset check;
        check.open(QStringLiteral("SELECT KdKzAutoBooking FROM AKdAdr"), m_con);
        QCOMPARE(check.recordCount(), 1);
        QCOMPARE(check.value(0).toBool(), stored);
        // Engines differ in how they spell it, never in the meaning.
        const QString where = postgres() ? QStringLiteral("KdKzAutoBooking = true")
                                         : QStringLiteral("KdKzAutoBooking = 1");
        check.open(QStringLiteral("SELECT * FROM AKdAdr WHERE ") + where, m_con);
        QCOMPARE(check.recordCount(), stored ? 1 : 0);
    }

    void missingColumnRaises3265AtSetValueAndTheRowStillSaves()
    {
        Recordset rs;
        rs.open(QStringLiteral("SELECT * FROM TTelefonNr"), m_con, CursorType::Static,
                LockType::Optimistic);
        rs.addNew();
        rs.setValue(QStringLiteral("Sperre"), false);
        QString description;
        QCOMPARE(errorNumberOf([&] { rs.setValue(QStringLiteral("Vorwahl"), 1); }, &description),
                 err::ItemNotFound);
        QVERIFY(description.contains(QStringLiteral("Vorwahl")));
        rs.setValue(QStringLiteral("TelefonNr"), QStringLiteral("0521"));
        rs.update();

        Recordset check;
        check.open(QStringLiteral("SELECT TelefonNr FROM TTelefonNr"), m_con);
        QCOMPARE(check.recordCount(), 1);
        QCOMPARE(check.value(0).toString(), QStringLiteral("0521"));
    }

    void manyRowsWithChangingColumnSets()
    {
        // An index build writes hundreds of thousands of rows, one insert
        // each; a row that skips a column uses its own statement.
        Recordset rs;
        rs.open(QStringLiteral("SELECT * FROM TTelefonNr"), m_con, CursorType::Static,
                LockType::Optimistic);
        QElapsedTimer timer;
        timer.start();
        const int rows = 3000;
        for (int i = 0; i < rows; ++i) {
            rs.addNew();
            rs.setValue(QStringLiteral("Sperre"), false);
            if (i % 3 != 0) {
                rs.setValue(QStringLiteral("Name2"), QStringLiteral("Kunde %1").arg(i));
            }
            rs.setValue(QStringLiteral("TelefonNr"), QString::number(5210000 + i));
            rs.update();
        }
        const qint64 ms = timer.elapsed();
        qInfo("%d single-row inserts on %s: %lld ms", rows, qPrintable(m_con.driverName()), ms);
        QCOMPARE(rs.recordCount(), rows);

        Recordset check;
        check.open(QStringLiteral("SELECT COUNT(*) AS n, COUNT(Name2) AS named FROM TTelefonNr"),
                   m_con);
        QCOMPARE(check.value(QStringLiteral("n")).toInt(), rows);
        QCOMPARE(check.value(QStringLiteral("named")).toInt(), rows - rows / 3);
    }

    void refusedRowRaisesWithTheStatementAndIsDropped()
    {
        Recordset rs;
        rs.open(QStringLiteral("SELECT * FROM TMandanten"), m_con, CursorType::Static,
                LockType::Optimistic);
        rs.addNew();
        rs.setValue(QStringLiteral("MandNr"), 1);
        rs.setValue(QStringLiteral("MandName"), QStringLiteral("Zentrale"));
        rs.update();
        rs.addNew();
        rs.setValue(QStringLiteral("MandNr"), 1); // the key again
        rs.setValue(QStringLiteral("MandName"), QStringLiteral("Doppelt"));
        QString description;
        QCOMPARE(errorNumberOf([&] { rs.update(); }, &description), err::Database);
        QVERIFY2(description.contains(QStringLiteral("INSERT INTO")), qPrintable(description));
        QCOMPARE(rs.recordCount(), 1);
        // The refused row is gone; the next one saves.
        rs.update();
        rs.addNew();
        rs.setValue(QStringLiteral("MandNr"), 2);
        rs.setValue(QStringLiteral("MandName"), QStringLiteral("Filiale"));
        rs.update();
        rs.requery();
        QCOMPARE(rs.recordCount(), 2);
    }

    void cancelUpdateSavesNothing()
    {
        Recordset rs;
        rs.open(QStringLiteral("SELECT * FROM TMandanten"), m_con, CursorType::Static,
                LockType::Optimistic);
        rs.addNew();
        rs.setValue(QStringLiteral("MandNr"), 3);
        rs.cancelUpdate();
        rs.update();
        rs.requery();
        QCOMPARE(rs.recordCount(), 0);
    }

    void readOnlyResultRefusesNewRows()
    {
        Recordset rs;
        rs.open(QStringLiteral("SELECT * FROM TMandanten"), m_con, CursorType::Static,
                LockType::ReadOnly);
        QCOMPARE(errorNumberOf([&] { rs.addNew(); }), adErrFeatureNotAvailable);
        Recordset join;
        join.open(QStringLiteral("Select KdName, StStrasse From (AKdAdr Left Join AStrassen On "
                                 "AKdAdr.KdStUnID=AStrassen.StUnID)"),
                  m_con, CursorType::Static, LockType::Optimistic);
        QCOMPARE(errorNumberOf([&] { join.addNew(); }), adErrFeatureNotAvailable);
    }

    void requeryAfterDeleteStarShowsNoRows()
    {
        Recordset index;
        index.open(QStringLiteral("Select * From TTelefonNr"), m_con, CursorType::Static,
                   LockType::Optimistic);
        addNumber(index, QStringLiteral("1"), QStringLiteral("A"));
        addNumber(index, QStringLiteral("2"), QStringLiteral("B"));
        index.requery();
        QCOMPARE(index.recordCount(), 2);

        m_con.execute(QStringLiteral("DELETE * FROM TTelefonNr"));
        QCOMPARE(index.recordCount(), 2); // static until requeried
        index.requery();
        QCOMPARE(index.recordCount(), 0);
        QVERIFY(index.eof());
        // The index takes new rows after the requery.
        addNumber(index, QStringLiteral("3"), QStringLiteral("C"));
        index.requery();
        QCOMPARE(index.recordCount(), 1);
    }

    void disconnectedRowsOutliveTheConnection()
    {
        Recordset index;
        index.open(QStringLiteral("SELECT * FROM TTelefonNr"), m_con, CursorType::Static,
                   LockType::Optimistic);
        addNumber(index, QStringLiteral("0521123"), QStringLiteral("Müller"));

        Recordset found;
        found.open(QStringLiteral("SELECT * FROM TTelefonNr WHERE TelefonNr = '0521123'"), m_con);
        found.disconnect();
        Recordset attached;
        attached.open(QStringLiteral("SELECT * FROM TTelefonNr"), m_con);
        m_con.close();

        QVERIFY(found.isOpen());
        QCOMPARE(found.recordCount(), 1);
        QCOMPARE(found.value(QStringLiteral("Name2")).toString(), QStringLiteral("Müller"));
        QCOMPARE(errorNumberOf([&] { found.requery(); }), adErrConnectionClosed);
        // A result set left attached goes with its connection.
        QVERIFY(!attached.isOpen());
        QCOMPARE(errorNumberOf([&] { attached.recordCount(); }), adErrObjectClosed);
        QVERIFY(!index.isOpen());

        // Reopening gives a working connection; the old result set stays detached.
        m_con.open(connectionString());
        QCOMPARE(errorNumberOf([&] { found.requery(); }), adErrConnectionClosed);
        attached.open(QStringLiteral("SELECT * FROM TTelefonNr"), m_con);
        QCOMPARE(attached.recordCount(), 1);
    }

    void closedConnectionRefusesWork()
    {
        Connection con;
        QCOMPARE(con.state(), adStateClosed);
        Recordset rs;
        QCOMPARE(errorNumberOf([&] { rs.open(QStringLiteral("SELECT 1"), con); }),
                 adErrConnectionClosed);
        QCOMPARE(errorNumberOf([&] { con.execute(QStringLiteral("DELETE * FROM TTelefonNr")); }),
                 adErrConnectionClosed);
        QCOMPARE(errorNumberOf([&] { rs.recordCount(); }), adErrObjectClosed);
        con.open(connectionString());
        QCOMPARE(con.state(), adStateOpen);
        con.close();
        con.close(); // closing twice is harmless
        QCOMPARE(con.state(), adStateClosed);
    }

    void failedStatementsCarryTheStatement()
    {
        QString description;
        QCOMPARE(errorNumberOf([&] { m_con.execute(QStringLiteral("DELETE * FROM TGibtEsNicht")); },
                               &description),
                 err::Database);
        QVERIFY2(description.contains(QStringLiteral("DELETE * FROM TGibtEsNicht")),
                 qPrintable(description));
        Recordset rs;
        QCOMPARE(
            errorNumberOf([&] { rs.open(QStringLiteral("SELECT Nix FROM TTelefonNr"), m_con); },
                          &description),
            err::Database);
        QVERIFY(description.contains(QStringLiteral("SELECT Nix FROM TTelefonNr")));
        QVERIFY(!rs.isOpen());
        // The connection is still usable.
        rs.open(QStringLiteral("SELECT * FROM TTelefonNr"), m_con);
        QVERIFY(rs.isOpen());
    }

    void rolledBackRowsAreGoneCommittedStay()
    {
        Recordset rs;
        rs.open(QStringLiteral("SELECT * FROM TMandanten"), m_con, CursorType::Static,
                LockType::Optimistic);
        m_con.beginTrans();
        rs.addNew();
        rs.setValue(QStringLiteral("MandNr"), 1);
        rs.update();
        m_con.rollbackTrans();
        m_con.beginTrans();
        rs.addNew();
        rs.setValue(QStringLiteral("MandNr"), 2);
        rs.update();
        m_con.commitTrans();
        rs.requery();
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.value(QStringLiteral("MandNr")).toInt(), 2);
    }

    void numberLookupsUseTheIndex_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("sqliteIndex");
        QTest::addColumn<QString>("postgresIndex");
        QTest::newRow("equal") << QStringLiteral("TelefonNr = '0521123'")
                               << QStringLiteral("TTelefonNr_TelefonNr")
                               << QStringLiteral("ttelefonnr_telefonnr");
        QTest::newRow("prefix") << QStringLiteral("TelefonNr LIKE '0521%'")
                                << QStringLiteral("TTelefonNr_TelefonNr")
                                << QStringLiteral("ttelefonnr_telefonnr_prefix");
    }

    void numberLookupsUseTheIndex()
    {
        QFETCH(QString, where);
        QFETCH(QString, sqliteIndex);
        QFETCH(QString, postgresIndex);
        if (postgres()) {
            m_con.execute(QStringLiteral("SET enable_seqscan = off"));
        }
        const QString plan = planOf(QStringLiteral("SELECT * FROM TTelefonNr WHERE ") + where);
        if (postgres()) {
            m_con.execute(QStringLiteral("RESET enable_seqscan"));
            QVERIFY2(plan.contains(QStringLiteral("Index")) && plan.contains(postgresIndex) &&
                         !plan.contains(QStringLiteral("Seq Scan")),
                     qPrintable(plan));
        } else {
            QVERIFY2(plan.contains(QStringLiteral("USING INDEX ") + sqliteIndex) ||
                         plan.contains(QStringLiteral("USING COVERING INDEX ") + sqliteIndex),
                     qPrintable(plan));
        }
    }

    void prefixLookupMatchesOnlyThePrefix()
    {
        Recordset index;
        index.open(QStringLiteral("SELECT * FROM TTelefonNr"), m_con, CursorType::Static,
                   LockType::Optimistic);
        addNumber(index, QStringLiteral("0521123"), QStringLiteral("A"));
        addNumber(index, QStringLiteral("05211"), QStringLiteral("B"));
        addNumber(index, QStringLiteral("0522123"), QStringLiteral("C"));
        addNumber(index, QStringLiteral("10521"), QStringLiteral("D"));
        Recordset rs;
        rs.open(QStringLiteral("SELECT * FROM TTelefonNr WHERE TelefonNr LIKE '0521%'"), m_con);
        QCOMPARE(rs.recordCount(), 2);
        rs.open(QStringLiteral("SELECT * FROM TTelefonNr WHERE TelefonNr = '05211'"), m_con);
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.value(QStringLiteral("Name2")).toString(), QStringLiteral("B"));
    }

    void unquotedDispatchJoinFindsTablesAndColumns()
    {
        // The statements of the program name tables and columns without
        // quotes and in mixed case; both engines must take them as written.
        m_con.execute(QStringLiteral("INSERT INTO AOrte (OrNr, OrOrt) VALUES (1, 'Bielefeld')"));
        m_con.execute(QStringLiteral(
            "INSERT INTO AStrassen (StUnID, StStrasse, StOrNr) VALUES (5, 'Ring', 1)"));
        m_con.execute(QStringLiteral("INSERT INTO AKdAdr (KdUnID, KdName, KdStUnID, KdTelefon1) "
                                     "VALUES (1, 'Mit Straße', 5, '12')"));
        m_con.execute(QStringLiteral("INSERT INTO AKdAdr (KdUnID, KdName, KdStUnID, KdTelefon1) "
                                     "VALUES (2, 'Ohne Straße', 99, '34')"));
        Recordset rs;
        rs.open(
            QStringLiteral(
                "Select KdSuch,KdName,KdFaInfo,KdHausNr,KdPlz,"
                "KdVorwahl,KdTelefon1,KdTelefon2,KdTelefon3,KdMobil1,KdStUnID,KdUnID,"
                "StStrasse,OrOrt From ((AKdAdr Left Join AStrassen On "
                "AKdAdr.KdStUnID=AStrassen.StUnID) Left Join AOrte On AStrassen.StOrNr=AOrte.OrNr)"
                " Order By KdUnID"),
            m_con);
        QCOMPARE(rs.recordCount(), 2);
        QCOMPARE(rs.fieldCount(), 14);
        QCOMPARE(rs.value(QStringLiteral("StStrasse")).toString(), QStringLiteral("Ring"));
        QCOMPARE(rs.value(QStringLiteral("OrOrt")).toString(), QStringLiteral("Bielefeld"));
        rs.moveNext();
        QCOMPARE(rs.value(QStringLiteral("KdName")).toString(), QStringLiteral("Ohne Straße"));
        QVERIFY(rs.value(QStringLiteral("StStrasse")).isNull());
        QVERIFY(rs.value(QStringLiteral("OrOrt")).isNull());
    }

    void openFailureNamesTheDatabaseButNeverThePassword()
    {
        const QString bad = m_dir.filePath(QStringLiteral("udlBad.UDL"));
        QString expectedName;
        if (m_pg) {
            db::writeUdl(bad, QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1;Port=%1;"
                                             "Location=gibtesnicht;User ID=postgres;"
                                             "Password=Geheim123")
                                  .arg(m_pg->port()));
            expectedName = QStringLiteral("gibtesnicht");
        } else {
            db::writeUdl(bad,
                         QStringLiteral("Provider=SQLite;Data Source=fehlt.db;Password=Geheim123"));
            expectedName = m_dir.filePath(QStringLiteral("fehlt.db"));
        }
        Connection con;
        QString description;
        QCOMPARE(errorNumberOf([&] { con.open(QStringLiteral("File Name=") + bad); }, &description),
                 err::Database);
        QVERIFY2(description.contains(expectedName), qPrintable(description));
        QVERIFY2(!description.contains(QStringLiteral("Geheim123")), qPrintable(description));
        QVERIFY(!con.isOpen());
        // A missing SQLite file is not created behind the operator's back.
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("fehlt.db"))));
    }

    void secondWriterWaitsInsteadOfFailing()
    {
        if (postgres()) {
            QSKIP("SQLite only: PostgreSQL writers do not lock each other out");
        }
        Recordset mode;
        mode.open(QStringLiteral("PRAGMA journal_mode"), m_con);
        QCOMPARE(mode.value(0).toString().toLower(), QStringLiteral("wal"));

        // Another process (an index build) holds the write lock for a while.
        std::atomic<bool> locked{false};
        std::atomic<bool> ok{true};
        std::thread other([&] {
            try {
                Connection build;
                build.open(connectionString());
                build.beginTrans();
                build.execute(QStringLiteral("INSERT INTO TMandanten (MandNr) VALUES (10)"));
                locked = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                build.commitTrans();
            } catch (...) {
                ok = false;
                locked = true;
            }
        });
        while (!locked) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        QElapsedTimer timer;
        timer.start();
        QString description;
        const int number = errorNumberOf(
            [&] { m_con.execute(QStringLiteral("INSERT INTO TMandanten (MandNr) VALUES (11)")); },
            &description);
        const qint64 waited = timer.elapsed();
        other.join();
        QVERIFY(ok);
        QVERIFY2(number == 0, qPrintable(description));
        QVERIFY2(waited >= 200, qPrintable(QString::number(waited)));
        Recordset rs;
        rs.open(QStringLiteral("SELECT * FROM TMandanten"), m_con);
        QCOMPARE(rs.recordCount(), 2);
    }

    // New rows on SQLite are written on the driver's own handle; every kind of
    // value must arrive exactly as Qt's binding would have stored it.
    void valuesArriveAsQtWritesThem()
    {
        if (postgres())
            QSKIP("nur SQLite");
        m_con.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS TScratch "
                                     "(Nr INTEGER PRIMARY KEY, Weg TEXT, V)"));
        m_con.execute(QStringLiteral("DELETE * FROM TScratch"));
        const QList<QVariant> values = {
            QStringLiteral("Müller & Söhne €"),
            QStringLiteral(""),
            QVariant(QString()),
            QVariant(),
            QVariant(42),
            QVariant(true),
            QVariant(2.5),
            QVariant(qlonglong(1) << 40),
            QVariant(uint(4000000000u)),
            QVariant(QDateTime(QDate(2026, 12, 31), QTime(23, 50, 1, 250))),
            QVariant(QTime(9, 14, 5)),
            QVariant(QDate(2026, 12, 6)),
            QVariant(QByteArray("\0\1\2", 3)),
            QVariant(QUuid(QStringLiteral("{12345678-9abc-def0-1234-56789abcdef0}"))),
        };
        {
            Recordset rs;
            rs.open(QStringLiteral("SELECT * FROM TScratch"), m_con, CursorType::Static,
                    LockType::Optimistic);
            for (const QVariant& v : values) {
                rs.addNew();
                rs.setValue(QStringLiteral("Weg"), QStringLiteral("direkt"));
                rs.setValue(QStringLiteral("V"), v);
                rs.update();
            }
            QCOMPARE(rs.recordCount(), int(values.size()));
            QVERIFY(rs.value(QStringLiteral("Nr")).toInt() > 0); // the key the database gave
        }
        {
            QSqlDatabase qt =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("qtwrites"));
            qt.setDatabaseName(m_dir.filePath(QStringLiteral("vorsa.db")));
            QVERIFY(qt.open());
            QSqlQuery insert(qt);
            QVERIFY(insert.prepare(QStringLiteral("INSERT INTO TScratch (Weg, V) VALUES (?, ?)")));
            for (const QVariant& v : values) {
                insert.bindValue(0, QStringLiteral("qt"));
                insert.bindValue(1, v);
                QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
            }
            insert.finish();
            qt.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("qtwrites"));
        Recordset stored;
        stored.open(QStringLiteral("SELECT Weg, typeof(V) AS Art, quote(V) AS Wert "
                                   "FROM TScratch ORDER BY Nr"),
                    m_con);
        QCOMPARE(stored.recordCount(), 2 * int(values.size()));
        QStringList direct;
        QStringList viaQt;
        for (; !stored.eof(); stored.moveNext()) {
            const QString row = stored.value(QStringLiteral("Art")).toString() + u' ' +
                                stored.value(QStringLiteral("Wert")).toString();
            (stored.value(QStringLiteral("Weg")).toString() == QLatin1String("qt") ? viaQt : direct)
                << row;
        }
        QCOMPARE(direct, viaQt);
        QCOMPARE(direct.first(), QStringLiteral("text 'Müller & Söhne €'"));
        QCOMPARE(direct.at(2), QStringLiteral("null NULL"));
    }
};

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
