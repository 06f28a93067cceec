// Printing on a real print system: a private CUPS daemon with two cups-pdf
// queues; what comes out is read back with poppler's tools.
#include "cupsdaemon.h"
#include "frmdrucken.h"
#include "pdfwerkzeug.h"
#include "reportdrucker.h"
#include "reportfixture.h"
#include "xprint.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <cups/cups.h>

using namespace OrvoReport2;
using reporttest::Report;
using vorsa::test::CupsDaemon;

namespace {
void fuellen(Report& r, int seiten)
{
    for (int i = 1; i <= seiten; ++i) {
        r->AddSeite();
        r->AddTextObjekt(QStringLiteral("Seite %1").arg(i), 1, 1);
    }
}

// The job options CUPS keeps for the one job waiting on a stopped queue
// (name -> value as text; integers in decimal).
QMap<QString, QString> wartenderAuftrag(const QString& warteschlange)
{
    QMap<QString, QString> werte;
    cups_job_t* auftraege = nullptr;
    const int anzahl =
        cupsGetJobs2(CUPS_HTTP_DEFAULT, &auftraege, warteschlange.toLocal8Bit().constData(), 0,
                     CUPS_WHICHJOBS_ACTIVE);
    if (anzahl != 1) {
        cupsFreeJobs(anzahl, auftraege);
        return werte;
    }
    ipp_t* frage = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const QByteArray uri =
        QByteArrayLiteral("ipp://localhost/jobs/") + QByteArray::number(auftraege[0].id);
    ippAddString(frage, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.constData());
    cupsFreeJobs(anzahl, auftraege);
    ipp_t* antwort = cupsDoRequest(CUPS_HTTP_DEFAULT, frage, "/");
    for (ipp_attribute_t* a = ippFirstAttribute(antwort); a; a = ippNextAttribute(antwort)) {
        if (!ippGetName(a) || ippGetGroupTag(a) != IPP_TAG_JOB)
            continue;
        char text[256];
        ippAttributeString(a, text, sizeof text);
        werte.insert(QString::fromUtf8(ippGetName(a)), QString::fromUtf8(text));
    }
    ippDelete(antwort);
    return werte;
}

// "OK" in a print dialog set up by `einrichten`.
void drucken(Report& r, const std::function<void(frmDrucken*)>& einrichten = {})
{
    frmDrucken* d = r.fenster->DruckDialogOeffnen();
    if (einrichten)
        einrichten(d);
    d->Command1_Click();
}
} // namespace

class DruckenTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { reporttest::einstellungenLeeren(); }
    void cleanupTestCase() { m_cups.reset(); }

    void printersComeFromCupsInItsOrder();
    void copiesArriveCollatedOrNot();
    void rangeTwoToTwoPrintsPageTwoOnly();
    void pageZeroGivesAnEmptySheet();
    void reversedRangePrintsNothing();
    void reportWithoutPagesIsAnEmptyJob();
    void printerSelectionBeyondTheListPrintsOnTheFirst();
    void textsLieOnPaperWhereThePreviewDrawsThem();
    void landscapeComesOutLandscape();
    void paperBinIsPassedWhereThePrinterHasIt();
    void pageWithABrokenPictureStillGivesItsSheet();
    void jobAsksCupsForOneCopyWithTheBinWhateverTheQueueDefaults();

private:
    std::unique_ptr<CupsDaemon> m_cups;
    QTemporaryDir m_dir;
};

void DruckenTest::initTestCase()
{
    m_cups = std::make_unique<CupsDaemon>();
    if (!m_cups->available())
        QSKIP(qPrintable(m_cups->reason()));
}

void DruckenTest::printersComeFromCupsInItsOrder()
{
    QCOMPARE(ReportDrucker::druckerListe(),
             (QStringList{CupsDaemon::PdfDrucker, CupsDaemon::ZweiterDrucker}));
    Report r;
    QVERIFY(r.fenster->drucker().vorhanden());
    // cups-pdf prints the whole A4 sheet.
    QCOMPARE(r->RechterRand(), 20.99);
    QCOMPARE(r->UntererRand(), 29.69);
    r->setPrinterSelection(1);
    QCOMPARE(r.fenster->drucker().geraetename(), CupsDaemon::ZweiterDrucker);
    QCOMPARE(r.dok().druck.PrinterIndex, 1);
    r->setPrinterSelection(2);
    QCOMPARE(r.fenster->drucker().geraetename(), CupsDaemon::PdfDrucker);
    QCOMPARE(r.dok().druck.PrinterIndex, 0);
    r->setPaperSize(8); // A3
    QCOMPARE(r->RechterRand(), 29.69);
}

