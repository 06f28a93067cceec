// The call client over TLS against the server's client connections: calls
// and replays arrive encrypted; every way the two ends do not fit together
// fails cleanly, with a German message that says why, shown once.
#include "calllog.h"
#include "clientfixture.h"
#include "clients/clienthub.h"
#include "net/tls.h"
#include "testcertificates.h"

#include <QDir>
#include <QRegularExpression>

using namespace vorsa;
using namespace vorsa::test;

namespace {

const QByteArray kFields = "[Feld1]\r\nFieldName=Datum\r\nColumnName=Datum\r\n"
                           "[Feld2]\r\nFieldName=Anrufer\r\nColumnName=Anrufer\r\n";

// The server's side: its client connections on loopback, with or without TLS.
struct Server {
    QTemporaryDir dir;
    CallLog log{dir.filePath(QStringLiteral("VorsaSvr.log"))};
    RecordingReporter reporter;
    ClientHub hub{log, reporter};
    QStringList refusals;

    Server(const TestCertificates& certificates, bool tls, const QString& clientCa = {})
    {
        ClientAccess access;
        if (tls)
            access.tls = tls::serverConfiguration(
                {QStringLiteral("TLSZertifikat"), certificates.path(QStringLiteral("server.pem"))},
                {QStringLiteral("TLSSchluessel"), certificates.path(QStringLiteral("server.key"))},
                {QStringLiteral("TLSClientZertifikate"),
                 clientCa.isEmpty() ? QString() : certificates.path(clientCa)});
        hub.setAccess(access);
        hub.listen(0);
        QObject::connect(&hub, &ClientHub::clientRefused,
                         [this](const QString& text) { refusals << text; });
    }
};

// The client's settings: the server, TLS and the files given (paths of the
// test's certificates, "" not set).
QByteArray settings(const Server& server, const QString& host, bool tls, const QString& ca = {},
                    const QString& certificate = {}, const QString& key = {})
{
    return "[Settings]\r\nRemoteHost=" + host.toUtf8() +
           "\r\nRemotePort=" + QByteArray::number(server.hub.serverPort()) +
           "\r\nTopmost=0\r\nTopmostByCall=0\r\nTLS=" + (tls ? "1" : "0") +
           "\r\nTLSZertifizierungsstelle=" + ca.toUtf8() +
           "\r\nTLSZertifikat=" + certificate.toUtf8() + "\r\nTLSSchluessel=" + key.toUtf8() +
           "\r\n" + kFields;
}

} // namespace

class ClientTlsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        const QString why = m_certificates.make();
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }

    void tlsClientGetsCallsAndReplays()
    {
        Server server(m_certificates, true);
        server.log.WriteLog(QStringLiteral("*D*Icon=1;Datum=06.12.2026 09:14:05;Anrufer=Früher"));
        ClientFixture f;
        f.writeIni(settings(server, QStringLiteral("localhost"), true, path("ca.pem")));
        f.load();
        QTRY_COMPARE(f.client->connectionState(), QStringLiteral("verbunden (TLS)"));
        QTRY_COMPARE(server.hub.hostName(1), QStringLiteral("platz7"));

        server.hub.ClientsNachrichtSenden(QStringLiteral("Icon=1;Anrufer=Müller"));
        QTRY_COMPARE(f.client->model().rowCount(), 1);
        QCOMPARE(f.client->txtOutput(), QStringLiteral("Müller"));
        f.client->mnuAlles_Click();
        QTRY_COMPARE(f.client->txtOutput(), QStringLiteral("06.12.2026 09:14:05, Früher"));
        QCOMPARE(f.client->model().rowCount(), 1);
        QVERIFY(f.reporter.entries.isEmpty());
        QVERIFY(server.refusals.isEmpty());
    }

    // Each end as set, what the client is told, and what the server logs.
    void endsThatDoNotFitFailCleanly_data()
    {
        QTest::addColumn<bool>("serverTls");
        QTest::addColumn<QString>("clientCa"); // the server asks for client certificates
        QTest::addColumn<bool>("clientTls");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("ca");
        QTest::addColumn<QString>("certificate"); // and its key
        QTest::addColumn<QString>("told");
        QTest::addColumn<QString>("logged");
        QTest::newRow("plain client, TLS server")
            << true << "" << false << "localhost"
            << ""
            << ""
            << "Der Server verlangt eine verschlüsselte Verbindung (TLS). Bei diesem Arbeitsplatz "
               "TLS=1 und TLSZertifizierungsstelle setzen."
            << "spricht ohne TLS";
        QTest::newRow("TLS client, plain server")
            << false << "" << true << "localhost"
            << "ca.pem"
            << ""
            << "Der Server nimmt keine verschlüsselte Verbindung an: er ist ohne TLS eingestellt. "
               "Beim Server TLS=1 setzen oder bei diesem Arbeitsplatz TLS=0."
            << "spricht TLS, der Server ist ohne TLS eingestellt";
        QTest::newRow("wrong host name")
            << true << "" << true << "127.0.0.1"
            << "ca.pem"
            << ""
            << "Das Zertifikat des Servers gilt nicht für \"127.0.0.1\" (RemoteHost), sondern "
               "für \"localhost\", \"::1\". RemoteHost muss einer dieser Namen sein."
            << "abgebrochen";
        QTest::newRow("unknown authority: the system's store")
            << true << "" << true << "localhost"
            << ""
            << ""
            << "Das Zertifikat des Servers ist von keiner Zertifizierungsstelle unterschrieben, "
               "der dieser Rechner vertraut. In TLSZertifizierungsstelle gehört das Zertifikat "
               "der Zertifizierungsstelle des Betriebs."
            << "er vertraut dem Zertifikat des Servers nicht";
        QTest::newRow("unknown authority: another one")
            << true << "" << true << "localhost"
            << "other-ca.pem"
            << ""
            << "Das Zertifikat des Servers ist nicht von der Zertifizierungsstelle in "
               "\"%1/other-ca.pem\" (TLSZertifizierungsstelle) unterschrieben."
            << "er vertraut dem Zertifikat des Servers nicht";
        QTest::newRow("client certificate required, missing")
            << true << "ca.pem" << true << "localhost"
            << "ca.pem"
            << ""
            << "Der Server verlangt ein Client-Zertifikat. Bei diesem Arbeitsplatz TLSZertifikat "
               "und TLSSchluessel setzen."
            << "legt kein Client-Zertifikat vor";
        QTest::newRow("client certificate of another authority")
            << true << "ca.pem" << true << "localhost"
            << "ca.pem"
            << "other-client"
            << "Der Server lehnt das Client-Zertifikat dieses Arbeitsplatzes ab: es ist nicht von "
               "der Zertifizierungsstelle unterschrieben, die der Server in TLSClientZertifikate "
               "nennt."
            << "nicht von der Zertifizierungsstelle in TLSClientZertifikate";
    }

    void endsThatDoNotFitFailCleanly()
    {
        QFETCH(bool, serverTls);
        QFETCH(QString, clientCa);
        QFETCH(bool, clientTls);
        QFETCH(QString, host);
        QFETCH(QString, ca);
        QFETCH(QString, certificate);
        QFETCH(QString, told);
        QFETCH(QString, logged);
        Server server(m_certificates, serverTls, clientCa);
        ClientFixture f;
        f.writeIni(settings(server, host, clientTls, ca.isEmpty() ? QString() : path(ca),
                            certificate.isEmpty() ? QString() : path(certificate + ".pem"),
                            certificate.isEmpty() ? QString() : path(certificate + ".key")));
        f.make().setReconnectUnitMs(10);
        QSignalSpy states(f.client.get(), &CallClient::connectionStateChanged);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(logged)));
        f.client->Form_Load();
        QTRY_COMPARE(f.reporter.entries.size(), 1);
        QCOMPARE(f.reporter.entries[0].text,
                 QStringLiteral("[Verbinden Vorsamelder]\r\n\r\n") +
                     QString(told).replace(QStringLiteral("%1"),
                                           QDir::toNativeSeparators(m_certificates.dir())));
        QCOMPARE(f.reporter.entries[0].title, QStringLiteral("Fehler: 40020"));
        QTRY_VERIFY(!server.refusals.isEmpty());
        QVERIFY2(server.refusals[0].contains(logged), qPrintable(server.refusals[0]));

        // Tried again after the longest pause (30 × 10 ms), without another box.
        QVERIFY(f.client->connectionState().startsWith(QStringLiteral("TLS-Fehler – neuer "
                                                                      "Versuch in ")));
        QCOMPARE(f.client->reconnectPauseMs(), 300);
        QTRY_VERIFY(states.count(QList<QVariant>{QStringLiteral("verbinde …")}) >= 2);
        QTest::qWait(100);
        QCOMPARE(f.reporter.entries.size(), 1);
        QCOMPARE(f.client->model().rowCount(), 0);
        QVERIFY(server.reporter.entries.isEmpty());
    }

    void clientCertificateOfTheOfficeIsTaken()
    {
        Server server(m_certificates, true, QStringLiteral("ca.pem"));
        ClientFixture f;
        f.writeIni(settings(server, QStringLiteral("localhost"), true, path("ca.pem"),
                            path("client.pem"), path("client.key")));
        f.load();
        QTRY_COMPARE(server.hub.hostName(1), QStringLiteral("platz7"));
        server.hub.ClientsNachrichtSenden(QStringLiteral("Icon=1;Anrufer=Müller"));
        QTRY_COMPARE(f.client->model().rowCount(), 1);
        QCOMPARE(f.client->connectionState(), QStringLiteral("verbunden (TLS)"));
        QVERIFY(f.reporter.entries.isEmpty());
        QVERIFY(server.refusals.isEmpty());
    }

    void unreadableTlsValueCountsAsOn()
    {
        Server server(m_certificates, true);
        ClientFixture f;
        f.writeIni(settings(server, QStringLiteral("localhost"), true, path("ca.pem"))
                       .replace("TLS=1", "TLS=ja"));
        f.load();
        QCOMPARE(f.reporter.procedures(), QStringList{"EinlesenParameterAllgemein"});
        QTRY_COMPARE(f.client->connectionState(), QStringLiteral("verbunden (TLS)"));
    }

private:
    QString path(const char* name) const { return m_certificates.path(QString::fromLatin1(name)); }
    QString path(const QString& name) const { return m_certificates.path(name); }

    TestCertificates m_certificates;
};

QTEST_GUILESS_MAIN(ClientTlsTest)
#include "tst_clienttls.moc"
