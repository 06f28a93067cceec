#pragma once

#include "clsreptextobjekt.h"
#include "reportdokument.h"

#include <QHash>
#include <QImage>
#include <QString>

class QPainter;

namespace OrvoReport2 {

// The pictures of a page or a print job, each file read once. A file that
// cannot be read fails with 53 (missing) or 481 (not a picture) every time.
class BildSpeicher {
public:
    const QImage& bild(const QString& pfad);

private:
    QHash<QString, QImage> m_bilder;
};

// Draws one object on any surface: the painter's device gives the scale (its
// logical resolution / 1440 device pixels per twip), zoom is in percent and
// applies to positions and font sizes, not to pen widths and pictures.
// - "T": the top of the text line at Top; "R" ends the text at Left, "C"
//   centres it there (measured with the font on that device);
// - "L": a line, with Par1 "B" a box, with Par2 "F" as well a filled box;
// - "B": the picture file at Left/Top in its natural size (15 twips per pixel);
// - anything else draws nothing.
// A picture that cannot be loaded fails with 53 or 481, a font size outside
// what a surface can draw with 380.
void xPrint(QPainter& painter, const clsRepTextObjekt& objekt, int zoom,
            BildSpeicher* bilder = nullptr);

// Checks that xPrint can draw the object at that zoom, with the same checks
// and failures, without drawing it (pictures are read into `bilder`).
void xPruefen(const clsRepTextObjekt& objekt, int zoom, BildSpeicher& bilder);

// Draws the objects of a page in the order of adding; the first failure ends
// the page and is passed on.
void SeiteZeichnen(QPainter& painter, const Seite& seite, int zoom, BildSpeicher* bilder = nullptr);

// The font of a text object at a zoom (fails with 380 like xPrint).
QFont xSchrift(const clsRepTextObjekt& objekt, int zoom);

// A colour 0x00BBGGRR.
QColor vbFarbe(qint32 bgr);

} // namespace OrvoReport2
