#pragma once

// Where the ink is on a rendered surface.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <functional>

namespace reporttest {

// A white image of w x h pixels at `dpi` dots per inch (1440: one pixel per twip).
inline QImage leeresBild(int w, int h, double dpi)
{
    QImage bild(w, h, QImage::Format_ARGB32_Premultiplied);
    bild.setDotsPerMeterX(qRound(dpi / 0.0254));
    bild.setDotsPerMeterY(qRound(dpi / 0.0254));
    bild.fill(Qt::white);
    return bild;
}

// The bounding box of the pixels that are at least half covered (so its
// edges are the drawn shape's edges within half a pixel), optionally only
// those for which `passt` says yes.
inline QRect tinte(const QImage& bild, const std::function<bool(QRgb)>& passt = {})
{
    int l = bild.width(), t = bild.height(), r = -1, b = -1;
    for (int y = 0; y < bild.height(); ++y) {
        const auto* zeile = reinterpret_cast<const QRgb*>(bild.constScanLine(y));
        for (int x = 0; x < bild.width(); ++x) {
            const QRgb p = zeile[x];
            const bool farbig = passt ? passt(p) : qGray(p) < 128;
            if (!farbig)
                continue;
            l = std::min(l, x);
            r = std::max(r, x);
            t = std::min(t, y);
            b = std::max(b, y);
        }
    }
    return r < 0 ? QRect() : QRect(QPoint(l, t), QPoint(r, b));
}

} // namespace reporttest
