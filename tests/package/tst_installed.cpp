// The programs as the Debian packages install them, run from the root they
// were installed or unpacked into (VORSA_INSTALL_ROOT; "/" for the machine
// itself): the server from its unit's command line, the client, the report
// program on a session bus, the customer program, and another project built
// against the libraries. Run by tests/package/package-test.sh.
#include "ini.h"
#include "privatebus.h"
#include "testfiles.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace vorsa;
using vorsa::test::buildPath;
using vorsa::test::freePort;

namespace {

QString root()
{
    return qEnvironmentVariable("VORSA_INSTALL_ROOT");
}

// A path of the installed system inside the root.
QString installed(const QString& path)
{
    return QDir::cleanPath(root() + QLatin1Char('/') + path);
}

QString libDir()
{
    return qEnvironmentVariable("VORSA_INSTALL_LIBDIR", QStringLiteral("/usr/lib"));
}

// Where the installed programs find the packages' libraries and plugins: the
// root's own folders, with a home of the test's.
QProcessEnvironment installedEnvironment(const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (root() != QLatin1String("/")) {
        env.insert(QStringLiteral("LD_LIBRARY_PATH"), installed(libDir()));
        env.insert(QStringLiteral("QT_PLUGIN_PATH"), installed(libDir() + "/qt6/plugins"));
    }
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    return env;
}

// The command line of the server's unit, split at blanks (it quotes nothing).
QStringList unitCommand(QString* error)
{
    const QString path = installed(QStringLiteral("/lib/systemd/system/vorsasrvd.service"));
    QFile unit(path);
    if (!unit.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(" fehlt");
        return {};
    }
    const QString text = QString::fromUtf8(unit.readAll());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^ExecStart=(.+)$"), QRegularExpression::MultilineOption)
            .match(text);
    if (!m.hasMatch()) {
        *error = QStringLiteral("keine Zeile ExecStart");
        return {};
    }
    return m.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

void stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(10000))
        process.kill();
    process.waitForFinished(2000);
}

// Reads from the socket until a CR-ended line holds `text`.
bool waitForLine(QTcpSocket& socket, QByteArray& received, const QByteArray& text)
{
    return QTest::qWaitFor(
        [&] {
            received += socket.readAll();
            return received.contains(text) && received.contains('\r');
        },
        15000);
}

} // namespace

class InstalledTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void serverStartsFromItsUnitAndAnswersAClient();
    void serverLoadsTheSipLineFromItsModule();
    void clientStartsInTheUsersFolderAndConnects();
    void reportProgramOffersReportsOnTheSessionBus();
    void customerProgramRuns();
    void anotherProjectBuildsAgainstTheLibraries();
};

void InstalledTest::initTestCase()
{
    if (root().isEmpty())
        QSKIP("VORSA_INSTALL_ROOT is not set (run by package-test.sh)");
}

void InstalledTest::serverStartsFromItsUnitAndAnswersAClient()
{
    QString error;
    QStringList command = unitCommand(&error);
    QVERIFY2(!command.isEmpty(), qPrintable(error));
    QVERIFY2(command.first().startsWith(QLatin1Char('/')),
             qPrintable(QStringLiteral("ExecStart without a full path: ") + command.first()));
    const QString program = installed(command.takeFirst());
    QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));
    const qsizetype dirAt = command.indexOf(QStringLiteral("--dir"));
    QVERIFY2(dirAt >= 0 && dirAt + 1 < command.size(), "the unit names no folder");

    // A configured folder in place of the service's: the demo database, the
    // simulated line and a port of the test's.
    QTemporaryDir home;
    QTemporaryDir folder;
    const quint16 port = freePort();
    QProcess setup;
    setup.start(buildPath(QStringLiteral("tools/demo-setup/vorsa-demo-setup")),
                {QStringLiteral("--dir"), folder.path(), QStringLiteral("--customers"),
                 QStringLiteral("40")});
    QVERIFY(setup.waitForFinished(60000));
    QCOMPARE(setup.exitCode(), 0);
    IniSchreiben(QStringLiteral("Settings"), QStringLiteral("LocalPort"),
                 folder.filePath(QStringLiteral("VorsaSrv.INI")), QString::number(port));
    QFile calls(folder.filePath(QStringLiteral("demo-calls.txt")));
    QVERIFY(calls.open(QIODevice::ReadOnly));
    const QByteArray known = calls.readLine().trimmed();
    QVERIFY(!known.isEmpty());
    command[dirAt + 1] = folder.path();

    QProcess server;
    server.setProcessEnvironment(installedEnvironment(home.path()));
    server.setProcessChannelMode(QProcess::ForwardedChannels);
    server.start(program, command);
    QVERIFY(server.waitForStarted(5000));
    auto stopped = qScopeGuard([&] { stop(server); });
    QTcpSocket client;
    QVERIFY(QTest::qWaitFor(
        [&] {
            client.abort();
            client.connectToHost(QHostAddress::LocalHost, port);
            return client.waitForConnected(200);
        },
        15000));
    client.write("HN:paketprobe");
    QVERIFY(client.waitForBytesWritten(2000));

    QCOMPARE(QProcess::execute(installed(QStringLiteral("/usr/bin/vorsa-call")),
                               {QStringLiteral("--dir"), folder.path(), QStringLiteral("0521999"),
                                QString::fromLatin1(known)}),
             0);
    QByteArray received;
    QVERIFY2(waitForLine(client, received, "Icon=1"), received.constData());
    QVERIFY2(received.contains("Nr=" + known), received.constData());
    QVERIFY2(!received.contains("Name=***") && !received.contains("Name=;"), received.constData());

    server.terminate();
    QVERIFY(server.waitForFinished(10000));
    QCOMPARE(server.exitStatus(), QProcess::NormalExit);
    QCOMPARE(server.exitCode(), 0);
}

