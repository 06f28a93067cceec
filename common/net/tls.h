#pragma once

#include "net/socketerror.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QList>
#include <QSsl>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>
#include <optional>

// TLS between server and clients: the configurations both sides build from
// their PEM files, and what a failed connection means in German. The lines
// inside the encrypted stream are the same as without it.
namespace vorsa::tls {

// A PEM file named by a setting: the key of the setting (for messages) and
// the file's full path.
struct PemFile {
    QString key;
    QString path;
    bool isSet() const { return !path.isEmpty(); }
};

// A setting's path taken relative to the program folder ("" stays "").
QString settingPath(const QString& programDir, const QString& value);

// The certificates of a PEM file, the first one the file's own; a file that
// cannot be read or holds none throws a VbError naming the setting and file.
QList<QSslCertificate> readCertificates(const PemFile& file);
// The private key of a PEM file (RSA, EC or DSA, without a passphrase); a
// VbError naming the setting and file when there is none that can be read.
QSslKey readPrivateKey(const PemFile& file);

// The server's side: its certificate (the certificates after it in the file
// are sent as its chain) and key. With `clientCa` set, a client must present
// a certificate signed by a certificate of that file; one that does not is
// refused in the handshake with an alert that tells it why. A key that does
// not belong to the certificate fails here, not at the first client.
QSslConfiguration serverConfiguration(const PemFile& certificate, const PemFile& key,
                                      const PemFile& clientCa);
// The client's side: the server's certificate must chain to a certificate of
// `ca` (not set: to the system's store) and name the host connected to.
// `certificate` and `key`, when set, are presented to a server that asks.
QSslConfiguration clientConfiguration(const PemFile& ca, const PemFile& certificate,
                                      const PemFile& key);

// Whether the first bytes of a connection are a TLS record (a handshake or an
// alert): what a peer speaking TLS sends first. A line of the protocol never
// begins so.
bool beginsTlsRecord(const QByteArray& first);
// What a peer that speaks the other way (TLS to a plain end, plain to a TLS
// end) is sent before it is closed: the fatal TLS alert "protocol version".
QByteArray protocolVersionAlert();

// What the client saw of a connection that failed while TLS was on.
struct ClientFailure {
    QList<QSslError> errors;              // the server's certificate as checked here
    std::optional<QSsl::AlertType> alert; // a fatal alert from the server
    QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
    QString errorString;
    bool encrypted = false;      // the handshake had completed
    bool timedOut = false;       // the server did not answer the handshake
    QString host;                // RemoteHost
    QString caFile;              // TLSZertifizierungsstelle ("" the system's store)
    bool ownCertificate = false; // the client presented a certificate
};
// The German text of a TLS failure; nullopt when the failure is none of TLS
// (a refused connect, a host not found), which the socket's texts tell.
std::optional<SocketError> describe(const ClientFailure& failure);
// A plain client that got the first bytes of a TLS server.
SocketError serverWantsTls();

// What the server saw of a client whose handshake failed.
struct ServerFailure {
    QList<QSslError> errors;              // the client's certificate as checked here
    std::optional<QSsl::AlertType> alert; // a fatal alert from the client
    QString errorString;
    bool clientCertificateRequired = false;
    bool clientCertificatePresented = false;
};
// Why the client was refused, for the server's log ("legt kein
// Client-Zertifikat vor", ...).
QString describe(const ServerFailure& failure);

} // namespace vorsa::tls
