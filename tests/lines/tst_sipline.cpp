#include "sip/sipline.h"
#include "sippeer.h"

#include "reporter.h"

#include <QAbstractEventDispatcher>
#include <QSignalSpy>
#include <QTest>

using namespace vorsa;

namespace {

SipLine::Settings listenOn(quint16 port)
{
    SipLine::Settings s;
    s.listen = QStringLiteral("127.0.0.1:%1").arg(port);
    return s;
}

} // namespace

class TestSipLine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void ringingInviteIsReportedAndCancelled_data();
    void ringingInviteIsReportedAndCancelled();
    void manyCallsAtOnceAllRingAndEnd();
    void inviteFromAnotherAddressThanTheRegistrarIsRefused();
    void restartTickKeepsTheTransportAndTheRingingCall();
    void busyPortFailsTheStartWithMessage();
    void statusTextsNameStackAndAccount();

private:
    QTemporaryDir m_dir;
};

void TestSipLine::initTestCase()
{
    if (SippPeer::program().isEmpty())
        QSKIP("sipp (Debian package sip-tester) is not installed: the SIP line is not tested");
    QVERIFY(m_dir.isValid());
    // The program's own event loop is what the agent plugs into.
    qInfo() << "event dispatcher:"
            << QAbstractEventDispatcher::instance()->metaObject()->className();
}

void TestSipLine::ringingInviteIsReportedAndCancelled_data()
{
    QTest::addColumn<QString>("requestUser");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QString>("called");
    QTest::addColumn<QString>("calling");
    const QString anna = QStringLiteral("\"Anna\" <sip:0521123456@127.0.0.1>");
    QTest::newRow("from national") << "5551234" << anna << QStringList{} << "5551234"
                                   << "0521123456";
    QTest::newRow("from +49 and called +49")
        << "+495215551234"
        << "<sip:+49301234567@127.0.0.1;user=phone>" << QStringList{} << "05215551234"
        << "0301234567";
    QTest::newRow("from 0049 with separators and cpc")
        << "5551234"
        << "<sip:0049-(0)521-12-34;cpc=ordinary@127.0.0.1;user=phone>" << QStringList{} << "5551234"
        << "05211234";
    QTest::newRow("pai sip") << "5551234" << anna
                             << QStringList{"P-Asserted-Identity: <sip:+4940123456@127.0.0.1>"}
                             << "5551234"
                             << "040123456";
    QTest::newRow("pai tel") << "5551234" << anna
                             << QStringList{"P-Asserted-Identity: <tel:+44-20-7946-0958>"}
                             << "5551234"
                             << "00442079460958";
    QTest::newRow("remote-party-id")
        << "5551234" << anna
        << QStringList{"Remote-Party-ID: <sip:0891234@127.0.0.1>;party=calling;screen=yes"}
        << "5551234"
        << "0891234";
    QTest::newRow("anonymous with privacy id")
        << "5551234"
        << "\"Anonymous\" <sip:anonymous@anonymous.invalid>"
        << QStringList{"P-Asserted-Identity: <sip:+49521999@127.0.0.1>", "Privacy: id"} << "5551234"
        << "(hidden)";
}

void TestSipLine::ringingInviteIsReportedAndCancelled()
{
    QFETCH(QString, requestUser);
    QFETCH(QString, from);
    QFETCH(QStringList, headers);
    QFETCH(QString, called);
    QFETCH(QString, calling);

    const quint16 port = SippPeer::freePort(QHostAddress::LocalHost);
    SipLine line(listenOn(port), nullptr);
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    QVERIFY(line.startCAPI());

    SippPeer sipp(m_dir.path());
    SippPeer::Call call;
    call.requestUser = requestUser;
    call.from = from;
    call.extraHeaders = headers;
    call.pauseMs = 500;
    QVERIFY(sipp.start(call, QStringLiteral("127.0.0.1:%1").arg(port)));
    QTRY_COMPARE_WITH_TIMEOUT(calls.size(), 1, 5000);
    QCOMPARE(calls[0].at(0).toString(), called);
    QCOMPARE(calls[0].at(1).toString(), calling);
    QCOMPARE(line.ringingCalls(), 1);
    // sipp fails on any 2xx or 6xx, on a 180 with a body and on a missing 487.
    QVERIFY2(sipp.finish(), qPrintable(sipp.output()));
    QTRY_COMPARE(line.ringingCalls(), 0);
    QCOMPARE(calls.size(), 1);
}