void DruckenTest::copiesArriveCollatedOrNot()
{
    Report r;
    fuellen(r, 3);
    r->setCopies(2);
    r->setSorted(true);
    drucken(r);
    QVERIFY(r.reporter.entries.isEmpty());
    QStringList pdfs = m_cups->neuePdfs(0, 1);
    QCOMPARE(pdfs.size(), 1);
    QCOMPARE(reporttest::seitenTexte(pdfs.at(0)),
             (QStringList{"Seite 1", "Seite 2", "Seite 3", "Seite 1", "Seite 2", "Seite 3"}));
    // The copies are made here; CUPS is asked for one, or it would multiply them.
    QCOMPARE(r.fenster->drucker().drucker()->copyCount(), 1);

    drucken(r, [](frmDrucken* d) { d->check1()->setChecked(false); });
    pdfs = m_cups->neuePdfs(0, 1);
    QCOMPARE(pdfs.size(), 1);
    QCOMPARE(reporttest::seitenTexte(pdfs.at(0)),
             (QStringList{"Seite 1", "Seite 1", "Seite 2", "Seite 2", "Seite 3", "Seite 3"}));
}

void DruckenTest::rangeTwoToTwoPrintsPageTwoOnly()
{
    Report r;
    fuellen(r, 3);
    drucken(r, [](frmDrucken* d) {
        d->option1(1)->setChecked(true);
        d->text1(0)->setText(QStringLiteral("2"));
        d->text1(1)->setText(QStringLiteral("2"));
    });
    const QStringList pdfs = m_cups->neuePdfs(0, 1);
    QCOMPARE(pdfs.size(), 1);
    QCOMPARE(reporttest::seitenTexte(pdfs.at(0)), QStringList{"Seite 2"});
}

void DruckenTest::pageZeroGivesAnEmptySheet()
{
    Report r;
    fuellen(r, 2);
    drucken(r, [](frmDrucken* d) {
        d->option1(1)->setChecked(true);
        d->text1(0)->setText(QStringLiteral("0"));
        d->text1(1)->setText(QStringLiteral("1"));
    });
    const QStringList pdfs = m_cups->neuePdfs(0, 1);
    QCOMPARE(pdfs.size(), 1);
    QCOMPARE(reporttest::seitenzahl(pdfs.at(0)), 2);
    QCOMPARE(reporttest::seitenTexte(pdfs.at(0)), (QStringList{QString(), "Seite 1"}));
}

void DruckenTest::reversedRangePrintsNothing()
{
    Report r;
    fuellen(r, 3);
    drucken(r, [](frmDrucken* d) {
        d->option1(1)->setChecked(true);
        d->text1(0)->setText(QStringLiteral("3"));
        d->text1(1)->setText(QStringLiteral("2"));
    });
    QCOMPARE(r.reporter.entries.size(), 1);
    QCOMPARE(r.reporter.entries.at(0).text, QStringLiteral("Falsche Seitenangaben"));
    QVERIFY(m_cups->fertig());
    QCOMPARE(m_cups->neuePdfs(0, 0, 0), QStringList());
}

void DruckenTest::reportWithoutPagesIsAnEmptyJob()
{
    Report r;
    drucken(r);
    QVERIFY(r.reporter.entries.isEmpty());
    const QStringList pdfs = m_cups->neuePdfs(0, 1);
    QCOMPARE(pdfs.size(), 1);
    QCOMPARE(reporttest::seitenzahl(pdfs.at(0)), 1);
    QCOMPARE(reporttest::seitenTexte(pdfs.at(0)).join(QString()), QString());
}

