// Who may connect to the server: the address it listens on, the allow-list
// of clients, and TLS as its settings switch it on.
#include "clients/clientaccess.h"
#include "net/tls.h"
#include "serverfixture.h"
#include "testcertificates.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTest>

using namespace vorsa;
using namespace vorsa::test;

namespace {

QString get(const QString& ini, const char* key)
{
    return IniLesen(QStringLiteral("Settings"), QString::fromLatin1(key), ini,
                    QStringLiteral("<missing>"));
}

// A server on a free port with a table name (so that loading shows no box)
// and the settings given.
ServerCore& loadWith(ServerFixture& f, const QList<QPair<const char*, QString>>& settings)
{
    f.usePrivatePort();
    f.set("Table", "Name", QStringLiteral("TTelefonNr"));
    for (const auto& [key, value] : settings)
        f.set("Settings", key, value);
    return f.load();
}

// Connects from `from` (any local address when null) to the server's port on
// `to`; the socket once the server has taken it (a slot) or closed it.
std::unique_ptr<QTcpSocket> knock(ServerCore& core, const QHostAddress& to,
                                  const QHostAddress& from = {})
{
    auto socket = std::make_unique<QTcpSocket>();
    if (!from.isNull() && !socket->bind(from))
        return nullptr;
    socket->connectToHost(to, core.clients().serverPort());
    static_cast<void>(
        QTest::qWaitFor([&] { return socket->state() == QAbstractSocket::ConnectedState; }, 3000));
    const quint16 port = socket->localPort();
    static_cast<void>(QTest::qWaitFor(
        [&] {
            return socket->state() == QAbstractSocket::UnconnectedState ||
                   core.clients().slotOfPeerPort(port) != 0;
        },
        3000));
    return socket;
}

bool admitted(ServerCore& core, const std::unique_ptr<QTcpSocket>& socket)
{
    return socket && socket->state() == QAbstractSocket::ConnectedState &&
           core.clients().slotOfPeerPort(socket->localPort()) != 0;
}

qsizetype countContaining(const QStringList& lines, const QString& text)
{
    return std::count_if(lines.cbegin(), lines.cend(),
                         [&](const QString& line) { return line.contains(text); });
}

} // namespace

class ClientAccessTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        const QString why = m_certificates.make();
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }

    void allowListEntries_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("client");
        QTest::addColumn<bool>("admitted");
        QTest::addColumn<QStringList>("malformed");
        const QStringList none;
        QTest::newRow("empty: everyone") << ""
                                         << "203.0.113.9" << true << none;
        QTest::newRow("only commas: everyone") << " , ,"
                                               << "203.0.113.9" << true << none;
        QTest::newRow("one address") << "127.0.0.1"
                                     << "127.0.0.1" << true << none;
        QTest::newRow("its neighbour") << "127.0.0.1"
                                       << "127.0.0.2" << false << none;
        QTest::newRow("IPv4 on a dual-stack socket") << "192.168.1.0/24"
                                                     << "::ffff:192.168.1.77" << true << none;
        QTest::newRow("outside the network") << "192.168.1.0/24"
                                             << "192.168.2.1" << false << none;
        QTest::newRow("host bits set") << "192.168.1.20/24"
                                       << "192.168.1.99" << true << none;
        QTest::newRow("IPv6 network, blanks") << " 10.0.0.0/8 , fd00::/8 "
                                              << "fd12:3456::1" << true << none;
        QTest::newRow("IPv4 network in IPv6 form, IPv4-only socket")
            << "::ffff:192.168.1.0/120"
            << "192.168.1.7" << true << none;
        QTest::newRow("IPv6 loopback") << "::1/128"
                                       << "::1" << true << none;
        QTest::newRow("IPv6 entry, IPv4 client") << "::1/128"
                                                 << "127.0.0.1" << false << none;
        QTest::newRow("short form is no network")
            << "192.168.1"
            << "192.168.1.5" << false << QStringList{"192.168.1"};
        QTest::newRow("leading zeros are no address")
            << "192.168.1.010, 0177.0.0.1/8"
            << "192.168.1.8" << false << QStringList{"192.168.1.010", "0177.0.0.1/8"};
        QTest::newRow("bad entries left out")
            << "10.0.0.300/8, 10.0.0.0/33, zentrale, 10.0.0.0/8"
            << "10.1.2.3" << true << QStringList{"10.0.0.300/8", "10.0.0.0/33", "zentrale"};
        QTest::newRow("a signed prefix is no prefix")
            << "10.0.0.0/-0"
            << "192.168.1.7" << false << QStringList{"10.0.0.0/-0"};
        QTest::newRow("only a bad entry: no one")
            << "zentrale"
            << "127.0.0.1" << false << QStringList{"zentrale"};
    }

    void allowListEntries()
    {
        QFETCH(QString, setting);
        QFETCH(QString, client);
        QFETCH(bool, admitted);
        QFETCH(QStringList, malformed);
        QStringList bad;
        const AllowList list = AllowList::parse(setting, &bad);
        QCOMPARE(list.admits(QHostAddress(client)), admitted);
        QCOMPARE(bad, malformed);
    }

    void refusalLogSaysOncePerMinuteAndStaysSmall()
    {
        qint64 now = 0;
        RefusalLog log([&] { return now; });
        const QString key = QStringLiteral("fd00::1 nicht in ErlaubteClients");
        int unsaid = -1;
        QVERIFY(log.shouldSay(key, &unsaid));
        QCOMPARE(unsaid, 0);
        now += RefusalLog::QuietMs - 1;
        QVERIFY(!log.shouldSay(key));
        now += 1;
        QVERIFY(log.shouldSay(key, &unsaid));
        QCOMPARE(unsaid, 1);

        // A flood from ever new addresses: the remembered ones are capped,
        // and each further attempt costs no search through them.
        const auto address = [](int i) { return QStringLiteral("fd01::%1").arg(i, 0, 16); };
        for (int i = 1; i < RefusalLog::MaxKeys; ++i)
            QVERIFY(log.shouldSay(address(i)));
        now += 1;
        QElapsedTimer timer;
        timer.start();
        for (int i = RefusalLog::MaxKeys; i < RefusalLog::MaxKeys + 20000; ++i)
            QVERIFY(!log.shouldSay(address(i)));
        QVERIFY2(timer.elapsed() < 100, qPrintable(QString::number(timer.elapsed())));
        // Once the first ones are a minute old, new addresses are said again.
        now += RefusalLog::QuietMs;
        QVERIFY(log.shouldSay(address(0)));
    }

    void refusedClientGetsNoSlotAndNoByte()
    {
        ServerFixture f;
        ServerCore& core = loadWith(f, {{"ErlaubteClients", QStringLiteral("127.0.0.1")}});
        QVERIFY(core.clients().isListening());
        auto allowed = knock(core, QHostAddress::LocalHost);
        QVERIFY(admitted(core, allowed));
        QCOMPARE(core.clients().socketCounter(), 1);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                               "^Client 127\\.0\\.0\\.2 abgewiesen: nicht in "
                                               "ErlaubteClients$")));
        for (int attempt = 0; attempt < 2; ++attempt) {
            auto refused = knock(core, QHostAddress::LocalHost, QHostAddress("127.0.0.2"));
            QVERIFY(refused);
            QTRY_COMPARE(refused->state(), QAbstractSocket::UnconnectedState);
            core.clients().ClientsNachrichtSenden(QStringLiteral("Icon=1;Anrufer=Müller"));
            QTest::qWait(50);
            QCOMPARE(refused->readAll(), QByteArray());
        }
        QCOMPARE(core.clients().socketCounter(), 1);
        QByteArray lines;
        QTRY_VERIFY((lines += allowed->readAll()).count('\r') == 2);
        QCOMPARE(lines, QByteArray("Icon=1;Anrufer=M\xfcller\rIcon=1;Anrufer=M\xfcller\r"));
        // Said once a minute, in the window's list, never in a box.
        QCOMPARE(countContaining(core.debugList(), QStringLiteral("127.0.0.2 abgewiesen")), 1);
        QVERIFY2(f.reporter.entries.isEmpty(), qPrintable(f.reporter.procedures().join(',')));
    }

    void ipv6LoopbackWithItsEntry()
    {
        ServerFixture f;
        ServerCore& core = loadWith(f, {{"ErlaubteClients", QStringLiteral("::1/128")}});
        auto v6 = knock(core, QHostAddress::LocalHostIPv6);
        QVERIFY(admitted(core, v6));
        v6->write("HN:platz6");
        QTRY_COMPARE(core.connections(), QStringList{QStringLiteral("::1 / platz6")});
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("127.0.0.1 abgewiesen")));
        QVERIFY(!admitted(core, knock(core, QHostAddress::LocalHost)));
    }

    void malformedEntriesAreReportedAtStartUp_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("localAdmitted");
        QTest::newRow("one bad of two")
            << "127.0.0.1, 10.0.0.300/8"
            << "[EinlesenParameterAllgemein]\r\n\r\nUngültiger Eintrag in ErlaubteClients: "
               "\"10.0.0.300/8\" (erlaubt sind Adressen und Netze wie 192.168.1.20, "
               "192.168.1.0/24 oder fd00::/8)."
            << true;
        QTest::newRow("nothing valid")
            << "zentrale"
            << "[EinlesenParameterAllgemein]\r\n\r\nUngültiger Eintrag in ErlaubteClients: "
               "\"zentrale\" (erlaubt sind Adressen und Netze wie 192.168.1.20, 192.168.1.0/24 "
               "oder fd00::/8). Es wird kein Client angenommen."
            << false;
    }

    void malformedEntriesAreReportedAtStartUp()
    {
        QFETCH(QString, setting);
        QFETCH(QString, text);
        QFETCH(bool, localAdmitted);
        ServerFixture f;
        ServerCore& core = loadWith(f, {{"ErlaubteClients", setting}});
        QCOMPARE(f.reporter.entries.size(), 1);
        QCOMPARE(f.reporter.entries[0].text, text);
        QCOMPARE(f.reporter.entries[0].title, QStringLiteral("Fehler: 380"));
        QVERIFY(core.clients().isListening());
        if (!localAdmitted)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("abgewiesen")));
        QCOMPARE(admitted(core, knock(core, QHostAddress::LocalHost)), localAdmitted);
    }

    void listenAddressIsTheOnlyOneListenedOn()
    {
        {
            ServerFixture f;
            ServerCore& core = loadWith(f, {});
            // A first start lists the keys of who may connect, switched off.
            for (const char* key : {"ListenAddress", "ErlaubteClients", "TLSZertifikat",
                                    "TLSSchluessel", "TLSClientZertifikate"})
                QCOMPARE(get(f.ini(), key), QString());
            QCOMPARE(get(f.ini(), "TLS"), QStringLiteral("0"));
            QVERIFY(admitted(core, knock(core, QHostAddress("127.0.0.2"))));
        }
        {
            ServerFixture f;
            ServerCore& core = loadWith(f, {{"ListenAddress", QStringLiteral("127.0.0.1")}});
            QVERIFY(admitted(core, knock(core, QHostAddress::LocalHost)));
            QTcpSocket other;
            other.connectToHost(QHostAddress("127.0.0.2"), core.clients().serverPort());
            QTRY_COMPARE(other.error(), QAbstractSocket::ConnectionRefusedError);
            QVERIFY(f.reporter.entries.isEmpty());
        }
        {
            ServerFixture f;
            ServerCore& core = loadWith(f, {{"ListenAddress", QStringLiteral("zentrale")}});
            QCOMPARE(f.reporter.procedures(), QStringList{"EinlesenParameterAllgemein"});
            QVERIFY(f.reporter.entries[0].text.contains(
                QStringLiteral("(ListenAddress \"zentrale\")")));
            QVERIFY(!core.clients().isListening());
            QVERIFY(core.startupProblem().contains(QStringLiteral("Settings/ListenAddress")));
        }
    }

    void tlsSettingsThatCannotBeHonouredKeepTheServerFromListening_data()
    {
        QTest::addColumn<QString>("tls");
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("clientCa");
        QTest::addColumn<QString>("text");
        QTest::newRow("no files") << "1"
                                  << ""
                                  << ""
                                  << ""
                                  << "TLS=1 braucht das Zertifikat des Servers (TLSZertifikat) "
                                     "und seinen Schlüssel (TLSSchluessel).";
        QTest::newRow("key missing") << "1"
                                     << "server.pem"
                                     << "fehlt.key"
                                     << ""
                                     << "Datei nicht gefunden: TLSSchluessel \"%1/fehlt.key\"";
        QTest::newRow("a key for a certificate")
            << "1"
            << "server.key"
            << "server.key"
            << ""
            << "Die Datei TLSZertifikat \"%1/server.key\" enthält kein Zertifikat im PEM-Format.";
        QTest::newRow("a certificate for a key")
            << "1"
            << "server.pem"
            << "server.pem"
            << ""
            << "Die Datei TLSSchluessel \"%1/server.pem\" enthält keinen lesbaren privaten "
               "Schlüssel im PEM-Format (ein Schlüssel mit Kennwort wird nicht gelesen).";
        QTest::newRow("the key of another certificate")
            << "1"
            << "server.pem"
            << "client.key"
            << ""
            << "Der Schlüssel TLSSchluessel \"%1/client.key\" gehört nicht zum Zertifikat "
               "TLSZertifikat \"%1/server.pem\" (";
        QTest::newRow("not 0 or 1") << "ja"
                                    << "server.pem"
                                    << "server.key"
                                    << ""
                                    << "Ungültiger Eigenschaftswert (TLS \"ja\"): 0 schaltet TLS "
                                       "aus, 1 ein";
        QTest::newRow("client certificates without TLS")
            << "0"
            << ""
            << ""
            << "ca.pem"
            << "TLSClientZertifikate verlangt TLS=1: ohne TLS kann der Server kein "
               "Client-Zertifikat prüfen.";
    }

    void tlsSettingsThatCannotBeHonouredKeepTheServerFromListening()
    {
        QFETCH(QString, tls);
        QFETCH(QString, certificate);
        QFETCH(QString, key);
        QFETCH(QString, clientCa);
        QFETCH(QString, text);
        ServerFixture f;
        copyCertificates(f);
        ServerCore& core = loadWith(f, {{"TLS", tls},
                                        {"TLSZertifikat", certificate},
                                        {"TLSSchluessel", key},
                                        {"TLSClientZertifikate", clientCa}});
        QCOMPARE(f.reporter.procedures(), QStringList{"EinlesenParameterAllgemein"});
        // The text, or its beginning when the TLS library adds its reason.
        const QString expected =
            QStringLiteral("[EinlesenParameterAllgemein]\r\n\r\n") +
            text.replace(QStringLiteral("%1"), QDir::toNativeSeparators(f.dir.path()));
        QVERIFY2(text.endsWith(QLatin1Char('(')) ? f.reporter.entries[0].text.startsWith(expected)
                                                 : f.reporter.entries[0].text == expected,
                 qPrintable(f.reporter.entries[0].text));
        QVERIFY(!core.clients().isListening());
        QVERIFY(core.startupProblem().contains(QStringLiteral("Settings/TLS")));
    }

    void plainPeerOfATlsServerGetsNoLine()
    {
        ServerFixture f;
        copyCertificates(f);
        // A key any user may read is said, not refused.
        QVERIFY(QFile::setPermissions(f.dir.filePath(QStringLiteral("server.key")),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ReadOther));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                               "server\\.key\" ist für alle Benutzer")));
        ServerCore& core = loadWith(f, {{"TLS", QStringLiteral("1")},
                                        {"TLSZertifikat", QStringLiteral("server.pem")},
                                        {"TLSSchluessel", QStringLiteral("server.key")}});
        QVERIFY2(f.reporter.entries.isEmpty(), qPrintable(f.reporter.procedures().join(',')));
        QVERIFY(core.clients().isListening());
        auto plain = knock(core, QHostAddress::LocalHost);
        QVERIFY(admitted(core, plain));
        // A call while it has not spoken yet: it waits for a handshake that
        // never comes, and is never sent unencrypted.
        core.clients().ClientsNachrichtSenden(QStringLiteral("Icon=1;Anrufer=Müller"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("spricht ohne TLS")));
        plain->write("HN:platz1");
        QTRY_COMPARE(plain->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(plain->readAll(), tls::protocolVersionAlert());
        QCOMPARE(countContaining(core.debugList(), QStringLiteral("spricht ohne TLS")), 1);
        QCOMPARE(countContaining(core.debugList(), QStringLiteral("für alle Benutzer")), 1);
        QVERIFY(f.reporter.entries.isEmpty());
    }

    void slowTlsClientIsHeldToItsWindowAndClosedPastItsCap()
    {
        ServerFixture f;
        copyCertificates(f);
        ServerCore& core = loadWith(f, {{"TLS", QStringLiteral("1")},
                                        {"TLSZertifikat", QStringLiteral("server.pem")},
                                        {"TLSSchluessel", QStringLiteral("server.key")}});
        const int entries = 30000; // about 6 MB
        {
            QFile log(f.log());
            QVERIFY(log.open(QIODevice::Append));
            for (int i = 0; i < entries; ++i)
                log.write("*D*Icon=1;Datum=06.12.2026 09:14:05;Anrufer=0521" +
                          QByteArray::number(i) + ";Name=" + QByteArray(150, 'N') + "\r\n");
        }
        QSslSocket client;
        QSslConfiguration configuration = client.sslConfiguration();
        configuration.setCaCertificates(QSslCertificate::fromPath(m_certificates.path("ca.pem")));
        client.setSslConfiguration(configuration);
        client.setReadBufferSize(4096); // reads only when told
        client.connectToHostEncrypted(QStringLiteral("localhost"), core.clients().serverPort());
        QTRY_VERIFY(client.isEncrypted());
        client.write("*D*:");
        QTRY_VERIFY(core.clients().replaying(1));
        QTest::qWait(300);
        // Encrypted or not yet: the server holds at most its window for the client.
        QVERIFY2(core.clients().unsentBytes(1) <= ClientHub::ReplayWindowBytes + 512,
                 qPrintable(QString::number(core.clients().unsentBytes(1))));

        client.setReadBufferSize(0);
        QByteArray received;
        QVERIFY(QTest::qWaitFor(
            [&] {
                received += client.readAll();
                return received.count('\r') >= entries && !core.clients().replaying(1);
            },
            30000));
        QVERIFY(received.endsWith("Anrufer=0521" + QByteArray::number(entries - 1) +
                                  ";Name=" + QByteArray(150, 'N') + "\r"));

        // Live lines it leaves unread count encrypted too: past the cap it is closed.
        client.setReadBufferSize(4096);
        const QString line = QStringLiteral("Icon=1;Name=") + QString(1000, QLatin1Char('N'));
        int sent = 0;
        while (core.clients().isConnected(1) && sent < 20000) {
            core.clients().ClientsNachrichtSenden(line);
            ++sent;
            QVERIFY(core.clients().unsentBytes(1) <= ClientHub::MaxUnsentBytes);
            if (sent % 100 == 0)
                QTest::qWait(1);
        }
        QVERIFY2(!core.clients().isConnected(1), "never closed");
    }

private:
    void copyCertificates(ServerFixture& f)
    {
        for (const char* name : {"server.pem", "server.key", "client.key", "ca.pem"})
            QVERIFY(QFile::copy(m_certificates.path(QString::fromLatin1(name)),
                                f.dir.filePath(QString::fromLatin1(name))));
    }

    TestCertificates m_certificates;
};

QTEST_GUILESS_MAIN(ClientAccessTest)
#include "tst_clientaccess.moc"
