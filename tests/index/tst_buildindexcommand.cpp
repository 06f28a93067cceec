// The rebuild without a window, as cron runs it next to a serving server.

#include "indexfixture.h"

#include "serverfixture.h"
#include "serverprocess.h"

#include "addresses.h"
#include "index/buildindexcommand.h"
#include "ini.h"
#include "reporter.h"

#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
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
    void secondServerIdentifiesCallersDuringTheBuild_data();
    void secondServerIdentifiesCallersDuringTheBuild();
    void killedBuildLeavesTheOldIndex_data();
    void killedBuildLeavesTheOldIndex();
    void cleanupTestCase() { releaseSharedPg(); }
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

namespace {

QString serverBinary()
{
    return buildPath(QStringLiteral("server/VorsaSrv"));
}

// "VorsaSrv --build-index" in a process of its own; its output is kept for
// the test to read.
void startBuild(QProcess& build, const QString& dir)
{
    build.start(serverBinary(), {QStringLiteral("--dir"), dir, QStringLiteral("--build-index")});
}

// A program folder with customers, the index built from them, and the
// settings of a server that identifies callers on the simulated line.
struct ServingFolder {
    explicit ServingFolder(const QString& engine) { skip = prepareIndex(folder, engine); }
    bool fill(int customers, unsigned seed)
    {
        port = freePort();
        writeLines(folder.file("VorsaSrv.INI"),
                   callerServerSettings({"Line=SIM", "LocalPort=" + QString::number(port)}));
        numbers = sampledata::generateKundenDatabase(folder.file("adressen.db"), customers, seed);
        return buildIndexQuietly(folder.path());
    }
    ProgramFolder folder;
    QString skip;
    quint16 port = 0;
    QStringList numbers;
};

} // namespace

void TestBuildIndexCommand::secondServerIdentifiesCallersDuringTheBuild_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("SQLite") << "sqlite";
    QTest::newRow("PostgreSQL") << "postgresql";
}

void TestBuildIndexCommand::secondServerIdentifiesCallersDuringTheBuild()
{
    // A server serves calls while cron rebuilds its index from the same
    // customers in another process: every caller is identified as the
    // customer the index named before, during the build and after it.
    QFETCH(QString, engine);
    ServingFolder serving(engine);
    if (!serving.skip.isEmpty())
        QSKIP(qPrintable(serving.skip));
    QVERIFY(serving.fill(20000, 21));
    // Every caller once: a repeat within the repeat window gets no line.
    const QList<QPair<QString, QString>> callers =
        callableNumbers(serving.folder.udlVorsa(), 20000);
    QVERIFY(callers.size() > 5000);

    ServerProcess server(serving.folder.path());
    const QString notStarted = server.start(serving.port);
    QVERIFY2(notStarted.isEmpty(), qPrintable(notStarted));
    const std::unique_ptr<QTcpSocket> connected = server.connectClient("test");
    QVERIFY(connected);
    QTcpSocket& client = *connected;

    QProcess build;
    startBuild(build, serving.folder.path());
    QVERIFY(build.waitForStarted());
    int duringBuild = 0;
    int afterBuild = 0;
    QStringList wrong;
    QByteArray received;
    for (const auto& [number, customer] : callers) {
        const bool building = build.state() != QProcess::NotRunning;
        QVERIFY(server.inject("0521999", number));
        while (!received.contains('\r')) {
            QVERIFY2(client.waitForReadyRead(5000), "no line for a call");
            received += client.readAll();
        }
        const qsizetype end = received.indexOf('\r');
        const QMap<QString, QString> f =
            notificationFields(QString::fromLatin1(received.left(end)));
        received.remove(0, end + 1);
        if (f.value("Anrufer") != number || f.value("Kunde") != customer || f.value("Icon") != "1")
            wrong << number + " -> " + f.value("Kunde") + " (Icon " + f.value("Icon") + ")";
        ++(building ? duringBuild : afterBuild);
        build.waitForFinished(0);
        if (!building && afterBuild >= 20)
            break;
    }
    if (build.state() != QProcess::NotRunning)
        QVERIFY(build.waitForFinished(60000));
    QCOMPARE(build.exitStatus(), QProcess::NormalExit);
    QCOMPARE(build.exitCode(), 0);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.mid(0, 10).join("; ")));
    QVERIFY2(duringBuild >= 5, qPrintable(QString::number(duringBuild)));
    QVERIFY(afterBuild >= 1);
    QCOMPARE(indexNumbers(serving.folder.udlVorsa()), serving.numbers);

    QVERIFY(server.stop());
}

void TestBuildIndexCommand::killedBuildLeavesTheOldIndex_data()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("SQLite") << "sqlite";
    QTest::newRow("PostgreSQL") << "postgresql";
}

void TestBuildIndexCommand::killedBuildLeavesTheOldIndex()
{
    QFETCH(QString, engine);
    ServingFolder serving(engine);
    if (!serving.skip.isEmpty())
        QSKIP(qPrintable(serving.skip));
    QVERIFY(serving.fill(20000, 31));
    const QStringList before = indexNumbers(serving.folder.udlVorsa());
    QCOMPARE(before, serving.numbers);
    // The next build would write other numbers.
    const QStringList next =
        sampledata::generateKundenDatabase(serving.folder.file("adressen.db"), 20000, 32);

    QProcess build;
    startBuild(build, serving.folder.path());
    QVERIFY(build.waitForStarted());
    build.setReadChannel(QProcess::StandardError);
    QByteArray output;
    while (!output.contains(" von ")) {
        QVERIFY2(build.waitForReadyRead(30000), output.constData());
        output += build.readAll();
    }
    build.kill();
    QVERIFY(build.waitForFinished(10000));
    QCOMPARE(build.exitStatus(), QProcess::CrashExit);
    QVERIFY2(!output.contains("fertig"), "the build ended before it could be killed");

    QCOMPARE(indexNumbers(serving.folder.udlVorsa()), before);
    if (engine == QLatin1String("postgresql")) {
        // The server ends the killed build's transaction once it sees the
        // connection closed.
        db::Connection con;
        ProgramFolder::open(con, serving.folder.udlVorsa());
        auto transactions = [&] {
            db::Recordset rs;
            rs.open("SELECT COUNT(*) FROM pg_stat_activity WHERE backend_type = 'client backend' "
                    "AND xact_start IS NOT NULL AND pid <> pg_backend_pid()",
                    con);
            return rs.value(0).toInt();
        };
        QTRY_COMPARE_WITH_TIMEOUT(transactions(), 0, 10000);
    }
    // The next build is not hindered by what the killed one left.
    startBuild(build, serving.folder.path());
    QVERIFY(build.waitForFinished(60000));
    QCOMPARE(build.exitCode(), 0);
    QCOMPARE(indexNumbers(serving.folder.udlVorsa()), next);
}

QTEST_GUILESS_MAIN(TestBuildIndexCommand)
#include "tst_buildindexcommand.moc"
