// The client connections on real loopback sockets: slots, announcements,
// broadcasts and replays of the journal.

#include "clients/clienthub.h"
#include "calllog.h"
#include "reporter.h"
#include "win1252.h"
#include "wire/clientrequest.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace vorsa;

namespace {

// Reads everything that arrives until nothing more came for `quietMs`; the
// hub runs in this thread, so the wait lets events run.
QByteArray drain(QTcpSocket& socket, int quietMs = 150)
{
    QByteArray all;
    for (;;) {
        QTest::qWait(quietMs);
        const QByteArray more = socket.readAll();
        if (more.isEmpty())
            return all;
        all += more;
    }
}

} // namespace

class ClientHubTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void freedSlotsAreReused();
    void requestOnAClientSlotIsIgnored();
    void announcementNamesTheClient();
    void announcementAndRequestInOnePieceIsOneAnnouncement();
    void otherMessagesAreIgnored();
    void broadcastReachesConnectedClientsAsOneCrLine();
    void listFollowsClientsThatLeave();
    void requestsAreParsed_data();
    void requestsAreParsed();
    void repeatedAnnouncementsKeepOneLine();
    void overlongHostNameClosesTheClient();
    void replayToASlowClientIsHeldToItsWindow();
    void liveLinesWaitBehindAReplay();
    void clientThatLeavesTooMuchUnreadIsClosed();
    void replaySendsTheSelectedEntries_data();
    void replaySendsTheSelectedEntries();
    void replayWithoutCallLogIsReported();
    void oversizedMessageClosesTheSlot();
    void closeAllEndsEveryConnection();

private:
    // Connects a client and waits until the hub has given it a slot.
    std::unique_ptr<QTcpSocket> connectClient(int* slot = nullptr);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CallLog> m_log;
    RecordingReporter m_reporter;
    std::unique_ptr<ClientHub> m_hub;
};

void ClientHubTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_log = std::make_unique<CallLog>(m_dir->filePath(QStringLiteral("VorsaSvr.log")));
    m_reporter.clear();
    m_hub = std::make_unique<ClientHub>(*m_log, m_reporter);
    m_hub->listen(0);
    QVERIFY(m_hub->isListening());
}

void ClientHubTest::cleanup()
{
    m_hub.reset();
    m_log.reset();
    m_dir.reset();
}

std::unique_ptr<QTcpSocket> ClientHubTest::connectClient(int* slot)
{
    auto client = std::make_unique<QTcpSocket>();
    client->connectToHost(QHostAddress::LocalHost, m_hub->serverPort());
    if (!client->waitForConnected(3000))
        return nullptr;
    const quint16 port = client->localPort();
    QTest::qWaitFor([&] { return m_hub->slotOfPeerPort(port) != 0; }, 3000);
    if (slot)
        *slot = m_hub->slotOfPeerPort(port);
    return client;
}

void ClientHubTest::freedSlotsAreReused()
{
    int s1 = 0, s2 = 0, s3 = 0, s4 = 0;
    auto c1 = connectClient(&s1);
    auto c2 = connectClient(&s2);
    auto c3 = connectClient(&s3);
    QCOMPARE((QList<int>{s1, s2, s3}), (QList<int>{1, 2, 3}));
    c2->disconnectFromHost();
    QTRY_VERIFY(!m_hub->isConnected(2));
    auto c4 = connectClient(&s4);
    QCOMPARE(s4, 2);
    QCOMPARE(m_hub->socketCounter(), 3);
    QVERIFY(m_hub->isConnected(1) && m_hub->isConnected(3));
}

void ClientHubTest::requestOnAClientSlotIsIgnored()
{
    QTcpServer other;
    QVERIFY(other.listen(QHostAddress::LocalHost));
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, other.serverPort());
    QVERIFY(other.waitForNewConnection(3000));
    std::unique_ptr<QTcpSocket> accepted(other.nextPendingConnection());
    QVERIFY(QMetaObject::invokeMethod(m_hub.get(), "Winsock1_ConnectionRequest", Q_ARG(int, 1),
                                      Q_ARG(qintptr, accepted->socketDescriptor())));
    QCOMPARE(m_hub->socketCounter(), 0);
    QVERIFY(m_reporter.entries.isEmpty());
}

