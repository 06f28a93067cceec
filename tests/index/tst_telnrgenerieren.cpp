// The number index window: its logic with a recording window, and the dialog.

#include "indexfixture.h"

#include "addresses.h"
#include "filelock.h"
#include "gui/frmtelnrgenerieren.h"
#include "index/sqliteindexwriter.h"
#include "index/telnrgenerieren.h"
#include "reporter.h"
#include "serverfixture.h"

#include <QSet>

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace vorsa;
using namespace vorsa::test;

namespace {

// A folder whose index holds two old rows and whose address databases are
// both there: `kunden` customers in TKunden, `drovo` in AKdAdr.
struct Setup {
    Setup(int kunden, int drovo)
    {
        folder.createIndex();
        insertRows(folder.udlVorsa(), "TTelefonNr",
                   {{{"TelefonNr", "0521999"}}, {{"TelefonNr", "0521998"}}});
        const QString db = folder.file("adressen.db");
        kundenNumbers = sampledata::generateKundenDatabase(db, kunden, 3);
        // Both sources in one database file.
        const QString other = folder.file("dispatch.db");
        drovoNumbers = sampledata::generateDrovoDatabase(other, drovo, 4);
        db::Connection con;
        ProgramFolder::open(con, folder.udlAdressen());
        con.execute(QStringLiteral("ATTACH DATABASE '%1' AS d").arg(other));
        for (const char* t : {"AKdAdr", "AStrassen", "AOrte"})
            con.execute(QStringLiteral("CREATE TABLE %1 AS SELECT * FROM d.%1").arg(t));
    }
    ProgramFolder folder;
    QStringList kundenNumbers;
    QStringList drovoNumbers;
};

const QStringList kOldRows{"0521999", "0521998"};

// A server core on the program folder, on a line the test rings.
struct ServerInFolder {
    explicit ServerInFolder(const QString& programDir) : core(environment(programDir)) {}
    ServerCore::Environment environment(const QString& programDir)
    {
        ServerCore::Environment env;
        env.programDir = programDir;
        env.reporter = &reporter;
        env.desktop = &desktop;
        env.icons = &icons;
        env.lineFactory = [this](const QString&, const LineContext&) {
            auto l = std::make_unique<ScriptedLine>();
            line = l.get();
            return std::unique_ptr<IPhoneLine>(std::move(l));
        };
        return env;
    }

    RecordingReporter reporter;
    RecordingDesktop desktop;
    FileIconList icons;
    ScriptedLine* line = nullptr;
    ServerCore core;
};

} // namespace

class TestTelNrGenerieren : public QObject {
    Q_OBJECT
private slots:
    void applicationChoosesTheBuildInAnyCase_data();
    void applicationChoosesTheBuildInAnyCase();
    void otherApplicationOnlyFinishesTheButton_data();
    void otherApplicationOnlyFinishesTheButton();
    void missingServerDatabaseIsReportedAndBlocksTheStart();
    void unloadReleasesTheIndexConnection();
    void freshWindowShowsTheIndex();
    void buildInTheWindowAndReopen();
    void windowStaysOpenWhileBuilding();
    void callsDuringTheBuildIdentifyTheirCustomers_data();
    void callsDuringTheBuildIdentifyTheirCustomers();
    void callAfterABuildFindsTheNewIndex_data();
    void callAfterABuildFindsTheNewIndex();
    void leftoverOfAKilledBuildIsDroppedOnOpening_data();
    void leftoverOfAKilledBuildIsDroppedOnOpening();
    void cleanupTestCase() { releaseSharedPg(); }
};

void TestTelNrGenerieren::applicationChoosesTheBuildInAnyCase_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<bool>("drovo");
    QTest::newRow("KUNDEN") << "KUNDEN" << false;
    QTest::newRow("kunden") << "kunden" << false;
    QTest::newRow("Drovo") << "Drovo" << true;
}

