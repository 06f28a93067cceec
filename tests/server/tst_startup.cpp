// Start-up, configuration, banner, journal reload and shutdown of the server core.
#include "serverfixture.h"

#include <QTcpServer>
#include <QTimer>

#include <QTest>

using namespace vorsa;
using namespace vorsa::test;

class TestStartup : public QObject {
    Q_OBJECT

    static QString get(const QString& ini, const char* section, const char* key)
    {
        return IniLesen(QString::fromLatin1(section), QString::fromLatin1(key), ini,
                        QStringLiteral("<missing>"));
    }

private slots:
    void firstStartCompletesTheIniFile()
    {
        ServerFixture f;
        f.usePrivatePort();
        f.load();
        const QString ini = f.ini();
        QCOMPARE(get(ini, "Settings", "LogFile"), f.dir.path() + QStringLiteral("/VorsaSvr.log"));
        QCOMPARE(get(ini, "Settings", "Amt"), QString());
        QCOMPARE(get(ini, "Settings", "EigeneVorwahl"), QStringLiteral("09876"));
        QCOMPARE(get(ini, "Settings", "LetzteStellenAbschneiden"), QStringLiteral("3"));
        QCOMPARE(get(ini, "Settings", "SecCapiConnection"), QStringLiteral("60"));
        QCOMPARE(get(ini, "Settings", "DateDiffSec"), QStringLiteral("30"));
        QCOMPARE(get(ini, "Settings", "BeiDoppelFragezeichen"), QStringLiteral("1"));
        QCOMPARE(get(ini, "Settings", "Platzhalter"), QStringLiteral("%"));
        QCOMPARE(get(ini, "Settings", "Line"), QStringLiteral("SIM"));
        QCOMPARE(get(ini, "Autobooking", "Aktiv"), QStringLiteral("0"));
        QCOMPARE(get(ini, "Autobooking", "MSN"), QString());
        QCOMPARE(get(ini, "Autobooking", "AuftragsTyp"), QStringLiteral("A"));
        QCOMPARE(get(ini, "Settings", "User"), QStringLiteral("<missing>"));
        QCOMPARE(get(ini, "Settings", "Application"), QStringLiteral("<missing>"));
        QCOMPARE(get(ini, "Feld1", "FieldName"), QStringLiteral("<missing>"));
        QCOMPARE(get(ini, "Table", "Name"), QStringLiteral("<missing>"));
        // Table/Name missing: the critical box, then start-up goes on.
        QCOMPARE(f.reporter.entries.size(), 1);
        QCOMPARE(f.reporter.entries[0].text,
                 QStringLiteral("Bitte erst einen Tabellennamen deklarieren"));
        QCOMPARE(f.reporter.entries[0].title, QStringLiteral("Vorsamelder"));
        QVERIFY(f.core->restartTimerActive());
        QCOMPARE(f.core->restartIntervalMs(), 60000);
    }

    void localPortZeroBecomes1001()
    {
        ServerFixture f;
        f.set("Settings", "LocalPort", QStringLiteral("0"));
        f.set("Settings", "LetzteStellenAbschneiden", QStringLiteral("999"));
        f.set("Settings", "Amt", QString());
        f.make().EinlesenParameterAllgemein();
        QCOMPARE(get(f.ini(), "Settings", "LocalPort"), QStringLiteral("1001"));
        QCOMPARE(f.core->settings().localPort, 1001);
        QCOMPARE(f.core->label6(), QStringLiteral("LocalPort: 1001"));
        QCOMPARE(get(f.ini(), "Settings", "LetzteStellenAbschneiden"), QStringLiteral("3"));
        QCOMPARE(f.core->settings().amt, QString());
    }

