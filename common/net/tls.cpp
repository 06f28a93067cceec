#include "net/tls.h"

#include "vberror.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>

namespace vorsa::tls {

namespace {

// Every TLS failure carries the number of a socket failure; the text tells which.
constexpr int kTlsError = err::SocketError;

QString fileText(const PemFile& file)
{
    return QStringLiteral("%1 \"%2\"").arg(file.key, QDir::toNativeSeparators(file.path));
}

QByteArray readPem(const PemFile& file)
{
    QFile f(file.path);
    if (!f.exists())
        throw VbError(err::FileNotFound,
                      QStringLiteral("Datei nicht gefunden: %1").arg(fileText(file)));
    if (!f.open(QIODevice::ReadOnly))
        throw VbError(err::PathFileAccess, QStringLiteral("Die Datei %1 kann nicht gelesen "
                                                          "werden: %2")
                                               .arg(fileText(file), f.errorString()));
    return f.readAll();
}

void requireBackend()
{
    if (!QSslSocket::supportsSsl())
        throw VbError(kTlsError, QStringLiteral("TLS ist auf diesem Rechner nicht verfügbar "
                                                "(OpenSSL fehlt, Paket libssl3)."));
}

QString dateText(const QDateTime& time)
{
    return time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy"));
}

// The names a certificate is valid for: its alternative names, else its
// common name.
QString certificateNames(const QSslCertificate& certificate)
{
    QStringList names;
    const auto alternatives = certificate.subjectAlternativeNames();
    for (auto it = alternatives.cbegin(); it != alternatives.cend(); ++it) {
        if (it.key() == QSsl::DnsEntry || it.key() == QSsl::IpAddressEntry)
            names << QLatin1Char('"') + it.value() + QLatin1Char('"');
    }
    if (names.isEmpty()) {
        for (const QString& name : certificate.subjectInfo(QSslCertificate::CommonName))
            names << QLatin1Char('"') + name + QLatin1Char('"');
    }
    return names.isEmpty() ? QStringLiteral("keinen Namen") : names.join(QStringLiteral(", "));
}

bool isUnknownAuthority(QSslError::SslError error)
{
    switch (error) {
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::CertificateUntrusted:
    case QSslError::InvalidCaCertificate:
        return true;
    default:
        return false;
    }
}

// The alerts with which a server refuses a client's certificate.
bool refusesClientCertificate(QSsl::AlertType alert)
{
    switch (alert) {
    case QSsl::AlertType::BadCertificate:
    case QSsl::AlertType::UnsupportedCertificate:
    case QSsl::AlertType::CertificateUnknown:
    case QSsl::AlertType::UnknownCa:
    case QSsl::AlertType::AccessDenied:
        return true;
    default:
        return false;
    }
}

// The server's certificate as the client's check found it.
std::optional<QString> certificateText(const ClientFailure& f)
{
    // The most telling error first: a wrong name says more than the chain.
    for (const QSslError& e : f.errors) {
        if (e.error() == QSslError::HostNameMismatch)
            return QStringLiteral("Das Zertifikat des Servers gilt nicht für \"%1\" (RemoteHost), "
                                  "sondern für %2. RemoteHost muss einer dieser Namen sein.")
                .arg(f.host, certificateNames(e.certificate()));
    }
    for (const QSslError& e : f.errors) {
        if (e.error() == QSslError::CertificateExpired)
            return QStringLiteral("Das Zertifikat des Servers ist am %1 abgelaufen.")
                .arg(dateText(e.certificate().expiryDate()));
        if (e.error() == QSslError::CertificateNotYetValid)
            return QStringLiteral("Das Zertifikat des Servers gilt erst ab dem %1 (geht die Uhr "
                                  "dieses Rechners richtig?).")
                .arg(dateText(e.certificate().effectiveDate()));
    }
    for (const QSslError& e : f.errors) {
        if (isUnknownAuthority(e.error()))
            return f.caFile.isEmpty()
                       ? QStringLiteral("Das Zertifikat des Servers ist von keiner "
                                        "Zertifizierungsstelle unterschrieben, der dieser Rechner "
                                        "vertraut. In TLSZertifizierungsstelle gehört das "
                                        "Zertifikat der Zertifizierungsstelle des Betriebs.")
                       : QStringLiteral("Das Zertifikat des Servers ist nicht von der "
                                        "Zertifizierungsstelle in \"%1\" "
                                        "(TLSZertifizierungsstelle) unterschrieben.")
                             .arg(QDir::toNativeSeparators(f.caFile));
    }
    if (!f.errors.isEmpty())
        return QStringLiteral("Das Zertifikat des Servers wird nicht anerkannt: %1")
            .arg(f.errors.first().errorString());
    return std::nullopt;
}

// A handshake of the configuration with itself on loopback: a key that does
// not belong to the certificate, or a pair the TLS library cannot use, fails
// here as it would with every client. Without loopback nothing is said.
void checkByHandshake(QSslConfiguration configuration, const PemFile& certificate,
                      const PemFile& key)
{
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone); // its client has no certificate
    QSslServer server;
    server.setSslConfiguration(configuration);
    if (!server.listen(QHostAddress::LocalHost))
        return;
    QSslSocket client;
    client.setPeerVerifyMode(QSslSocket::VerifyNone);
    QEventLoop loop;
    QString failure;
    QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
    QObject::connect(&server, &QSslServer::errorOccurred,
                     [&](QSslSocket* socket, QAbstractSocket::SocketError e) {
                         if (!failure.isEmpty())
                             return; // the first says why
                         error = e;
                         failure = socket->errorString();
                         loop.quit();
                     });
    QObject::connect(&server, &QSslServer::pendingConnectionAvailable, &loop, &QEventLoop::quit);
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    client.connectToHostEncrypted(QStringLiteral("127.0.0.1"), server.serverPort());
    loop.exec();
    if (failure.isEmpty())
        return;
    if (error == QAbstractSocket::SslInvalidUserDataError)
        throw VbError(err::InvalidPropertyValue,
                      QStringLiteral("Der Schlüssel %1 gehört nicht zum Zertifikat %2 (%3).")
                          .arg(fileText(key), fileText(certificate), failure));
    throw VbError(kTlsError, QStringLiteral("Mit %1 und %2 kommt keine TLS-Verbindung zustande: %3")
                                 .arg(fileText(certificate), fileText(key), failure));
}

} // namespace

