// The rebuild without a window, as cron runs it next to a serving server.

#include "indexfixture.h"

#include "addresses.h"
#include "index/buildindexcommand.h"
#include "ini.h"
#include "reporter.h"

#include <QTest>
#include <atomic>
#include <thread>

using namespace vorsa;
using namespace vorsa::test;

class TestBuildIndexCommand : public QObject {
    Q_OBJECT
private slots:
    void exitStatusTellsHowTheBuildEnded_data();
    void exitStatusTellsHowTheBuildEnded();
    void buildRunsWhileTheServerServesCalls();
};

void TestBuildIndexCommand::exitStatusTellsHowTheBuildEnded_data()
{
    QTest::addColumn<QString>("application"); // "-" writes no key
    QTest::addColumn<bool>("addressDatabase");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // start of the first message, empty: none
    QTest::newRow("kunden in lower case") << "kunden" << true << 0 << "";
    QTest::newRow("KUNDEN") << "KUNDEN" << true << 0 << "";
    QTest::newRow("no address database") << "KUNDEN" << false << 1 << "[KUNDEN_Verarbeitung]";
    QTest::newRow("other word") << "Taxi" << true << 2 << "Telefonnummern generieren:";
    QTest::newRow("no key") << "-" << true << 2 << "Telefonnummern generieren:";
}

void TestBuildIndexCommand::exitStatusTellsHowTheBuildEnded()
{
    QFETCH(QString, application);
    QFETCH(bool, addressDatabase);
    QFETCH(int, status);
    QFETCH(QString, message);

    ProgramFolder folder;
    folder.createIndex();
    insertRows(folder.udlVorsa(), "TTelefonNr", {{{"TelefonNr", "0521999"}}});
    QStringList expected{"0521999"};
    if (addressDatabase)
        expected = sampledata::generateKundenDatabase(folder.file("adressen.db"), 120);
    else
        QVERIFY(QFile::remove(folder.udlAdressen()));
    if (application != QLatin1String("-"))
        IniSchreiben("Settings", "Application", folder.file("VorsaSrv.INI"), application);

    RecordingReporter reporter;
    QCOMPARE(runBuildIndex(folder.path(), reporter), status);
    if (message.isEmpty()) {
        QVERIFY(reporter.entries.isEmpty());
    } else {
        QVERIFY(!reporter.entries.isEmpty());
        QVERIFY2(reporter.entries.first().text.startsWith(message),
                 qPrintable(reporter.entries.first().text));
    }
    if (status == 0)
        QCOMPARE(indexNumbers(folder.udlVorsa()), expected);
    else if (status == 2)
        QCOMPARE(indexNumbers(folder.udlVorsa()), QStringList{"0521999"});
}

void TestBuildIndexCommand::buildRunsWhileTheServerServesCalls()
{
    ProgramFolder folder;
    folder.createIndex();
    const QStringList expected =
        sampledata::generateKundenDatabase(folder.file("adressen.db"), 5000);
    IniSchreiben("Settings", "Application", folder.file("VorsaSrv.INI"), "KUNDEN");

    // The serving server: its own connection, opened for each call, looking
    // numbers up and booking rides, as fast as it can while the build runs.
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    std::atomic<int> failures{0};
    std::thread server([&] {
        while (!stop) {
            const bool ok = ignoringErrors([&] {
                db::Connection con;
                ProgramFolder::open(con, folder.udlVorsa());
                db::Recordset lookup;
                lookup.open(QStringLiteral("SELECT * FROM TTelefonNr WHERE TelefonNr LIKE '%1%'")
                                .arg(expected.value(calls % expected.size()).left(6)),
                            con);
                con.execute("INSERT INTO TFvFahrten (FaKdSuch) VALUES ('ANRUF')");
            });
            if (!ok)
                ++failures;
            ++calls;
        }
    });

    RecordingReporter reporter;
    const int status = runBuildIndex(folder.path(), reporter);
    stop = true;
    server.join();

    QCOMPARE(status, 0);
    QVERIFY(reporter.entries.isEmpty());
    QCOMPARE(failures.load(), 0);
    QVERIFY(calls > 0);
    QCOMPARE(indexNumbers(folder.udlVorsa()), expected);
    db::Connection con;
    ProgramFolder::open(con, folder.udlVorsa());
    db::Recordset rides;
    rides.open("SELECT * FROM TFvFahrten", con);
    QCOMPARE(rides.recordCount(), calls.load());
}

QTEST_GUILESS_MAIN(TestBuildIndexCommand)
#include "tst_buildindexcommand.moc"
