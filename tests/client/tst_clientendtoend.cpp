// The client against a real call server on loopback: the headless server with
// the simulated line and a demo database, calls injected from outside.
#include "clientfixture.h"
#include "ini.h"
#include "serverprocess.h"
#include "testfiles.h"

#include <QDir>
#include <QProcess>

using namespace vorsa;
using namespace vorsa::test;

namespace {
// The server's program folder with the demo database, and the running server.
struct Server {
    QTemporaryDir dir;
    ServerProcess process{dir.path()};
    quint16 port = freePort();
    QStringList numbers; // known callers of the demo database

    bool setUp()
    {
        QProcess setup;
        setup.start(buildPath("tools/demo-setup/vorsa-demo-setup"),
                    {"--dir", dir.path(), "--customers", "40"});
        if (!setup.waitForFinished(60000) || setup.exitCode() != 0)
            return false;
        IniSchreiben("Settings", "LocalPort", dir.filePath("VorsaSrv.INI"), QString::number(port));
        QFile calls(dir.filePath("demo-calls.txt"));
        if (!calls.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : calls.readAll().split('\n')) {
            if (!line.isEmpty() && line.at(0) >= '0' && line.at(0) <= '9')
                numbers << QString::fromLatin1(line);
        }
        return numbers.size() >= 3;
    }
    bool start() { return process.start(port).isEmpty(); }
    bool call(const QString& calling)
    {
        return QProcess::execute(buildPath("tools/vorsa-call/vorsa-call"),
                                 {"--dir", dir.path(), "0521999", calling}) == 0;
    }
};

// The client's fields as the demo server defines them.
const QByteArray kFields = "[Feld1]\r\nFieldName=Datum\r\nColumnName=Datum\r\nColumnWidth="
                           "1500\r\nColumnFormat=hh:mm  dd.mm.yy\r\n"
                           "[Feld2]\r\nFieldName=Anrufer\r\nColumnName=Anrufer\r\n"
                           "[Feld3]\r\nFieldName=Name\r\nColumnName=Name\r\n"
                           "[Feld4]\r\nFieldName=Ort\r\nColumnName=Ort\r\n"
                           "[Feld5]\r\nFieldName=Versuche\r\nColumnName=Versuche\r\n";
} // namespace

class ClientEndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void injectedCallsAppearAndTheJournalIsReplayed();
    void clientStartedWithTheServerDownConnectsLater();
    void serverRestartUnderAConnectedClient();
};

void ClientEndToEndTest::initTestCase()
{
    for (const char* program :
         {"server/VorsaSrv", "tools/vorsa-call/vorsa-call", "tools/demo-setup/vorsa-demo-setup"}) {
        if (!QFileInfo(buildPath(program)).isExecutable())
            QSKIP(qPrintable(QStringLiteral("%1 is not built").arg(program)));
    }
}