QString settingPath(const QString& programDir, const QString& value)
{
    const QString path = value.trimmed();
    return path.isEmpty() ? QString() : QDir(programDir).absoluteFilePath(path);
}

QList<QSslCertificate> readCertificates(const PemFile& file)
{
    const QList<QSslCertificate> certificates = QSslCertificate::fromData(readPem(file), QSsl::Pem);
    if (certificates.isEmpty())
        throw VbError(err::InvalidPropertyValue,
                      QStringLiteral("Die Datei %1 enthält kein Zertifikat im PEM-Format.")
                          .arg(fileText(file)));
    return certificates;
}

QSslKey readPrivateKey(const PemFile& file)
{
    const QByteArray pem = readPem(file);
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        QSslKey key(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull())
            return key;
    }
    throw VbError(err::InvalidPropertyValue,
                  QStringLiteral("Die Datei %1 enthält keinen lesbaren privaten Schlüssel im "
                                 "PEM-Format (ein Schlüssel mit Kennwort wird nicht gelesen).")
                      .arg(fileText(file)));
}

QSslConfiguration serverConfiguration(const PemFile& certificate, const PemFile& key,
                                      const PemFile& clientCa)
{
    requireBackend();
    if (!certificate.isSet() || !key.isSet())
        throw VbError(err::InvalidPropertyValue,
                      QStringLiteral("TLS=1 braucht das Zertifikat des Servers (%1) und seinen "
                                     "Schlüssel (%2).")
                          .arg(certificate.key, key.key));
    QSslConfiguration c = QSslConfiguration::defaultConfiguration();
    c.setLocalCertificateChain(readCertificates(certificate));
    c.setPrivateKey(readPrivateKey(key));
    if (clientCa.isSet()) {
        c.setCaCertificates(readCertificates(clientCa));
        c.setPeerVerifyMode(QSslSocket::VerifyPeer);
        // Refused in the handshake, with an alert that tells the client why.
        c.setMissingCertificateIsFatal(true);
        c.setHandshakeMustInterruptOnError(true);
    } else {
        c.setPeerVerifyMode(QSslSocket::VerifyNone);
    }
    checkByHandshake(c, certificate, key);
    return c;
}

QSslConfiguration clientConfiguration(const PemFile& ca, const PemFile& certificate,
                                      const PemFile& key)
{
    requireBackend();
    QSslConfiguration c = QSslConfiguration::defaultConfiguration();
    if (ca.isSet())
        c.setCaCertificates(readCertificates(ca));
    if (certificate.isSet() != key.isSet())
        throw VbError(err::InvalidPropertyValue,
                      QStringLiteral("Ein Client-Zertifikat braucht beides: %1 und %2.")
                          .arg(certificate.key, key.key));
    if (certificate.isSet()) {
        c.setLocalCertificateChain(readCertificates(certificate));
        c.setPrivateKey(readPrivateKey(key));
    }
    c.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // A server the client does not trust learns why from an alert.
    c.setHandshakeMustInterruptOnError(true);
    return c;
}

bool beginsTlsRecord(const QByteArray& first)
{
    // Content type handshake (22) or alert (21), then the major version 3.
    return first.size() >= 2 && (first.at(0) == 0x16 || first.at(0) == 0x15) && first.at(1) == 0x03;
}

QByteArray protocolVersionAlert()
{
    // Record: alert, version 3.1, two bytes; alert: fatal (2), protocol_version (70).
    return QByteArray("\x15\x03\x01\x00\x02\x02\x46", 7);
}

