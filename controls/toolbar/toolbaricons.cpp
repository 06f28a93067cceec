#include "toolbaricons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

namespace orvo::toolbar {

namespace {

// A printer: paper going in at the top, the body, paper coming out in front.
QPixmap drawPrinter(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    p.setPen(QPen(QColor(60, 60, 60), 0.8));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(150, 150, 160));
    p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 10.5, 7, 4));
    p.setPen(QPen(QColor(120, 120, 120), 0.6));
    p.drawLine(QPointF(5.5, 12), QPointF(10.5, 12));
    p.drawLine(QPointF(5.5, 13.3), QPointF(9, 13.3));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 170, 40));
    p.drawEllipse(QPointF(12.5, 8.5), 0.8, 0.8);
    return pixmap;
}

// A screen on its stand with a small printer sheet in front.
QPixmap drawScreen(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    p.setPen(QPen(QColor(60, 60, 60), 0.8));
    p.setBrush(QColor(70, 110, 170));
    p.drawRoundedRect(QRectF(0.5, 1.5, 13, 9), 1, 1);
    p.setBrush(QColor(150, 150, 160));
    p.drawRect(QRectF(5.5, 10.5, 3, 2));
    p.drawRect(QRectF(3.5, 12.5, 7, 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9.5, 7.5, 6, 8));
    p.setPen(QPen(QColor(120, 120, 120), 0.6));
    p.drawLine(QPointF(10.5, 10), QPointF(14.5, 10));
    p.drawLine(QPointF(10.5, 12), QPointF(14.5, 12));
    p.drawLine(QPointF(10.5, 14), QPointF(13, 14));
    return pixmap;
}

QIcon drawn(QPixmap (*draw)(int))
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48})
        icon.addPixmap(draw(size));
    return icon;
}

struct IconSource {
    const char* key;
    const char* themeNames; // tried in order, separated by blanks
    QStyle::StandardPixmap standard;
};

const IconSource kIcons[] = {
    {"First", "go-first", QStyle::SP_MediaSkipBackward},
    {"Prev", "go-previous", QStyle::SP_ArrowLeft},
    {"Next", "go-next", QStyle::SP_ArrowRight},
    {"Last", "go-last", QStyle::SP_MediaSkipForward},
    {"VW-List", "view-list-details view-list-text view-list", QStyle::SP_FileDialogDetailedView},
    {"EndeMitKopie", "dialog-ok-apply dialog-ok", QStyle::SP_DialogApplyButton},
    {"EndeOhneKopie", "dialog-cancel", QStyle::SP_DialogCancelButton},
    {"New", "document-new", QStyle::SP_FileIcon},
    {"Prop", "document-edit document-properties", QStyle::SP_FileDialogContentsView},
    {"Save", "document-save", QStyle::SP_DialogSaveButton},
    {"Undo", "edit-undo", QStyle::SP_DialogResetButton},
    {"Delete", "edit-delete", QStyle::SP_TrashIcon},
    {"Refresh", "view-refresh", QStyle::SP_BrowserReload},
    {"Print", "document-print", QStyle::SP_CustomBase},
    {"PrintScreen", "applets-screenshooter camera-photo", QStyle::SP_CustomBase},
};

} // namespace

QIcon buttonIcon(const QString& key, const QStyle* style)
{
    for (const IconSource& source : kIcons) {
        if (key != QLatin1String(source.key))
            continue;
        for (const QString& name : QString::fromLatin1(source.themeNames).split(u' ')) {
            if (QIcon::hasThemeIcon(name))
                return QIcon::fromTheme(name);
        }
        if (key == u"Print")
            return drawn(drawPrinter);
        if (key == u"PrintScreen")
            return drawn(drawScreen);
        return style->standardIcon(source.standard);
    }
    return QIcon();
}

} // namespace orvo::toolbar
