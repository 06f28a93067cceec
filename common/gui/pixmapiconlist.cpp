#include "pixmapiconlist.h"

#include "vberror.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace vorsa {

void PixmapIconList::add(const QString& path, int index)
{
    if (!QFileInfo::exists(path))
        throw VbError::fileNotFound(path);
    QImage image(path);
    if (image.isNull())
        throw VbError(err::InvalidPicture, QStringLiteral("Ungültiges Bild: %1").arg(path));
    if (index < 1)
        throw VbError::subscriptOutOfRange();
    // Always 16 x 16: an image of another shape is fitted in and centred.
    image = image.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage square(16, 16, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    {
        QPainter painter(&square);
        painter.drawImage((16 - image.width()) / 2, (16 - image.height()) / 2, image);
    }
    while (m_icons.size() < index)
        m_icons.append(QIcon());
    m_icons[index - 1] = QIcon(QPixmap::fromImage(square));
}

QIcon PixmapIconList::icon(int number) const
{
    return number >= 1 && number <= m_icons.size() ? m_icons[number - 1] : QIcon();
}

} // namespace vorsa
