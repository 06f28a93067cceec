#include "sip/sipline.h"
#include "sippeer.h"

#include "reporter.h"

#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QUdpSocket>

using namespace vorsa;

namespace {

// A throwaway registrar on loopback with one account.
class Registrar {
public:
    static QString program()
    {
        return QStandardPaths::findExecutable(
            QStringLiteral("kamailio"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"),
                                         QStringLiteral("/usr/local/sbin")});
    }

    bool start(const QString& dir, const QString& user, const QString& password)
    {
        if (!port)
            port = SippPeer::freePort(QHostAddress::LocalHost);
        QFile in(qEnvironmentVariable("VORSA_SOURCE_DIR") +
                 QStringLiteral("/tests/lines/kamailio/registrar.cfg"));
        if (!in.open(QIODevice::ReadOnly))
            return false;
        QByteArray cfg = in.readAll();
        cfg.replace("@PORT@", QByteArray::number(port));
        cfg.replace("@USER@", user.toUtf8());
        cfg.replace("@PASSWORD@", password.toUtf8());
        cfg.replace("@MODULES@", "/usr/lib/x86_64-linux-gnu/kamailio/modules/");
        QFile out(dir + QStringLiteral("/registrar.cfg"));
        if (!out.open(QIODevice::WriteOnly))
            return false;
        out.write(cfg);
        out.close();
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program(), {QStringLiteral("-f"), out.fileName(), QStringLiteral("-DD"),
                                  QStringLiteral("-E"), QStringLiteral("-m"), QStringLiteral("32"),
                                  QStringLiteral("-M"), QStringLiteral("8"), QStringLiteral("-w"),
                                  dir, QStringLiteral("-Y"), dir, QStringLiteral("-P"),
                                  dir + QStringLiteral("/kamailio.pid")});
        if (!process.waitForStarted(5000))
            return false;
        // Ready once the port is taken.
        for (int i = 0; i < 100; ++i) {
            QUdpSocket probe;
            if (!probe.bind(QHostAddress::LocalHost, port))
                return true;
            probe.close();
            QTest::qWait(50);
            if (process.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }
    ~Registrar()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000))
                process.kill();
            process.waitForFinished(2000);
        }
    }
    QString uri() const { return QStringLiteral("sip:127.0.0.1:%1").arg(port); }
    QString log() { return QString::fromLocal8Bit(process.readAll().right(3000)); }

    quint16 port = 0;
    QProcess process;
};

SipLine::Settings account(const Registrar& registrar, const QString& password)
{
    SipLine::Settings s;
    s.listen = QStringLiteral("127.0.0.1:%1").arg(SippPeer::freePort(QHostAddress::LocalHost));
    s.registrar = registrar.uri();
    s.user = QStringLiteral("vorsa");
    s.password = password;
    s.expires = 60;
    return s;
}

} // namespace

class TestSipRegistration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void registersWithDigestAndTakesCallsThroughTheRegistrar();
    void wrongPasswordIsShownInTheStatusText();
    void restartRefreshesTheRegistration();

private:
    QTemporaryDir m_dir;
};

void TestSipRegistration::initTestCase()
{
    if (Registrar::program().isEmpty())
        QSKIP("kamailio is not installed: registration is not tested");
    if (SippPeer::program().isEmpty())
        QSKIP("sipp (Debian package sip-tester) is not installed: registration is not tested");
    QVERIFY(m_dir.isValid());
}

