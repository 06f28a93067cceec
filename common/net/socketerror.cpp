#include "net/socketerror.h"

namespace vorsa {

SocketError SocketError::from(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return {10061,
                QStringLiteral("Die Verbindung wurde abgelehnt (läuft der Vorsamelder-Server?)")};
    case QAbstractSocket::RemoteHostClosedError:
        return {10054, QStringLiteral("Die Verbindung wurde vom Server zurückgesetzt")};
    case QAbstractSocket::HostNotFoundError:
        return {11001, QStringLiteral("Der Rechner wurde nicht gefunden")};
    case QAbstractSocket::SocketTimeoutError:
        return {10060, QStringLiteral("Zeitüberschreitung bei der Verbindung")};
    case QAbstractSocket::NetworkError:
        return {10051, QStringLiteral("Das Netzwerk ist nicht erreichbar")};
    case QAbstractSocket::SocketAccessError:
        return {10013, QStringLiteral("Zugriff verweigert")};
    case QAbstractSocket::SocketResourceError:
        return {10055, QStringLiteral("Nicht genügend Pufferspeicher für den Socket")};
    case QAbstractSocket::AddressInUseError:
        return {10048, QStringLiteral("Die Adresse wird bereits verwendet")};
    case QAbstractSocket::SocketAddressNotAvailableError:
        return {10049, QStringLiteral("Die Adresse ist nicht verfügbar")};
    case QAbstractSocket::UnsupportedSocketOperationError:
        return {10045, QStringLiteral("Der Vorgang wird vom Socket nicht unterstützt")};
    case QAbstractSocket::DatagramTooLargeError:
        return {10040, QStringLiteral("Die Nachricht ist zu lang")};
    default:
        return {40020, QStringLiteral("Socketfehler")};
    }
}

} // namespace vorsa
