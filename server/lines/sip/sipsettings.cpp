#include "linesetting.h"
#include "sipline.h"

namespace vorsa {

SipLine::Settings SipLine::Settings::read(const QString& iniFile)
{
    const QString section = QStringLiteral("SIP");
    Settings s;
    s.listen =
        readLineSetting(iniFile, section, QStringLiteral("Listen"), QStringLiteral("0.0.0.0:5060"))
            .trimmed();
    if (s.listen.isEmpty())
        s.listen = QStringLiteral("0.0.0.0:5060");
    s.registrar =
        readLineSetting(iniFile, section, QStringLiteral("Registrar"), QString()).trimmed();
    s.user = readLineSetting(iniFile, section, QStringLiteral("User"), QString()).trimmed();
    s.authUser = readLineSetting(iniFile, section, QStringLiteral("AuthUser"), QString()).trimmed();
    s.password = readLineSetting(iniFile, section, QStringLiteral("Password"), QString());
    s.expires = readLineNumber(iniFile, section, QStringLiteral("Expires"), 600, 60, 86400);
    s.country = readLineNumber(iniFile, section, QStringLiteral("Country"), 49, 1, 999);
    return s;
}

} // namespace vorsa
