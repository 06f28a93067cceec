#include "programdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vorsa {

namespace {
bool isSystemProgramFolder(const QString& dir)
{
    static const QStringList folders = {
        QStringLiteral("/usr/bin"),  QStringLiteral("/usr/local/bin"),  QStringLiteral("/bin"),
        QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin"), QStringLiteral("/sbin")};
    return folders.contains(QDir::cleanPath(dir));
}
} // namespace

QString defaultProgramDirectory(const QString& executableDir, const QString& programName)
{
    if (!isSystemProgramFolder(executableDir))
        return QDir(executableDir).absolutePath();
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString dir = QDir(data).absoluteFilePath(programName);
    QDir().mkpath(dir);
    return QDir(dir).absolutePath();
}

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
    if (dir.isEmpty()) {
        if (!QCoreApplication::instance())
            return QDir::currentPath();
        return defaultProgramDirectory(
            QCoreApplication::applicationDirPath(),
            QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    }
    // absolutePath() also cleans the path: no "." or "..", no trailing slash.
    return QDir(dir).absolutePath();
}

} // namespace vorsa
