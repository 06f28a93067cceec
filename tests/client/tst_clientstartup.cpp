// Start-up and close of the call client: the INI file's keys, defaults,
// write-backs and failures.
#include "clientfixture.h"
#include "ini.h"

using namespace vorsa;
using namespace vorsa::test;

namespace {
QString ini(const ClientFixture& f, const char* section, const char* key,
            const char* def = "<none>")
{
    return IniLesen(QString::fromLatin1(section), QString::fromLatin1(key), f.iniPath(),
                    QString::fromLatin1(def));
}
} // namespace

class ClientStartupTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartWritesEverySettingAndTheFixedColumns();
    void statusLineNamesHostServerPortAndVersion();
    void topmostSecReadings_data();
    void topmostSecReadings();
    void foregroundOptionReadings_data();
    void foregroundOptionReadings();
    void remotePortZeroBecomesDefaultAndIsWrittenBack();
    void remotePortNotANumberSkipsTheRemainingSettings_data();
    void remotePortNotANumberSkipsTheRemainingSettings();
    void autoStartDecidesTheConnectAtLoad_data();
    void autoStartDecidesTheConnectAtLoad();
    void externProgramIsReadAndNeverWritten();
    void closeStoresTheChangedForegroundOptions();
    void placementFailureEndsTheLoad();
    void closeEndsTheConnection();
};

void ClientStartupTest::firstStartWritesEverySettingAndTheFixedColumns()
{
    ClientFixture f;
    // Without an INI file the client connects to its own host; keep that off the network.
    f.make();
    f.client->Form_Load();
    QVERIFY(f.reporter.entries.isEmpty());
    QCOMPARE(ini(f, "Settings", "RemoteHost"), QStringLiteral("platz7"));
    QCOMPARE(ini(f, "Settings", "RemotePort"), QStringLiteral("1001"));
    QCOMPARE(ini(f, "Settings", "Topmost"), QStringLiteral("1"));
    QCOMPARE(ini(f, "Settings", "TopmostByCall"), QStringLiteral("1"));
    QCOMPARE(ini(f, "Settings", "TopmostSec"), QStringLiteral("3"));
    QCOMPARE(ini(f, "Settings", "AutoStart"), QStringLiteral("<none>"));
    QCOMPARE(ini(f, "Settings", "TLS"), QStringLiteral("0"));
    for (const char* key : {"TLSZertifizierungsstelle", "TLSZertifikat", "TLSSchluessel"})
        QCOMPARE(ini(f, "Settings", key), QString());
    QCOMPARE(f.client->settings().TopmostSec, 3);
    QVERIFY(f.client->menus().immerImVordergrundChecked);
    QVERIFY(f.client->menus().beiAnrufInVordergrundChecked);
    QVERIFY(!f.client->menus().aktualisierenEnabled);
    // Topmost applied at load: above the others, shown without focus.
    QCOMPARE(f.window.calls.mid(0, 2), (QStringList{"keepAbove:1", "show"}));

    QCOMPARE(f.client->model().columnCount(), 3);
    f.client->Form_Unload({}, f.client->fields().configuredColumns());
    const char* names[] = {"Datum", "Anrufer", "Versuche"};
    for (int i = 0; i < 3; ++i) {
        const QByteArray section = "Feld" + QByteArray::number(i + 1);
        QCOMPARE(ini(f, section, "FieldName"), QString::fromLatin1(names[i]));
        QCOMPARE(ini(f, section, "ColumnName"), QString::fromLatin1(names[i]));
        QCOMPARE(ini(f, section, "ColumnWidth"), QStringLiteral("100"));
        QCOMPARE(ini(f, section, "ColumnVisible"), QStringLiteral("1"));
    }
    QCOMPARE(ini(f, "Feld1", "ColumnFormat"), QStringLiteral("hh:mm  dd.mm.yy"));
    QCOMPARE(ini(f, "Feld4", "FieldName"), QStringLiteral("<none>"));
    QCOMPARE(ini(f, "ExternProgramm", "Path"), QStringLiteral("<none>"));
}

void ClientStartupTest::statusLineNamesHostServerPortAndVersion()
{
    ClientFixture f;
    f.writeIni("[Settings]\r\nRemoteHost=zentrale\r\nRemotePort=4711\r\nAutoStart=0\r\n");
    f.load();
    QVERIFY(f.client->statusText().startsWith(
        "[Computername: platz7]  [RemoteHost: zentrale]  [RemotePort: 4711]  [Version: "));
    QVERIFY(
        f.client->statusText().contains(QRegularExpression("\\[Version: \\d+\\.\\d+\\.\\d+\\]$")));
}

