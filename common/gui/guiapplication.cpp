#include "guiapplication.h"

#include <cstdio>

namespace vorsa {

bool displayAvailable()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    }
    return false;
}

QString noDisplayMessage(const QString& hint)
{
    QString text = QStringLiteral("Es ist keine grafische Anzeige verfügbar (weder DISPLAY noch "
                                  "WAYLAND_DISPLAY ist gesetzt); das Fenster kann nicht geöffnet "
                                  "werden.");
    if (!hint.isEmpty())
        text += QLatin1Char(' ') + hint;
    return text;
}

int refuseWithoutDisplay(const QString& hint)
{
    const QByteArray line = noDisplayMessage(hint).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    return 1;
}

} // namespace vorsa
