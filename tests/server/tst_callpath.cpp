// The road of one call through the server core: repeat window, normalisation,
// lookup on a real SQLite file, icons, rows and journal lines.
#include "serverfixture.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace vorsa;
using namespace vorsa::test;

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
                                      "('0987655', 'Vorort', NULL)")));
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

    void emptyNumberWithRuleZeroEndsTheCall()
    {
        ServerFixture f;
        prepare(f);
        f.set("Settings", "Amt", QStringLiteral("0"));
        f.load();
        f.line->ring({}, QString());
        QCOMPARE(f.reporter.procedures(), QStringList{QStringLiteral("ISDNPhone_IncomingCall")});
        QCOMPARE(f.core->recentCallers().size(), 1); // registered before the failing step
        QVERIFY(f.journal().isEmpty());
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
        // A null icon value ends that call before its row.
        f.line->ring({}, QStringLiteral("655"));
        QCOMPARE(f.journal().size(), 3);
        QCOMPARE(f.reporter.procedures(), QStringList{QStringLiteral("ISDNPhone_IncomingCall")});
    }

    void unreachableDatabaseRegistersButReportsNothing()
    {
        ServerFixture f;
        prepare(f);
        QFile::remove(f.dir.filePath(QStringLiteral("udlVorsa.UDL")));
        f.load();
        f.line->ring({}, QStringLiteral("0521111"));
        QCOMPARE(f.core->callList().rowCount(), 0);
        QVERIFY(f.journal().isEmpty());
        QCOMPARE(f.core->recentCallers().size(), 1);
        f.line->ring({}, QStringLiteral("0521111"));
        QCOMPARE(f.core->recentCallers().first().AnrufZeit, f.now);
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
