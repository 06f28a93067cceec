#include "programdir.h"

#include <QCoreApplication>
#include <QDir>

namespace vorsa {

QString programDirectory(const QStringList& arguments)
{
    static const QString option = QStringLiteral("--dir");
    QString dir;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == option && i + 1 < arguments.size()) {
            dir = arguments.at(i + 1);
            break;
        }
        if (arg.startsWith(option + u'=')) {
            dir = arg.mid(option.size() + 1);
            break;
        }
    }
    if (dir.isEmpty())
        dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                           : QDir::currentPath();
    // absolutePath() also cleans the path: no "." or "..", no trailing slash.
    return QDir(dir).absolutePath();
}

} // namespace vorsa