void TestTelNrGenerieren::applicationChoosesTheBuildInAnyCase()
{
    QFETCH(QString, application);
    QFETCH(bool, drovo);
    Setup setup(30, 40);
    RecordingIndexWindow window;
    RecordingReporter reporter;
    TelNrGenerieren logic(setup.folder.path(), reporter, window);
    logic.setApplication(application);
    QVERIFY(logic.load());
    QCOMPARE(window.log, (QStringList{"bind", "button Generierung Telefon-Nr. starten 1"}));
    window.log.clear();

    QVERIFY(logic.command1Click());
    QVERIFY(reporter.entries.isEmpty());
    QCOMPARE(window.log.first(), QStringLiteral("button Generierung Telefon-Nr. starten 0"));
    QCOMPARE(window.log.last(), QStringLiteral("button Fertig 0"));
    QCOMPARE(indexNumbers(setup.folder.udlVorsa()),
             drovo ? setup.drovoNumbers : setup.kundenNumbers);
    // The window's result set shows the rebuilt index.
    QCOMPARE(logic.indexRecordset()->recordCount(),
             (drovo ? setup.drovoNumbers : setup.kundenNumbers).size());
}

void TestTelNrGenerieren::otherApplicationOnlyFinishesTheButton_data()
{
    QTest::addColumn<QString>("application");
    QTest::newRow("empty") << "";
    QTest::newRow("another word") << "FAHRDIENST";
    QTest::newRow("with a blank") << "KUNDEN ";
    QTest::newRow("part of it") << "KUNDE";
}

void TestTelNrGenerieren::otherApplicationOnlyFinishesTheButton()
{
    QFETCH(QString, application);
    Setup setup(10, 10);
    RecordingIndexWindow window;
    RecordingReporter reporter;
    TelNrGenerieren logic(setup.folder.path(), reporter, window);
    logic.setApplication(application);
    QVERIFY(logic.load());
    window.log.clear();
    QVERIFY(logic.command1Click());
    QCOMPARE(window.log,
             (QStringList{"button Generierung Telefon-Nr. starten 0", "button Fertig 0"}));
    QVERIFY(reporter.entries.isEmpty());
    QCOMPARE(indexNumbers(setup.folder.udlVorsa()), kOldRows);
}

void TestTelNrGenerieren::missingServerDatabaseIsReportedAndBlocksTheStart()
{
    Setup setup(10, 10);
    QVERIFY(QFile::remove(setup.folder.udlVorsa()));
    RecordingIndexWindow window;
    RecordingReporter reporter;
    TelNrGenerieren logic(setup.folder.path(), reporter, window);
    logic.setApplication("KUNDEN");
    QVERIFY(!logic.load());
    QCOMPARE(reporter.procedures(), QStringList{"Form_Load"});
    QCOMPARE(reporter.entries.first().title, QStringLiteral("Fehler: 53"));
    QCOMPARE(window.log, QStringList{"button Generierung Telefon-Nr. starten 0"});
    // The address database was not touched, nothing else is reported.
    QVERIFY(!logic.command1Click());
    QCOMPARE(reporter.entries.size(), 1);
}

void TestTelNrGenerieren::unloadReleasesTheIndexConnection()
{
    Setup setup(5, 5);
    RecordingIndexWindow window;
    RecordingReporter reporter;
    TelNrGenerieren logic(setup.folder.path(), reporter, window);
    QVERIFY(logic.load());
    const QString name = logic.indexConnection()->database().connectionName();
    QVERIFY(QSqlDatabase::contains(name));
    logic.unload();
    QCOMPARE(window.log.last(), QStringLiteral("unbind"));
    QVERIFY(!QSqlDatabase::contains(name));
    QVERIFY(!logic.indexConnection());
}

