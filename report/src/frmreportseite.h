#pragma once

#include "reportdokument.h"
#include "xprint.h"

#include <QWidget>

namespace OrvoReport2 {

// The sheet: a white page on which the shown page's objects are drawn with
// xPrint whenever it is painted, so it is sharp at any zoom and device pixel
// ratio.
class ReportBlatt : public QWidget {
    Q_OBJECT
public:
    explicit ReportBlatt(QWidget* parent = nullptr);
    // Shows the objects of a page (a copy; the report may grow meanwhile) with
    // the pictures read for them.
    void zeigen(const Seite& seite, const BildSpeicher& bilder);
    void setZoom(int zoom);
    const Seite& seite() const { return m_seite; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Seite m_seite;
    BildSpeicher m_bilder;
    int m_zoom = 100;
};

// The page window: the sheet with its black shadow on a grey ground, 500
// twips from the edges (550 for the shadow), sized by the printable area of
// the current printer and the zoom `xScale` (percent).
class frmReportSeite : public QWidget {
    Q_OBJECT
public:
    static constexpr int Rand = 500;
    static constexpr int SchattenVersatz = 50;

    explicit frmReportSeite(QWidget* parent = nullptr);

    qint16 xScale() const { return m_xScale; }
    void setXScale(qint16 zoom);
    // Sizes the page window, the sheet and the shadow for a printable area of
    // breite x hoehe twips at the zoom.
    void BildAufbauen(double breite, double hoehe);
    // Draws the page on the sheet; false, with the sheet as it was, when one
    // of its objects cannot be drawn (a picture that cannot be loaded).
    bool SeiteZeichnen(const Seite& seite);

    ReportBlatt* blatt() const { return m_blatt; }
    QWidget* schatten() const { return m_schatten; }
    // Device pixels of this window per twip.
    double pixelProTwip() const;

private:
    ReportBlatt* m_blatt;
    QWidget* m_schatten;
    qint16 m_xScale = 100;
};

} // namespace OrvoReport2