void ClientEndToEndTest::injectedCallsAppearAndTheJournalIsReplayed()
{
    Server server;
    QVERIFY(server.setUp());
    QVERIFY(server.start());

    ClientFixture f;
    f.writeIni(
        "[Settings]\r\nRemoteHost=127.0.0.1\r\nRemotePort=" + QByteArray::number(server.port) +
        "\r\nTopmostByCall=1\r\nTopmost=0\r\n" + kFields + f.iconSection(3));
    CallClient& client = f.load();
    QVERIFY(QTest::qWaitFor([&] { return client.menus().aktualisierenEnabled; }, 5000));

    QVERIFY(server.call(server.numbers[0]));
    QVERIFY(QTest::qWaitFor([&] { return client.model().rowCount() == 1; }, 10000));
    QCOMPARE(client.model().rowIcon(0), 1); // identified
    const QStringList first = client.model().rowCells(0);
    QCOMPARE(first.size(), 5);
    QVERIFY(
        QRegularExpression("^\\d\\d:\\d\\d  \\d\\d\\.\\d\\d\\.\\d\\d$").match(first[0]).hasMatch());
    QVERIFY(!first[2].isEmpty()); // the customer's name
    QVERIFY(client.txtOutput().contains(first[2]));
    QVERIFY(f.desktop.beeps >= 1);

    QVERIFY(server.call("08912345678")); // nobody in the database
    QVERIFY(QTest::qWaitFor([&] { return client.model().rowCount() == 2; }, 10000));
    QCOMPARE(client.model().rowIcon(0), 3);
    QVERIFY(server.call(server.numbers[1]));
    QVERIFY(QTest::qWaitFor([&] { return client.model().rowCount() == 3; }, 10000));
    const QStringList newest = client.model().rowCells(0);

    client.mnuAlles_Click();
    QCOMPARE(client.model().rowCount(), 0);
    QVERIFY(QTest::qWaitFor([&] { return client.model().rowCount() == 3; }, 10000));
    QTest::qWait(200);
    QCOMPARE(client.model().rowCount(), 3); // a replayed line looks like a live one
    QCOMPARE(client.model().rowCells(0), newest);
    QCOMPARE(client.model().rowCells(2), first);

    client.mnuHeute_Click();
    QCOMPARE(client.model().rowCount(), 0);
    QVERIFY(QTest::qWaitFor([&] { return client.model().rowCount() == 3; }, 10000));
    QTest::qWait(200);
    QCOMPARE(client.model().rowCount(), 3);
    QVERIFY(f.reporter.entries.isEmpty());
}

void ClientEndToEndTest::clientStartedWithTheServerDownConnectsLater()
{
    Server server;
    QVERIFY(server.setUp());
    ClientFixture f;
    f.writeIni("[Settings]\r\nRemoteHost=127.0.0.1\r\nRemotePort=" +
               QByteArray::number(server.port) + "\r\n" + kFields);
    CallClient& client = f.load();
    QVERIFY(QTest::qWaitFor([&] { return !f.reporter.entries.isEmpty(); }, 5000));
    QCOMPARE(f.reporter.procedures(), QStringList{"Verbinden Vorsamelder"});
    QVERIFY(client.menus().verbindenEnabled);

    QVERIFY(server.start());
    client.mnuVerbinden_Click();
    QVERIFY(QTest::qWaitFor([&] { return client.menus().aktualisierenEnabled; }, 5000));
    QVERIFY(!client.menus().verbindenEnabled);
    QVERIFY(server.call(server.numbers[2]));
    QVERIFY(QTest::qWaitFor([&] { return client.model().rowCount() == 1; }, 10000));
    QCOMPARE(f.reporter.entries.size(), 1);
}

void ClientEndToEndTest::serverRestartUnderAConnectedClient()
{
    Server server;
    QVERIFY(server.setUp());
    QVERIFY(server.start());
    ClientFixture f;
    f.writeIni("[Settings]\r\nRemoteHost=127.0.0.1\r\nRemotePort=" +
               QByteArray::number(server.port) + "\r\nTopmost=0\r\n" + kFields);
    f.make().setReconnectUnitMs(250);
    f.client->Form_Load();
    CallClient& client = *f.client;
    QVERIFY(QTest::qWaitFor([&] { return client.connectionState() == u"verbunden"; }, 5000));
    QVERIFY(server.call(server.numbers[0]));
    QVERIFY(QTest::qWaitFor([&] { return client.model().rowCount() == 1; }, 10000));

    // A nightly restart: the server goes away and comes back on its port.
    QVERIFY(server.process.stop());
    QVERIFY(
        QTest::qWaitFor([&] { return client.connectionState().startsWith(u"getrennt"); }, 5000));
    QVERIFY(server.start());
    QVERIFY(QTest::qWaitFor([&] { return client.connectionState() == u"verbunden"; }, 15000));
    QVERIFY(server.call(server.numbers[1]));
    QVERIFY(QTest::qWaitFor([&] { return client.model().rowCount() == 2; }, 10000));
    QVERIFY(f.reporter.entries.isEmpty());
}

QTEST_GUILESS_MAIN(ClientEndToEndTest)
#include "tst_clientendtoend.moc"