void ClientHubTest::announcementNamesTheClient()
{
    QSignalSpy changed(m_hub.get(), &ClientHub::connectionsChanged);
    auto client = connectClient();
    client->write("HN:Zentrale-2");
    QTRY_COMPARE(m_hub->connections(), QStringList{QStringLiteral("127.0.0.1 / Zentrale-2")});
    QCOMPARE(changed.size(), 1);
}

void ClientHubTest::announcementAndRequestInOnePieceIsOneAnnouncement()
{
    m_log->WriteLog(QStringLiteral("*D*Icon=1;Datum=06.12.2026 09:14:05"));
    int slot = 0;
    auto client = connectClient(&slot);
    client->write("HN:ws1*D*:");
    QTRY_COMPARE(m_hub->hostName(slot), QStringLiteral("ws1*D*:"));
    QCOMPARE(drain(*client), QByteArray());
}

void ClientHubTest::otherMessagesAreIgnored()
{
    m_log->WriteLog(QStringLiteral("*D*Icon=1;Datum=06.12.2026 09:14:05"));
    auto client = connectClient();
    client->write("hallo *D*:");
    QCOMPARE(drain(*client), QByteArray());
    QVERIFY(m_hub->connections().isEmpty());
    QVERIFY(m_reporter.entries.isEmpty());
}

void ClientHubTest::broadcastReachesConnectedClientsAsOneCrLine()
{
    int named = 0;
    auto first = connectClient(&named);
    first->write("HN:ws1");
    QTRY_COMPARE(m_hub->hostName(named), QStringLiteral("ws1"));
    auto second = connectClient();
    auto gone = connectClient();
    gone->disconnectFromHost();
    QTRY_VERIFY(!m_hub->isConnected(3));

    m_hub->ClientsNachrichtSenden(QStringLiteral("Icon=1;Name=Müller"));
    const QByteArray expected = QByteArray("Icon=1;Name=M\xfcller\r");
    QCOMPARE(drain(*first), expected);
    QCOMPARE(drain(*second), expected);
    QCOMPARE(m_hub->connections(),
             (QStringList{QStringLiteral("127.0.0.1 / ws1"), QStringLiteral("127.0.0.1 / ")}));
}

void ClientHubTest::listFollowsClientsThatLeave()
{
    {
        auto client = connectClient();
        client->write("HN:ws1");
        QTRY_COMPARE(m_hub->connections().size(), 1);
        client->disconnectFromHost();
        QTRY_VERIFY(!m_hub->isConnected(1));
    }
    QTRY_VERIFY(m_hub->connections().isEmpty()); // at once, not at the next broadcast
    m_hub->ClientsNachrichtSenden(QStringLiteral("Icon=3"));
    QVERIFY(m_hub->connections().isEmpty());
    QVERIFY(m_reporter.entries.isEmpty());
}

void ClientHubTest::requestsAreParsed_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text"); // host name or filter
    using K = ClientRequest::Kind;
    QTest::newRow("announcement") << QByteArray("HN:ws1") << int(K::Announcement) << "ws1";
    QTest::newRow("empty host name") << QByteArray("HN:") << int(K::Announcement) << "";
    QTest::newRow("host name of 255")
        << "HN:" + QByteArray(255, 'a') << int(K::Announcement) << QString(255, QLatin1Char('a'));
    QTest::newRow("host name of 256") << "HN:" + QByteArray(256, 'a') << int(K::Refused) << "";
    QTest::newRow("all") << QByteArray("*D*:") << int(K::Replay) << "";
    QTest::newRow("one date") << QByteArray("*D*:06.12.2026") << int(K::Replay) << "06.12.2026";
    QTest::newRow("13 characters") << QByteArray("*D*:6.12.2026") << int(K::Replay) << "";
    QTest::newRow("lower case") << QByteArray("hn:ws1") << int(K::Ignore) << "";
    QTest::newRow("nothing") << QByteArray() << int(K::Ignore) << "";
    QTest::newRow("too long") << QByteArray(ClientRequest::MaxMessageBytes + 1, '*')
                              << int(K::Refused) << "";
    QTest::newRow("windows-1252") << QByteArray("HN:B\xfcro") << int(K::Announcement)
                                  << QString::fromUtf8("Büro");
}

