#include "xprint.h"

#include "vberror.h"
#include "vbformat.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace OrvoReport2 {

using vorsa::VbError;

namespace {
constexpr double TwipsProZoll = 1440;
constexpr double TwipsProBildpunkt = 15; // pictures: 96 pixels per inch
constexpr double GroessteSchrift = 2160 * 4;
// Far beyond any sheet: coordinates are cut to this many device pixels, so
// that absurd values cannot upset the painter.
constexpr double Grenze = 1e7;

double begrenzt(double v)
{
    return std::clamp(v, -Grenze, Grenze);
}

struct Massstab {
    double x, y; // device pixels per twip
    explicit Massstab(const QPainter& p)
        : x(p.device()->logicalDpiX() / TwipsProZoll), y(p.device()->logicalDpiY() / TwipsProZoll)
    {
    }
};

VbError ungueltigerWert()
{
    return {vorsa::err::InvalidPropertyValue, QStringLiteral("Ungültiger Eigenschaftswert")};
}

double schriftgroesse(const clsRepTextObjekt& o, int zoom)
{
    const double groesse = double(o.FontSize) * zoom / 100.0;
    if (!(groesse > 0) || groesse > GroessteSchrift)
        throw ungueltigerWert();
    return groesse;
}

void text(QPainter& p, const clsRepTextObjekt& o, int zoom)
{
    const Massstab m(p);
    const QFont font = xSchrift(o, zoom);
    const QFontMetricsF fm(font, p.device());
    const QString s = vorsa::vbText(o.Text);
    double x = o.Left * zoom / 100.0 * m.x;
    const double y = o.Top * zoom / 100.0 * m.y;
    if (o.Ausrichtung == QLatin1String("R"))
        x -= fm.horizontalAdvance(s);
    else if (o.Ausrichtung == QLatin1String("C"))
        x -= fm.horizontalAdvance(s) / 2;
    p.setFont(font);
    p.setPen(vbFarbe(o.ForeColor));
    p.drawText(QPointF(begrenzt(x), begrenzt(y + fm.ascent())), s);
}

void linie(QPainter& p, const clsRepTextObjekt& o, int zoom)
{
    const Massstab m(p);
    const double z = zoom / 100.0;
    const QPointF a(begrenzt(o.Left * z * m.x), begrenzt(o.Top * z * m.y));
    const QPointF b(begrenzt(o.Left2 * z * m.x), begrenzt(o.Top2 * z * m.y));
    const QColor farbe = vbFarbe(o.ForeColor);
    // A width below one pixel draws the thinnest line the surface has.
    QPen stift(farbe, std::clamp(o.DrawWidth, 1, 32767));
    if (o.Par1 == QLatin1String("B")) {
        stift.setJoinStyle(Qt::MiterJoin);
        p.setPen(stift);
        const QRectF kasten = QRectF(a, b).normalized();
        p.setBrush(o.Par2 == QLatin1String("F") ? QBrush(farbe) : QBrush(Qt::NoBrush));
        p.drawRect(kasten);
        p.setBrush(Qt::NoBrush);
    } else {
        stift.setCapStyle(Qt::RoundCap);
        p.setPen(stift);
        p.drawLine(a, b);
    }
}

void bild(QPainter& p, const clsRepTextObjekt& o, BildSpeicher* bilder)
{
    BildSpeicher eigene;
    const QImage& img = (bilder ? *bilder : eigene).bild(vorsa::vbText(o.Text));
    const Massstab m(p);
    const QRectF ziel(begrenzt(o.Left * m.x), begrenzt(o.Top * m.y),
                      img.width() * TwipsProBildpunkt * m.x,
                      img.height() * TwipsProBildpunkt * m.y);
    p.drawImage(ziel, img);
}
} // namespace

QFont xSchrift(const clsRepTextObjekt& o, int zoom)
{
    QFont font(o.Font);
    font.setPointSizeF(schriftgroesse(o, zoom));
    font.setBold(o.FontBold);
    font.setItalic(o.FontItalic);
    font.setStrikeOut(o.FontStrikethru);
    font.setUnderline(o.FontUnderline);
    // Widths as the font designs them, not fitted to the pixels of one
    // surface: a text is as wide on screen, at any zoom, as on paper, and
    // ends where it is meant to end.
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

QColor vbFarbe(qint32 bgr)
{
    const auto v = quint32(bgr);
    return QColor(int(v & 0xff), int((v >> 8) & 0xff), int((v >> 16) & 0xff));
}

const QImage& BildSpeicher::bild(const QString& pfad)
{
    auto it = m_bilder.constFind(pfad);
    if (it == m_bilder.constEnd()) {
        QImageReader leser(pfad);
        it = m_bilder.insert(pfad, leser.read());
    }
    if (it->isNull()) {
        if (!QFileInfo(pfad).isFile())
            throw VbError::fileNotFound(pfad);
        throw VbError(vorsa::err::InvalidPicture, QStringLiteral("Ungültiges Bild: %1").arg(pfad));
    }
    return *it;
}

void xPrint(QPainter& painter, const clsRepTextObjekt& objekt, int zoom, BildSpeicher* bilder)
{
    if (objekt.Style == QLatin1String("T"))
        text(painter, objekt, zoom);
    else if (objekt.Style == QLatin1String("L"))
        linie(painter, objekt, zoom);
    else if (objekt.Style == QLatin1String("B"))
        bild(painter, objekt, bilder);
}

void xPruefen(const clsRepTextObjekt& objekt, int zoom, BildSpeicher& bilder)
{
    if (objekt.Style == QLatin1String("T"))
        schriftgroesse(objekt, zoom);
    else if (objekt.Style == QLatin1String("B"))
        bilder.bild(vorsa::vbText(objekt.Text));
}

void SeiteZeichnen(QPainter& painter, const Seite& seite, int zoom, BildSpeicher* bilder)
{
    BildSpeicher eigene;
    for (const clsRepTextObjekt& o : seite.Objekte)
        xPrint(painter, o, zoom, bilder ? bilder : &eigene);
}

} // namespace OrvoReport2
