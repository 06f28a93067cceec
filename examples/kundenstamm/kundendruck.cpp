#include "kundendruck.h"

#include <orvoreport2/clsreport.h>

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <algorithm>
#include <memory>
#include <numeric>

namespace kundenstamm {

namespace {

using OrvoReport2::clsReport;

constexpr double kRand = 0.0;          // cm from the printable area's left edge
constexpr double kKopfOben = 0.3;      // title
constexpr double kSpaltenOben = 1.5;   // header line of the columns
constexpr double kErsteZeile = 2.2;    // first row of the list
constexpr double kZeilenAbstand = 0.5; // per row of the list, 9 pt
constexpr double kFussAbstand = 0.9;   // "Seite n von m" above the bottom edge
constexpr float kListenSchrift = 9;
constexpr double kSpaltenLuft = 0.2; // between a value and the next column

// Measures text in the report's font at a known resolution.
class Messung {
public:
    Messung(const QString& family, float size, bool bold) : m_bild(1, 1, QImage::Format_RGB32)
    {
        const int dotsPerMeter = qRound(kDpi / 0.0254);
        m_bild.setDotsPerMeterX(dotsPerMeter);
        m_bild.setDotsPerMeterY(dotsPerMeter);
        QFont font(family);
        font.setPointSizeF(size);
        font.setBold(bold);
        m_metrik = std::make_unique<QFontMetricsF>(font, &m_bild);
    }
    double breite(const QString& text) const
    {
        return m_metrik->horizontalAdvance(text) / kDpi * 2.54;
    }
    // The text cut with "…" to a width in cm.
    QString gekuerzt(const QString& text, double cm) const
    {
        return m_metrik->elidedText(text, Qt::ElideRight, std::max(0.0, cm) / 2.54 * kDpi);
    }

private:
    static constexpr double kDpi = 1200;
    QImage m_bild;
    std::unique_ptr<QFontMetricsF> m_metrik;
};

} // namespace

int zeilenProSeite(double untererRand)
{
    const double platz = untererRand - kFussAbstand - 0.3 - kErsteZeile;
    return std::max(1, int(platz / kZeilenAbstand) + 1);
}

QList<double> spaltenBreiten(const QList<double>& benoetigt, double breite)
{
    const double summe = std::accumulate(benoetigt.begin(), benoetigt.end(), 0.0);
    if (summe <= breite)
        return benoetigt;
    // The narrow columns keep their width; the rest share what is left.
    QList<double> sortiert = benoetigt;
    std::sort(sortiert.begin(), sortiert.end());
    double rest = breite;
    qsizetype offen = sortiert.size();
    for (double b : sortiert) {
        if (b * double(offen) > rest)
            break;
        rest -= b;
        --offen;
    }
    const double grenze = offen > 0 ? rest / double(offen) : breite;
    QList<double> weiten;
    for (double b : benoetigt)
        weiten << std::min(b, grenze);
    return weiten;
}

bool KundenblattAufbauen(clsReport& report, const Kundenblatt& blatt)
{
    const double breite = report.RechterRand();
    bool ok = report.AddSeite();
    report.setFontSize(14);
    report.setFontBold(true);
    ok = ok && report.AddTextObjekt(blatt.titel, kKopfOben, kRand);
    report.setFontSize(12);
    ok = ok && report.AddTextObjekt(blatt.name, kKopfOben + 0.8, kRand);
    report.setFontBold(false);
    report.setFontSize(10);
    ok = ok && report.AddTextObjekt(blatt.mandant, kKopfOben, breite, QStringLiteral("R"));
    ok = ok && report.AddTextObjekt(blatt.datum.toString(QStringLiteral("dd.MM.yyyy")),
                                    kKopfOben + 0.6, breite, QStringLiteral("R"));
    ok = ok && report.AddLineObjekt(1, 1.8, kRand, 1.8, breite);
    double oben = 2.3;
    for (const auto& [caption, value] : blatt.felder) {
        ok = ok && report.AddTextObjekt(caption, oben, kRand);
        ok = ok && report.AddTextObjekt(value, oben, kRand + 4.5);
        oben += 0.7;
    }
    return ok;
}

bool KundenlisteAufbauen(clsReport& report, const Kundenliste& liste)
{
    const double breite = report.RechterRand();
    const double hoehe = report.UntererRand();
    const int proSeite = zeilenProSeite(hoehe);
    const int seiten = std::max<int>(1, (int(liste.zeilen.size()) + proSeite - 1) / proSeite);

    // Each column as wide as its widest value, and where it starts.
    const Messung normal(report.Font(), kListenSchrift, false);
    const Messung fett(report.Font(), kListenSchrift, true);
    QList<double> benoetigt;
    for (qsizetype c = 0; c < liste.kopf.size(); ++c) {
        double b = fett.breite(liste.kopf[c]);
        for (const QStringList& zeile : liste.zeilen) {
            if (c < zeile.size())
                b = std::max(b, normal.breite(zeile[c]));
        }
        benoetigt << b + kSpaltenLuft;
    }
    const QList<double> weiten = spaltenBreiten(benoetigt, breite - kRand);
    QList<double> links;
    double x = kRand;
    for (double weite : weiten) {
        links << x;
        x += weite;
    }
    bool ok = true;
    for (int seite = 1; seite <= seiten; ++seite) {
        ok = ok && report.AddSeite();
        report.setFontBold(true);
        report.setFontSize(12);
        ok = ok && report.AddTextObjekt(liste.titel, kKopfOben, kRand);
        report.setFontBold(false);
        report.setFontSize(kListenSchrift);
        ok = ok && report.AddTextObjekt(liste.untertitel, kKopfOben + 0.6, kRand);
        ok = ok && report.AddTextObjekt(liste.datum.toString(QStringLiteral("dd.MM.yyyy")),
                                        kKopfOben, breite, QStringLiteral("R"));
        // The header line of the columns.
        report.setFontBold(true);
        for (int c = 0; c < liste.kopf.size() && c < links.size(); ++c)
            ok = ok && report.AddTextObjekt(fett.gekuerzt(liste.kopf[c], weiten[c] - kSpaltenLuft),
                                            kSpaltenOben, links[c]);
        report.setFontBold(false);
        ok = ok && report.AddLineObjekt(1, kSpaltenOben + 0.5, kRand, kSpaltenOben + 0.5, breite);
        // The rows of this page.
        const int erste = (seite - 1) * proSeite;
        const int letzte = std::min<int>(int(liste.zeilen.size()), erste + proSeite);
        for (int r = erste; r < letzte; ++r) {
            const double oben = kErsteZeile + (r - erste) * kZeilenAbstand;
            const QStringList& zeile = liste.zeilen[r];
            for (int c = 0; c < zeile.size() && c < links.size(); ++c) {
                if (zeile[c].isEmpty())
                    continue;
                ok = ok && report.AddTextObjekt(normal.gekuerzt(zeile[c], weiten[c] - kSpaltenLuft),
                                                oben, links[c]);
            }
        }
        ok = ok && report.AddLineObjekt(1, hoehe - kFussAbstand - 0.1, kRand,
                                        hoehe - kFussAbstand - 0.1, breite);
        ok = ok && report.AddTextObjekt(QStringLiteral("Seite %1 von %2").arg(seite).arg(seiten),
                                        hoehe - kFussAbstand, breite / 2, QStringLiteral("C"));
    }
    return ok;
}

} // namespace kundenstamm