void ClientHubTest::requestsAreParsed()
{
    QFETCH(QByteArray, message);
    QFETCH(int, kind);
    QFETCH(QString, text);
    const ClientRequest r = ClientRequest::parse(message);
    QCOMPARE(int(r.kind), kind);
    QCOMPARE(r.kind == ClientRequest::Kind::Replay ? r.filter : r.hostName, text);
}

void ClientHubTest::repeatedAnnouncementsKeepOneLine()
{
    int slot = 0;
    auto client = connectClient(&slot);
    for (int i = 0; i < 30; ++i) {
        const QByteArray name = "ws" + QByteArray::number(i);
        client->write("HN:" + name);
        QTRY_COMPARE(m_hub->hostName(slot), QString::fromLatin1(name));
    }
    QCOMPARE(m_hub->connections(), QStringList{QStringLiteral("127.0.0.1 / ws29")});
}

void ClientHubTest::overlongHostNameClosesTheClient()
{
    int slot = 0;
    auto client = connectClient(&slot);
    client->write("HN:" + QByteArray(60000, 'n'));
    QTRY_COMPARE(client->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(!m_hub->isConnected(slot));
    QVERIFY(m_hub->connections().isEmpty());
    QVERIFY(m_reporter.entries.isEmpty());
}

namespace {
// A call log of `entries` journal lines of about 200 bytes; returns its size.
qint64 writeLongJournal(const QString& path, int entries)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return -1;
    for (int i = 0; i < entries; ++i)
        f.write("*D*Icon=1;Datum=06.12.2026 09:14:05;Anrufer=0521" + QByteArray::number(i) +
                ";Name=" + QByteArray(150, 'N') + "\r\n");
    return f.size();
}

// A client that reads only when told: the kernel's buffers fill up behind it.
void readSlowly(QTcpSocket& client)
{
    client.setReadBufferSize(4096);
}
} // namespace

void ClientHubTest::replayToASlowClientIsHeldToItsWindow()
{
    const int entries = 50000; // about 10 MB
    QVERIFY(writeLongJournal(m_log->path(), entries) > 0);
    int slot = 0;
    auto client = connectClient(&slot);
    readSlowly(*client);
    client->write("*D*:");
    QTRY_VERIFY(m_hub->replaying(slot));
    QTest::qWait(300);
    // The server holds at most its window (plus one line) for the client.
    QVERIFY2(m_hub->unsentBytes(slot) <= ClientHub::ReplayWindowBytes + 512,
             qPrintable(QString::number(m_hub->unsentBytes(slot))));
    client->write("*D*:"); // asked again before the first is sent: ignored
    QTest::qWait(50);

    client->setReadBufferSize(0);
    QByteArray received;
    QVERIFY(QTest::qWaitFor(
        [&] {
            received += client->readAll();
            return received.count('\r') >= entries && !m_hub->replaying(slot);
        },
        30000));
    received += drain(*client);
    QCOMPARE(int(received.count('\r')), entries); // once, not twice
    QVERIFY(received.endsWith("Anrufer=0521" + QByteArray::number(entries - 1) +
                              ";Name=" + QByteArray(150, 'N') + "\r"));
}

void ClientHubTest::liveLinesWaitBehindAReplay()
{
    const int entries = 20000;
    QVERIFY(writeLongJournal(m_log->path(), entries) > 0);
    int slot = 0;
    auto client = connectClient(&slot);
    readSlowly(*client);
    client->write("*D*:");
    QTRY_VERIFY(m_hub->replaying(slot));
    m_hub->ClientsNachrichtSenden(QStringLiteral("Icon=9;Anrufer=live"));
    client->setReadBufferSize(0);
    QByteArray received;
    QVERIFY(QTest::qWaitFor(
        [&] {
            received += client->readAll();
            return received.count('\r') >= entries + 1;
        },
        30000));
    received += drain(*client);
    QCOMPARE(int(received.count('\r')), entries + 1);
    QVERIFY(received.endsWith("\rIcon=9;Anrufer=live\r")); // the newest comes last
}

