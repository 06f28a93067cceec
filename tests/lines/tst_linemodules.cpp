// The SIP and CAPI lines come from modules that are loaded only when
// Settings/Line names them: a server on another line maps none of their
// libraries; a module that is missing or does not load is reported with its
// file and the loader's reason, and the server without a window then ends as
// for an unknown line; a line made by its module reports calls like one built
// into the program.
#include "linefactory.h"
#include "linemodule.h"
#include "reporter.h"
#include "serverprocess.h"
#include "sippeer.h"
#include "testfiles.h"
#include "vberror.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vorsa;
using namespace vorsa::test;

namespace {

// The loader looks into `folder` while the object lives.
class ModuleFolder {
public:
    explicit ModuleFolder(const QString& folder) : m_before(qgetenv("VORSA_LINE_MODULES"))
    {
        qputenv("VORSA_LINE_MODULES", QFile::encodeName(folder));
    }
    ~ModuleFolder()
    {
        if (m_before.isNull())
            qunsetenv("VORSA_LINE_MODULES");
        else
            qputenv("VORSA_LINE_MODULES", m_before);
    }

private:
    QByteArray m_before;
};

// A program folder whose server listens on `port` with the line given.
void prepare(const QString& dir, quint16 port, const QString& line, const QStringList& more = {})
{
    writeIni(QDir(dir).filePath(QStringLiteral("VorsaSrv.INI")),
             QStringList{"[Settings]", "Line=" + line, "SecCapiConnection=0", "EigeneVorwahl=0521",
                         "LocalPort=" + QString::number(port), "[Table]",
                         "SQL1.1=SELECT 'x' AS Name WHERE '/*CallingNr*/' = '0521111'", "Name=T",
                         "[Feld1]", "FieldName=Name"} +
                 more);
    writeIni(QDir(dir).filePath(QStringLiteral("udlVorsa.UDL")),
             {"[oledb]", "Provider=SQLite;Data Source=vorsa.db"});
    QFile db(QDir(dir).filePath(QStringLiteral("vorsa.db")));
    QVERIFY(db.open(QIODevice::WriteOnly));
}

// How the module folder of a row is made: empty, a file that is no library,
// or a Qt plugin of another kind under the module's name.
void fillModuleFolder(const QString& folder, const QString& how, const QString& file)
{
    const QString target = QDir(folder).filePath(file);
    if (how == u"no library") {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("kein ELF\n");
    } else if (how == u"other plugin") {
        const QString sqlite = QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                               QStringLiteral("/sqldrivers/libqsqlite.so");
        if (!QFile::exists(sqlite))
            QSKIP("Qt's SQLite driver is not installed");
        QVERIFY(QFile::copy(sqlite, target));
    }
}

} // namespace

class TestLineModules : public QObject {
    Q_OBJECT
private slots:
    void unusableModuleIsReportedWithFileAndReason_data();
    void unusableModuleIsReportedWithFileAndReason();
    void serverWithoutItsModuleEndsWithTheReason_data();
    void serverWithoutItsModuleEndsWithTheReason();
    void serverOnTheSimulatedLineMapsNoModule();
    void sipLineFromItsModuleReportsCalls();
};

void TestLineModules::unusableModuleIsReportedWithFileAndReason_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("number");
    QTest::addColumn<QStringList>("said");
    QTest::newRow("SIP missing") << "SIP"
                                 << "missing" << 53
                                 << QStringList{"Die Leitung \"SIP\" (Settings/Line) braucht das "
                                                "Modul ",
                                                "; es fehlt."};
    QTest::newRow("CAPI missing, name in lower case")
        << "capi"
        << "missing" << 53 << QStringList{"Die Leitung \"CAPI\"", "; es fehlt."};
    QTest::newRow("no library") << "SIP"
                                << "no library" << 48
                                << QStringList{"der Leitung \"SIP\" (Settings/Line) lässt sich "
                                               "nicht laden: "};
    QTest::newRow("a plugin of another kind")
        << "CAPI"
        << "other plugin" << 48
        << QStringList{"ist kein Leitungsmodul dieser Programmversion",
                       VORSA_PHONE_LINE_FACTORY_IID};
}

void TestLineModules::unusableModuleIsReportedWithFileAndReason()
{
    QFETCH(QString, kind);
    QFETCH(QString, how);
    QFETCH(int, number);
    QFETCH(QStringList, said);
    QTemporaryDir modules;
    QTemporaryDir dir;
    const QString file = lineModuleFile(kind);
    fillModuleFolder(modules.path(), how, file);
    const ModuleFolder folder(modules.path());
    QCOMPARE(lineModuleDirectory(), QDir::cleanPath(modules.path()));

    RecordingReporter reporter;
    const LineContext context{dir.filePath(QStringLiteral("VorsaSrv.INI")), dir.path(), &reporter};
    try {
        createPhoneLine(kind, context);
        QFAIL("a line without its module");
    } catch (const VbError& e) {
        QCOMPARE(e.number(), number);
        QVERIFY2(e.description().contains(QDir(modules.path()).filePath(file)),
                 qPrintable(e.description()));
        for (const QString& text : said)
            QVERIFY2(e.description().contains(text), qPrintable(e.description()));
        // The loader's own reason follows the colon.
        if (how == u"no library")
            QVERIFY2(e.description().section(QStringLiteral("laden: "), 1).size() > 10,
                     qPrintable(e.description()));
    }
    QVERIFY(reporter.entries.isEmpty());
}

