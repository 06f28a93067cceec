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