void InstalledTest::serverLoadsTheSipLineFromItsModule()
{
    // Found relative to the installed program, wherever the root lies.
    const QString module = installed(libDir() + QStringLiteral("/vorsa/lines/vorsa-line-sip.so"));
    if (!QFileInfo::exists(module))
        QSKIP("the SIP line was not built");
    QTemporaryDir home;
    QTemporaryDir folder;
    const quint16 port = freePort();
    const quint16 sipPort = freePort();
    test::writeIni(folder.filePath(QStringLiteral("VorsaSrv.INI")),
                   {"[Settings]", "Line=SIP", "SecCapiConnection=0",
                    "LocalPort=" + QString::number(port), "[SIP]",
                    "Listen=127.0.0.1:" + QString::number(sipPort), "[Table]",
                    "SQL1.1=SELECT 'x' AS Name WHERE '/*CallingNr*/' = '1'", "Name=T", "[Feld1]",
                    "FieldName=Name"});
    test::writeIni(folder.filePath(QStringLiteral("udlVorsa.UDL")),
                   {"[oledb]", "Provider=SQLite;Data Source=vorsa.db"});
    QProcess server;
    server.setProcessEnvironment(installedEnvironment(home.path()));
    server.start(installed(QStringLiteral("/usr/bin/vorsasrvd")),
                 {QStringLiteral("--dir"), folder.path()});
    QVERIFY(server.waitForStarted(5000));
    auto stopped = qScopeGuard([&] { stop(server); });
    QByteArray said;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     said += server.readAllStandardError();
                     return said.contains("Server gestartet") ||
                            server.state() == QProcess::NotRunning;
                 },
                 15000),
             said.constData());
    QVERIFY2(said.contains("startCAPI()=True  CAPI sofia-sip"), said.constData());
    QFile maps(QStringLiteral("/proc/%1/maps").arg(server.processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    QVERIFY(maps.readAll().contains(QFileInfo(module).canonicalFilePath().toUtf8()));
}

void InstalledTest::clientStartsInTheUsersFolderAndConnects()
{
    // Installed into the machine, the client starts as from its desktop entry,
    // without a folder: its folder is the user's. Unpacked elsewhere, it is
    // given the same folder.
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral(".local/share/VorsaCl"));
    QVERIFY(QDir().mkpath(folder));
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QString ini = folder + QStringLiteral("/VorsaCl.INI");
    IniSchreiben(QStringLiteral("Settings"), QStringLiteral("RemoteHost"), ini,
                 QStringLiteral("127.0.0.1"));
    IniSchreiben(QStringLiteral("Settings"), QStringLiteral("RemotePort"), ini,
                 QString::number(server.serverPort()));

    QProcess client;
    client.setProcessEnvironment(installedEnvironment(home.path()));
    client.setProcessChannelMode(QProcess::ForwardedChannels);
    const QStringList arguments =
        root() == QLatin1String("/") ? QStringList() : QStringList{QStringLiteral("--dir"), folder};
    client.start(installed(QStringLiteral("/usr/bin/VorsaCl")), arguments);
    auto stopped = qScopeGuard([&] { stop(client); });
    QVERIFY(client.waitForStarted(5000));
    QVERIFY(server.waitForNewConnection(15000));
    QTcpSocket* peer = server.nextPendingConnection();
    QByteArray received;
    QVERIFY(QTest::qWaitFor(
        [&] {
            received += peer->readAll();
            return received.startsWith("HN:");
        },
        10000));
    peer->write("Icon=1;Anrufer=0521123456\r");
    peer->flush();
    QTest::qWait(300);

    client.terminate();
    QVERIFY(client.waitForFinished(10000));
    QCOMPARE(client.exitCode(), 0);
    // The first start wrote its settings with their defaults.
    QCOMPARE(IniLesen(QStringLiteral("Settings"), QStringLiteral("Benachrichtigung"), ini,
                      QStringLiteral("?")),
             QStringLiteral("1"));
    QCOMPARE(IniLesen(QStringLiteral("Feld1"), QStringLiteral("FieldName"), ini, {}),
             QStringLiteral("Datum"));
}