SocketError serverWantsTls()
{
    return {kTlsError, QStringLiteral("Der Server verlangt eine verschlüsselte Verbindung (TLS). "
                                      "Bei diesem Arbeitsplatz TLS=1 und "
                                      "TLSZertifizierungsstelle setzen.")};
}

std::optional<SocketError> describe(const ClientFailure& f)
{
    if (const auto text = certificateText(f))
        return SocketError{kTlsError, *text};
    if (f.timedOut)
        return SocketError{kTlsError, QStringLiteral("Der Server antwortet nicht auf die "
                                                     "TLS-Aushandlung (ist er ohne TLS "
                                                     "eingestellt?).")};
    if (f.alert) {
        const QSsl::AlertType alert = *f.alert;
        if (alert == QSsl::AlertType::ProtocolVersion)
            return SocketError{kTlsError,
                               QStringLiteral("Der Server nimmt keine verschlüsselte Verbindung "
                                              "an: er ist ohne TLS eingestellt. Beim Server TLS=1 "
                                              "setzen oder bei diesem Arbeitsplatz TLS=0.")};
        if (alert == QSsl::AlertType::CertificateRequired ||
            (!f.ownCertificate &&
             (alert == QSsl::AlertType::HandshakeFailure || refusesClientCertificate(alert))))
            return SocketError{kTlsError,
                               QStringLiteral("Der Server verlangt ein Client-Zertifikat. Bei "
                                              "diesem Arbeitsplatz TLSZertifikat und "
                                              "TLSSchluessel setzen.")};
        if (alert == QSsl::AlertType::CertificateExpired)
            return SocketError{kTlsError, QStringLiteral("Der Server lehnt das Client-Zertifikat "
                                                         "dieses Arbeitsplatzes ab: es ist "
                                                         "abgelaufen.")};
        if (alert == QSsl::AlertType::CertificateRevoked)
            return SocketError{kTlsError, QStringLiteral("Der Server lehnt das Client-Zertifikat "
                                                         "dieses Arbeitsplatzes ab: es ist "
                                                         "gesperrt.")};
        if (refusesClientCertificate(alert))
            return SocketError{kTlsError,
                               QStringLiteral("Der Server lehnt das Client-Zertifikat dieses "
                                              "Arbeitsplatzes ab: es ist nicht von der "
                                              "Zertifizierungsstelle unterschrieben, die der "
                                              "Server in TLSClientZertifikate nennt.")};
        return SocketError{kTlsError,
                           QStringLiteral("Der Server hat die verschlüsselte Verbindung abgelehnt "
                                          "(TLS-Meldung %1).")
                               .arg(int(alert))};
    }
    switch (f.error) {
    case QAbstractSocket::RemoteHostClosedError:
        if (f.encrypted)
            return std::nullopt; // an ordinary close
        return SocketError{kTlsError,
                           QStringLiteral("Der Server hat die Verbindung während der "
                                          "TLS-Aushandlung getrennt. Ist er mit TLS=1 "
                                          "eingestellt, und steht dieser Arbeitsplatz in seiner "
                                          "Liste ErlaubteClients?")};
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return SocketError{kTlsError, QStringLiteral("TLS-Fehler: %1").arg(f.errorString)};
    default:
        return std::nullopt;
    }
}

QString describe(const ServerFailure& f)
{
    for (const QSslError& e : f.errors) {
        if (e.error() == QSslError::CertificateExpired)
            return QStringLiteral("sein Client-Zertifikat ist am %1 abgelaufen")
                .arg(dateText(e.certificate().expiryDate()));
    }
    for (const QSslError& e : f.errors) {
        if (isUnknownAuthority(e.error()))
            return QStringLiteral("sein Client-Zertifikat ist nicht von der Zertifizierungsstelle "
                                  "in TLSClientZertifikate unterschrieben");
    }
    if (!f.errors.isEmpty())
        return QStringLiteral("sein Client-Zertifikat wird nicht anerkannt: %1")
            .arg(f.errors.first().errorString());
    if (f.clientCertificateRequired && !f.clientCertificatePresented)
        return QStringLiteral("legt kein Client-Zertifikat vor (TLSClientZertifikate verlangt "
                              "eins)");
    if (f.alert &&
        (*f.alert == QSsl::AlertType::UnknownCa || *f.alert == QSsl::AlertType::BadCertificate ||
         *f.alert == QSsl::AlertType::CertificateUnknown))
        return QStringLiteral("er vertraut dem Zertifikat des Servers nicht (stimmt "
                              "TLSZertifizierungsstelle beim Client?)");
    if (f.alert && *f.alert == QSsl::AlertType::CertificateExpired)
        return QStringLiteral("das Zertifikat des Servers ist abgelaufen");
    if (f.errorString.isEmpty())
        return QStringLiteral("er hat die TLS-Aushandlung abgebrochen (passen RemoteHost und das "
                              "Zertifikat des Servers zueinander?)");
    return QStringLiteral("TLS-Aushandlung fehlgeschlagen: %1").arg(f.errorString);
}

} // namespace vorsa::tls
