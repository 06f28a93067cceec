#include "clientsettings.h"

#include "convert.h"
#include "ini.h"
#include "reporter.h"
#include "version.h"

#include <QDir>
#include <limits>

namespace vorsa {

namespace {
const QString kSettings = QStringLiteral("Settings");
const QString kNull = QStringLiteral("NULL");

QString onOff(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}
} // namespace

QString ClientSettings::iniFileIn(const QString& programDir)
{
    return QDir(programDir).filePath(QStringLiteral("VorsaCl.INI"));
}

qint32 ClientSettings::secondsFromText(const QString& text)
{
    const qint64 seconds = roundHalfEven(leadingNumber(text));
    if (seconds > std::numeric_limits<qint32>::max() ||
        seconds < std::numeric_limits<qint32>::min())
        throw VbError::overflow();
    return qint32(seconds);
}

bool ClientSettings::EinlesenParameterAllgemein(const QString& programDir, const QString& localHost,
                                                IReporter& reporter)
{
    return guarded(reporter, QStringLiteral("EinlesenParameterAllgemein"), [&] {
        gstrINIFile = iniFileIn(programDir);
        localHostName = localHost;

        RemoteHost = IniLesen(kSettings, QStringLiteral("RemoteHost"), gstrINIFile, {});
        if (RemoteHost.isEmpty()) {
            RemoteHost = localHostName;
            IniSchreiben(kSettings, QStringLiteral("RemoteHost"), gstrINIFile, RemoteHost);
        }

        RemotePort = toLong(
            IniLesen(kSettings, QStringLiteral("RemotePort"), gstrINIFile, QStringLiteral("0")));
        if (RemotePort == 0) {
            RemotePort = DefaultPort;
            IniSchreiben(kSettings, QStringLiteral("RemotePort"), gstrINIFile,
                         QString::number(DefaultPort));
        }

        auto readOption = [&](const QString& key) {
            const QString text = IniLesen(kSettings, key, gstrINIFile, {});
            if (!text.isEmpty())
                return ConvStringToBoolean(text);
            IniSchreiben(kSettings, key, gstrINIFile, QStringLiteral("1"));
            return true;
        };
        Topmost = readOption(QStringLiteral("Topmost"));
        TopmostByCall = readOption(QStringLiteral("TopmostByCall"));
        m_foregroundRead = true;

        const QString seconds =
            IniLesen(kSettings, QStringLiteral("TopmostSec"), gstrINIFile, kNull);
        if (seconds != kNull) {
            TopmostSec = secondsFromText(seconds);
        } else {
            TopmostSec = 3;
            IniSchreiben(kSettings, QStringLiteral("TopmostSec"), gstrINIFile, QStringLiteral("3"));
        }
    });
}

bool ClientSettings::EinlesenExternProgramm(IReporter& reporter)
{
    return guarded(reporter, QStringLiteral("EinlesenExternProgramm"), [&] {
        const QString section = QStringLiteral("ExternProgramm");
        Path = IniLesen(section, QStringLiteral("Path"), gstrINIFile, {});
        Field = IniLesen(section, QStringLiteral("Field"), gstrINIFile, {});
    });
}

bool ClientSettings::autoStart() const
{
    return toStrictBoolean(
        IniLesen(kSettings, QStringLiteral("AutoStart"), gstrINIFile, QStringLiteral("-1")));
}

bool ClientSettings::readAutoReconnect() const
{
    const QString missing = QStringLiteral("?");
    const QString text = IniLesen(kSettings, QStringLiteral("AutoReconnect"), gstrINIFile, missing);
    if (text != missing)
        return ConvStringToBoolean(text);
    IniSchreiben(kSettings, QStringLiteral("AutoReconnect"), gstrINIFile, onOff(true));
    return true;
}

bool ClientSettings::EinlesenTls(IReporter& reporter)
{
    return guarded(reporter, QStringLiteral("EinlesenParameterAllgemein"), [&] {
        const QString missing = QStringLiteral("#//#");
        const auto read = [&](const QString& key, const QString& effective) {
            const QString text = IniLesen(kSettings, key, gstrINIFile, missing);
            if (text != missing)
                return text;
            IniSchreiben(kSettings, key, gstrINIFile, effective);
            return effective;
        };
        const QString on = read(QStringLiteral("TLS"), QStringLiteral("0")).trimmed();
        TLSZertifizierungsstelle = read(QStringLiteral("TLSZertifizierungsstelle"), {});
        TLSZertifikat = read(QStringLiteral("TLSZertifikat"), {});
        TLSSchluessel = read(QStringLiteral("TLSSchluessel"), {});
        TLS = on != QLatin1String("0") && !on.isEmpty();
        if (TLS && on != QLatin1String("1"))
            throw VbError(err::InvalidPropertyValue,
                          QStringLiteral("Ungültiger Eigenschaftswert (TLS \"%1\"): 0 schaltet TLS "
                                         "aus, 1 ein; bis dahin wird verschlüsselt verbunden.")
                              .arg(on));
    });
}

void ClientSettings::saveForegroundOptions() const
{
    IniSchreiben(kSettings, QStringLiteral("Topmost"), gstrINIFile, onOff(Topmost));
    IniSchreiben(kSettings, QStringLiteral("TopmostByCall"), gstrINIFile, onOff(TopmostByCall));
}

QString ClientSettings::statusText() const
{
    return QStringLiteral("[Computername: ") + localHostName + QStringLiteral("]") +
           QStringLiteral("  [RemoteHost: ") + RemoteHost + QStringLiteral("]") +
           QStringLiteral("  [RemotePort: ") + QString::number(RemotePort) + QStringLiteral("]") +
           QStringLiteral("  [") + versionText() + QStringLiteral("]");
}

} // namespace vorsa
