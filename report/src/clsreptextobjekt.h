#pragma once

#include <QString>
#include <QVariant>

namespace OrvoReport2 {

// One drawable object of a report page. Coordinates are twips (1/1440 inch).
struct clsRepTextObjekt {
    QString Style;   // "T" text, "L" line or box, "B" picture
    QVariant Text;   // text: the value to draw; picture: the path of the file
    double Top = 0;  // text: top of the line; line: start; picture: top edge
    double Left = 0; // text: anchor of Ausrichtung; line: start; picture: left edge
    double Top2 = 0; // line: end
    double Left2 = 0;
    qint32 DrawWidth = 0; // line: pen width in pixels of the surface
    QString Par1;         // line: "B" draws the box with the two points as corners
    QString Par2;         // line: "F" together with "B" fills the box
    QString Ausrichtung;  // text: "L" left edge, "R" right edge, "C" centre at Left
    QString Font;
    float FontSize = 0;
    bool FontBold = false;
    bool FontItalic = false;
    bool FontStrikethru = false;
    bool FontUnderline = false;
    qint32 ForeColor = 0; // 0x00BBGGRR
};

} // namespace OrvoReport2