void InstalledTest::reportProgramOffersReportsOnTheSessionBus()
{
    if (!test::privaterBus())
        QSKIP("no private session bus (dbus-run-session)");
    // The bus would start the program named by the installed service file.
    QFile service(
        installed(QStringLiteral("/usr/share/dbus-1/services/OrvoReport2.clsReport.service")));
    QVERIFY(service.open(QIODevice::ReadOnly));
    const QRegularExpressionMatch exec =
        QRegularExpression(QStringLiteral("^Exec=(\\S+)"), QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(service.readAll()));
    QVERIFY(exec.hasMatch());
    QCOMPARE(exec.captured(1), QStringLiteral("/usr/bin/OrvoReport2"));
    QVERIFY(QFileInfo(installed(exec.captured(1))).isExecutable());

    QTemporaryDir home;
    QProcess report;
    report.setProcessEnvironment(installedEnvironment(home.path()));
    report.setProcessChannelMode(QProcess::ForwardedChannels);
    report.start(installed(exec.captured(1)), {});
    QVERIFY(report.waitForStarted(5000));
    auto stopped = qScopeGuard([&] { stop(report); });
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString name = QStringLiteral("OrvoReport2.clsReport");
    QVERIFY(
        QTest::qWaitFor([&] { return bus.interface()->isServiceRegistered(name).value(); }, 15000));
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall(name, QStringLiteral("/OrvoReport2"),
                                                QStringLiteral("OrvoReport2.Factory"),
                                                QStringLiteral("Create")),
                 QDBus::Block, 20000);
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    const QString path = reply.arguments().value(0).value<QDBusObjectPath>().path();
    QVERIFY2(path.startsWith(QStringLiteral("/OrvoReport2/")), qPrintable(path));
    const QDBusMessage added =
        bus.call(QDBusMessage::createMethodCall(name, path, QStringLiteral("OrvoReport2.clsReport"),
                                                QStringLiteral("AddSeite")),
                 QDBus::Block, 20000);
    QCOMPARE(added.arguments().value(0).toBool(), true);
}

void InstalledTest::customerProgramRuns()
{
    QTemporaryDir home;
    QProcess program;
    program.setProcessEnvironment(installedEnvironment(home.path()));
    program.start(installed(QStringLiteral("/usr/bin/Kundenstamm")), {QStringLiteral("--version")});
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(program.readAllStandardOutput().contains("Kundenstamm"),
             program.readAllStandardError().constData());
}

void InstalledTest::anotherProjectBuildsAgainstTheLibraries()
{
    QTemporaryDir work;
    const QString source = qEnvironmentVariable("VORSA_SOURCE_DIR") + "/tests/package/consumer";
    QProcess cmake;
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    cmake.start(QStringLiteral("cmake"),
                {QStringLiteral("-S"), source, QStringLiteral("-B"), work.path(),
                 QStringLiteral("-G"), QStringLiteral("Ninja"),
                 QStringLiteral("-DCMAKE_PREFIX_PATH=") + installed(QStringLiteral("/usr")),
                 QStringLiteral("-DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF")});
    QVERIFY(cmake.waitForFinished(120000));
    QVERIFY2(cmake.exitCode() == 0, cmake.readAll().constData());
    cmake.start(QStringLiteral("cmake"), {QStringLiteral("--build"), work.path()});
    QVERIFY(cmake.waitForFinished(300000));
    QVERIFY2(cmake.exitCode() == 0, cmake.readAll().constData());

    QProcess consumer;
    consumer.setProcessEnvironment(installedEnvironment(work.path()));
    consumer.start(work.filePath(QStringLiteral("orvo-consumer")), {});
    QVERIFY(consumer.waitForFinished(20000));
    QVERIFY2(consumer.exitCode() == 0, consumer.readAllStandardError().constData());
    QCOMPARE(consumer.readAllStandardOutput().trimmed(), QByteArray("2026/12/06 uscToolbStamm 1"));
}

int main(int argc, char** argv)
{
    test::aufPrivatemBus(argc, argv);
    QCoreApplication app(argc, argv);
    InstalledTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_installed.moc"
