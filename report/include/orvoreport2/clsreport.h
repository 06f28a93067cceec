#pragma once

// OrvoReport2: reports of positioned text, lines, boxes and pictures, shown in
// a preview window and printed on the printers of CUPS.
//
// A host program links libOrvoReport2 and uses clsReport (a QApplication must
// exist). Programs in other languages reach the same class over D-Bus through
// the program OrvoReport2 (bus name "OrvoReport2.clsReport").
//
//     OrvoReport2::clsReport report;
//     report.setCaption(QStringLiteral("Kundenliste"));
//     report.AddSeite();
//     report.AddTextObjekt(QStringLiteral("Seite 1"), 2, 3);      // 2 cm down, 3 cm right
//     report.AddLineObjekt(1, 2.6, 3, 2.6, report.RechterRand() - 1);
//     report.Show();
//     report.SeiteAusgeben(1);
//
// Coordinates are centimetres from the top left corner of the printable area.
// The adding methods, SeiteAusgeben and PdfSpeichern never throw: they return
// false. Writing a setting that cannot be taken (a negative printer index, a
// font size out of range) throws a std::exception whose what() is the error's
// number and German description.

#include "orvoreport2_export.h"

#include <QObject>
#include <QString>
#include <QVariant>

namespace OrvoReport2 {

class mdiReport;

class ORVOREPORT2_EXPORT clsReport : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Font READ Font WRITE setFont)
    Q_PROPERTY(bool FontBold READ FontBold WRITE setFontBold)
    Q_PROPERTY(bool FontItalic READ FontItalic WRITE setFontItalic)
    Q_PROPERTY(float FontSize READ FontSize WRITE setFontSize)
    Q_PROPERTY(bool FontStrikethru READ FontStrikethru WRITE setFontStrikethru)
    Q_PROPERTY(bool FontUnderline READ FontUnderline WRITE setFontUnderline)
    Q_PROPERTY(qint32 ForeColor READ ForeColor WRITE setForeColor)
    Q_PROPERTY(double RechterRand READ RechterRand)
    Q_PROPERTY(double UntererRand READ UntererRand)

public:
    explicit clsReport(QObject* parent = nullptr);
    // Takes over a preview window made elsewhere (the program's tests give one
    // that records its message boxes and beeps).
    explicit clsReport(mdiReport* vorschau, QObject* parent = nullptr);
    ~clsReport() override;

    // Adds an empty page; objects added from now on go to it.
    Q_INVOKABLE bool AddSeite();
    // Text at dblTop/dblLeft (cm) in the current font and colour;
    // strAusrichtung "L" left edge, "R" right edge, "C" centre at dblLeft.
    Q_INVOKABLE bool AddTextObjekt(const QVariant& varText, double dblTop, double dblLeft,
                                   const QString& strAusrichtung = QStringLiteral("L"));
    // A line of lngDrawWidth pixels in lngFarbe (0x00BBGGRR); strPar1 "B" a
    // box with the two points as corners, with strPar2 "F" a filled one.
    Q_INVOKABLE bool AddLineObjekt(qint32 lngDrawWidth, double dblTop, double dblLeft,
                                   double dblTop2, double dblLeft2, qint32 lngFarbe = 0,
                                   const QString& strPar1 = QString(),
                                   const QString& strPar2 = QString());
    // A picture file at its natural size.
    Q_INVOKABLE bool AddBildObjekt(const QString& strPfad, double dblTop, double dblLeft);

    // The title of the preview: "Orvo - Druckvorschau: " + strCaption once shown.
    void setCaption(const QString& strCaption);

    // The font and colour of text objects added from now on.
    QString Font() const;
    void setFont(const QString& value);
    bool FontBold() const;
    void setFontBold(bool value);
    bool FontItalic() const;
    void setFontItalic(bool value);
    float FontSize() const;
    void setFontSize(float value);
    bool FontStrikethru() const;
    void setFontStrikethru(bool value);
    bool FontUnderline() const;
    void setFontUnderline(bool value);
    qint32 ForeColor() const;
    void setForeColor(qint32 value);

    // Proposed in the print dialog.
    void setCopies(qint32 lngCopies);
    void setSorted(bool blnSorted);
    // Codes of the old printer interface: orientation 1 portrait, 2 landscape;
    // paper 9 A4, 8 A3, 11 A5, 1 Letter, 5 Legal ...; bin 1 upper, 2 lower,
    // 4 manual, 7 automatic ... Applied to the current printer at once; what
    // it does not take is ignored.
    void setOrientation(qint32 lngOrientation);
    void setPaperSize(qint32 lngPaperSize);
    void setPaperBin(qint32 lngPaperBin);
    // Printer number lngPrinterIndex of the list (from 0) becomes current; a
    // number beyond the list selects the first printer.
    void setPrinterSelection(qint32 lngPrinterIndex);
    void setPrintButtonOn(bool bNewValue);
    // Printable width and height of the current printer in cm, cut to two decimals.
    double RechterRand() const;
    double UntererRand() const;
    // When set, SeiteAusgeben prints the whole report at once and closes the preview.
    void setSofortDrucken(bool blnSofortDrucken);

    // Opens the preview window.
    Q_INVOKABLE void Show();
    // Shows page lngSeiteNr (then prints, see setSofortDrucken); true unless
    // something failed on the way, also for a page that does not exist.
    Q_INVOKABLE bool SeiteAusgeben(qint32 lngSeiteNr = 1);
    // Writes the whole report as a PDF file on the current printer's paper;
    // false when the file cannot be written.
    Q_INVOKABLE bool PdfSpeichern(const QString& strPfad);

    // Whether the preview window is open.
    bool Sichtbar() const;
    mdiReport* Vorschau() const { return m_fenster; }

signals:
    // The preview window was closed (by the user or after immediate printing).
    void Geschlossen();

private:
    mdiReport* m_fenster;
    QString m_Caption;
    bool m_SofortDrucken = false;
};

} // namespace OrvoReport2