    void emptyNumericKeyStopsTheReadingAtThatKey()
    {
        ServerFixture f;
        f.write(QStringLiteral("VorsaSrv.INI"),
                "; eigene Notiz\r\n[Settings]\r\nDateDiffSec=\r\n\r\n[Table]\r\nName=T\r\n");
        f.make().EinlesenParameterAllgemein();
        QCOMPARE(f.reporter.procedures(),
                 QStringList{QStringLiteral("EinlesenParameterAllgemein")});
        QCOMPARE(f.reporter.entries[0].title, QStringLiteral("Fehler: 13"));
        QCOMPARE(f.reporter.entries[0].text,
                 QStringLiteral("[EinlesenParameterAllgemein]\r\n\r\nTyp unverträglich "
                                "(DateDiffSec \"\")"));
        // The keys before were read and written, those after not.
        QCOMPARE(get(f.ini(), "Settings", "SecCapiConnection"), QStringLiteral("60"));
        QCOMPARE(get(f.ini(), "Settings", "LocalPort"), QStringLiteral("<missing>"));
        QCOMPARE(get(f.ini(), "Settings", "Platzhalter"), QStringLiteral("<missing>"));
        QCOMPARE(f.core->settings().localPort, 0);
        QFile file(f.ini());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.startsWith("; eigene Notiz\r\n[Settings]\r\n"));
        QVERIFY(!text.contains("\n\n") || text.contains("\r\n\r\n"));
        QVERIFY(!QByteArray(text).replace("\r\n", "").contains('\n')); // CR LF kept throughout
    }

    void portProblemsAreSaidInGermanWithTheKey()
    {
        ServerFixture f;
        f.set("Settings", "LocalPort", QStringLiteral("abc"));
        f.set("Table", "Name", QStringLiteral("T"));
        f.load();
        QCOMPARE(f.reporter.entries.size(), 1);
        QCOMPARE(f.reporter.entries[0].text,
                 QStringLiteral("[EinlesenParameterAllgemein]\r\n\r\nTyp unverträglich "
                                "(LocalPort \"abc\")"));

        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::Any, 0));
        ServerFixture g;
        g.set("Settings", "LocalPort", QString::number(taken.serverPort()));
        g.set("Table", "Name", QStringLiteral("T"));
        g.load();
        QCOMPARE(g.reporter.procedures(), QStringList{QStringLiteral("Form_Load")});
        QCOMPARE(g.reporter.entries[0].title, QStringLiteral("Fehler: 10048"));
        QVERIFY2(g.reporter.entries[0].text.endsWith(
                     QStringLiteral("Der TCP-Port %1 kann nicht geöffnet werden: Die Adresse "
                                    "wird bereits verwendet")
                         .arg(taken.serverPort())),
                 qPrintable(g.reporter.entries[0].text));
    }

    void markValuesAndApplicationMenu_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("written");
        QTest::newRow("0 off") << "0" << false << "0";
        QTest::newRow("1 on") << "1" << true << "1";
        QTest::newRow("7 on, rewritten") << "7" << true << "1";
    }
    void markValuesAndApplicationMenu()
    {
        QFETCH(QString, mark);
        QFETCH(bool, on);
        QFETCH(QString, written);
        ServerFixture f;
        f.usePrivatePort();
        f.set("Settings", "BeiDoppelFragezeichen", mark);
        f.set("Settings", "Application", QStringLiteral("kunden"));
        f.set("Table", "Name", QStringLiteral("T"));
        f.load();
        QCOMPARE(f.core->settings().beiDoppelFragezeichen, on);
        QCOMPARE(get(f.ini(), "Settings", "BeiDoppelFragezeichen"), written);
        QVERIFY(f.core->stammdatenVisible());
    }

    void badAktivSkipsTheRestOfTheLoad()
    {
        ServerFixture f;
        f.usePrivatePort();
        f.set("Autobooking", "Aktiv", QStringLiteral("ja"));
        f.load();
        QCOMPARE(f.reporter.procedures(), QStringList{QStringLiteral("Form_Load")});
        QCOMPARE(f.core->fields().size(), 0);
        QCOMPARE(f.core->callList().columnCount(), 0);
        QVERIFY(!f.line); // the line was never started
        QVERIFY(!f.core->restartTimerActive());
        QVERIFY(f.logLines().isEmpty());
    }

    void restartIntervalZeroAndLong()
    {
        ServerFixture f;
        f.usePrivatePort();
        f.set("Settings", "SecCapiConnection", QStringLiteral("0"));
        f.set("Table", "Name", QStringLiteral("T"));
        f.load();
        QVERIFY(!f.core->restartTimerActive());
        f.core->startRestartTimer(); // after the index window closes
        QVERIFY(!f.core->restartTimerActive());

        ServerFixture g;
        g.usePrivatePort();
        g.set("Settings", "SecCapiConnection", QStringLiteral("600"));
        g.set("Table", "Name", QStringLiteral("T"));
        g.load();
        QVERIFY(g.core->restartTimerActive());
        QCOMPARE(g.core->restartIntervalMs(), 600000);
        QVERIFY(g.reporter.entries.isEmpty());
    }

    void bannerShowsTheLineStatus()
    {
        ServerFixture f;
        f.usePrivatePort();
        f.set("Table", "Name", QStringLiteral("T"));
        f.load();
        const QStringList lines = f.logLines();
        QCOMPARE(lines.size(), 8);
        QCOMPARE(lines[0], QStringLiteral("   "));
        QCOMPARE(lines[1], QStringLiteral("   "));
        QCOMPARE(lines[2], QString(52, QLatin1Char('-')));
        QCOMPARE(lines[3], QStringLiteral(" Orvo-Software Start Server, 06.12.2026 09:14:05"));
        QCOMPARE(lines[4], QString(52, QLatin1Char('-')));
        QCOMPARE(lines[5], QStringLiteral("   "));
        QCOMPARE(
            lines[6],
            QStringLiteral(
                "startCAPI()=True  CAPI 2.0 release 7. Card made by Test has serial number 42"));
        QCOMPARE(lines[7], QStringLiteral("DTMF : yes"));
        QVERIFY(f.line->analogListen() && f.line->showAllCalls());
        QCOMPARE(f.core->debugList().first(), QStringLiteral("Version: 1.0.0"));
        QCOMPARE(f.core->debugList().last(), QStringLiteral("DTMF : yes"));
    }

    void failedRestartBeepsFourTimesWithoutLogLine()
    {
        ServerFixture f;
        f.usePrivatePort();
        f.set("Table", "Name", QStringLiteral("T"));
        f.load();
        const int before = int(f.logLines().size());
        f.line->startResult = false;
        f.core->Timer1_Timer();
        QCOMPARE(f.desktop.beeps, 4);
        QCOMPARE(f.core->capiInfo(), QStringLiteral("startCAPI()=False - failed"));
        QCOMPARE(f.line->stops, 1);
        QCOMPARE(int(f.logLines().size()), before);
        f.line->startResult = true;
        f.core->Timer1_Timer();
        QVERIFY(f.core->capiInfo().startsWith(QStringLiteral("startCAPI()=True  CAPI 2.0")));
        QCOMPARE(f.desktop.beeps, 4);
    }

    void reloadSelectsByDateNewestOnTop()
    {
        ServerFixture f;
        f.usePrivatePort();
        f.set("Table", "Name", QStringLiteral("T"));
        f.load();
        f.write(QStringLiteral("VorsaSvr.log"),
                "   \r\n*D*Icon=1;Datum=05.12.2026 08:00:00;Anrufer=111;Versuche=0\r\n"
                "stopCAPI\r\n*D*Icon=2;Datum=06.12.2026 09:00:00;Anrufer=222;Versuche=1\r\n"
                "*D*Icon=3;DATUM=06.12.2026 10:00:00;Anrufer=333;Unbekannt=x;Versuche=0\r\n");
        f.core->mnuHeute_Click();
        auto& list = f.core->callList();
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(list.cell(0, 1), QStringLiteral("333"));
        QCOMPARE(list.cell(0, 0), QStringLiteral("10:00  06.12.26"));
        QCOMPARE(list.rowIcon(0), 0); // no icons loaded
        QCOMPARE(list.cell(1, 1), QStringLiteral("222"));
        f.core->mnuAlles_Click();
        QCOMPARE(list.rowCount(), 3);
        QCOMPARE(list.cell(2, 1), QStringLiteral("111"));
        QVERIFY(f.reporter.entries.isEmpty());

        QFile::remove(f.log());
        f.core->mnuAlles_Click();
        QCOMPARE(f.reporter.procedures(),
                 QStringList{QStringLiteral("LogDateiEinlesenUndAnzeigen")});
        QCOMPARE(f.reporter.entries[0].title, QStringLiteral("Fehler: 53"));
    }

    void ownDataKeepsValuesAndStopsOnBadIcon()
    {
        ServerFixture f;
        f.usePrivatePort();
        f.set("Table", "Name", QStringLiteral("T"));
        f.load();
        f.core->EigeneDatenAnzeigen(
            QStringLiteral("Icon=1;Anrufer=0521=x;ohneGleich\r\rIcon=zwei;Anrufer=9"));
        auto& list = f.core->callList();
        QCOMPARE(list.rowCount(), 2); // the empty middle line still adds a row
        QCOMPARE(list.cell(0, 1), QStringLiteral("0521"));
        QCOMPARE(list.cell(1, 1), QStringLiteral("0521"));
        QCOMPARE(f.reporter.procedures(), QStringList{QStringLiteral("EigeneDatenAnzeigen")});
        QCOMPARE(f.reporter.entries[0].title, QStringLiteral("Fehler: 13"));
    }

    void unloadWritesColumnsThenStops()
    {
        ServerFixture f;
        f.usePrivatePort();
        f.set("Table", "Name", QStringLiteral("T"));
        f.load();
        f.core->Form_Unload();
        QCOMPARE(get(f.ini(), "Feld1", "FieldName"), QStringLiteral("Datum"));
        QCOMPARE(get(f.ini(), "Feld2", "FieldName"), QStringLiteral("Anrufer"));
        QCOMPARE(get(f.ini(), "Feld3", "FieldName"), QStringLiteral("Versuche"));
        QCOMPARE(get(f.ini(), "Feld1", "ColumnWidth"), QStringLiteral("100"));
        QCOMPARE(f.logLines().last(), QStringLiteral("stopCAPI"));
        QCOMPARE(f.line->stops, 1);
        QVERIFY(!f.core->restartTimerActive());
        QCOMPARE(f.core->fields().size(), 0);
    }

    void unusableSettingsNeverListenOnAStrayPort()
    {
        // Out of range: the load stops there, as any failing step of it does.
        ServerFixture f;
        f.set("Settings", "LocalPort", QStringLiteral("70000"));
        f.set("Table", "Name", QStringLiteral("T"));
        f.load();
        QCOMPARE(f.reporter.procedures(), QStringList{QStringLiteral("Form_Load")});
        QCOMPARE(f.reporter.entries[0].title, QStringLiteral("Fehler: 380"));
        QVERIFY(!f.line);

        // Settings read only up to a bad key: port 0 is never listened on,
        // and the rest of the load still runs.
        ServerFixture g;
        g.set("Settings", "DateDiffSec", QStringLiteral("abc"));
        g.set("Table", "Name", QStringLiteral("T"));
        g.load();
        QCOMPARE(g.reporter.procedures(),
                 QStringList{QStringLiteral("EinlesenParameterAllgemein")});
        QCOMPARE(g.core->settings().localPort, 0);
        QVERIFY(!g.core->clients().isListening());
        QVERIFY(g.line);
    }

    void badCutDigitsKeepTheLookupQueries()
    {
        ServerFixture f;
        f.usePrivatePort();
        f.set("Settings", "LetzteStellenAbschneiden", QStringLiteral("abc"));
        f.set("Table", "Name", QStringLiteral("TTelefonNr"));
        f.set("Table", "SQL1.1",
              QStringLiteral("SELECT * FROM TTelefonNr WHERE TelefonNr LIKE '/*CallingNr*/'"));
        f.load();
        // Only the key itself is reported, not the queries built after it.
        QCOMPARE(f.reporter.procedures(),
                 QStringList{QStringLiteral("EinlesenParameterAllgemein")});
        QCOMPARE(f.core->settings().letzteStellenAbschneiden, QStringLiteral("0"));
        QCOMPARE(f.core->queries().size(), 1);
        QCOMPARE(f.core->queries().at(0).CutNr, 0);
    }

    void restartIntervalBeyondATimersRangeIsCountedOut()
    {
        ServerFixture f;
        f.usePrivatePort();
        f.set("Settings", "SecCapiConnection", QStringLiteral("3000000")); // about 35 days
        f.set("Table", "Name", QStringLiteral("T"));
        f.load();
        QVERIFY(f.reporter.entries.isEmpty());
        QVERIFY(f.core->restartTimerActive());
        QCOMPARE(f.core->restartIntervalMs(), qint64(3000000) * 1000);
        // 34 ticks of a day leave the line alone; the 35th tick restarts it.
        for (int day = 0; day < 34; ++day)
            f.core->restartTick();
        QCOMPARE(f.line->stops, 0);
        f.core->restartTick();
        QCOMPARE(f.line->stops, 1);

        ServerFixture g;
        g.usePrivatePort();
        g.set("Settings", "SecCapiConnection", QStringLiteral("-5"));
        g.set("Table", "Name", QStringLiteral("T"));
        g.load();
        QCOMPARE(g.reporter.procedures(), QStringList{QStringLiteral("Form_Load")});
        QVERIFY(!g.core->restartTimerActive());
    }

    void restartTickAfterShutdownLeavesTheLineStopped()
    {
        ServerFixture f;
        f.usePrivatePort();
        f.set("Table", "Name", QStringLiteral("T"));
        f.load();
        const int starts = f.line->starts;
        // The tick lets events run between stop and start; a shutdown in
        // that pause must not be followed by a new start.
        QTimer::singleShot(0, [&] { f.core->Form_Unload(); });
        f.core->Timer1_Timer();
        QCOMPARE(f.line->starts, starts);
        QCOMPARE(f.logLines().last(), QStringLiteral("stopCAPI"));
        f.core->startRestartTimer(); // a window closing later
        QVERIFY(!f.core->restartTimerActive());
    }

    void failedLogWriteIsReported()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("kein /dev/full");
        ServerFixture f;
        f.usePrivatePort();
        f.set("Settings", "LogFile", QStringLiteral("/dev/full"));
        f.set("Table", "Name", QStringLiteral("T"));
        f.load();
        QVERIFY(f.reporter.procedures().contains(QStringLiteral("WriteLog")));
        QCOMPARE(f.reporter.entries.first().title, QStringLiteral("Fehler: 75"));
        QVERIFY(f.line); // the start went on
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