void ClientStartupTest::topmostSecReadings_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("written");
    QTest::newRow("missing: 3, written") << QByteArray() << 3 << "3";
    QTest::newRow("empty: 0") << QByteArray("TopmostSec=\r\n") << 0 << "";
    QTest::newRow("2.5 rounds to even") << QByteArray("TopmostSec=2.5\r\n") << 2 << "2.5";
    QTest::newRow("3.5 rounds to even") << QByteArray("TopmostSec=3.5\r\n") << 4 << "3.5";
    QTest::newRow("no number: 0") << QByteArray("TopmostSec=abc\r\n") << 0 << "abc";
    QTest::newRow("leading number") << QByteArray("TopmostSec= 1 5 s\r\n") << 15 << "1 5 s";
    QTest::newRow("negative") << QByteArray("TopmostSec=-4\r\n") << -4 << "-4";
}

void ClientStartupTest::topmostSecReadings()
{
    QFETCH(QByteArray, line);
    QFETCH(int, seconds);
    QFETCH(QString, written);
    ClientFixture f;
    f.writeIni("[Settings]\r\nAutoStart=0\r\n" + line);
    f.load();
    QVERIFY(f.reporter.entries.isEmpty());
    QCOMPARE(f.client->settings().TopmostSec, seconds);
    QCOMPARE(ini(f, "Settings", "TopmostSec"), written);
}

void ClientStartupTest::foregroundOptionReadings_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("written");
    QTest::newRow("0") << QByteArray("0") << false << "0";
    QTest::newRow("1") << QByteArray("1") << true << "1";
    QTest::newRow("wahr") << QByteArray("wahr") << true << "wahr";
    QTest::newRow("e occurs in Yes") << QByteArray("e") << true << "e";
    QTest::newRow("nein") << QByteArray("nein") << false << "nein";
    QTest::newRow("empty: on, written") << QByteArray("") << true << "1";
}

void ClientStartupTest::foregroundOptionReadings()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, on);
    QFETCH(QString, written);
    ClientFixture f;
    f.writeIni("[Settings]\r\nAutoStart=0\r\nTopmost=" + value + "\r\nTopmostByCall=" + value +
               "\r\n");
    f.load();
    QCOMPARE(f.client->settings().Topmost, on);
    QCOMPARE(f.client->settings().TopmostByCall, on);
    QCOMPARE(f.client->menus().immerImVordergrundChecked, on);
    QCOMPARE(f.client->menus().beiAnrufInVordergrundChecked, on);
    QCOMPARE(f.window.keepAbove, on);
    QCOMPARE(ini(f, "Settings", "Topmost"), written);
    QCOMPARE(ini(f, "Settings", "TopmostByCall"), written);
}

void ClientStartupTest::remotePortZeroBecomesDefaultAndIsWrittenBack()
{
    ClientFixture f;
    f.writeIni("[Settings]\r\nAutoStart=0\r\nRemoteHost=zentrale\r\nRemotePort=0\r\n");
    f.load();
    QCOMPARE(f.client->settings().RemotePort, 1001);
    QCOMPARE(f.client->settings().RemoteHost, QStringLiteral("zentrale"));
    QCOMPARE(ini(f, "Settings", "RemotePort"), QStringLiteral("1001"));
    QCOMPARE(ini(f, "Settings", "RemoteHost"), QStringLiteral("zentrale"));
}

void ClientStartupTest::remotePortNotANumberSkipsTheRemainingSettings_data()
{
    QTest::addColumn<QByteArray>("port");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("text") << QByteArray("zehn");
}

void ClientStartupTest::remotePortNotANumberSkipsTheRemainingSettings()
{
    QFETCH(QByteArray, port);
    ClientFixture f;
    f.writeIni(
        "[Settings]\r\nAutoStart=0\r\nRemotePort=" + port +
        "\r\nTopmost=1\r\nTopmostByCall=1\r\nTopmostSec=9\r\n[Feld1]\r\nFieldName=KdName\r\n");
    f.load();
    QCOMPARE(f.reporter.procedures(), QStringList{"EinlesenParameterAllgemein"});
    QCOMPARE(f.reporter.entries[0].title, QStringLiteral("Fehler: 13"));
    QVERIFY(!f.client->settings().Topmost);
    QVERIFY(!f.client->settings().TopmostByCall);
    QCOMPARE(f.client->settings().TopmostSec, 0);
    QVERIFY(!f.client->menus().immerImVordergrundChecked);
    QVERIFY(f.client->statusText().isEmpty());
    // The load goes on with the fields.
    QCOMPARE(f.client->model().columnCount(), 4);

    // Options that were never read are not overwritten at close.
    f.client->Form_Unload({}, f.client->fields().configuredColumns());
    QCOMPARE(ini(f, "Settings", "Topmost"), QStringLiteral("1"));
    QCOMPARE(ini(f, "Settings", "TopmostByCall"), QStringLiteral("1"));
    QCOMPARE(ini(f, "Feld1", "FieldName"), QStringLiteral("KdName"));
}