void DruckenTest::printerSelectionBeyondTheListPrintsOnTheFirst()
{
    Report r;
    fuellen(r, 1);
    r->setPrinterSelection(1);
    drucken(r);
    QCOMPARE(m_cups->neuePdfs(1, 1).size(), 1);
    r->setPrinterSelection(5);
    QCOMPARE(r.dok().druck.PrinterIndex, 0);
    drucken(r);
    QCOMPARE(m_cups->neuePdfs(0, 1).size(), 1);
    QCOMPARE(m_cups->neuePdfs(1, 0, 0), QStringList());
}

void DruckenTest::textsLieOnPaperWhereThePreviewDrawsThem()
{
    Report r;
    r->AddSeite();
    r->AddTextObjekt(QStringLiteral("Links"), 3, 2);              // 2 cm across, 3 cm down
    r->AddTextObjekt(QStringLiteral("Rechtsbündig"), 5, 15, "R"); // ends at 15 cm
    r->AddTextObjekt(QStringLiteral("Mitte"), 7, 10, "C");        // centred on 10 cm
    drucken(r);
    const QStringList pdfs = m_cups->neuePdfs(0, 1);
    QCOMPARE(pdfs.size(), 1);
    const QString eigene = m_dir.filePath(QStringLiteral("positionen.pdf"));
    QVERIFY(r->PdfSpeichern(eigene));

    // Where the preview puts them, in twips from the sheet's corner (cups-pdf
    // prints to the edge): the text line's top at Top, the advance from Left.
    const QFont schrift = xSchrift(r.dok().seite(1)->Objekte.at(0), 100);
    QImage muster(1, 1, QImage::Format_RGB32);
    muster.setDotsPerMeterX(qRound(1440 / 0.0254));
    muster.setDotsPerMeterY(qRound(1440 / 0.0254));
    const QFontMetricsF fm(schrift, &muster);
    const double halbMillimeter = 1440 / 25.4 / 2;
    for (const QString& pdf : {pdfs.at(0), eigene}) {
        const auto links = reporttest::wort(pdf, QStringLiteral("Links"));
        QVERIFY2(qAbs(links.xMin - 2 * 567) <= halbMillimeter,
                 qPrintable(QString::number(links.xMin)));
        // The box poppler gives is the font's ascent above the baseline.
        const double grundlinie = 3 * 567 + fm.ascent();
        const double popplerGrundlinie =
            links.yMax - (links.yMax - links.yMin) * fm.descent() / (fm.ascent() + fm.descent());
        QVERIFY2(qAbs(popplerGrundlinie - grundlinie) <= halbMillimeter,
                 qPrintable(QStringLiteral("%1 vs %2").arg(popplerGrundlinie).arg(grundlinie)));
        const auto rechts = reporttest::wort(pdf, QStringLiteral("Rechtsbündig"));
        QVERIFY2(qAbs(rechts.xMax - 15 * 567) <= halbMillimeter,
                 qPrintable(QString::number(rechts.xMax)));
        const auto mitte = reporttest::wort(pdf, QStringLiteral("Mitte"));
        QVERIFY(qAbs((mitte.xMin + mitte.xMax) / 2 - 10 * 567) <= halbMillimeter);
        QVERIFY2(reporttest::seitengroesse(pdf).endsWith(QStringLiteral("(A4)")),
                 qPrintable(reporttest::seitengroesse(pdf)));
    }
}

void DruckenTest::landscapeComesOutLandscape()
{
    Report r;
    r->setOrientation(2);
    r->AddSeite();
    r->AddTextObjekt(QStringLiteral("Quer"), 1, 25); // only on a landscape sheet
    drucken(r);
    const QStringList pdfs = m_cups->neuePdfs(0, 1);
    QCOMPARE(pdfs.size(), 1);
    const double halbMillimeter = 1440 / 25.4 / 2;

    // Our own file: a landscape page.
    const QString eigene = m_dir.filePath(QStringLiteral("quer.pdf"));
    QVERIFY(r->PdfSpeichern(eigene));
    const QSizeF seite = reporttest::seitenmasse(eigene);
    QVERIFY2(seite.width() > seite.height(), qPrintable(reporttest::seitengroesse(eigene)));
    const auto quer = reporttest::wort(eigene, QStringLiteral("Quer"));
    QVERIFY(qAbs(quer.xMin - 25 * 567) <= halbMillimeter);

    // The printer's: an A4 sheet printed across, as a printer prints
    // landscape: the line runs up the long edge, 25 cm from its far end.
    const QSizeF blatt = reporttest::seitenmasse(pdfs.at(0));
    QVERIFY2(blatt.height() > blatt.width(), qPrintable(reporttest::seitengroesse(pdfs.at(0))));
    const auto gedruckt = reporttest::wort(pdfs.at(0), QStringLiteral("Quer"));
    QVERIFY(gedruckt.yMax - gedruckt.yMin > gedruckt.xMax - gedruckt.xMin);
    QVERIFY2(qAbs(blatt.height() * 20 - gedruckt.yMax - 25 * 567) <= halbMillimeter,
             qPrintable(QString::number(blatt.height() * 20 - gedruckt.yMax)));
}

