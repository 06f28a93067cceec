#include "reportdokument.h"

#include "vberror.h"

#include <cmath>
#include <limits>

namespace OrvoReport2 {

using vorsa::VbError;

double zuTwips(double zentimeter)
{
    const double twips = zentimeter * ReportDokument::TwipsProZentimeter;
    if (!std::isfinite(twips))
        throw VbError::overflow();
    return twips;
}

namespace {
template <typename F> bool ohneFehler(F&& f)
{
    try {
        f();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
} // namespace

bool ReportDokument::AddSeite()
{
    return ohneFehler([&] {
        if (m_SeitenAnzahl == std::numeric_limits<qint32>::max())
            throw VbError::overflow();
        Seite seite;
        seite.Key = QString::number(m_SeitenAnzahl + 1);
        m_Seiten.append(std::move(seite));
        ++m_SeitenAnzahl;
    });
}

const Seite* ReportDokument::seite(qint64 n) const
{
    if (n < 1 || n > m_Seiten.size())
        return nullptr;
    return &m_Seiten.at(n - 1);
}

bool ReportDokument::hinzufuegen(clsRepTextObjekt objekt)
{
    // The number is counted before the object is stored and not given back
    // when storing fails.
    if (m_ObjektNr == std::numeric_limits<qint32>::max())
        throw VbError::overflow();
    ++m_ObjektNr;
    if (m_SeitenAnzahl < 1)
        throw VbError::invalidCall(); // no page to receive it yet
    Seite& seite = m_Seiten[m_SeitenAnzahl - 1];
    seite.ObjektKeys.append(QString::number(m_ObjektNr));
    seite.Objekte.append(std::move(objekt));
    return true;
}

bool ReportDokument::AddTextObjekt(const QVariant& varText, double dblTop, double dblLeft,
                                   const QString& strAusrichtung)
{
    return ohneFehler([&] {
        clsRepTextObjekt o;
        o.Style = QStringLiteral("T");
        o.Text = varText;
        o.Top = zuTwips(dblTop);
        o.Left = zuTwips(dblLeft);
        o.Ausrichtung = strAusrichtung;
        o.Font = schrift.Font;
        o.FontSize = schrift.FontSize;
        o.FontBold = schrift.FontBold;
        o.FontItalic = schrift.FontItalic;
        o.FontStrikethru = schrift.FontStrikethru;
        o.FontUnderline = schrift.FontUnderline;
        o.ForeColor = schrift.ForeColor;
        hinzufuegen(std::move(o));
    });
}

bool ReportDokument::AddLineObjekt(qint32 lngDrawWidth, double dblTop, double dblLeft,
                                   double dblTop2, double dblLeft2, qint32 lngFarbe,
                                   const QString& strPar1, const QString& strPar2)
{
    return ohneFehler([&] {
        clsRepTextObjekt o;
        o.Style = QStringLiteral("L");
        o.DrawWidth = lngDrawWidth;
        o.Top = zuTwips(dblTop);
        o.Left = zuTwips(dblLeft);
        o.Top2 = zuTwips(dblTop2);
        o.Left2 = zuTwips(dblLeft2);
        o.ForeColor = lngFarbe;
        o.Par1 = strPar1;
        o.Par2 = strPar2;
        hinzufuegen(std::move(o));
    });
}

bool ReportDokument::AddBildObjekt(const QString& strPfad, double dblTop, double dblLeft)
{
    return ohneFehler([&] {
        clsRepTextObjekt o;
        o.Style = QStringLiteral("B");
        o.Text = strPfad;
        o.Top = zuTwips(dblTop);
        o.Left = zuTwips(dblLeft);
        hinzufuegen(std::move(o));
    });
}

} // namespace OrvoReport2