void TestTelNrGenerieren::freshWindowShowsTheIndex()
{
    Setup setup(5, 5);
    RecordingReporter reporter;
    frmTelNrGenerieren dlg(setup.folder.path(), reporter, nullptr);
    dlg.setApplication("kunden");
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    QCOMPARE(dlg.windowTitle(), QStringLiteral("Telefonnummern generieren"));
    auto* button = dlg.findChild<QPushButton*>("Command1");
    auto* progress = dlg.findChild<QProgressBar*>("ProgressBar1");
    auto* grid = dlg.findChild<QTableView*>("DataGrid1");
    QVERIFY(button && progress && grid);
    QCOMPARE(button->text(), QStringLiteral("Generierung Telefon-Nr. starten"));
    QVERIFY(button->isEnabled());
    QVERIFY(!progress->isVisible());
    // Twips of the original form, 15 to a pixel.
    QCOMPARE(button->geometry(), QRect(6, 8, 197, 25));
    QCOMPARE(progress->geometry(), QRect(211, 8, 470, 25));
    QCOMPARE(grid->geometry().topLeft(), QPoint(6, 44));
    QVERIFY(grid->width() >= 677 && grid->height() >= 325);

    QVERIFY(grid->model());
    QCOMPARE(grid->model()->rowCount(), 2);
    QStringList headers;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        headers << grid->model()->headerData(c, Qt::Horizontal).toString().toLower();
    const int column = int(headers.indexOf("telefonnr"));
    QVERIFY(column >= 0);
    QCOMPARE(grid->model()->index(0, column).data().toString(), QStringLiteral("0521999"));
    QVERIFY(headers.contains(QString::fromUtf8("straße")));
    QVERIFY(reporter.entries.isEmpty());
}

void TestTelNrGenerieren::buildInTheWindowAndReopen()
{
    Setup setup(260, 5);
    RecordingReporter reporter;
    {
        frmTelNrGenerieren dlg(setup.folder.path(), reporter, nullptr);
        dlg.setApplication("KUNDEN");
        dlg.show();
        auto* button = dlg.findChild<QPushButton*>("Command1");
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("Fertig"));
        QVERIFY(!button->isEnabled());
        auto* progress = dlg.findChild<QProgressBar*>("ProgressBar1");
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->minimum(), 1);
        QCOMPARE(progress->maximum(), 260);
        QCOMPARE(progress->value(), 260);
        auto* grid = dlg.findChild<QTableView*>("DataGrid1");
        QVERIFY(grid->model());
        QCOMPARE(grid->model()->rowCount(), setup.kundenNumbers.size());
        dlg.accept();
        QVERIFY(!grid->model() || grid->model()->rowCount() == 0);
    }
    // Opened again: the rebuilt index and a start button ready for the next build.
    frmTelNrGenerieren again(setup.folder.path(), reporter, nullptr);
    again.setApplication("KUNDEN");
    again.show();
    auto* button = again.findChild<QPushButton*>("Command1");
    QVERIFY(button->isEnabled());
    QCOMPARE(button->text(), QStringLiteral("Generierung Telefon-Nr. starten"));
    QVERIFY(!again.findChild<QProgressBar*>("ProgressBar1")->isVisible());
    QCOMPARE(again.findChild<QTableView*>("DataGrid1")->model()->rowCount(),
             setup.kundenNumbers.size());
    QVERIFY(reporter.entries.isEmpty());
}

void TestTelNrGenerieren::windowStaysOpenWhileBuilding()
{
    Setup setup(150, 5);
    RecordingReporter reporter;
    frmTelNrGenerieren dlg(setup.folder.path(), reporter, nullptr);
    dlg.setApplication("KUNDEN");
    bool visibleAfterClose = false;
    int progressSeen = 0;
    auto tryToClose = [&] {
        progressSeen = dlg.findChild<QProgressBar*>("ProgressBar1")->value();
        dlg.close();
        dlg.reject();
        visibleAfterClose = dlg.isVisible();
    };
    // Once the window runs: press the start button; the close attempt waits
    // for the first progress point of the build, where events are handled.
    QTimer::singleShot(0, &dlg, [&] {
        QTimer::singleShot(0, &dlg, tryToClose);
        QTest::mouseClick(dlg.findChild<QPushButton*>("Command1"), Qt::LeftButton);
        dlg.accept();
    });
    QTimer::singleShot(10000, &dlg, [&] { dlg.done(0); });
    dlg.exec();
    QCOMPARE(progressSeen, 100);
    QVERIFY(visibleAfterClose);
    QCOMPARE(indexNumbers(setup.folder.udlVorsa()).size(), setup.kundenNumbers.size());
}

