#include "pixmapiconlist.h"

#include "vberror.h"

#include <QFileInfo>
#include <QImage>
#include <QPixmap>

namespace vorsa {

void PixmapIconList::add(const QString& path, int index)
{
    Q_UNUSED(index);
    if (!QFileInfo::exists(path))
        throw VbError::fileNotFound(path);
    QImage image(path);
    if (image.isNull())
        throw VbError(err::InvalidPicture, QStringLiteral("Ungültiges Bild: %1").arg(path));
    image = image.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_icons.append(QIcon(QPixmap::fromImage(image)));
}

QIcon PixmapIconList::icon(int number) const
{
    return number >= 1 && number <= m_icons.size() ? m_icons[number - 1] : QIcon();
}

} // namespace vorsa
