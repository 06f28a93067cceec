// The simulated line: calls from other processes through its local socket, and
// the vorsa-call program that sends them.

#include "line/simline.h"
#include "line/phoneline.h"

#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vorsa;

namespace {

void send(const QString& path, const QByteArray& bytes)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    QVERIFY(socket.waitForConnected(3000));
    socket.write(bytes);
    QVERIFY(socket.waitForBytesWritten(3000));
    socket.disconnectFromServer();
}

QStringList call(const QList<QVariant>& args)
{
    QStringList out;
    for (const QVariant& a : args)
        out << a.toString();
    return out;
}

QString vorsaCall()
{
    return qEnvironmentVariable("VORSA_BUILD_DIR") + QStringLiteral("/tools/vorsa-call/vorsa-call");
}

} // namespace

class SimLineTest : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void cleanup() { m_dir.reset(); }

    void builtinLinesAreChosenByName_data();
    void builtinLinesAreChosenByName();
    void eachLineIsOneCall();
    void callsSentWhileStoppedArriveAfterTheNextStart();
    void staleSocketFileIsReplacedButALiveLineIsNot();
    void socketFileGoesWithTheLine();
    void vorsaCallInjectsOneCall();
    void vorsaCallWithoutServerFails();
    void linesAreAnswered();
    void vorsaCallReportsARefusedCall();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void SimLineTest::builtinLinesAreChosenByName_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("starts");
    QTest::newRow("SIM") << "SIM" << true;
    QTest::newRow("case ignored") << "sim" << true;
    QTest::newRow("unknown") << "CAPI2" << false;
}

void SimLineTest::builtinLinesAreChosenByName()
{
    QFETCH(QString, kind);
    QFETCH(bool, starts);
    LineContext context;
    context.programDir = m_dir->path();
    auto line = createBuiltinLine(kind, context);
    QCOMPARE(bool(line), starts); // an unknown name is no line (the server reports it)
    if (line) {
        QVERIFY(line->startCAPI());
        QVERIFY(line->dtmfSupport(1) >= 1);
    }
    QCOMPARE(QFile::exists(m_dir->filePath(QStringLiteral("VorsaSrv.sim"))), starts);
}

void SimLineTest::eachLineIsOneCall()
{
    SimLine line(m_dir->path());
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    QVERIFY(line.startCAPI());
    send(line.socketPath(), "0711;0401234567\n0712;(hidden)\r\n\nkein Anruf\n07");
    send(line.socketPath(), "13;04;05"); // each sender has its own lines; the last needs no LF
    QTRY_COMPARE(calls.size(), 3);
    QCOMPARE(call(calls.at(0)), (QStringList{"0711", "0401234567", ""}));
    QCOMPARE(call(calls.at(1)), (QStringList{"0712", "(hidden)", ""}));
    QCOMPARE(call(calls.at(2)), (QStringList{"13", "04;05", ""}));
}

void SimLineTest::callsSentWhileStoppedArriveAfterTheNextStart()
{
    SimLine line(m_dir->path());
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    QVERIFY(line.startCAPI());
    line.stopCAPI();
    send(line.socketPath(), "1;first\n");
    QTest::qWait(100);
    QCOMPARE(calls.size(), 0);
    QVERIFY(line.startCAPI());
    send(line.socketPath(), "1;second\n");
    QTRY_COMPARE(calls.size(), 2);
    QCOMPARE(calls.at(0).at(1).toString(), QStringLiteral("first"));
    QCOMPARE(calls.at(1).at(1).toString(), QStringLiteral("second"));
}

void SimLineTest::staleSocketFileIsReplacedButALiveLineIsNot()
{
    const QString path = m_dir->filePath(QStringLiteral("VorsaSrv.sim"));
    {
        QFile stale(path);
        QVERIFY(stale.open(QIODevice::WriteOnly));
    }
    SimLine first(m_dir->path());
    QVERIFY(first.startCAPI());
    SimLine second(m_dir->path());
    QVERIFY(!second.startCAPI());

    QSignalSpy calls(&first, &IPhoneLine::IncomingCall);
    send(path, "1;2\n");
    QTRY_COMPARE(calls.size(), 1);
}