void TestTelNrGenerieren::callsDuringTheBuildIdentifyTheirCustomers_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("SQLite") << "sqlite";
    QTest::newRow("PostgreSQL") << "postgresql";
}

void TestTelNrGenerieren::callsDuringTheBuildIdentifyTheirCustomers()
{
    // The server takes calls while its own index window rebuilds the index
    // from the same customers: at every progress point three callers ring,
    // and each must be identified as the customer the index named before.
    QFETCH(QString, engine);
    ProgramFolder folder;
    const QString why = prepareIndex(folder, engine);
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    sampledata::generateKundenDatabase(folder.file("adressen.db"), 1500, 11);
    writeLines(folder.file("VorsaSrv.INI"),
               callerServerSettings({"LocalPort=" + QString::number(freePort())}));
    QVERIFY(buildIndexQuietly(folder.path()));
    const QList<QPair<QString, QString>> callers = callableNumbers(folder.udlVorsa(), 60);
    QCOMPARE(callers.size(), 60);

    ServerInFolder server(folder.path());
    RecordingReporter& reporter = server.reporter;
    ServerCore& core = server.core;
    core.Form_Load();
    ScriptedLine* line = server.line;
    QVERIFY(line);

    qsizetype next = 0;
    RecordingIndexWindow window;
    window.onEvents = [&] {
        for (int i = 0; i < 3 && next < callers.size(); ++i)
            line->ring(QStringLiteral("0521999"), callers.at(next++).first);
    };
    TelNrGenerieren logic(folder.path(), reporter, window);
    logic.setApplication("KUNDEN");
    QVERIFY(logic.load());
    QVERIFY(logic.command1Click());
    QCOMPARE(next, qsizetype(45)); // 15 progress points
    while (next < callers.size())
        line->ring(QStringLiteral("0521999"), callers.at(next++).first);

    QVERIFY2(reporter.entries.isEmpty(), qPrintable(reporter.procedures().join(',')));
    QFile log(folder.file("VorsaSvr.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QStringList answers;
    for (const QString& entry : QString::fromLatin1(log.readAll()).split("\r\n")) {
        if (!entry.startsWith("*D*"))
            continue;
        const QMap<QString, QString> f = notificationFields(entry.mid(3));
        answers << f.value("Anrufer") + " " + f.value("Icon") + " " + f.value("Kunde") + " " +
                       f.value("Versuche");
    }
    QStringList expected;
    for (const auto& [number, customer] : callers)
        expected << number + " 1 " + customer + " 0";
    QCOMPARE(answers, expected);
    core.Form_Unload();
}

void TestTelNrGenerieren::callAfterABuildFindsTheNewIndex_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("SQLite") << "sqlite";
    QTest::newRow("PostgreSQL") << "postgresql";
}

void TestTelNrGenerieren::callAfterABuildFindsTheNewIndex()
{
    // The server keeps its database connection open from call to call; a
    // build that ends on another connection is seen by the very next call.
    QFETCH(QString, engine);
    ProgramFolder folder;
    const QString why = prepareIndex(folder, engine);
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    sampledata::generateKundenDatabase(folder.file("adressen.db"), 300, 21);
    writeLines(folder.file("VorsaSrv.INI"),
               callerServerSettings({"LocalPort=" + QString::number(freePort())}));
    QVERIFY(buildIndexQuietly(folder.path()));
    const auto before = callableNumbers(folder.udlVorsa(), 300);

    ServerInFolder server(folder.path());
    RecordingReporter& reporter = server.reporter;
    ServerCore& core = server.core;
    core.Form_Load();
    ScriptedLine* line = server.line;
    QVERIFY(line);
    line->ring(QStringLiteral("0521999"), before.first().first); // opens the connection

    // Other customers; the index is built from them on a connection of its own.
    sampledata::generateKundenDatabase(folder.file("adressen.db"), 300, 22);
    QVERIFY(buildIndexQuietly(folder.path()));
    const auto after = callableNumbers(folder.udlVorsa(), 300);
    const QStringList indexed = indexNumbers(folder.udlVorsa());
    const QSet<QString> now(indexed.cbegin(), indexed.cend());
    QString gone;
    for (const auto& caller : before) {
        if (!now.contains(caller.first) && caller.first != before.first().first) {
            gone = caller.first;
            break;
        }
    }
    QVERIFY(!gone.isEmpty());
    line->ring(QStringLiteral("0521999"), after.first().first);
    line->ring(QStringLiteral("0521999"), gone);

    QVERIFY2(reporter.entries.isEmpty(), qPrintable(reporter.procedures().join(',')));
    QFile log(folder.file("VorsaSvr.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QStringList answers;
    for (const QString& entry : QString::fromLatin1(log.readAll()).split("\r\n")) {
        if (entry.startsWith("*D*")) {
            const QMap<QString, QString> f = notificationFields(entry.mid(3));
            answers << f.value("Anrufer") + " " + f.value("Icon") + " " + f.value("Kunde");
        }
    }
    QCOMPARE(answers,
             (QStringList{before.first().first + " 1 " + before.first().second,
                          after.first().first + " 1 " + after.first().second, gone + " 3 ***"}));
    core.Form_Unload();
}

void TestTelNrGenerieren::leftoverOfAKilledBuildIsDroppedOnOpening_data()
{
    QTest::addColumn<QString>("opening");
    QTest::addColumn<bool>("buildRunning");
    QTest::newRow("index window") << "window" << false;
    QTest::newRow("server start") << "server" << false;
    QTest::newRow("index window, a build running") << "window" << true;
    QTest::newRow("server start, a build running") << "server" << true;
}

void TestTelNrGenerieren::leftoverOfAKilledBuildIsDroppedOnOpening()
{
    QFETCH(QString, opening);
    QFETCH(bool, buildRunning);
    ProgramFolder folder;
    folder.createIndex();
    insertRows(folder.udlVorsa(), "TTelefonNr", {{{"TelefonNr", "0521999"}}});
    writeLines(folder.file("VorsaSrv.INI"),
               callerServerSettings({"LocalPort=" + QString::number(freePort())}));
    {
        db::Connection con;
        ProgramFolder::open(con, folder.udlVorsa());
        con.execute("CREATE TABLE TTelefonNr_Neu (TelefonNr TEXT)");
        con.execute("INSERT INTO TTelefonNr_Neu VALUES ('halb')");
    }
    // A build that runs now writes the table: it is no leftover. A killed
    // build left its lock file, unlocked.
    const QString lockFile = SqliteIndexWriter::lockFileFor(folder.file("vorsa.db"));
    FileLock running(lockFile);
    if (buildRunning)
        QCOMPARE(running.tryLock(), FileLock::Result::Locked);
    else
        writeLines(lockFile, {"4242 andererhost"});

    if (opening == QLatin1String("window")) {
        RecordingIndexWindow window;
        RecordingReporter reporter;
        TelNrGenerieren logic(folder.path(), reporter, window);
        logic.setApplication("KUNDEN");
        QVERIFY(logic.load());
        QVERIFY(reporter.entries.isEmpty());
    } else {
        ServerInFolder server(folder.path());
        server.core.Form_Load();
        QVERIFY2(server.reporter.entries.isEmpty(),
                 qPrintable(server.reporter.procedures().join(',')));
        server.core.Form_Unload();
    }

    db::Connection con;
    ProgramFolder::open(con, folder.udlVorsa());
    db::Recordset tables;
    tables.open("SELECT name FROM sqlite_master WHERE name = 'TTelefonNr_Neu'", con);
    QCOMPARE(tables.recordCount(), buildRunning ? 1 : 0);
    QCOMPARE(indexNumbers(folder.udlVorsa()), QStringList{"0521999"});
}

QTEST_MAIN(TestTelNrGenerieren)
#include "tst_telnrgenerieren.moc"
