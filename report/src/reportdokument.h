#pragma once

#include "clsreptextobjekt.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace OrvoReport2 {

// One page: its objects in the order of adding, each under its key (the
// running object number as decimal text).
struct Seite {
    QString Key;
    QStringList ObjektKeys;
    QList<clsRepTextObjekt> Objekte;
};

// The font and colour that new text objects receive.
struct AktuelleSchrift {
    QString Font = QStringLiteral("Arial");
    float FontSize = 12;
    bool FontBold = false;
    bool FontItalic = false;
    bool FontStrikethru = false;
    bool FontUnderline = false;
    qint32 ForeColor = 0;
};

// Settings handed to the printer and the print dialog.
struct DruckEinstellungen {
    qint32 PrinterIndex = 0;
    qint32 PaperBin = 0;
    qint32 PaperSize = 0;
    qint32 Orientation = 0;
    qint32 Copies = 1;
    bool Sorted = false;
};

// Pages and objects of a report with the current font. Coordinates come in
// centimetres and are kept in twips. The adding methods never raise: any
// failure gives false and stores nothing.
class ReportDokument {
public:
    static constexpr double TwipsProZentimeter = 567;

    bool AddSeite();
    bool AddTextObjekt(const QVariant& varText, double dblTop, double dblLeft,
                       const QString& strAusrichtung);
    bool AddLineObjekt(qint32 lngDrawWidth, double dblTop, double dblLeft, double dblTop2,
                       double dblLeft2, qint32 lngFarbe, const QString& strPar1,
                       const QString& strPar2);
    bool AddBildObjekt(const QString& strPfad, double dblTop, double dblLeft);

    qint32 SeitenAnzahl() const { return m_SeitenAnzahl; }
    qint32 ObjektNr() const { return m_ObjektNr; }
    // Page n (from 1), or nullptr when there is none.
    const Seite* seite(qint64 n) const;
    // All pages (implicitly shared, so a copy is cheap and stays as it is
    // while the report grows).
    const QList<Seite>& seiten() const { return m_Seiten; }

    AktuelleSchrift schrift;
    DruckEinstellungen druck;

private:
    bool hinzufuegen(clsRepTextObjekt objekt);

    QList<Seite> m_Seiten;
    qint32 m_SeitenAnzahl = 0;
    qint32 m_ObjektNr = 0;
};

// Centimetres to twips; a result that is no finite number fails with 6.
double zuTwips(double zentimeter);

} // namespace OrvoReport2
