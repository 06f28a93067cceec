#include "frmreportseite.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace OrvoReport2 {

ReportBlatt::ReportBlatt(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Blatt"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ReportBlatt::zeigen(const Seite& seite, const BildSpeicher& bilder)
{
    m_seite = seite;
    m_bilder = bilder;
    update();
}

void ReportBlatt::setZoom(int zoom)
{
    m_zoom = zoom;
    update();
}

void ReportBlatt::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.fillRect(event->rect(), Qt::white);
    try {
        SeiteZeichnen(p, m_seite, m_zoom, &m_bilder);
    } catch (const std::exception&) {
        // Checked before it was shown; a font the screen cannot draw ends it.
    }
}

frmReportSeite::frmReportSeite(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmReportSeite"));
    // Its own colours, not the role of the scroll area it sits in.
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    setPalette(pal);
    m_schatten = new QWidget(this);
    m_schatten->setObjectName(QStringLiteral("Schatten"));
    m_schatten->setBackgroundRole(QPalette::Window);
    m_schatten->setAutoFillBackground(true);
    QPalette schwarz = m_schatten->palette();
    schwarz.setColor(QPalette::Window, Qt::black);
    m_schatten->setPalette(schwarz);
    m_blatt = new ReportBlatt(this);
    m_blatt->raise();
}

void frmReportSeite::setXScale(qint16 zoom)
{
    m_xScale = zoom;
    m_blatt->setZoom(zoom);
}

double frmReportSeite::pixelProTwip() const
{
    return logicalDpiX() / 1440.0;
}

void frmReportSeite::BildAufbauen(double breite, double hoehe)
{
    const double s = pixelProTwip();
    const double z = m_xScale / 100.0;
    const auto px = [s](double twips) { return int(std::lround(twips * s)); };
    const int w = px(breite * z);
    const int h = px(hoehe * z);
    resize(px(breite * z + 2 * Rand), px(hoehe * z + 2 * Rand));
    m_blatt->setGeometry(px(Rand), px(Rand), w, h);
    m_schatten->setGeometry(px(Rand + SchattenVersatz), px(Rand + SchattenVersatz), w, h);
}

bool frmReportSeite::SeiteZeichnen(const Seite& seite)
{
    BildSpeicher bilder;
    try {
        for (const clsRepTextObjekt& o : seite.Objekte)
            xPruefen(o, m_xScale, bilder);
    } catch (const std::exception&) {
        return false;
    }
    m_blatt->zeigen(seite, bilder);
    return true;
}

} // namespace OrvoReport2
