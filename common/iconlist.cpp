#include "iconlist.h"

#include "ini.h"
#include "reporter.h"
#include "vberror.h"

#include <QDir>
#include <QFileInfo>

namespace vorsa {

void FileIconList::add(const QString& path, int index)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw VbError::fileNotFound(path);
    if (!info.isFile() || !info.isReadable() || info.size() == 0)
        throw VbError(err::InvalidPicture, QStringLiteral("Ungültiges Bild: %1").arg(path));
    if (index < 1)
        throw VbError::subscriptOutOfRange();
    while (m_paths.size() < index)
        m_paths.append(QString());
    m_paths[index - 1] = path;
}

int EinlesenIcons(const QString& iniFile, const QString& programDir, IIconList& icons,
                  IReporter& reporter)
{
    guarded(reporter, QStringLiteral("EinlesenIcons"), [&] {
        icons.clear();
        for (int i = 1;; ++i) {
            const QString name =
                IniLesen(QStringLiteral("ICONS"), QStringLiteral("ICON%1").arg(i), iniFile, {});
            if (name.isEmpty())
                break;
            const QString path = QDir(programDir).filePath(name);
            guarded(reporter, QStringLiteral("ImageList1Aufbauen"), [&] { icons.add(path, i); });
        }
    });
    return icons.count();
}

} // namespace vorsa