void DruckenTest::paperBinIsPassedWhereThePrinterHasIt()
{
    Report r;
    fuellen(r, 1);
    // cups-pdf has no bins: ignored, printing goes on.
    QVERIFY(!r.fenster->drucker().setPaperBin(2));
    r->setPrinterSelection(1);
    QVERIFY(r.fenster->drucker().setPaperBin(2));  // "Lower" is the bottom tray
    QVERIFY(r.fenster->drucker().setPaperBin(4));  // manual feed
    QVERIFY(!r.fenster->drucker().setPaperBin(5)); // no envelope tray
    QVERIFY(!r.fenster->drucker().setPaperBin(999));
    r->setPaperBin(2);
    drucken(r);
    QVERIFY(r.reporter.entries.isEmpty());
    QCOMPARE(m_cups->neuePdfs(1, 1).size(), 1);
}

void DruckenTest::pageWithABrokenPictureStillGivesItsSheet()
{
    Report r;
    r->AddSeite();
    r->AddTextObjekt(QStringLiteral("Vorher"), 1, 1);
    r->AddBildObjekt(QStringLiteral("/nonexistent/bild.png"), 2, 1);
    r->AddTextObjekt(QStringLiteral("Nachher"), 3, 1);
    r->AddSeite();
    r->AddTextObjekt(QStringLiteral("Seite 2"), 1, 1);
    drucken(r);
    const QStringList pdfs = m_cups->neuePdfs(0, 1);
    QCOMPARE(pdfs.size(), 1);
    QCOMPARE(reporttest::seitenTexte(pdfs.at(0)), (QStringList{"Vorher", "Seite 2"}));
}

void DruckenTest::jobAsksCupsForOneCopyWithTheBinWhateverTheQueueDefaults()
{
    // A queue that makes two copies of every job unless the job says
    // otherwise, held so that the job's options can be read.
    const QString schlange = CupsDaemon::ZweiterDrucker;
    QVERIFY(m_cups->werkzeug(QStringLiteral("lpadmin"),
                             {QStringLiteral("-p"), schlange, QStringLiteral("-o"),
                              QStringLiteral("copies-default=2")}));
    QVERIFY(m_cups->werkzeug(QStringLiteral("cupsdisable"), {schlange}));
    Report r;
    fuellen(r, 2);
    r->setPrinterSelection(1);
    r->setPaperBin(2);
    r->setCopies(3);
    drucken(r);
    QVERIFY(r.reporter.entries.isEmpty());
    const auto auftrag = wartenderAuftrag(schlange);
    m_cups->werkzeug(QStringLiteral("cancel"), {QStringLiteral("-a"), schlange});
    QVERIFY(m_cups->werkzeug(QStringLiteral("cupsenable"), {schlange}));
    QVERIFY(m_cups->werkzeug(QStringLiteral("lpadmin"),
                             {QStringLiteral("-p"), schlange, QStringLiteral("-o"),
                              QStringLiteral("copies-default=1")}));
    QVERIFY2(!auftrag.isEmpty(), "no job waiting");
    // The three copies are in the job's pages; CUPS must not multiply them.
    QCOMPARE(auftrag.value(QStringLiteral("copies")), QStringLiteral("1"));
    QCOMPARE(auftrag.value(QStringLiteral("media-source")), QStringLiteral("bottom"));
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    DruckenTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_drucken.moc"
