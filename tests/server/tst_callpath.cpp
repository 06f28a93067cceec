// The road of one call through the server core: repeat window, normalisation,
// lookup on a real SQLite file, icons, rows and journal lines.
#include "pgcluster.h"
#include "serverfixture.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTest>

using namespace vorsa;
using namespace vorsa::test;

namespace {
// The messages of the call log category while it lives; the others go on
// to the test's own handler.
class CallMessages {
public:
    struct Message {
        QtMsgType type;
        QString text;
    };
    CallMessages()
    {
        s_self = this;
        m_previous = qInstallMessageHandler(handler);
    }
    ~CallMessages()
    {
        qInstallMessageHandler(m_previous);
        s_self = nullptr;
    }
    QList<Message> messages;

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (qstrcmp(context.category, "vorsa.server.calls") == 0)
            s_self->messages.append({type, text});
        else if (s_self->m_previous)
            s_self->m_previous(type, context, text);
    }
    inline static CallMessages* s_self = nullptr;
    QtMessageHandler m_previous = nullptr;
};
} // namespace

class TestCallPath : public QObject {
    Q_OBJECT

    // A program folder with a SQLite database of customers and a lookup query.
    static void prepare(ServerFixture& f, const QString& query = {})
    {
        f.usePrivatePort();
        f.write(QStringLiteral("udlVorsa.UDL"),
                "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"
                "Provider=SQLite;Data Source=calls.db\r\n");
        {
            auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prep"));
            db.setDatabaseName(f.dir.filePath(QStringLiteral("calls.db")));
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(
                q.exec(QStringLiteral("CREATE TABLE Kunden (Nr TEXT, Name TEXT, Art INTEGER)")));
            QVERIFY(
                q.exec(QStringLiteral("INSERT INTO Kunden VALUES ('0521111', 'Meier', 2), "
                                      "('0521222', 'Hansa', 0), ('0521222', 'Hansa Filiale', 1), "
                                      "('0987655', 'Vorort', NULL), ('0521333', 'Gross', 32763), "
                                      "('0521444', 'Zu gross', 32764)")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("prep"));
        f.set("Table", "SQL1.1",
              query.isEmpty() ? QStringLiteral("SELECT Name, Art FROM Kunden") : query);
        if (query.isEmpty())
            f.set("Table", "SQL1.2", QStringLiteral("WHERE Nr LIKE '/*CallingNr*/'"));
        f.set("Table", "Name", QStringLiteral("Kunden"));
        f.set("Settings", "EigeneVorwahl", QStringLiteral("0987"));
        for (int i = 1; i <= 5; ++i) {
            static const char* names[] = {"Datum", "Anrufer", "Name", "Art", "Versuche"};
            f.set(qPrintable(QStringLiteral("Feld%1").arg(i)), "FieldName",
                  QString::fromLatin1(names[i - 1]));
        }
    }

private slots:
    void identifiedCallerGivesRowAndJournalLine()
    {
        ServerFixture f;
        prepare(f);
        f.load();
        QVERIFY2(f.reporter.entries.isEmpty(), qPrintable(f.reporter.procedures().join(',')));
        f.line->ring(QStringLiteral("0521999"), QStringLiteral("0521111"));
        auto& list = f.core->callList();
        QCOMPARE(list.rowCount(), 1);
        QCOMPARE(list.rowCells(0),
                 (QStringList{QStringLiteral("06.12.2026 09:14:05"), QStringLiteral("0521111"),
                              QStringLiteral("Meier"), QStringLiteral("2"), QStringLiteral("0")}));
        QCOMPARE(f.journal(), QStringList{QStringLiteral(
                                  "*D*Icon=1;Datum=06.12.2026 "
                                  "09:14:05;Anrufer=0521111;Name=Meier;Art=2;Versuche=0")});
    }

    void withoutAWindowNoRowsAreKept()
    {
        ServerFixture f;
        f.listRows = false;
        prepare(f);
        f.load();
        f.line->ring(QStringLiteral("0521999"), QStringLiteral("0521111"));
        QCOMPARE(f.journal().size(), 1);
        QCOMPARE(f.core->callList().rowCount(), 0);
    }

    void repeatWindowBoundary()
    {
        ServerFixture f;
        prepare(f);
        f.load();
        f.line->ring({}, QStringLiteral("0521111"));
        f.now = f.now.addSecs(30);
        f.line->ring({}, QStringLiteral("0521111")); // 30 is not more than 30
        QCOMPARE(f.journal().size(), 1);
        f.now = f.now.addSecs(31);
        f.line->ring({}, QStringLiteral("0521111"));
        QCOMPARE(f.journal().size(), 2);
    }

    void repeatsMoveTheWindow()
    {
        ServerFixture f;
        prepare(f);
        f.load();
        for (int i = 0; i < 6; ++i) {
            f.line->ring({}, QStringLiteral("0521111"));
            f.now = f.now.addSecs(20);
        }
        QCOMPARE(f.journal().size(), 1);
        QCOMPARE(f.core->recentCallers().size(), 1);
    }

    void repeatWindowAcrossAClockSetBack()
    {
        // Numbers are forgotten by their own time, also when the clock was
        // set back between calls and the times no longer come in order.
        ServerFixture f;
        prepare(f);
        f.load();
        const QDateTime start = f.now;
        f.line->ring({}, QStringLiteral("0521111"));
        f.now = start.addSecs(-600); // the clock goes back ten minutes
        f.line->ring({}, QStringLiteral("0521333"));
        QCOMPARE(f.journal().size(), 2);
        f.now = start.addSecs(-580);
        f.line->ring({}, QStringLiteral("0521333")); // 20 s later: a repeat
        QCOMPARE(f.journal().size(), 2);
        f.now = start.addSecs(-540);
        f.line->ring({}, QStringLiteral("0521333")); // 40 s after its last call
        f.line->ring({}, QStringLiteral("0521111")); // "before" its call: still held
        QCOMPARE(f.journal().size(), 3);
        QCOMPARE(f.core->recentCallers().size(), 2);
    }

    void hiddenNumberIsReportedAsAmtOnce()
    {
        ServerFixture f;
        prepare(f);
        f.load();
        f.line->ring({}, QStringLiteral("(hidden)"));
        f.line->ring({}, QStringLiteral("(hidden)"));
        QCOMPARE(f.journal(),
                 QStringList{QStringLiteral(
                     "*D*Icon=3;Datum=06.12.2026 09:14:05;Anrufer=Amt;Name=;Art=;Versuche=0")});
    }

    void normalisation_data()
    {
        QTest::addColumn<QString>("amt");
        QTest::addColumn<QString>("calling");
        QTest::addColumn<QString>("searched");
        QTest::newRow("0 drops the first digit, own area code") << "0"
                                                                << "055"
                                                                << "098755";
        QTest::newRow("N puts a zero in front") << "N"
                                                << "55"
                                                << "055";
        QTest::newRow("empty rule, local number") << ""
                                                  << "123"
                                                  << "0987123";
        QTest::newRow("national number unchanged") << ""
                                                   << "0521111"
                                                   << "0521111";
    }
    void normalisation()
    {
        QFETCH(QString, amt);
        QFETCH(QString, calling);
        QFETCH(QString, searched);
        ServerFixture f;
        // The query hands back the number it was given.
        prepare(f, QStringLiteral("SELECT '/*CallingNr*/' AS Name"));
        f.set("Settings", "Amt", amt);
        f.set("Settings", "LetzteStellenAbschneiden", QStringLiteral("0"));
        f.load();
        f.line->ring({}, calling);
        QCOMPARE(f.core->callList().rowCount(), 1);
        QCOMPARE(f.core->callList().cell(0, 2), searched);
        QCOMPARE(f.core->callList().cell(0, 1), calling); // shown as the line reported it
    }

    // The caller's text is never a pattern: what is not a number identifies
    // nobody and still goes out (one line, icon 3, the number as it came).
    void numbersThatAreNoNumberIdentifyNobody_data()
    {
        QTest::addColumn<QString>("amt");
        QTest::addColumn<QString>("calling");
        QTest::addColumn<QString>("shown");
        const QString none = QStringLiteral("***"); // the columns of an earlier lookup
        for (const char* amt : {"", "0"}) {
            const QByteArray rule = QByteArray(" (Amt \"") + amt + "\")";
            for (const char* calling : {"", " ", "%", "_", "'", "abc", "05211%", "052111_",
                                        "0521%111", "-", "+", "0521111 OR 1", "0521\u00B9111"})
                QTest::newRow(QByteArray(calling).append(rule).constData())
                    << QString::fromLatin1(amt) << QString::fromUtf8(calling) << none;
        }
        // Visual separators are no part of the number.
        QTest::newRow("blanks") << ""
                                << "0521 111"
                                << "Meier";
        QTest::newRow("brackets, hyphen") << ""
                                          << "(0521) 11-1"
                                          << "Meier";
        QTest::newRow("slash, tab") << ""
                                    << "0521/\t111"
                                    << "Meier";
        QTest::newRow("separators with rule 0") << "0"
                                                << "0 0521 111"
                                                << "Meier";
        QTest::newRow("leading plus") << ""
                                      << "+49 521 111" << none;
    }
    void numbersThatAreNoNumberIdentifyNobody()
    {
        QFETCH(QString, amt);
        QFETCH(QString, calling);
        QFETCH(QString, shown);
        ServerFixture f;
        prepare(f);
        f.set("Settings", "Amt", amt);
        f.load();
        f.line->ring({}, QStringLiteral("0400000000")); // a lookup that finds nobody
        f.reporter.clear();
        f.line->ring({}, calling);
        QVERIFY2(f.reporter.entries.isEmpty(), qPrintable(f.reporter.procedures().join(',')));
        const QStringList j = f.journal();
        QCOMPARE(j.size(), 2);
        const bool found = shown == u"Meier";
        QCOMPARE(j[1], QStringLiteral("*D*Icon=%1;Datum=06.12.2026 09:14:05;Anrufer=%2;Name=%3;"
                                      "Art=%4;Versuche=0")
                           .arg(found ? QStringLiteral("1") : QStringLiteral("3"), calling, shown,
                                found ? QStringLiteral("2") : QStringLiteral("***")));
    }

    void shortNumbersAreOnlyLookedUpExactly()
    {
        // "0521" stays four digits and "052" three: looked up exactly. Seven
        // digits are cut once at most.
        ServerFixture f;
        prepare(f);
        f.load();
        f.line->ring({}, QStringLiteral("0521"));
        f.line->ring({}, QStringLiteral("052"));
        f.line->ring({}, QStringLiteral("0521119")); // 052111% finds Meier after one cut
        const QStringList j = f.journal();
        QCOMPARE(j.size(), 3);
        QVERIFY(j[0].startsWith(QStringLiteral("*D*Icon=3;")));
        QVERIFY(j[1].startsWith(QStringLiteral("*D*Icon=3;")));
        QVERIFY2(j[2].endsWith(QStringLiteral("Name=Meier;Art=2;Versuche=1")), qPrintable(j[2]));
    }

    void unknownCallerShowsStarsWithIcon3()
    {
        ServerFixture f;
        prepare(f);
        f.load();
        f.line->ring({}, QStringLiteral("0400000000"));
        QCOMPARE(f.journal(), QStringList{QStringLiteral(
                                  "*D*Icon=3;Datum=06.12.2026 "
                                  "09:14:05;Anrufer=0400000000;Name=***;Art=***;Versuche=0")});
    }

    void severalRecordsGiveSeveralLinesWithIcon2()
    {
        ServerFixture f;
        prepare(f);
        f.load();
        f.line->ring({}, QStringLiteral("0521222"));
        const QStringList j = f.journal();
        QCOMPARE(j.size(), 2);
        QVERIFY(j[0].startsWith(QStringLiteral("*D*Icon=2;")) &&
                j[0].contains(QStringLiteral("Name=Hansa;")));
        QVERIFY(j[1].startsWith(QStringLiteral("*D*Icon=2;")) &&
                j[1].contains(QStringLiteral("Name=Hansa Filiale;")));
        QCOMPARE(f.core->callList().cell(0, 2), QStringLiteral("Hansa Filiale")); // last on top
    }

    void iconFieldChoosesTheIcon()
    {
        ServerFixture f;
        prepare(f);
        f.set("Table", "Icon", QStringLiteral("Art"));
        f.set("Settings", "BeiDoppelFragezeichen", QStringLiteral("0"));
        f.load();
        f.line->ring({}, QStringLiteral("0521111"));
        QVERIFY(f.journal().last().startsWith(QStringLiteral("*D*Icon=6;")));
        f.line->ring({}, QStringLiteral("0521222")); // several, mark off: the icon field counts
        QVERIFY(f.journal().at(1).startsWith(QStringLiteral("*D*Icon=4;")));
        QVERIFY(f.journal().at(2).startsWith(QStringLiteral("*D*Icon=5;")));
        f.line->ring({}, QStringLiteral("0521333"));
        QVERIFY(f.journal().at(3).startsWith(QStringLiteral("*D*Icon=32767;")));
        QVERIFY(f.reporter.entries.isEmpty());
    }

    void iconFieldWithoutAnIconNumberStillReportsTheCall_data()
    {
        QTest::addColumn<QString>("calling");
        QTest::addColumn<QString>("title");
        QTest::newRow("sum beyond 16 bits") << "0521444"
                                            << "Fehler: 6";
        QTest::newRow("null value") << "655"
                                    << "Fehler: 94";
    }
    void iconFieldWithoutAnIconNumberStillReportsTheCall()
    {
        QFETCH(QString, calling);
        QFETCH(QString, title);
        ServerFixture f;
        prepare(f);
        f.set("Table", "Icon", QStringLiteral("Art"));
        // Booking is on: a caller without an icon counts as not identified
        // and gets no ride (here any booking would fail, the rides table is
        // missing, and say so).
        f.set("Autobooking", "Aktiv", QStringLiteral("1"));
        f.load();
        f.line->ring({}, calling);
        QCOMPARE(f.reporter.procedures(), QStringList{QStringLiteral("ISDNPhone_IncomingCall")});
        QCOMPARE(f.reporter.entries[0].title, title);
        QCOMPARE(f.journal().size(), 1);
        QVERIFY2(f.journal()[0].startsWith(QStringLiteral("*D*Icon=3;")),
                 qPrintable(f.journal()[0]));
        QCOMPARE(f.core->callList().rowCount(), 1);
        f.reporter.clear();
        f.line->ring({}, QStringLiteral("0521111")); // with an icon: booked
        QCOMPARE(f.reporter.procedures(), QStringList{QStringLiteral("AutobookingFahrtAnlegen")});
    }

    // However the lookup fails, the call goes out and into the journal as one
    // whose caller was not identified, and the failure is said.
    void callGoesOutWhenTheLookupFails_data()
    {
        QTest::addColumn<QString>("outage");
        QTest::addColumn<QString>("procedure");
        QTest::newRow("data-link file missing") << "udl missing"
                                                << "AnruferSuchen";
        QTest::newRow("data-link file empty") << "udl empty"
                                              << "AnruferSuchen";
        QTest::newRow("unknown provider") << "provider"
                                          << "AnruferSuchen";
        QTest::newRow("database file missing") << "db missing"
                                               << "AnruferSuchen";
        QTest::newRow("database file unreadable") << "db garbage"
                                                  << "clsSqlRs/Suchen";
        QTest::newRow("table gone") << "table"
                                    << "clsSqlRs/Suchen";
    }
    void callGoesOutWhenTheLookupFails()
    {
        QFETCH(QString, outage);
        QFETCH(QString, procedure);
        ServerFixture f;
        prepare(f);
        f.load();
        f.line->ring({}, QStringLiteral("0521111")); // the columns are known from here on
        const QString db = f.dir.filePath(QStringLiteral("calls.db"));
        if (outage == u"udl missing") {
            QFile::remove(f.dir.filePath(QStringLiteral("udlVorsa.UDL")));
        } else if (outage == u"udl empty") {
            f.write(QStringLiteral("udlVorsa.UDL"), QByteArray());
        } else if (outage == u"provider") {
            f.write(QStringLiteral("udlVorsa.UDL"), "[oledb]\r\nProvider=Foo.1;Data Source=x\r\n");
        } else if (outage == u"db missing" || outage == u"db garbage") {
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(db + QLatin1String(suffix));
            if (outage == u"db garbage")
                f.write(QStringLiteral("calls.db"), QByteArray(8192, 'x'));
        } else {
            {
                auto con =
                    QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("drop"));
                con.setDatabaseName(db);
                QVERIFY(con.open());
                QVERIFY(QSqlQuery(con).exec(QStringLiteral("DROP TABLE Kunden")));
                con.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("drop"));
        }

        f.reporter.clear();
        {
            // The administrator reads why, once, among the calls.
            CallMessages log;
            f.line->ring({}, QStringLiteral("0521222"));
            QCOMPARE(log.messages.size(), 1);
            QCOMPARE(log.messages[0].type, QtWarningMsg);
            QCOMPARE(f.reporter.entries.size(), 1);
            const QString why = f.reporter.entries[0].text.section(QStringLiteral("\r\n\r\n"), 1);
            QVERIFY(!why.isEmpty());
            QCOMPARE(
                log.messages[0].text,
                QStringLiteral("Anruf von 0521222 an -: Suche fehlgeschlagen (%1), nicht erkannt")
                    .arg(why));
        }
        QCOMPARE(f.reporter.procedures(), QStringList{procedure});
        QCOMPARE(f.journal().size(), 2);
        QCOMPARE(f.journal()[1], QStringLiteral("*D*Icon=3;Datum=06.12.2026 09:14:05;"
                                                "Anrufer=0521222;Name=***;Art=***;Versuche=0"));
        QCOMPARE(f.core->callList().rowCount(), 2);
        QCOMPARE(f.core->recentCallers().size(), 2);
    }

    void brokenQueryTextFromTheStart()
    {
        // No result ever gave columns: the call goes out with empty ones.
        ServerFixture f;
        prepare(f, QStringLiteral("SELEC Name FROM Kunden WHERE Nr = '/*CallingNr*/'"));
        f.load();
        f.line->ring({}, QStringLiteral("0521111"));
        QCOMPARE(f.reporter.procedures(), QStringList{QStringLiteral("clsSqlRs/Suchen")});
        QCOMPARE(f.journal(), QStringList{QStringLiteral("*D*Icon=3;Datum=06.12.2026 09:14:05;"
                                                         "Anrufer=0521111;Name=;Art=;Versuche=0")});
    }

    void lockedDatabaseIsWaitedForAboutTwoSeconds()
    {
        ServerFixture f;
        prepare(f);
        f.set("Table", "SQL2.1",
              QStringLiteral("SELECT Name FROM Kunden WHERE Nr = '/*CallingNr*/'"));
        f.load();
        {
            // Another program holds the file locked before the server's
            // connection is open (the server keeps its connection open once it
            // has one, and a file in use cannot be taken for one program alone).
            auto other =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lock"));
            other.setDatabaseName(f.dir.filePath(QStringLiteral("calls.db")));
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")));
            QVERIFY(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QVERIFY(q.exec(QStringLiteral("UPDATE Kunden SET Art = Art")));
            f.reporter.clear();
            QElapsedTimer took;
            took.start();
            f.line->ring({}, QStringLiteral("0521111"));
            const qint64 ms = took.elapsed();
            QVERIFY2(ms >= 1500 && ms < 3500, qPrintable(QString::number(ms)));
            // One wait for the whole call, not one per query or attempt.
            QCOMPARE(f.reporter.procedures(), QStringList{QStringLiteral("clsSqlRs/Suchen")});
            QVERIFY(f.journal().last().startsWith(QStringLiteral("*D*Icon=3;")));
            QVERIFY(f.journal().last().contains(QStringLiteral("Anrufer=0521111;")));
            QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
            q.finish();
            other.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("lock"));
        f.reporter.clear();
        f.line->ring({}, QStringLiteral("0521222"));
        QVERIFY2(f.reporter.entries.isEmpty(), qPrintable(f.reporter.procedures().join(',')));
        QVERIFY(f.journal().last().contains(QStringLiteral("Name=Hansa Filiale;")));
    }

    void databaseServerThatDoesNotAnswerHoldsACallOnlyBriefly_data()
    {
        QTest::addColumn<QString>("secDbConnect");
        QTest::addColumn<int>("fromMs");
        QTest::addColumn<int>("toMs");
        QTest::addColumn<QStringList>("said"); // at the load
        QTest::newRow("2 s") << "2" << 1500 << 5000 << QStringList();
        // No wait at all would be no limit for the database library: the
        // default holds.
        QTest::newRow("0: the default")
            << "0" << 2500 << 6000 << QStringList{QStringLiteral("EinlesenParameterAllgemein")};
    }
    void databaseServerThatDoesNotAnswerHoldsACallOnlyBriefly()
    {
        // A PostgreSQL server that takes the connection and never answers
        // (hung, or the network swallows its packets): the call waits for it
        // no longer than SecDbConnect seconds, then goes out unidentified.
        QFETCH(QString, secDbConnect);
        QFETCH(int, fromMs);
        QFETCH(int, toMs);
        QFETCH(QStringList, said);
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            QSKIP("Qt's PostgreSQL driver is not installed");
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        ServerFixture f;
        prepare(f);
        f.write(QStringLiteral("udlVorsa.UDL"),
                "[oledb]\r\nProvider=PostgreSQL;Data Source=127.0.0.1;Location=vorsa;"
                "User ID=vorsa;Port=" +
                    QByteArray::number(silent.serverPort()) + "\r\n");
        f.set("Settings", "SecDbConnect", secDbConnect);
        f.load();
        QCOMPARE(f.reporter.procedures(), said);
        if (!said.isEmpty()) {
            QCOMPARE(f.reporter.entries[0].title, QStringLiteral("Fehler: 380"));
            QCOMPARE(f.core->settings().secDbConnect, 3);
            // Left as the administrator wrote it.
            QCOMPARE(
                IniLesen(QStringLiteral("Settings"), QStringLiteral("SecDbConnect"), f.ini(), {}),
                secDbConnect);
        }
        f.reporter.clear();
        QElapsedTimer took;
        took.start();
        f.line->ring({}, QStringLiteral("0521111"));
        const qint64 ms = took.elapsed();
        QVERIFY2(ms >= fromMs && ms < toMs, qPrintable(QString::number(ms)));
        QCOMPARE(f.reporter.procedures(), QStringList{QStringLiteral("AnruferSuchen")});
        QCOMPARE(f.journal().size(), 1);
        QVERIFY(f.journal().first().startsWith(QStringLiteral("*D*Icon=3;")));
    }

    void databaseServerThatStopsAnsweringHoldsACallOnlyBriefly()
    {
        // The database server has taken the connection and then hangs: a
        // call waits for it a little longer than SecDbConnect, then goes out
        // unidentified; the next call opens the connection afresh, and once
        // the server answers again its callers are identified again.
        PgCluster pg;
        if (!pg.available())
            QSKIP(qPrintable(pg.reason()));
        QString error;
        QVERIFY2(pg.createDatabase(QStringLiteral("calls"), &error), qPrintable(error));
        QVERIFY(pg.run(QStringLiteral("calls"),
                       QStringLiteral("CREATE TABLE Kunden (Nr TEXT, Name TEXT, Art INTEGER)")));
        QVERIFY(pg.run(QStringLiteral("calls"),
                       QStringLiteral("INSERT INTO Kunden VALUES ('0521111', 'Meier', 2)")));
        ServerFixture f;
        prepare(f, QStringLiteral("SELECT Name AS \"Name\", Art AS \"Art\" FROM Kunden "
                                  "WHERE Nr LIKE '/*CallingNr*/'"));
        pg.writeUdl(f.dir.filePath(QStringLiteral("udlVorsa.UDL")), QStringLiteral("calls"));
        f.set("Settings", "SecDbConnect", QStringLiteral("1"));
        f.load();
        f.line->ring({}, QStringLiteral("0521111"));
        QVERIFY2(f.reporter.entries.isEmpty(), qPrintable(f.reporter.procedures().join(',')));
        QVERIFY(f.journal().last().contains(QStringLiteral("Name=Meier;")));

        const auto ringTimed = [&] {
            f.now = f.now.addSecs(60);
            f.reporter.clear();
            QElapsedTimer took;
            took.start();
            f.line->ring({}, QStringLiteral("0521111"));
            return took.elapsed();
        };
        QVERIFY2(pg.freeze(&error), qPrintable(error));
        // The kept connection: the statement is given up on.
        qint64 ms = ringTimed();
        QVERIFY2(ms >= 1000 && ms < 3500, qPrintable(QString::number(ms)));
        QCOMPARE(f.reporter.procedures(), QStringList{QStringLiteral("clsSqlRs/Suchen")});
        QVERIFY2(f.reporter.entries[0].text.contains(QStringLiteral("nicht innerhalb von 1.5 s")),
                 qPrintable(f.reporter.entries[0].text));
        QCOMPARE(f.journal().size(), 2);
        QVERIFY(f.journal().last().startsWith(QStringLiteral("*D*Icon=3;")));
        QVERIFY(f.journal().last().contains(QStringLiteral("Anrufer=0521111;")));
        // A new connection to the server that still hangs (the database
        // library waits two seconds at the least).
        ms = ringTimed();
        QVERIFY2(ms >= 1000 && ms < 4000, qPrintable(QString::number(ms)));
        QCOMPARE(f.reporter.procedures(), QStringList{QStringLiteral("AnruferSuchen")});
        QVERIFY(f.journal().last().startsWith(QStringLiteral("*D*Icon=3;")));

        pg.thaw();
        ms = ringTimed();
        QVERIFY2(f.reporter.entries.isEmpty(), qPrintable(f.reporter.procedures().join(',')));
        QVERIFY2(ms < 1500, qPrintable(QString::number(ms)));
        QCOMPARE(f.journal().size(), 4);
        QVERIFY(f.journal().last().startsWith(QStringLiteral("*D*Icon=1;")));
        QVERIFY(f.journal().last().contains(QStringLiteral("Name=Meier;")));
    }

    void quoteInTheCallingNumberCannotChangeTheStatement()
    {
        ServerFixture f;
        prepare(f);
        f.load();
        f.line->ring({}, QStringLiteral("0' OR '1'='1"));
        // Nothing matches the literal text: one "not found" line, not every customer.
        QCOMPARE(f.journal().size(), 1);
        QVERIFY(f.journal().first().startsWith(QStringLiteral("*D*Icon=3;")));
    }

    void testCallAsksForBothNumbers()
    {
        ServerFixture f;
        prepare(f);
        f.load();
        f.desktop.answers = {QStringLiteral("0521999"), QStringLiteral("0521111")};
        f.core->mnuTest_Click();
        QCOMPARE(f.desktop.inputs.size(), 2);
        QCOMPARE(f.desktop.inputs[0].title, QStringLiteral("CallingNr"));
        QCOMPARE(f.desktop.inputs[0].prompt, QStringLiteral("MSN"));
        QCOMPARE(f.desktop.inputs[1].prompt, QStringLiteral("TelefonNr:"));
        QVERIFY(f.desktop.inputs[1].defaultText.startsWith(QLatin1Char('0')));
        QCOMPARE(f.journal().size(), 1);
        // The held numbers are offered again; cancelled boxes call nothing and
        // empty them, so the next call offers the booking MSN and the sample.
        f.core->mnuTest_Click();
        QCOMPARE(f.journal().size(), 1);
        QCOMPARE(f.desktop.inputs[2].defaultText, QStringLiteral("0521999"));
        QCOMPARE(f.desktop.inputs[3].defaultText, QStringLiteral("0521111"));
        f.core->mnuTest_Click();
        QCOMPARE(f.desktop.inputs[4].defaultText, QString());
        QVERIFY(f.desktop.inputs[5].defaultText.startsWith(QLatin1Char('0')));
    }

    void callDuringAMessageOfAnotherWaitsForIt()
    {
        // The booking fails (no rides table) and shows its message; while it
        // is open the next call rings. It must not be handled inside the first.
        ServerFixture f;
        prepare(f);
        f.set("Autobooking", "Aktiv", QStringLiteral("1"));
        f.load();
        f.reporter.clear();
        bool rung = false;
        f.reporter.whileShown = [&] {
            if (rung)
                return;
            rung = true;
            f.line->ring(QStringLiteral("0521999"), QStringLiteral("0521222"));
            QCOMPARE(f.journal().size(), 0); // still waiting
        };
        f.line->ring(QStringLiteral("0521999"), QStringLiteral("0521111"));
        QVERIFY(rung);
        QVERIFY(f.reporter.hasProcedure(QStringLiteral("AutobookingFahrtAnlegen")));
        const QStringList journal = f.journal();
        QCOMPARE(journal.size(), 3);
        QVERIFY2(journal[0].contains(QStringLiteral("Anrufer=0521111;Name=Meier;")),
                 qPrintable(journal[0]));
        QVERIFY(journal[1].contains(QStringLiteral("Anrufer=0521222;Name=Hansa;")));
        QVERIFY(journal[2].contains(QStringLiteral("Anrufer=0521222;Name=Hansa Filiale;")));
    }

    void unknownLineNameIsSaidOnce()
    {
        ServerFixture f;
        f.usePrivatePort();
        f.set("Settings", "Line", QStringLiteral("SPI"));
        f.set("Table", "Name", QStringLiteral("T"));
        ServerCore::Environment e; // no factory: the built-in lines
        e.programDir = f.dir.path();
        e.reporter = &f.reporter;
        e.desktop = &f.desktop;
        e.icons = &f.icons;
        ServerCore core(e);
        core.Form_Load();
        QCOMPARE(f.reporter.procedures(), QStringList{QStringLiteral("StartUp")});
        QVERIFY(f.reporter.entries[0].text.contains(QStringLiteral("\"SPI\"")));
        QCOMPARE(core.capiInfo(), QStringLiteral("startCAPI()=False - failed"));
        core.Timer1_Timer();
        QCOMPARE(f.reporter.entries.size(), 1);
        core.Form_Unload();
    }

    void lineThatComesUpLaterUpdatesTheStatus()
    {
        ServerFixture f;
        f.usePrivatePort();
        f.set("Table", "Name", QStringLiteral("T"));
        f.make();
        f.core->Form_Load();
        f.line->startResult = false; // e.g. still registering
        f.core->Timer1_Timer();
        QCOMPARE(f.core->capiInfo(), QStringLiteral("startCAPI()=False - failed"));
        const int lines = int(f.logLines().size());
        f.line->up = true;
        emit f.line->StatusChanged();
        QVERIFY(
            f.core->capiInfo().startsWith(QStringLiteral("startCAPI()=True  CAPI 2.0 release 7")));
        QCOMPARE(int(f.logLines().size()), lines); // no log line, no beep
        QCOMPARE(f.desktop.beeps, 4);              // only those of the failed tick
    }
};

QTEST_GUILESS_MAIN(TestCallPath)
#include "tst_callpath.moc"
