#include "orvoreport2/clsreport.h"

#include "mdireport.h"
#include "vberror.h"

#include <cmath>

namespace OrvoReport2 {

clsReport::clsReport(QObject* parent) : clsReport(new mdiReport, parent) {}

clsReport::clsReport(mdiReport* vorschau, QObject* parent) : QObject(parent), m_fenster(vorschau)
{
    connect(m_fenster, &mdiReport::geschlossen, this, &clsReport::Geschlossen);
}

clsReport::~clsReport()
{
    // Releasing the report unloads its window (which keeps its placement).
    disconnect(m_fenster, nullptr, this, nullptr);
    if (m_fenster->isVisible())
        m_fenster->close();
    delete m_fenster;
}

bool clsReport::AddSeite()
{
    return m_fenster->dokument().AddSeite();
}

bool clsReport::AddTextObjekt(const QVariant& varText, double dblTop, double dblLeft,
                              const QString& strAusrichtung)
{
    return m_fenster->dokument().AddTextObjekt(varText, dblTop, dblLeft, strAusrichtung);
}

bool clsReport::AddLineObjekt(qint32 lngDrawWidth, double dblTop, double dblLeft, double dblTop2,
                              double dblLeft2, qint32 lngFarbe, const QString& strPar1,
                              const QString& strPar2)
{
    return m_fenster->dokument().AddLineObjekt(lngDrawWidth, dblTop, dblLeft, dblTop2, dblLeft2,
                                               lngFarbe, strPar1, strPar2);
}

bool clsReport::AddBildObjekt(const QString& strPfad, double dblTop, double dblLeft)
{
    return m_fenster->dokument().AddBildObjekt(strPfad, dblTop, dblLeft);
}

void clsReport::setCaption(const QString& strCaption)
{
    m_fenster->setWindowTitle(strCaption);
    m_Caption = QStringLiteral("Orvo - Druckvorschau: ") + strCaption;
}

QString clsReport::Font() const
{
    return m_fenster->dokument().schrift.Font;
}
void clsReport::setFont(const QString& value)
{
    m_fenster->dokument().schrift.Font = value;
}
bool clsReport::FontBold() const
{
    return m_fenster->dokument().schrift.FontBold;
}
void clsReport::setFontBold(bool value)
{
    m_fenster->dokument().schrift.FontBold = value;
}
bool clsReport::FontItalic() const
{
    return m_fenster->dokument().schrift.FontItalic;
}
void clsReport::setFontItalic(bool value)
{
    m_fenster->dokument().schrift.FontItalic = value;
}
float clsReport::FontSize() const
{
    return m_fenster->dokument().schrift.FontSize;
}
void clsReport::setFontSize(float value)
{
    if (!std::isfinite(value))
        throw vorsa::VbError::overflow();
    m_fenster->dokument().schrift.FontSize = value;
}
bool clsReport::FontStrikethru() const
{
    return m_fenster->dokument().schrift.FontStrikethru;
}
void clsReport::setFontStrikethru(bool value)
{
    m_fenster->dokument().schrift.FontStrikethru = value;
}
bool clsReport::FontUnderline() const
{
    return m_fenster->dokument().schrift.FontUnderline;
}
void clsReport::setFontUnderline(bool value)
{
    m_fenster->dokument().schrift.FontUnderline = value;
}
qint32 clsReport::ForeColor() const
{
    return m_fenster->dokument().schrift.ForeColor;
}
void clsReport::setForeColor(qint32 value)
{
    m_fenster->dokument().schrift.ForeColor = value;
}

void clsReport::setCopies(qint32 lngCopies)
{
    m_fenster->dokument().druck.Copies = lngCopies;
}
void clsReport::setSorted(bool blnSorted)
{
    m_fenster->dokument().druck.Sorted = blnSorted;
}
void clsReport::setOrientation(qint32 lngOrientation)
{
    m_fenster->setOrientation(lngOrientation);
}
void clsReport::setPaperSize(qint32 lngPaperSize)
{
    m_fenster->setPaperSize(lngPaperSize);
}
void clsReport::setPaperBin(qint32 lngPaperBin)
{
    m_fenster->setPaperBin(lngPaperBin);
}
void clsReport::setPrinterSelection(qint32 lngPrinterIndex)
{
    m_fenster->setPrinterSelection(lngPrinterIndex);
}
void clsReport::setPrintButtonOn(bool bNewValue)
{
    m_fenster->setPrintButtonOn(bNewValue);
}

double clsReport::RechterRand() const
{
    return zentimeterGekuerzt(m_fenster->drucker().druckbareBreite());
}
double clsReport::UntererRand() const
{
    return zentimeterGekuerzt(m_fenster->drucker().druckbareHoehe());
}

void clsReport::setSofortDrucken(bool blnSofortDrucken)
{
    m_SofortDrucken = blnSofortDrucken;
}

void clsReport::Show()
{
    if (!m_Caption.isEmpty())
        m_fenster->setWindowTitle(m_Caption);
    m_fenster->Anzeigen();
}

bool clsReport::SeiteAusgeben(qint32 lngSeiteNr)
{
    try {
        m_fenster->SeiteAusgeben(lngSeiteNr); // its own result does not count here
        if (m_SofortDrucken)
            m_fenster->SofortDrucken();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool clsReport::PdfSpeichern(const QString& strPfad)
{
    try {
        return m_fenster->PdfSpeichern(strPfad);
    } catch (const std::exception&) {
        return false;
    }
}

bool clsReport::Sichtbar() const
{
    return m_fenster->isVisible();
}

} // namespace OrvoReport2
