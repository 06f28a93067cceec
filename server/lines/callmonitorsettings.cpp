#include "callmonitorline.h"
#include "linesetting.h"

namespace vorsa {

CallMonitorLine::Settings CallMonitorLine::Settings::read(const QString& iniFile)
{
    const QString section = QStringLiteral("CallMonitor");
    Settings s;
    s.host = readLineSetting(iniFile, section, QStringLiteral("Host"), QString()).trimmed();
    s.port = quint16(readLineNumber(iniFile, section, QStringLiteral("Port"), 1012, 1, 65535));
    s.keepAliveSec = readLineNumber(iniFile, section, QStringLiteral("KeepAliveSec"), 60, 1, 7200);
    s.country = readLineNumber(iniFile, section, QStringLiteral("Country"), 49, 1, 999);
    return s;
}

} // namespace vorsa