void TestLineModules::serverWithoutItsModuleEndsWithTheReason_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("said");
    const QString file = QStringLiteral("vorsa-line-sip.so");
    QTest::newRow("vorsasrvd, module missing")
        << "vorsasrvd"
        << "missing"
        << QStringList{"Fehler: 53", "[StartUp]", file + "; es fehlt", "hat keine Leitung",
                       "vorsasrvd wird beendet"};
    QTest::newRow("vorsasrvd, module no library") << "vorsasrvd"
                                                  << "no library"
                                                  << QStringList{"Fehler: 48",
                                                                 "[StartUp]",
                                                                 file,
                                                                 "lässt sich nicht laden",
                                                                 "hat keine Leitung",
                                                                 "vorsasrvd wird beendet"};
    QTest::newRow("VorsaSrv --headless, module missing")
        << "VorsaSrv"
        << "missing"
        << QStringList{"Fehler: 53", file + "; es fehlt", "hat keine Leitung",
                       "VorsaSrv wird beendet"};
}

void TestLineModules::serverWithoutItsModuleEndsWithTheReason()
{
    QFETCH(QString, program);
    QFETCH(QString, how);
    QFETCH(QStringList, said);
    const QString binary = buildPath(QStringLiteral("server/") + program);
    if (!QFileInfo(binary).isExecutable())
        QSKIP(qPrintable(program + QStringLiteral(" is not built")));
    QTemporaryDir modules;
    QTemporaryDir dir;
    fillModuleFolder(modules.path(), how, QStringLiteral("vorsa-line-sip.so"));
    prepare(dir.path(), freePort(), QStringLiteral("SIP"));

    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VORSA_LINE_MODULES"), modules.path());
    server.setProcessEnvironment(env);
    QStringList arguments{QStringLiteral("--dir"), dir.path()};
    if (program == u"VorsaSrv")
        arguments.prepend(QStringLiteral("--headless"));
    server.start(binary, arguments);
    QVERIFY(server.waitForFinished(15000));
    QCOMPARE(server.exitStatus(), QProcess::NormalExit);
    QCOMPARE(server.exitCode(), 1);
    const QString err = QString::fromUtf8(server.readAllStandardError());
    for (const QString& text : said)
        QVERIFY2(err.contains(text), qPrintable(err));
    // Said once, not again as an unknown line.
    QVERIFY2(!err.contains(QStringLiteral("gibt es in diesem Programm nicht")), qPrintable(err));
}

void TestLineModules::serverOnTheSimulatedLineMapsNoModule()
{
    QTemporaryDir dir;
    const quint16 port = freePort();
    prepare(dir.path(), port, QStringLiteral("SIM"));
    ServerProcess server(dir.path(), QStringLiteral("server/vorsasrvd"));
    if (const QString why = server.start(port); !why.isEmpty())
        QFAIL(qPrintable(why));
    QVERIFY(server.ring(QStringLiteral("0521999"), QStringLiteral("0521111")));
    QFile maps(QStringLiteral("/proc/%1/maps").arg(server.pid()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    for (const char* library :
         {"vorsa-line-", "libsofia-sip", "libcapi20", "libssl.so", "libcrypto.so"})
        QVERIFY2(!mapped.contains(library), library);
    QVERIFY(server.stop());
}

void TestLineModules::sipLineFromItsModuleReportsCalls()
{
    const ModuleFolder folder(QStringLiteral(VORSA_LINE_MODULE_BUILD_DIR));
    if (!QFile::exists(QDir(lineModuleDirectory()).filePath(lineModuleFile("SIP"))))
        QSKIP("the SIP line is not built");
    if (SippPeer::program().isEmpty())
        QSKIP("sipp (Debian package sip-tester) is not installed");
    QTemporaryDir dir;
    const quint16 port = SippPeer::freePort(QHostAddress::LocalHost);
    const QString ini = dir.filePath(QStringLiteral("VorsaSrv.INI"));
    writeIni(ini, {"[SIP]", "Listen=127.0.0.1:" + QString::number(port)});
    RecordingReporter reporter;
    std::unique_ptr<IPhoneLine> line =
        createPhoneLine(QStringLiteral("sip"), LineContext{ini, dir.path(), &reporter});
    QVERIFY(line);
    // Connected as the server connects, by the program's own member pointers.
    QSignalSpy calls(line.get(), &IPhoneLine::IncomingCall);
    line->setStartupSwitches(true, true);
    QVERIFY(line->analogListen());
    QVERIFY(line->startCAPI());
    QVERIFY(line->lineUp());
    QVERIFY2(line->capiVersion().startsWith(QStringLiteral("sofia-sip")),
             qPrintable(line->capiVersion()));
    QCOMPARE(line->serialNumber(), QStringLiteral("127.0.0.1:%1").arg(port));

    SippPeer sipp(dir.path());
    SippPeer::Call call;
    call.pauseMs = 500;
    QVERIFY(sipp.start(call, QStringLiteral("127.0.0.1:%1").arg(port)));
    QTRY_COMPARE_WITH_TIMEOUT(calls.size(), 1, 5000);
    QCOMPARE(calls[0].at(0).toString(), QStringLiteral("5551234"));
    QCOMPARE(calls[0].at(1).toString(), QStringLiteral("0521123456"));
    QVERIFY2(sipp.finish(), qPrintable(sipp.output()));
    line->stopCAPI();
    QVERIFY(!line->lineUp());
    // The section's defaults were written back by the module's own INI code.
    QFile written(ini);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().contains("Expires=600"));
    QVERIFY(reporter.entries.isEmpty());
}

QTEST_GUILESS_MAIN(TestLineModules)

#include "tst_linemodules.moc"