void ClientHubTest::clientThatLeavesTooMuchUnreadIsClosed()
{
    int slot = 0;
    auto client = connectClient(&slot);
    client->write("HN:gierig");
    QTRY_COMPARE(m_hub->connections().size(), 1);
    readSlowly(*client);
    const QString line = QStringLiteral("Icon=1;Name=") + QString(1000, QLatin1Char('N'));
    int sent = 0;
    while (m_hub->isConnected(slot) && sent < 100000) {
        m_hub->ClientsNachrichtSenden(line);
        ++sent;
        QVERIFY(m_hub->unsentBytes(slot) <= ClientHub::MaxUnsentBytes);
        if (sent % 100 == 0)
            QTest::qWait(1); // the socket hands what it can to the kernel
    }
    QVERIFY2(!m_hub->isConnected(slot), "never closed");
    QVERIFY(m_hub->connections().isEmpty());
    client->setReadBufferSize(0); // reading on, the client sees the end
    QTRY_COMPARE_WITH_TIMEOUT(client->state(), QAbstractSocket::UnconnectedState, 10000);
}

void ClientHubTest::replaySendsTheSelectedEntries_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray first = "Icon=1;Datum=06.12.2026 09:14:05;Anrufer=0401\r";
    const QByteArray second = "Icon=3;DATUM=07.12.2026 10:00:00;Anrufer=Amt\r";
    const QByteArray third = "Icon=2;Datum=06.12.2026 23:59:59;Anrufer=0402\r";
    QTest::newRow("all") << QByteArray("*D*:") << first + second + third;
    QTest::newRow("one date") << QByteArray("*D*:06.12.2026") << first + third;
    QTest::newRow("upper-case key found") << QByteArray("*D*:07.12.2026") << second;
    QTest::newRow("13 characters mean all")
        << QByteArray("*D*:6.12.2026") << first + second + third;
    QTest::newRow("15 characters mean all")
        << QByteArray("*D*:06.12.2026 ") << first + second + third;
}

void ClientHubTest::replaySendsTheSelectedEntries()
{
    QFETCH(QByteArray, request);
    m_log->WriteLog(QStringLiteral("   "));
    m_log->WriteLog(QStringLiteral(" Orvo-Software Start Server, 06.12.2026 08:00:00"));
    m_log->WriteLog(QStringLiteral("*D*Icon=1;Datum=06.12.2026 09:14:05;Anrufer=0401"));
    m_log->WriteLog(QStringLiteral("*D*Icon=3;DATUM=07.12.2026 10:00:00;Anrufer=Amt"));
    m_log->WriteLog(QStringLiteral("stopCAPI"));
    m_log->WriteLog(QStringLiteral("*D*Icon=2;Datum=06.12.2026 23:59:59;Anrufer=0402"));
    auto client = connectClient();
    client->write(request);
    QTEST(drain(*client), "expected");
}

void ClientHubTest::replayWithoutCallLogIsReported()
{
    auto client = connectClient();
    client->write("*D*:");
    QTRY_COMPARE(m_reporter.procedures(), QStringList{QStringLiteral("ClientLogFileDatenSenden")});
    QCOMPARE(drain(*client), QByteArray());
}

void ClientHubTest::oversizedMessageClosesTheSlot()
{
    int slot = 0;
    auto client = connectClient(&slot);
    client->write(QByteArray(4 * ClientHub::MaxMessageBytes, 'x'));
    // Fill the kernel buffers before the hub reads, so one arrival is too big.
    while (client->bytesToWrite() > 0 && client->waitForBytesWritten(100)) {
    }
    QTRY_VERIFY(!m_hub->isConnected(slot));
}

void ClientHubTest::closeAllEndsEveryConnection()
{
    auto first = connectClient();
    auto second = connectClient();
    m_hub->closeAll();
    QVERIFY(!m_hub->isListening());
    QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(second->state(), QAbstractSocket::UnconnectedState);
}

QTEST_GUILESS_MAIN(ClientHubTest)
#include "clienthubtest.moc"
