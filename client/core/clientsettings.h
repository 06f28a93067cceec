#pragma once

#include <QString>

namespace vorsa {

class IReporter;

// The settings of the call client, read once from "VorsaCl.INI" in the program
// folder while the window loads. Only the two foreground options change at run
// time; they are stored again when the window closes.
class ClientSettings {
public:
    QString gstrINIFile;
    QString localHostName;
    QString RemoteHost;
    qint32 RemotePort = 0;
    bool Topmost = false;
    bool TopmostByCall = false;
    qint32 TopmostSec = 0; // 0 or less: the on-call period does not end by itself
    QString Path;          // command of the external program
    QString Field;         // field whose value is handed to it
    // TLS to the server: the server's certificate must chain to
    // TLSZertifizierungsstelle ("" the system's store) and name RemoteHost;
    // TLSZertifikat and TLSSchluessel are this workstation's own certificate
    // for a server that asks for one. Paths relative to the program folder.
    bool TLS = false;
    QString TLSZertifizierungsstelle;
    QString TLSZertifikat;
    QString TLSSchluessel;

    static constexpr qint32 DefaultPort = 1001;
    static QString iniFileIn(const QString& programDir);

    // Reads "Settings" with its defaults and write-backs. A failure is reported
    // as "[EinlesenParameterAllgemein]" and skips the remaining steps. Returns
    // true when every step ran.
    bool EinlesenParameterAllgemein(const QString& programDir, const QString& localHost,
                                    IReporter& reporter);
    // Reads "ExternProgramm"; nothing is written back.
    bool EinlesenExternProgramm(IReporter& reporter);
    // "Settings"/"AutoStart" as a strict boolean (default "-1"); anything else
    // fails with 13.
    bool autoStart() const;
    // "Settings"/"AutoReconnect": whether a dropped or failed connection is
    // tried again by itself. Missing: on, and "1" is written back.
    bool readAutoReconnect() const;
    // Reads the TLS keys; missing ones are written back ("0", ""). TLS is
    // "0" or "1"; any other value is reported as "[EinlesenParameterAllgemein]"
    // and counts as on, so that the client never goes unencrypted by a
    // typing error. Returns true when every key was read as set.
    bool EinlesenTls(IReporter& reporter);
    // Writes Topmost and TopmostByCall as "1" or "0".
    void saveForegroundOptions() const;

    // Whether the foreground options were read; only then are they stored at
    // close, so a failed start never overwrites the user's choice.
    bool foregroundOptionsRead() const { return m_foregroundRead; }

    // The status line: "[Computername: ...]  [RemoteHost: ...]  [RemotePort: ...]  [Version:
    // x.y.z]".
    QString statusText() const;

    // The text of "TopmostSec" as seconds: "NULL" is not handled here; the
    // leading number of the text rounded half to even, no number gives 0.
    static qint32 secondsFromText(const QString& text);

private:
    bool m_foregroundRead = false;
};

} // namespace vorsa
