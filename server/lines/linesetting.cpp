#include "linesetting.h"

#include "ini.h"

namespace vorsa {

QString readLineSetting(const QString& file, const QString& section, const QString& key,
                        const QString& defaultValue)
{
    const QString missing = QStringLiteral("\x01");
    const QString v = IniLesen(section, key, file, missing);
    if (v != missing)
        return v;
    IniSchreiben(section, key, file, defaultValue);
    return defaultValue;
}

int readLineNumber(const QString& file, const QString& section, const QString& key,
                   int defaultValue, int min, int max)
{
    bool ok = false;
    const int v =
        readLineSetting(file, section, key, QString::number(defaultValue)).trimmed().toInt(&ok);
    return ok && v >= min && v <= max ? v : defaultValue;
}

} // namespace vorsa