void SimLineTest::socketFileGoesWithTheLine()
{
    const QString path = m_dir->filePath(QStringLiteral("VorsaSrv.sim"));
    {
        SimLine line(m_dir->path());
        QVERIFY(line.startCAPI());
        QVERIFY(QFile::exists(path));
    }
    QVERIFY(!QFile::exists(path));
}

void SimLineTest::vorsaCallInjectsOneCall()
{
    SimLine line(m_dir->path());
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    QVERIFY(line.startCAPI());
    QProcess tool;
    tool.start(vorsaCall(), {QStringLiteral("--dir"), m_dir->path(), QStringLiteral("0711"),
                             QStringLiteral("0401234567")});
    QTRY_VERIFY(tool.state() == QProcess::NotRunning);
    QCOMPARE(tool.exitCode(), 0);
    QTRY_COMPARE(calls.size(), 1);
    QCOMPARE(call(calls.at(0)), (QStringList{"0711", "0401234567", ""}));
}

void SimLineTest::vorsaCallWithoutServerFails()
{
    QProcess tool;
    tool.setWorkingDirectory(m_dir->path());
    tool.start(vorsaCall(), {QStringLiteral("0711"), QStringLiteral("0401234567")});
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode(), 1);
    QVERIFY(QString::fromLocal8Bit(tool.readAllStandardError())
                .contains(QStringLiteral("Keine Verbindung")));
}

void SimLineTest::linesAreAnswered()
{
    SimLine line(m_dir->path());
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    QVERIFY(line.startCAPI());
    QLocalSocket sender;
    sender.connectToServer(line.socketPath());
    QVERIFY(sender.waitForConnected(3000));
    sender.write("1;2\nkein Anruf\n" + QByteArray(3 * SimLine::MaxLineBytes, '9'));
    QByteArray answers;
    QVERIFY(QTest::qWaitFor(
        [&] {
            answers += sender.readAll();
            return answers.count('\n') >= 3;
        },
        5000));
    // The rest of the long line is dropped, and the next line is a call again.
    sender.write(QByteArray(2 * SimLine::MaxLineBytes, '9') + ";x\n3;4\n");
    QVERIFY(QTest::qWaitFor(
        [&] {
            answers += sender.readAll();
            return answers.count('\n') >= 4;
        },
        5000));
    const QList<QByteArray> lines = answers.split('\n');
    QCOMPARE(lines[0], QByteArray("OK"));
    QVERIFY(lines[1].startsWith("FEHLER "));
    QVERIFY(lines[2].startsWith("FEHLER Die Zeile ist länger als 4096 Bytes"));
    QCOMPARE(lines[3], QByteArray("OK"));
    QCOMPARE(calls.size(), 2);
    QCOMPARE(call(calls.at(1)), (QStringList{"3", "4", ""}));
}

void SimLineTest::vorsaCallReportsARefusedCall()
{
    SimLine line(m_dir->path());
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    QVERIFY(line.startCAPI());
    QProcess tool;
    tool.start(vorsaCall(), {QStringLiteral("--dir"), m_dir->path(), QStringLiteral("0711"),
                             QString(100 * 1024, QLatin1Char('5'))});
    QTRY_VERIFY_WITH_TIMEOUT(tool.state() == QProcess::NotRunning, 20000);
    QCOMPARE(tool.exitCode(), 1);
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("Der Anruf wurde nicht angenommen: Die Zeile ist länger "
                                         "als 4096 Bytes")),
             qPrintable(err));
    QTest::qWait(50);
    QCOMPARE(calls.size(), 0);
}

QTEST_GUILESS_MAIN(SimLineTest)
#include "simlinetest.moc"
