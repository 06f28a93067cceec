#include "callmonitorevent.h"
#include "callmonitorline.h"
#include "reporter.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

using namespace vorsa;

namespace {

// A router's call monitor: accepts the line's connections and sends lines.
class MonitorPeer : public QObject {
public:
    MonitorPeer() { QVERIFY(server.listen(QHostAddress::LocalHost)); }
    quint16 port() const { return server.serverPort(); }
    QTcpSocket* waitForClient(int ms = 5000)
    {
        // The line dials from timers of this thread: keep its event loop running.
        QElapsedTimer t;
        t.start();
        while (!server.hasPendingConnections() && t.elapsed() < ms)
            QTest::qWait(5);
        if (!server.hasPendingConnections())
            return nullptr;
        QTcpSocket* s = server.nextPendingConnection();
        clients << s;
        return s;
    }
    void send(QTcpSocket* s, const QByteArray& bytes)
    {
        s->write(bytes);
        s->flush();
    }
    QTcpServer server;
    QList<QTcpSocket*> clients;
};

CallMonitorLine::Settings settingsFor(quint16 port)
{
    CallMonitorLine::Settings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    s.reconnectFirstMs = 50;
    s.reconnectMaxMs = 400;
    s.stopGraceMs = 200;
    return s;
}

} // namespace

class TestCallMonitor : public QObject {
    Q_OBJECT
private slots:
    void parsesEventLines_data();
    void parsesEventLines();
    void rejectsMalformedLines_data();
    void rejectsMalformedLines();
    void eventLinesSurviveARoundTrip();

    void ringBecomesIncomingCall();
    void connectOfAnIncomingCallGivesIncomingPhoneCall();
    void garbageAndSplitLinesDoNotLoseEvents();
    void overlongLineIsDroppedAndTheNextEventCounts();
    void startIsTrueOnlyOnceConnected();
    void closedConnectionIsDialledAgain();
    void refusedConnectionRetriesWithGrowingPause();
    void silentPeerKeepsTheConnection();
    void keepaliveIsSwitchedOnWithShortProbes();
    void restartTickKeepsTheConnection();
    void stopWithoutStartCloses();
    void lossIsReportedOncePerOutage();
    void peerThatClosesAtOnceIsNotHammered();
    void missingHostFailsWithMessage();
};

void TestCallMonitor::parsesEventLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("calling");
    QTest::addColumn<QString>("called");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("seconds");
    using T = CallMonitorEvent::Type;
    QTest::newRow("ring") << QByteArray("07.12.26 12:01:02;RING;0;0521123456;5551234;SIP0;\r\n")
                          << int(T::Ring) << 0 << "0521123456"
                          << "5551234"
                          << ""
                          << "" << 0;
    QTest::newRow("ring hidden") << QByteArray("07.12.26 12:01:02;RING;1;;5551234;ISDN;\n")
                                 << int(T::Ring) << 1 << ""
                                 << "5551234"
                                 << ""
                                 << "" << 0;
    QTest::newRow("ring extra fields")
        << QByteArray("07.12.26 12:01:02;RING;2;0301234;5551234;SIP1;;x;\n") << int(T::Ring) << 2
        << "0301234"
        << "5551234"
        << ""
        << "" << 0;
    QTest::newRow("call") << QByteArray("07.12.26 12:01:02;CALL;3;10;5551234;0301234;SIP0;\n")
                          << int(T::Call) << 3 << "5551234"
                          << "0301234"
                          << "10"
                          << "" << 0;
    QTest::newRow("connect") << QByteArray("07.12.26 12:01:09;CONNECT;0;4;0521123456;\n")
                             << int(T::Connect) << 0 << ""
                             << ""
                             << "4"
                             << "0521123456" << 0;
    QTest::newRow("disconnect") << QByteArray("07.12.26 12:03:09;DISCONNECT;0;120;\n")
                                << int(T::Disconnect) << 0 << ""
                                << ""
                                << ""
                                << "" << 120;
}

void TestCallMonitor::parsesEventLines()
{
    QFETCH(QByteArray, line);
    QFETCH(int, type);
    QFETCH(int, id);
    QFETCH(QString, calling);
    QFETCH(QString, called);
    QFETCH(QString, extension);
    QFETCH(QString, number);
    QFETCH(int, seconds);
    const CallMonitorEvent e = CallMonitorEvent::parse(line);
    QCOMPARE(int(e.type), type);
    QCOMPARE(e.connectionId, id);
    QCOMPARE(e.calling, calling);
    QCOMPARE(e.called, called);
    QCOMPARE(e.extension, extension);
    QCOMPARE(e.number, number);
    QCOMPARE(e.seconds, seconds);
    QCOMPARE(e.when.date(), QDate(2026, 12, 7));
}