void ClientStartupTest::autoStartDecidesTheConnectAtLoad_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("connects");
    QTest::addColumn<bool>("reported");
    QTest::newRow("missing") << QByteArray() << true << false;
    QTest::newRow("-1") << QByteArray("AutoStart=-1\r\n") << true << false;
    QTest::newRow("True") << QByteArray("AutoStart=True\r\n") << true << false;
    QTest::newRow("5") << QByteArray("AutoStart=5\r\n") << true << false;
    QTest::newRow("0") << QByteArray("AutoStart=0\r\n") << false << false;
    QTest::newRow("False") << QByteArray("AutoStart=False\r\n") << false << false;
    QTest::newRow("empty") << QByteArray("AutoStart=\r\n") << false << true;
    QTest::newRow("ja is not strict") << QByteArray("AutoStart=ja\r\n") << false << true;
}

void ClientStartupTest::autoStartDecidesTheConnectAtLoad()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, connects);
    QFETCH(bool, reported);
    FakeServer server;
    ClientFixture f;
    f.writeIni(server.portSettings() + line);
    f.load();
    QCOMPARE(f.reporter.hasProcedure("Form_Load"), reported);
    if (connects) {
        QVERIFY(server.waitForReceived("HN:platz7"));
        QVERIFY(!f.client->menus().verbindenEnabled);
        QVERIFY(f.client->menus().aktualisierenEnabled);
    } else {
        QTest::qWait(50);
        QVERIFY(server.peer == nullptr);
        QCOMPARE(f.client->socketState(), QAbstractSocket::UnconnectedState);
    }
    // Steps before the automatic connect are done in any case.
    QCOMPARE(f.client->model().columnCount(), 3);
}

void ClientStartupTest::externProgramIsReadAndNeverWritten()
{
    ClientFixture f;
    f.writeIni("[Settings]\r\nAutoStart=0\r\n[ExternProgramm]\r\nPath=/opt/dispo/bin/dispo -k\r\n");
    f.load();
    QCOMPARE(f.client->settings().Path, QStringLiteral("/opt/dispo/bin/dispo -k"));
    QCOMPARE(f.client->settings().Field, QString());
    f.client->Form_Unload({}, f.client->fields().configuredColumns());
    QCOMPARE(ini(f, "ExternProgramm", "Field"), QStringLiteral("<none>"));
}

void ClientStartupTest::closeStoresTheChangedForegroundOptions()
{
    ClientFixture f;
    f.writeIni("[Settings]\r\nAutoStart=0\r\nTopmost=0\r\nTopmostByCall=ja\r\n");
    f.load();
    f.client->mnuImmerImVordergrund_Click();
    bool placementSaved = false;
    f.client->Form_Unload([&] { placementSaved = true; }, f.client->fields().configuredColumns());
    QVERIFY(placementSaved);
    QCOMPARE(ini(f, "Settings", "Topmost"), QStringLiteral("1"));
    QCOMPARE(ini(f, "Settings", "TopmostByCall"), QStringLiteral("0"));
    QCOMPARE(f.client->fields().size(), 0);
}

void ClientStartupTest::placementFailureEndsTheLoad()
{
    FakeServer server;
    ClientFixture f;
    f.writeIni(server.portSettings() + "Topmost=1\r\n");
    f.make().Form_Load([] { throw VbError::typeMismatch(); });
    QCOMPARE(f.reporter.procedures(), QStringList{"Form_Load"});
    QCOMPARE(f.client->fields().size(), 0);
    QCOMPARE(f.client->model().columnCount(), 0);
    QVERIFY(f.window.calls.isEmpty());
    QTest::qWait(50);
    QVERIFY(server.peer == nullptr); // no automatic connect
    // Nothing was read, so nothing of the user's is overwritten at close.
    f.client->Form_Unload({}, f.client->fields().configuredColumns());
    QCOMPARE(ini(f, "Settings", "Topmost"), QStringLiteral("1"));
    QCOMPARE(ini(f, "Feld1", "FieldName"), QStringLiteral("<none>"));
}

void ClientStartupTest::closeEndsTheConnection()
{
    FakeServer server;
    ClientFixture f;
    f.writeIni(server.portSettings());
    f.load();
    QVERIFY(server.waitForReceived("HN:platz7"));
    QSignalSpy closed(server.peer, &QTcpSocket::disconnected);
    f.client->Form_Unload({}, f.client->fields().configuredColumns());
    QCOMPARE(f.client->socketState(), QAbstractSocket::UnconnectedState);
    QVERIFY(closed.count() > 0 || closed.wait(5000));
    QVERIFY(f.reporter.entries.isEmpty());
}

QTEST_GUILESS_MAIN(ClientStartupTest)
#include "tst_clientstartup.moc"
