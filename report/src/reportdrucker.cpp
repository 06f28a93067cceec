#include "reportdrucker.h"

#include "papiercodes.h"
#include "vberror.h"

#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>
#include <cmath>
#include <cups/cups.h>

namespace OrvoReport2 {

using vorsa::VbError;

namespace {
constexpr double TwipsProPunkt = 20;
constexpr double TwipsProMillimeter = 1440 / 25.4;
// The key under which Qt's print engine for CUPS takes job options (name,
// value, name, value ...), as Qt's own print dialog passes them.
constexpr auto CupsOptionen = QPrintEngine::PrintEnginePropertyKey(0xfe00);
const QStringList EineKopie{QStringLiteral("copies"), QStringLiteral("1")};

QPageLayout a4OhneDrucker()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Point);
}

// Whether the printer has the bin ("media-source-supported" of CUPS).
bool medienquelleVorhanden(const QString& drucker, const char* quelle)
{
    cups_dest_t* ziel =
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, drucker.toLocal8Bit().constData(), nullptr);
    if (!ziel)
        return false;
    cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, ziel);
    const bool vorhanden =
        info && cupsCheckDestSupported(CUPS_HTTP_DEFAULT, ziel, info, CUPS_MEDIA_SOURCE, quelle);
    cupsFreeDestInfo(info);
    cupsFreeDests(1, ziel);
    return vorhanden;
}
} // namespace

double zentimeterGekuerzt(double twips)
{
    // Multiplied first: 11907 twips are exactly 21 cm and stay 21.
    return std::floor(twips * 100.0 / 567.0) / 100.0;
}

ReportDrucker::ReportDrucker() : m_ohneDrucker(a4OhneDrucker())
{
    auswaehlen(standardIndex());
}

ReportDrucker::~ReportDrucker() = default;

QStringList ReportDrucker::druckerListe()
{
    return QPrinterInfo::availablePrinterNames();
}

qint32 ReportDrucker::standardIndex()
{
    const qsizetype i = druckerListe().indexOf(QPrinterInfo::defaultPrinterName());
    return i < 0 ? 0 : qint32(i);
}

qint32 ReportDrucker::auswaehlen(qint32 index)
{
    if (index < 0)
        throw VbError::subscriptOutOfRange();
    const QStringList liste = druckerListe();
    if (qint64(index) + 1 > liste.size())
        index = 0;
    m_index = index;
    if (liste.isEmpty()) {
        m_drucker.reset();
        m_name.clear();
        return index;
    }
    auto drucker = std::make_unique<QPrinter>(QPrinterInfo::printerInfo(liste.at(index)),
                                              QPrinter::HighResolution);
    // Copies are made by the report itself, in its own order. Qt names no
    // copy count for one copy, and CUPS would then make as many as the
    // queue's default: the job says one.
    drucker->setCopyCount(1);
    drucker->printEngine()->setProperty(CupsOptionen, EineKopie);
    drucker->setFullPage(false);
    m_drucker = std::move(drucker);
    m_name = liste.at(index);
    randAufDrucker();
    return index;
}

void ReportDrucker::randAufDrucker()
{
    // The printable area is all the printer can print on, as wide as its
    // driver allows.
    const QPageLayout layout = m_drucker->pageLayout();
    m_drucker->setPageMargins(layout.minimumMargins(), layout.units());
}

bool ReportDrucker::setOrientation(qint32 code)
{
    const auto o = ausrichtung(code);
    if (!o)
        return false;
    if (!m_drucker)
        return m_ohneDrucker.setOrientation(*o), true;
    const bool ok = m_drucker->setPageOrientation(*o);
    randAufDrucker();
    return ok;
}

bool ReportDrucker::setPaperSize(qint32 code)
{
    const auto id = papierformat(code);
    if (!id)
        return false;
    if (!m_drucker) {
        m_ohneDrucker.setPageSize(QPageSize(*id));
        return true;
    }
    const bool ok = m_drucker->setPageSize(QPageSize(*id));
    randAufDrucker();
    return ok;
}

bool ReportDrucker::setPaperBin(qint32 code)
{
    // Qt's print engine for CUPS keeps the paper source without passing it
    // on; CUPS takes the bin as the job option "media-source", when the
    // printer has that bin.
    const auto bin = papierschacht(code);
    if (!bin || !m_drucker || !*bin->medienquelle ||
        !medienquelleVorhanden(m_name, bin->medienquelle))
        return false;
    m_drucker->setPaperSource(bin->quelle);
    m_drucker->printEngine()->setProperty(
        CupsOptionen, EineKopie + QStringList{QStringLiteral("media-source"),
                                              QString::fromLatin1(bin->medienquelle)});
    return true;
}

QPageLayout ReportDrucker::seitenLayout() const
{
    return m_drucker ? m_drucker->pageLayout() : m_ohneDrucker;
}

double ReportDrucker::druckbareBreite() const
{
    // The sheet from its exact size in millimetres, the margins in points as
    // the printer gives them.
    const QPageLayout l = seitenLayout();
    const QMarginsF rand = l.margins(QPageLayout::Point);
    return l.fullRect(QPageLayout::Millimeter).width() * TwipsProMillimeter -
           (rand.left() + rand.right()) * TwipsProPunkt;
}

double ReportDrucker::druckbareHoehe() const
{
    const QPageLayout l = seitenLayout();
    const QMarginsF rand = l.margins(QPageLayout::Point);
    return l.fullRect(QPageLayout::Millimeter).height() * TwipsProMillimeter -
           (rand.top() + rand.bottom()) * TwipsProPunkt;
}

} // namespace OrvoReport2