void TestCallMonitor::rejectsMalformedLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("empty") << QByteArray("\r\n");
    QTest::newRow("no trailing semicolon") << QByteArray("07.12.26 12:01:02;RING;0;0521;555;SIP0");
    QTest::newRow("bad date") << QByteArray("32.13.26 12:01:02;RING;0;0521;555;SIP0;");
    QTest::newRow("unknown event") << QByteArray("07.12.26 12:01:02;HANGUP;0;0521;555;SIP0;");
    QTest::newRow("short ring") << QByteArray("07.12.26 12:01:02;RING;0;0521;");
    QTest::newRow("id not a number") << QByteArray("07.12.26 12:01:02;RING;x;0521;555;SIP0;");
    QTest::newRow("letters in number") << QByteArray("07.12.26 12:01:02;RING;0;05a1;555;SIP0;");
    QTest::newRow("injected field sep") << QByteArray("07.12.26 12:01:02;RING;0;0521=1;555;SIP0;");
    QTest::newRow("duration not a number") << QByteArray("07.12.26 12:03:09;DISCONNECT;0;-5;");
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe;RING;;;", 10);
}

void TestCallMonitor::rejectsMalformedLines()
{
    QFETCH(QByteArray, line);
    QVERIFY(!CallMonitorEvent::parse(line).isValid());
}

void TestCallMonitor::eventLinesSurviveARoundTrip()
{
    for (const QByteArray& line : {QByteArray("07.12.26 12:01:02;RING;0;0521123456;5551234;SIP0;"),
                                   QByteArray("07.12.26 12:01:02;CALL;3;10;5551234;0301234;SIP0;"),
                                   QByteArray("07.12.26 12:01:09;CONNECT;0;4;0521123456;"),
                                   QByteArray("07.12.26 12:03:09;DISCONNECT;0;120;")}) {
        const CallMonitorEvent e = CallMonitorEvent::parse(line);
        QCOMPARE(e.toLine(), line);
    }
}

void TestCallMonitor::ringBecomesIncomingCall()
{
    MonitorPeer peer;
    CallMonitorLine line(settingsFor(peer.port()), nullptr);
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    line.startCAPI();
    QTcpSocket* router = peer.waitForClient();
    QVERIFY(router);
    QTRY_VERIFY(line.isConnected());

    peer.send(router, "07.12.26 12:01:02;RING;0;0521123456;5551234;SIP0;\r\n"
                      "07.12.26 12:01:05;RING;1;;5551234;SIP0;\r\n"
                      "07.12.26 12:01:06;RING;2;+4930123456;+495215551234;SIP0;\r\n");
    QTRY_COMPARE(calls.size(), 3);
    QCOMPARE(calls[0], (QVariantList{"5551234", "0521123456", "SIP0"}));
    QCOMPARE(calls[1].at(1).toString(), QStringLiteral("(hidden)"));
    QCOMPARE(calls[2].at(0).toString(), QStringLiteral("05215551234"));
    QCOMPARE(calls[2].at(1).toString(), QStringLiteral("030123456"));
}

void TestCallMonitor::connectOfAnIncomingCallGivesIncomingPhoneCall()
{
    MonitorPeer peer;
    CallMonitorLine line(settingsFor(peer.port()), nullptr);
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    QSignalSpy answered(&line, &IPhoneLine::IncomingPhoneCall);
    line.startCAPI();
    QTcpSocket* router = peer.waitForClient();
    QVERIFY(router);
    // An outgoing call (CALL, CONNECT) is not an incoming one.
    peer.send(router, "07.12.26 12:00:00;CALL;5;10;5551234;0301234;SIP0;\n"
                      "07.12.26 12:00:03;CONNECT;5;10;0301234;\n"
                      "07.12.26 12:00:09;DISCONNECT;5;6;\n"
                      "07.12.26 12:01:02;RING;0;0521123456;5551234;SIP0;\n"
                      "07.12.26 12:01:09;CONNECT;0;4;0521123456;\n"
                      "07.12.26 12:02:09;DISCONNECT;0;60;\n");
    QTRY_COMPARE(answered.size(), 1);
    QCOMPARE(answered[0], (QVariantList{"0", "4"}));
    QCOMPARE(calls.size(), 1);
}

