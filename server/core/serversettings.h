#pragma once

#include <QString>

namespace vorsa {

// The settings record of the server, filled at load.
struct ServerSettings {
    QString iniPath;
    QString user;
    QString application;
    QString logFile;
    QString amt;
    QString eigeneVorwahl;
    // As read; the queries take it as text. "0" until a number was read.
    QString letzteStellenAbschneiden = QStringLiteral("0");
    int secCapiConnection = 0;
    int dateDiffSec = 0;
    int localPort = 0;
    bool beiDoppelFragezeichen = false;
    QString platzhalter;
    QString computerName;
    QString line; // telephony backend: "SIM", "SIP", "CALLMONITOR", "CAPI"
    // The newest rows the window's call list keeps (0: every row).
    int maxListenZeilen = 10000;
    // How long opening the database (PostgreSQL), and each statement on it,
    // may take before a call goes out without its lookup (1 or more).
    int secDbConnect = 3;
    // Who may connect, as read (clients/clientaccess.h holds what they mean).
    QString listenAddress;   // "" all addresses
    QString erlaubteClients; // "" everyone
    bool tls = false;
    QString tlsZertifikat;        // PEM, relative to the program folder
    QString tlsSchluessel;        // PEM, without a passphrase
    QString tlsClientZertifikate; // PEM of the CA client certificates must chain to
};

} // namespace vorsa
