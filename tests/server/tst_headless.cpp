// The server programs without a window: they end with a clear message and a
// non-zero status when they could take no call at all, vorsasrvd loads no
// window library, and both say what they do through logging categories.
// Every program of the family answers --help and --version.
#include "ini.h"
#include "serverprocess.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace vorsa;
using namespace vorsa::test;

namespace {
// A program folder whose server takes calls on the simulated line.
void prepare(const QTemporaryDir& dir, quint16 port)
{
    writeIni(dir.filePath(QStringLiteral("VorsaSrv.INI")),
             {"[Settings]", "Line=SIM", "SecCapiConnection=0", "EigeneVorwahl=0521",
              "LocalPort=" + QString::number(port), "[Table]",
              "SQL1.1=SELECT 'x' AS Name WHERE '/*CallingNr*/' = '0521111'", "Name=T", "[Feld1]",
              "FieldName=Name"});
    QFile db(dir.filePath(QStringLiteral("vorsa.db")));
    QVERIFY(db.open(QIODevice::WriteOnly));
    writeIni(dir.filePath(QStringLiteral("udlVorsa.UDL")),
             {"[oledb]", "Provider=SQLite;Data Source=vorsa.db"});
}
} // namespace

class TestHeadless : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QFileInfo(buildPath(QStringLiteral("server/VorsaSrv"))).isExecutable())
            QSKIP("VorsaSrv is not built");
    }

    void endsWhenItCanTakeNoCall_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("said");
        for (const char* program : {"VorsaSrv", "vorsasrvd"}) {
            const QString name = QString::fromLatin1(program);
            const QString ends = name + QStringLiteral(" wird beendet");
            QTest::addRow("%s: port not a number", program)
                << name << "LocalPort"
                << "abc"
                << QStringList{"Typ unverträglich (LocalPort \"abc\")",
                               "lauscht auf keinem TCP-Port", ends};
            QTest::addRow("%s: port taken", program)
                << name << "LocalPort"
                << "taken"
                << QStringList{"Die Adresse wird bereits verwendet", "lauscht auf keinem TCP-Port",
                               ends};
            QTest::addRow("%s: no such line", program)
                << name << "Line"
                << "ISDN" << QStringList{"\"ISDN\" (Settings/Line)", "hat keine Leitung", ends};
        }
    }
    void endsWhenItCanTakeNoCall()
    {
        QFETCH(QString, program);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QStringList, said);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("VorsaSrv.INI"));
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::Any, 0));
        IniSchreiben(QStringLiteral("Table"), QStringLiteral("Name"), ini, QStringLiteral("T"));
        // A free port unless the row is about the port.
        IniSchreiben(QStringLiteral("Settings"), QStringLiteral("LocalPort"), ini,
                     QString::number(freePort()));
        IniSchreiben(QStringLiteral("Settings"), key, ini,
                     value == u"taken" ? QString::number(taken.serverPort()) : value);

        QProcess p;
        QStringList arguments{QStringLiteral("--dir"), dir.path()};
        if (program == u"VorsaSrv")
            arguments.prepend(QStringLiteral("--headless"));
        p.start(buildPath(QStringLiteral("server/") + program), arguments);
        QVERIFY(p.waitForFinished(15000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        for (const QString& text : said)
            QVERIFY2(err.contains(text), qPrintable(err));
    }

    void everyProgramAnswersHelpAndVersion_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("display"); // a window program that needs a display even for this
        QTest::newRow("server") << "server/VorsaSrv"
                                << "VorsaSrv" << false;
        QTest::newRow("server without window") << "server/vorsasrvd"
                                               << "vorsasrvd" << false;
        QTest::newRow("client") << "client/VorsaCl"
                                << "VorsaCl" << false;
        QTest::newRow("call injection") << "tools/vorsa-call/vorsa-call"
                                        << "vorsa-call" << false;
        QTest::newRow("demo setup") << "tools/demo-setup/vorsa-demo-setup"
                                    << "vorsa-demo-setup" << false;
        QTest::newRow("reports") << "report/app/OrvoReport2"
                                 << "OrvoReport2" << true;
        QTest::newRow("customers") << "examples/kundenstamm/Kundenstamm"
                                   << "Kundenstamm" << true;
    }
    void everyProgramAnswersHelpAndVersion()
    {
        QFETCH(QString, program);
        QFETCH(QString, name);
        QFETCH(bool, display);
        if (!QFileInfo(buildPath(program)).isExecutable())
            QSKIP(qPrintable(program + QStringLiteral(" is not built")));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(variable));
        if (display)
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QTemporaryDir dir;
        for (const char* option : {"--version", "--help"}) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.setWorkingDirectory(dir.path());
            p.start(buildPath(program), {QString::fromLatin1(option)});
            QVERIFY(p.waitForFinished(15000));
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QCOMPARE(p.exitCode(), 0);
            const QString out = QString::fromUtf8(p.readAllStandardOutput());
            if (qstrcmp(option, "--version") == 0) {
                QVERIFY2(QRegularExpression(QStringLiteral("^%1 \\d+\\.\\d+\\.\\d+\\n$").arg(name))
                             .match(out)
                             .hasMatch(),
                         qPrintable(out));
            } else {
                QVERIFY2(out.contains(QStringLiteral("--version")), qPrintable(out));
                // Qt's own texts in German.
                QVERIFY2(out.contains(QStringLiteral("Zeigt")), qPrintable(out));
            }
        }
        // Nothing was started: no settings written.
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    void serverWithoutWindowLoadsNoWindowLibrary()
    {
        QTemporaryDir dir;
        const quint16 port = freePort();
        prepare(dir, port);
        ServerProcess server(dir.path(), QStringLiteral("server/vorsasrvd"));
        const QString why = server.start(port);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QFile maps(QStringLiteral("/proc/%1/maps").arg(server.pid()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QString mapped = QString::fromLocal8Bit(maps.readAll());
        QVERIFY(mapped.contains(QStringLiteral("libQt6Core")));
        for (const char* library :
             {"libQt6Gui", "libQt6Widgets", "libX11", "libxcb", "libGL", "libEGL", "libwayland"})
            QVERIFY2(!mapped.contains(QLatin1String(library)), library);
        QVERIFY(server.stop());
    }

    void systemdUnitIsValid()
    {
        QFile unit(buildPath(QStringLiteral("server/systemd/vorsasrvd.service")));
        QVERIFY(unit.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(unit.readAll());
        QVERIFY(text.contains(QStringLiteral("/vorsasrvd --dir /var/lib/vorsa\n")));
        for (const char* line : {"User=vorsa", "StateDirectory=vorsa", "Restart=on-failure",
                                 "RestartPreventExitStatus=1\n"})
            QVERIFY2(text.contains(QLatin1String(line)), line);
        const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
        if (analyze.isEmpty())
            QSKIP("systemd-analyze is not installed");
        // Checked against the program of this build, which is not installed yet.
        text.replace(QRegularExpression(QStringLiteral("ExecStart=\\S+")),
                     QStringLiteral("ExecStart=") + buildPath(QStringLiteral("server/vorsasrvd")));
        QTemporaryDir dir;
        QFile copy(dir.filePath(QStringLiteral("vorsasrvd.service")));
        QVERIFY(copy.open(QIODevice::WriteOnly));
        copy.write(text.toUtf8());
        copy.close();
        QProcess p;
        p.start(analyze, {QStringLiteral("verify"), copy.fileName()});
        QVERIFY(p.waitForFinished(30000));
        const QString said =
            QString::fromUtf8(p.readAllStandardError() + p.readAllStandardOutput());
        QCOMPARE(p.exitCode(), 0);
        QVERIFY2(said.trimmed().isEmpty(), qPrintable(said));
    }

    // An administrator follows the server in the system journal: start, line,
    // clients, every call with its result, shutdown.
    void serverSaysWhatItDoes_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("journal"); // stderr is the system journal's stream
        QTest::newRow("vorsasrvd") << "server/vorsasrvd" << false;
        QTest::newRow("vorsasrvd under systemd") << "server/vorsasrvd" << true;
        QTest::newRow("VorsaSrv --headless") << "server/VorsaSrv" << false;
    }
    void serverSaysWhatItDoes()
    {
        QFETCH(QString, program);
        QFETCH(bool, journal);
        QTemporaryDir dir;
        const quint16 port = freePort();
        prepare(dir, port);
        const QString errors = dir.filePath(QStringLiteral("stderr.txt"));
        ServerProcess server(dir.path(), program);
        server.process().setStandardErrorFile(errors);
        if (journal) {
            // systemd names the stream in JOURNAL_STREAM (device:inode).
            QFile(errors).open(QIODevice::WriteOnly);
            struct stat st {};
            QVERIFY(::stat(QFile::encodeName(errors).constData(), &st) == 0);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("JOURNAL_STREAM"),
                       QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino)));
            server.process().setProcessEnvironment(env);
        }
        const QString why = server.start(port, true, true);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        {
            const auto client = server.connectClient(QStringLiteral("platz1"));
            QVERIFY(client);
            QTest::qWait(300); // taken and announced before the first call
            QVERIFY(server.ring(QStringLiteral("0521999"), QStringLiteral("0521111")));
            QVERIFY(server.ring(QStringLiteral("0521999"), QStringLiteral("0400000000")));
            QVERIFY(server.ring(QStringLiteral("0521999"), QStringLiteral("0521111"))); // repeat
            QTRY_VERIFY(client->waitForReadyRead(100) || client->bytesAvailable() > 0);
        }
        QTest::qWait(200);
        QVERIFY(server.stop());
        QFile file(errors);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        const QString prefix = journal ? QStringLiteral("<6>") : QString();
        const QStringList expected = {
            prefix + "vorsa.server.line: Leitung: startCAPI()=True",
            prefix + "vorsa.server: Server gestartet",
            prefix + "vorsa.server.clients: Client 127.0.0.1 verbunden (Platz ",
            prefix + "vorsa.server.clients: Client 127.0.0.1 meldet sich als \"platz1\"",
            prefix + "vorsa.server.calls: Anruf von 0521111 an 0521999: erkannt",
            prefix + "vorsa.server.calls: Anruf von 0400000000 an 0521999: nicht erkannt",
            prefix +
                "vorsa.server.calls: Anruf von 0521111 an 0521999: Wiederholung im Sperrfenster",
            prefix + "vorsa.server.clients: Client 127.0.0.1 / platz1 getrennt",
            prefix + "vorsa.server: Server beendet"};
        qsizetype at = 0;
        for (const QString& text : expected) {
            while (at < lines.size() && !lines.at(at).startsWith(text))
                ++at;
            QVERIFY2(at < lines.size(), qPrintable(text + "\n---\n" + lines.join('\n')));
        }
    }
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
