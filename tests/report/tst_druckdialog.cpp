// The print dialog without a print system: fields, keys, corrections,
// placement, the reversed range; and what happens when there is no printer.
#include "druckauftrag.h"
#include "frmdrucken.h"
#include "papiercodes.h"
#include "reportfixture.h"
#include "vberror.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace OrvoReport2;
using reporttest::Report;

namespace {
void fuellen(Report& r, int seiten)
{
    for (int i = 1; i <= seiten; ++i) {
        r->AddSeite();
        r->AddTextObjekt(QStringLiteral("Seite %1").arg(i), 1, 1);
    }
}

// Focus into a field (selecting its text, as the dialog does) and type.
void tippen(QLineEdit* feld, const QString& text)
{
    QApplication::setActiveWindow(feld->window());
    feld->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(feld, text);
}

void verlassen(frmDrucken* dialog)
{
    dialog->check1()->setFocus(Qt::TabFocusReason);
}
} // namespace

class DruckDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() { reporttest::einstellungenLeeren(); }

    void paperCodesOfTheCallers_data();
    void paperCodesOfTheCallers();
    void printOrderOfCopies_data();
    void printOrderOfCopies();
    void absurdCopiesAreRefusedNotAllocated();
    void orientationAndBinCodes();
    void dialogStartsFromTheReportsSettings();
    void pageFieldsTakeFiveDigitsAndCopiesTwo();
    void startValuesAreShownWhole();
    void typingAPageChoosesTheRangeAndEnteringSelectsAll();
    void leavingAFieldCorrectsItsValue();
    void enterInAFieldCorrectsItBeforePrinting();
    void reversedRangeSaysSoAndKeepsTheDialog();
    void dialogKeepsStateAndPositionOnly();
    void placementThatCannotBeReadIsReportedAndTheFieldsAreFilled();
    void withoutAPrinterTheDialogSaysSoAndThePdfIsStillWritten();
    void immediatePrintingWithoutAPrinterSaysSoAndClosesThePreview();
    void pdfButtonWritesTheReportOrSaysWhyNot();

private:
    QTemporaryDir m_dir;
};

void DruckDialogTest::paperCodesOfTheCallers_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("format"); // QPageSize::PageSizeId, -1: none
    QTest::newRow("9 A4") << 9 << int(QPageSize::A4);
    QTest::newRow("8 A3") << 8 << int(QPageSize::A3);
    QTest::newRow("11 A5") << 11 << int(QPageSize::A5);
    QTest::newRow("1 Letter") << 1 << int(QPageSize::Letter);
    QTest::newRow("5 Legal") << 5 << int(QPageSize::Legal);
    QTest::newRow("7 Executive") << 7 << int(QPageSize::Executive);
    QTest::newRow("27 DL") << 27 << int(QPageSize::EnvelopeDL);
    QTest::newRow("28 C5") << 28 << int(QPageSize::EnvelopeC5);
    QTest::newRow("70 A6") << 70 << int(QPageSize::A6);
    QTest::newRow("0") << 0 << -1;
    QTest::newRow("256 (a driver's own)") << 256 << -1;
    QTest::newRow("-9") << -9 << -1;
}

void DruckDialogTest::paperCodesOfTheCallers()
{
    QFETCH(int, code);
    QFETCH(int, format);
    const auto id = papierformat(code);
    QCOMPARE(id ? int(*id) : -1, format);
}

void DruckDialogTest::printOrderOfCopies_data()
{
    QTest::addColumn<qint64>("von");
    QTest::addColumn<qint64>("bis");
    QTest::addColumn<qint64>("kopien");
    QTest::addColumn<bool>("sortiert");
    QTest::addColumn<QList<qint64>>("seiten");
    QTest::newRow("collated") << 1LL << 3LL << 2LL << true << QList<qint64>{1, 2, 3, 1, 2, 3};
    QTest::newRow("not collated") << 1LL << 3LL << 2LL << false << QList<qint64>{1, 1, 2, 2, 3, 3};
    QTest::newRow("2 to 2") << 2LL << 2LL << 1LL << true << QList<qint64>{2};
    QTest::newRow("reversed") << 3LL << 2LL << 1LL << true << QList<qint64>{};
    QTest::newRow("no copies") << 1LL << 3LL << 0LL << false << QList<qint64>{};
    QTest::newRow("page 0 is a sheet") << 0LL << 1LL << 1LL << false << QList<qint64>{0, 1};
    QTest::newRow("empty report") << 1LL << 0LL << 1LL << true << QList<qint64>{};
}