void TestSipLine::manyCallsAtOnceAllRingAndEnd()
{
    const quint16 port = SippPeer::freePort(QHostAddress::LocalHost);
    SipLine line(listenOn(port), nullptr);
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    QVERIFY(line.startCAPI());
    SippPeer sipp(m_dir.path());
    SippPeer::Call call;
    call.pauseMs = 1000;
    QVERIFY(sipp.start(
        call, QStringLiteral("127.0.0.1:%1").arg(port),
        {QStringLiteral("-m"), QStringLiteral("50"), QStringLiteral("-r"), QStringLiteral("100")}));
    QVERIFY2(sipp.finish(), qPrintable(sipp.output()));
    QCOMPARE(calls.size(), 50);
    QTRY_COMPARE(line.ringingCalls(), 0);
}

void TestSipLine::inviteFromAnotherAddressThanTheRegistrarIsRefused()
{
    // The registrar is 127.0.0.2 (nobody answers there; that is not the point).
    const quint16 port = SippPeer::freePort(QHostAddress::LocalHost);
    auto settings = listenOn(port);
    settings.listen = QStringLiteral("0.0.0.0:%1").arg(port);
    settings.registrar =
        QStringLiteral("sip:127.0.0.2:%1").arg(SippPeer::freePort(QHostAddress("127.0.0.2")));
    settings.user = QStringLiteral("vorsa");
    SipLine line(settings, nullptr);
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    QVERIFY(!line.startCAPI()); // not registered
    QVERIFY(line.isListening());

    SippPeer scanner(m_dir.path());
    SippPeer::Call call;
    call.scenario = QStringLiteral("refused.xml");
    QVERIFY(scanner.start(call, QStringLiteral("127.0.0.1:%1").arg(port)));
    QVERIFY2(scanner.finish(), qPrintable(scanner.output()));
    QCOMPARE(calls.size(), 0);

    // The same INVITE from the registrar's address rings.
    SippPeer registrar(m_dir.path());
    SippPeer::Call fromRegistrar;
    fromRegistrar.localIp = QStringLiteral("127.0.0.2");
    QVERIFY(registrar.start(fromRegistrar, QStringLiteral("127.0.0.1:%1").arg(port)));
    QVERIFY2(registrar.finish(), qPrintable(registrar.output()));
    QCOMPARE(calls.size(), 1);
}

void TestSipLine::restartTickKeepsTheTransportAndTheRingingCall()
{
    const quint16 port = SippPeer::freePort(QHostAddress::LocalHost);
    SipLine line(listenOn(port), nullptr);
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    QVERIFY(line.startCAPI());
    SippPeer sipp(m_dir.path());
    SippPeer::Call call;
    call.pauseMs = 3000;
    QVERIFY(sipp.start(call, QStringLiteral("127.0.0.1:%1").arg(port)));
    QTRY_COMPARE_WITH_TIMEOUT(calls.size(), 1, 5000);

    line.stopCAPI();
    QCoreApplication::processEvents();
    QVERIFY(line.startCAPI());
    QCOMPARE(line.ringingCalls(), 1);
    // The CANCEL after the restart still finds its call (200, 487).
    QVERIFY2(sipp.finish(), qPrintable(sipp.output()));
    QTRY_COMPARE(line.ringingCalls(), 0);
}

void TestSipLine::busyPortFailsTheStartWithMessage()
{
    const quint16 port = SippPeer::freePort(QHostAddress::LocalHost);
    SipLine first(listenOn(port), nullptr);
    QVERIFY(first.startCAPI());
    RecordingReporter reporter;
    SipLine second(listenOn(port), &reporter);
    QVERIFY(!second.startCAPI());
    QVERIFY(!second.isListening());
    QCOMPARE(reporter.procedures(), QStringList{"SIP"});
    QVERIFY(second.capiRelease().contains(QStringLiteral("127.0.0.1:%1").arg(port)));
}

void TestSipLine::statusTextsNameStackAndAccount()
{
    const quint16 port = SippPeer::freePort(QHostAddress::LocalHost);
    SipLine line(listenOn(port), nullptr);
    QVERIFY(line.startCAPI());
    QVERIFY(line.capiVersion().contains(QStringLiteral("sofia-sip")));
    QCOMPARE(line.cardMaker(), QStringLiteral("SIP"));
    QCOMPARE(line.serialNumber(), QStringLiteral("127.0.0.1:%1").arg(port));
    QVERIFY(line.capiRelease().startsWith(QStringLiteral("empfangsbereit")));
    QCOMPARE(line.runsInGlibLoop(),
             QByteArray(QAbstractEventDispatcher::instance()->metaObject()->className())
                 .contains("Glib"));
}

QTEST_GUILESS_MAIN(TestSipLine)
#include "tst_sipline.moc"