void TestCallMonitor::garbageAndSplitLinesDoNotLoseEvents()
{
    MonitorPeer peer;
    CallMonitorLine line(settingsFor(peer.port()), nullptr);
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    line.startCAPI();
    QTcpSocket* router = peer.waitForClient();
    QVERIFY(router);
    peer.send(router, "hello\r\n;;;;\r\n07.12.26 12:01:02;RI");
    QTest::qWait(50);
    peer.send(router, "NG;0;0521123456;5551234;SIP0;\r\n\r\n");
    peer.send(router, QByteArray("\x00\x01\x02\n", 4));
    peer.send(router, "07.12.26 12:01:03;RING;1;0301;5551234;SIP0;\n");
    QTRY_COMPARE(calls.size(), 2);
    QCOMPARE(calls[0].at(1).toString(), QStringLiteral("0521123456"));
    QCOMPARE(calls[1].at(1).toString(), QStringLiteral("0301"));
    QVERIFY(line.isConnected());
}

void TestCallMonitor::overlongLineIsDroppedAndTheNextEventCounts()
{
    MonitorPeer peer;
    CallMonitorLine line(settingsFor(peer.port()), nullptr);
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    line.startCAPI();
    QTcpSocket* router = peer.waitForClient();
    QVERIFY(router);
    peer.send(router, QByteArray(100000, 'x'));
    QTest::qWait(100);
    peer.send(router, "\n07.12.26 12:01:03;RING;1;0301;5551234;SIP0;\n");
    QTRY_COMPARE(calls.size(), 1);
    QVERIFY(line.isConnected());
}

void TestCallMonitor::startIsTrueOnlyOnceConnected()
{
    MonitorPeer peer;
    CallMonitorLine line(settingsFor(peer.port()), nullptr);
    QSignalSpy status(&line, &IPhoneLine::StatusChanged);
    QVERIFY(!line.startCAPI()); // connecting, never blocking
    QVERIFY(peer.waitForClient());
    QTRY_COMPARE(status.size(), 1);
    QVERIFY(line.startCAPI());
    QCOMPARE(line.capiRelease(), QStringLiteral("verbunden"));
    QCOMPARE(line.serialNumber(), QStringLiteral("127.0.0.1:%1").arg(peer.port()));
}

void TestCallMonitor::closedConnectionIsDialledAgain()
{
    MonitorPeer peer;
    CallMonitorLine line(settingsFor(peer.port()), nullptr);
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    line.startCAPI();
    QTcpSocket* first = peer.waitForClient();
    QVERIFY(first);
    QTRY_VERIFY(line.isConnected());
    first->close(); // the router restarts its monitor
    QTRY_VERIFY(!line.isConnected());
    QVERIFY(line.capiRelease().startsWith(QStringLiteral("getrennt")));
    QTcpSocket* second = peer.waitForClient();
    QVERIFY(second);
    QTRY_VERIFY(line.isConnected());
    peer.send(second, "07.12.26 12:01:03;RING;1;0301;5551234;SIP0;\n");
    QTRY_COMPARE(calls.size(), 1);
}

void TestCallMonitor::refusedConnectionRetriesWithGrowingPause()
{
    // A port that nobody listens on: take one and close it again.
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    CallMonitorLine line(settingsFor(port), nullptr);
    QVERIFY(!line.startCAPI());
    QList<int> delays;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 2000 && delays.size() < 5) {
        QTest::qWait(5);
        const int d = line.reconnectDelayMs();
        if (d && (delays.isEmpty() || delays.last() != d))
            delays << d;
    }
    QCOMPARE(delays, (QList<int>{50, 100, 200, 400}));

    // The router comes back: the next attempt gets through.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, port));
    QTRY_VERIFY_WITH_TIMEOUT(line.isConnected(), 3000);
    QCOMPARE(line.reconnectDelayMs(), 0);
}

void TestCallMonitor::silentPeerKeepsTheConnection()
{
    MonitorPeer peer;
    CallMonitorLine line(settingsFor(peer.port()), nullptr);
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    line.startCAPI();
    QTcpSocket* router = peer.waitForClient();
    QVERIFY(router);
    QTRY_VERIFY(line.isConnected());
    QTest::qWait(1500); // no traffic at all for a while
    QVERIFY(line.isConnected());
    QCOMPARE(peer.server.hasPendingConnections(), false);
    peer.send(router, "07.12.26 12:01:03;RING;1;0301;5551234;SIP0;\n");
    QTRY_COMPARE(calls.size(), 1);
}