void DruckDialogTest::printOrderOfCopies()
{
    QFETCH(qint64, von);
    QFETCH(qint64, bis);
    QFETCH(qint64, kopien);
    QFETCH(bool, sortiert);
    QFETCH(QList<qint64>, seiten);
    QCOMPARE(druckReihenfolge(von, bis, kopien, sortiert), seiten);
}

void DruckDialogTest::absurdCopiesAreRefusedNotAllocated()
{
    // A caller's copies are taken whole; billions of sheets are an error, not
    // a list that takes the machine's memory.
    QCOMPARE(druckReihenfolge(1, 3, 150, true).size(), 450);
    try {
        druckReihenfolge(1, 500, 2'000'000'000, true);
        QFAIL("taken");
    } catch (const vorsa::VbError& e) {
        QCOMPARE(e.number(), 6);
    }
    QVERIFY_THROWS_EXCEPTION(vorsa::VbError, druckReihenfolge(0, 99999, 101, false));
}

void DruckDialogTest::orientationAndBinCodes()
{
    QCOMPARE(ausrichtung(1), std::optional(QPageLayout::Portrait));
    QCOMPARE(ausrichtung(2), std::optional(QPageLayout::Landscape));
    QVERIFY(!ausrichtung(0) && !ausrichtung(3));
    const struct {
        int code;
        QPrinter::PaperSource quelle;
        const char* cups;
    } faecher[] = {{1, QPrinter::Upper, "top"},
                   {2, QPrinter::Lower, "bottom"},
                   {4, QPrinter::Manual, "manual"},
                   {7, QPrinter::Auto, "auto"},
                   {11, QPrinter::LargeCapacity, "large-capacity"},
                   {14, QPrinter::Cassette, "main"},
                   {8, QPrinter::Tractor, ""}};
    for (const auto& f : faecher) {
        const auto bin = papierschacht(f.code);
        QVERIFY(bin);
        QCOMPARE(bin->quelle, f.quelle);
        QCOMPARE(QByteArray(bin->medienquelle), QByteArray(f.cups));
    }
    QVERIFY(!papierschacht(0) && !papierschacht(12) && !papierschacht(256));
}

void DruckDialogTest::dialogStartsFromTheReportsSettings()
{
    Report r;
    fuellen(r, 5);
    r->setCopies(3);
    r->setSorted(true);
    frmDrucken* d = r.fenster->DruckDialogOeffnen();
    QCOMPARE(d->windowTitle(), QStringLiteral("Drucken"));
    QCOMPARE(d->parentWidget(), r.fenster);
    QVERIFY(!d->isModal());
    QCOMPARE(d->findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Drucker:"));
    QCOMPARE(d->label2()->text(), QStringLiteral("(kein Drucker eingerichtet)"));
    QCOMPARE(d->option1(0)->text(), QStringLiteral("&Alles"));
    QCOMPARE(d->option1(1)->text(), QStringLiteral("S&eiten"));
    QVERIFY(d->option1(0)->isChecked());
    QCOMPARE(d->text1(0)->text(), QStringLiteral("1"));
    QCOMPARE(d->text1(1)->text(), QStringLiteral("5"));
    QCOMPARE(d->text1(2)->text(), QStringLiteral("3"));
    QCOMPARE(d->check1()->text(), QStringLiteral("Kopien s&ortieren"));
    QVERIFY(d->check1()->isChecked());
    QCOMPARE(d->command1()->text(), QStringLiteral("OK"));
    QCOMPARE(d->command2()->text(), QStringLiteral("Abbrechen"));
    const char* labels[] = {"Label3", "Label4", "Label5"};
    const char* texte[] = {"&Von:", "&Bis:", "&Exemplare:"};
    for (int i = 0; i < 3; ++i) {
        auto* l = d->findChild<QLabel*>(QString::fromLatin1(labels[i]));
        QCOMPARE(l->text(), QString::fromUtf8(texte[i]));
        QCOMPARE(l->buddy(), d->text1(i));
    }
    QCOMPARE(d->findChild<QWidget*>(QStringLiteral("Frame1"))->property("title").toString(),
             QStringLiteral("Druckbereich:"));
    d->command2()->click();
    QVERIFY(!d->isVisible());
}

void DruckDialogTest::pageFieldsTakeFiveDigitsAndCopiesTwo()
{
    Report r;
    fuellen(r, 3);
    frmDrucken* d = r.fenster->DruckDialogOeffnen();
    tippen(d->text1(0), QStringLiteral("123456"));
    QCOMPARE(d->text1(0)->text(), QStringLiteral("12345"));
    QCOMPARE(r.desktop.beeps, 1);
    tippen(d->text1(1), QStringLiteral("4a,5"));
    QCOMPARE(d->text1(1)->text(), QStringLiteral("45"));
    QCOMPARE(r.desktop.beeps, 3); // "a" and "," (no decimals)
    tippen(d->text1(2), QStringLiteral("123"));
    QCOMPARE(d->text1(2)->text(), QStringLiteral("12"));
    QCOMPARE(r.desktop.beeps, 4);
    // Editing keys are not filtered.
    QTest::keyClick(d->text1(2), Qt::Key_Backspace);
    QCOMPARE(d->text1(2)->text(), QStringLiteral("1"));
    QCOMPARE(r.desktop.beeps, 4);
}

void DruckDialogTest::startValuesAreShownWhole()
{
    // Only typing is held to five and two places: a caller's 150 copies are
    // 150, not the 15 that fit.
    Report r;
    fuellen(r, 2);
    r->setCopies(150);
    frmDrucken* d = r.fenster->DruckDialogOeffnen();
    QCOMPARE(d->text1(2)->text(), QStringLiteral("150"));
    tippen(d->text1(2), QStringLiteral("345"));
    QCOMPARE(d->text1(2)->text(), QStringLiteral("34"));
    d->reject();
}

void DruckDialogTest::typingAPageChoosesTheRangeAndEnteringSelectsAll()
{
    Report r;
    fuellen(r, 9);
    frmDrucken* d = r.fenster->DruckDialogOeffnen();
    QApplication::setActiveWindow(d);
    d->text1(2)->setFocus(Qt::TabFocusReason);
    QCOMPARE(d->text1(2)->selectedText(), QStringLiteral("1"));
    QVERIFY(d->option1(0)->isChecked());
    d->text1(1)->setFocus(Qt::TabFocusReason);
    QCOMPARE(d->text1(1)->selectedText(), QStringLiteral("9"));
    QTest::keyClicks(d->text1(1), QStringLiteral("4"));
    QCOMPARE(d->text1(1)->text(), QStringLiteral("4")); // typed over the selection
    QVERIFY(d->option1(1)->isChecked());
    // The copies field does not choose the range.
    d->option1(0)->setChecked(true);
    tippen(d->text1(2), QStringLiteral("2"));
    QVERIFY(d->option1(0)->isChecked());
}

void DruckDialogTest::leavingAFieldCorrectsItsValue()
{
    Report r;
    fuellen(r, 5);
    frmDrucken* d = r.fenster->DruckDialogOeffnen();
    tippen(d->text1(1), QStringLiteral("7"));
    verlassen(d);
    QCOMPARE(d->text1(1)->text(), QStringLiteral("5"));
    tippen(d->text1(0), QStringLiteral("99999"));
    verlassen(d);
    QCOMPARE(d->text1(0)->text(), QStringLiteral("5"));
    tippen(d->text1(0), QStringLiteral("0"));
    verlassen(d);
    QCOMPARE(d->text1(0)->text(), QStringLiteral("0")); // not above the pages: kept
    d->text1(2)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(d->text1(2), Qt::Key_Delete);
    QCOMPARE(d->text1(2)->text(), QString());
    verlassen(d);
    QCOMPARE(d->text1(2)->text(), QStringLiteral("1"));
    tippen(d->text1(2), QStringLiteral("-3"));
    verlassen(d);
    QCOMPARE(d->text1(2)->text(), QStringLiteral("1"));
}

void DruckDialogTest::enterInAFieldCorrectsItBeforePrinting()
{
    // Enter prints from within the field, which is then left as a click on
    // "OK" leaves it: 7 of 5 pages is 5, no copies is one.
    Report r;
    fuellen(r, 5);
    frmDrucken* d = r.fenster->DruckDialogOeffnen();
    tippen(d->text1(1), QStringLiteral("7"));
    QTest::keyClick(d->text1(1), Qt::Key_Return);
    QCOMPARE(d->text1(1)->text(), QStringLiteral("5"));
    QCOMPARE(r.reporter.entries.size(), 1); // printed: no printer here
    QCOMPARE(r.reporter.entries.at(0).title, QStringLiteral("Fehler: 482"));
    d->text1(2)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(d->text1(2), Qt::Key_Delete);
    QTest::keyClick(d->text1(2), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(d->text1(2)->text(), QStringLiteral("1"));
    QCOMPARE(r.reporter.entries.size(), 2);
}

void DruckDialogTest::reversedRangeSaysSoAndKeepsTheDialog()
{
    Report r;
    fuellen(r, 5);
    frmDrucken* d = r.fenster->DruckDialogOeffnen();
    tippen(d->text1(0), QStringLiteral("3"));
    tippen(d->text1(1), QStringLiteral("2"));
    QVERIFY(d->option1(1)->isChecked());
    d->command1()->setFocus(Qt::TabFocusReason);
    d->command1()->click();
    QCOMPARE(r.reporter.entries.size(), 1);
    QCOMPARE(r.reporter.entries.at(0).text, QStringLiteral("Falsche Seitenangaben"));
    QCOMPARE(r.reporter.entries.at(0).title, QStringLiteral("Fehler"));
    QCOMPARE(r.reporter.entries.at(0).icon, vorsa::MessageIcon::Warning);
    QVERIFY(d->isVisible());
    QCOMPARE(QApplication::focusWidget(), d->text1(0));
    // With "&Alles" the fields do not count.
    d->option1(0)->setChecked(true);
    d->command1()->click();
    QCOMPARE(r.reporter.entries.size(), 2);
    QCOMPARE(r.reporter.entries.at(1).title, QStringLiteral("Fehler: 482")); // no printer here
}

void DruckDialogTest::dialogKeepsStateAndPositionOnly()
{
    Report r;
    fuellen(r, 1);
    frmDrucken* d = r.fenster->DruckDialogOeffnen();
    QCOMPARE(d->pos(), QPoint(67, 67)); // 1000 twips
    d->move(120, 45);
    d->close();
    QSettings s(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                    QStringLiteral("/OrvoReport2.conf"),
                QSettings::IniFormat);
    QCOMPARE(s.value("Settings/frmDruckenMax").toString(), QStringLiteral("0"));
    QCOMPARE(s.value("Settings/frmDruckenLeft").toString(), QStringLiteral("1800"));
    QCOMPARE(s.value("Settings/frmDruckenTop").toString(), QStringLiteral("675"));
    QVERIFY(!s.contains("Settings/frmDruckenWidth"));
    QVERIFY(!s.contains("Settings/frmDruckenHeight"));
    frmDrucken* wieder = r.fenster->DruckDialogOeffnen();
    QCOMPARE(wieder->pos(), QPoint(120, 45));
    wieder->reject();
}

void DruckDialogTest::placementThatCannotBeReadIsReportedAndTheFieldsAreFilled()
{
    {
        QSettings s(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                        QStringLiteral("/OrvoReport2.conf"),
                    QSettings::IniFormat);
        s.setValue("Settings/frmDruckenLeft", "links");
        s.setValue("Settings/mdiReportTop", "oben");
    }
    Report r;
    // Said once the maker of the report has it back.
    QVERIFY(r.reporter.entries.isEmpty());
    QTRY_COMPARE(r.reporter.procedures(), QStringList{"MDIForm_Load"});
    QCOMPARE(r.reporter.entries.at(0).title, QStringLiteral("Fehler: 13"));
    QCOMPARE(r->Font(), QStringLiteral("Arial"));
    fuellen(r, 4);
    frmDrucken* d = r.fenster->DruckDialogOeffnen();
    QCOMPARE(r.reporter.procedures(), (QStringList{"MDIForm_Load", "Form_Load"}));
    QCOMPARE(d->text1(1)->text(), QStringLiteral("4"));
    QCOMPARE(d->text1(2)->text(), QStringLiteral("1"));
    QVERIFY(d->option1(0)->isChecked());
    d->reject();
}

void DruckDialogTest::withoutAPrinterTheDialogSaysSoAndThePdfIsStillWritten()
{
    Report r;
    fuellen(r, 2);
    frmDrucken* d = r.fenster->DruckDialogOeffnen();
    d->Command1_Click();
    QCOMPARE(r.reporter.entries.size(), 1);
    QCOMPARE(r.reporter.entries.at(0).title, QStringLiteral("Fehler: 482"));
    QVERIFY(r.reporter.entries.at(0).text.startsWith(QStringLiteral("[Command1_Click]\r\n\r\n")));
    QVERIFY(r.reporter.entries.at(0).text.contains(QStringLiteral("kein Drucker")));
    QVERIFY(d->isVisible());
    const QString pdf = m_dir.filePath(QStringLiteral("ohne-drucker.pdf"));
    QVERIFY(r->PdfSpeichern(pdf));
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.read(5) == "%PDF-");
    QVERIFY(!r->PdfSpeichern(m_dir.filePath(QStringLiteral("fehlt/ordner/x.pdf"))));
    QVERIFY(!r->PdfSpeichern(QString()));
}

void DruckDialogTest::immediatePrintingWithoutAPrinterSaysSoAndClosesThePreview()
{
    Report r;
    fuellen(r, 2);
    r->Show();
    r->setSofortDrucken(true);
    QVERIFY(r->SeiteAusgeben(1));
    QCOMPARE(r.reporter.entries.size(), 1);
    QCOMPARE(r.reporter.entries.at(0).title, QStringLiteral("Fehler: 482"));
    QVERIFY(!r->Sichtbar());
    QVERIFY(r.fenster->findChildren<frmDrucken*>().isEmpty());
}

void DruckDialogTest::pdfButtonWritesTheReportOrSaysWhyNot()
{
    Report r;
    fuellen(r, 2);
    r->setCaption(QStringLiteral("Fahrten/Juli"));
    r->Show();
    QString vorschlag;
    const QString ziel = m_dir.filePath(QStringLiteral("knopf.pdf"));
    r.fenster->setDateiFrage([&](const QString& v) {
        vorschlag = v;
        return ziel;
    });
    r.fenster->knopf(QStringLiteral("PDF"))->trigger();
    QVERIFY(vorschlag.endsWith(QStringLiteral("/Fahrten_Juli.pdf")));
    QVERIFY(QFile::exists(ziel));
    QVERIFY(r.reporter.entries.isEmpty());

    r.fenster->setDateiFrage([&](const QString&) { return m_dir.filePath("nicht/da.pdf"); });
    r.fenster->knopf(QStringLiteral("PDF"))->trigger();
    QCOMPARE(r.reporter.entries.size(), 1);
    QCOMPARE(r.reporter.entries.at(0).title, QStringLiteral("Fehler: 75"));
    QVERIFY(r.reporter.entries.at(0).text.startsWith(QStringLiteral("[PDF_Click]")));
    // Cancelled: nothing happens.
    r.fenster->setDateiFrage([](const QString&) { return QString(); });
    r.fenster->knopf(QStringLiteral("PDF"))->trigger();
    QCOMPARE(r.reporter.entries.size(), 1);
}

int main(int argc, char** argv)
{
    reporttest::ohneDrucker();
    QApplication app(argc, argv);
    DruckDialogTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_druckdialog.moc"