void TestSipRegistration::registersWithDigestAndTakesCallsThroughTheRegistrar()
{
    Registrar registrar;
    QVERIFY2(registrar.start(m_dir.path(), QStringLiteral("vorsa"), QStringLiteral("geheim")),
             qPrintable(registrar.log()));
    SipLine line(account(registrar, QStringLiteral("geheim")), nullptr);
    QSignalSpy status(&line, &IPhoneLine::StatusChanged);
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    QVERIFY(!line.startCAPI()); // registering; never waits
    QTRY_VERIFY_WITH_TIMEOUT(line.isRegistered(), 5000);
    QVERIFY(status.size() >= 1);
    QVERIFY(line.startCAPI());
    QCOMPARE(line.capiRelease(), QStringLiteral("registriert bei %1").arg(registrar.uri()));
    QCOMPARE(line.serialNumber(), QStringLiteral("vorsa@127.0.0.1"));

    // A call to the account comes in through the registrar: it rings, and
    // the request URI naming the account takes the called number from To.
    SippPeer caller(m_dir.path());
    SippPeer::Call call;
    call.requestUser = QStringLiteral("vorsa");
    call.to = QStringLiteral("+495215551234");
    call.from = QStringLiteral("<sip:+4930123456@127.0.0.1>");
    call.pauseMs = 500;
    QVERIFY(caller.start(call, registrar.uri().mid(4)));
    QTRY_COMPARE_WITH_TIMEOUT(calls.size(), 1, 5000);
    QCOMPARE(calls[0].at(0).toString(), QStringLiteral("05215551234"));
    QCOMPARE(calls[0].at(1).toString(), QStringLiteral("030123456"));
    QVERIFY2(caller.finish(), qPrintable(caller.output()));
    QTRY_COMPARE(line.ringingCalls(), 0);
}

void TestSipRegistration::wrongPasswordIsShownInTheStatusText()
{
    Registrar registrar;
    QVERIFY2(registrar.start(m_dir.path(), QStringLiteral("vorsa"), QStringLiteral("geheim")),
             qPrintable(registrar.log()));
    RecordingReporter reporter;
    SipLine line(account(registrar, QStringLiteral("falsch")), &reporter);
    QSignalSpy status(&line, &IPhoneLine::StatusChanged);
    QVERIFY(!line.startCAPI());
    QTRY_VERIFY_WITH_TIMEOUT(line.capiRelease().contains(QStringLiteral("Passwort")), 5000);
    QVERIFY(status.size() >= 1);
    QVERIFY(!line.isRegistered());
    QVERIFY(!line.startCAPI());
    QVERIFY2(line.capiRelease().contains(QStringLiteral("Passwort")),
             qPrintable(line.capiRelease()));
    QCOMPARE(reporter.procedures(), QStringList{"SIP"});
    // It does not hammer the registrar: the stack gave up after the second challenge.
    QTest::qWait(500);
    QCOMPARE(reporter.entries.size(), 1);
}

void TestSipRegistration::restartRefreshesTheRegistration()
{
    auto registrar = std::make_unique<Registrar>();
    QVERIFY2(registrar->start(m_dir.path(), QStringLiteral("vorsa"), QStringLiteral("geheim")),
             qPrintable(registrar->log()));
    const quint16 port = registrar->port;
    SipLine line(account(*registrar, QStringLiteral("geheim")), nullptr);
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    line.startCAPI();
    QTRY_VERIFY_WITH_TIMEOUT(line.isRegistered(), 5000);

    // The registrar restarts and forgets every binding; the server's next
    // restart tick registers again on the same transport.
    registrar.reset();
    Registrar again;
    again.port = port;
    QVERIFY2(again.start(m_dir.path(), QStringLiteral("vorsa"), QStringLiteral("geheim")),
             qPrintable(again.log()));
    line.stopCAPI();
    QCoreApplication::processEvents();
    line.startCAPI();
    QTest::qWait(500);
    QVERIFY(line.startCAPI());

    // Without the new binding the registrar would answer 404.
    SippPeer caller(m_dir.path());
    SippPeer::Call call;
    call.requestUser = QStringLiteral("vorsa");
    QVERIFY(caller.start(call, again.uri().mid(4)));
    QVERIFY2(caller.finish(), qPrintable(caller.output()));
    QCOMPARE(calls.size(), 1);
}

QTEST_GUILESS_MAIN(TestSipRegistration)
#include "tst_sipregistration.moc"