void TestCallMonitor::keepaliveIsSwitchedOnWithShortProbes()
{
    MonitorPeer peer;
    auto settings = settingsFor(peer.port());
    settings.keepAliveSec = 30;
    CallMonitorLine line(settings, nullptr);
    line.startCAPI();
    QVERIFY(peer.waitForClient());
    QTRY_VERIFY(line.isConnected());
    auto* socket = line.findChild<QTcpSocket*>();
    QVERIFY(socket);
    const int fd = int(socket->socketDescriptor());
    int on = 0, idle = 0, count = 0;
    socklen_t len = sizeof(int);
    QCOMPARE(::getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, &len), 0);
    QCOMPARE(::getsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, &len), 0);
    QCOMPARE(::getsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, &len), 0);
    QVERIFY(on);
    QCOMPARE(idle, 30);
    QVERIFY(count > 0 && count <= 5);
}

void TestCallMonitor::restartTickKeepsTheConnection()
{
    MonitorPeer peer;
    CallMonitorLine line(settingsFor(peer.port()), nullptr);
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    line.startCAPI();
    QTcpSocket* router = peer.waitForClient();
    QVERIFY(router);
    QTRY_VERIFY(line.isConnected());

    line.stopCAPI();
    QCoreApplication::processEvents();
    QVERIFY(line.startCAPI());
    QTest::qWait(400); // past the grace period
    QVERIFY(line.isConnected());
    QVERIFY(!peer.server.hasPendingConnections());
    peer.send(router, "07.12.26 12:01:03;RING;1;0301;5551234;SIP0;\n");
    QTRY_COMPARE(calls.size(), 1);
}

void TestCallMonitor::stopWithoutStartCloses()
{
    MonitorPeer peer;
    CallMonitorLine line(settingsFor(peer.port()), nullptr);
    line.startCAPI();
    QTcpSocket* router = peer.waitForClient();
    QVERIFY(router);
    QTRY_VERIFY(line.isConnected());
    line.stopCAPI();
    QTRY_COMPARE(router->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(!line.isConnected());
    QTest::qWait(300);
    QVERIFY(!peer.server.hasPendingConnections()); // and it does not dial again
}

void TestCallMonitor::lossIsReportedOncePerOutage()
{
    RecordingReporter reporter;
    auto peer = std::make_unique<MonitorPeer>();
    const quint16 port = peer->port();
    CallMonitorLine line(settingsFor(port), &reporter);
    line.startCAPI();
    QVERIFY(peer->waitForClient());
    QTRY_VERIFY(line.isConnected());
    peer.reset(); // the router is gone; every retry is refused
    QTRY_VERIFY(!line.isConnected());
    QTest::qWait(500);
    QCOMPARE(reporter.entries.size(), 1);
    QCOMPARE(reporter.procedures(), QStringList{"Anrufmonitor"});
    QVERIFY(reporter.entries[0].text.contains(QStringLiteral("127.0.0.1:%1").arg(port)));

    // Back (an event proves it), lost again: a second outage, a second message.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, port));
    QTRY_VERIFY_WITH_TIMEOUT(line.isConnected(), 3000);
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* router = server.nextPendingConnection();
    QSignalSpy calls(&line, &IPhoneLine::IncomingCall);
    router->write("07.12.26 12:01:03;RING;1;0301;5551234;SIP0;\n");
    QTRY_COMPARE(calls.size(), 1);
    router->abort();
    QTRY_VERIFY(!line.isConnected());
    QTRY_COMPARE(reporter.entries.size(), 2);
}

void TestCallMonitor::peerThatClosesAtOnceIsNotHammered()
{
    // A monitor that accepts and hangs up at once (busy, its connection
    // limit reached): the pauses still grow, and it is reported once.
    RecordingReporter reporter;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    int accepted = 0;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = server.nextPendingConnection()) {
            ++accepted;
            s->abort();
        }
    });
    CallMonitorLine line(settingsFor(server.serverPort()), &reporter);
    line.startCAPI();
    QList<int> delays;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 3000 && delays.size() < 4) {
        QTest::qWait(5);
        const int d = line.reconnectDelayMs();
        if (d && (delays.isEmpty() || delays.last() != d))
            delays << d;
    }
    QCOMPARE(delays, (QList<int>{50, 100, 200, 400}));
    QVERIFY(accepted >= 3);
    QCOMPARE(reporter.entries.size(), 1);
}

void TestCallMonitor::missingHostFailsWithMessage()
{
    RecordingReporter reporter;
    CallMonitorLine line(CallMonitorLine::Settings{}, &reporter);
    QVERIFY(!line.startCAPI());
    QVERIFY(!line.startCAPI());
    QCOMPARE(reporter.entries.size(), 1);
    QVERIFY(reporter.entries[0].text.contains(QStringLiteral("[CallMonitor]")));
}

QTEST_GUILESS_MAIN(TestCallMonitor)
#include "tst_callmonitor.moc"
