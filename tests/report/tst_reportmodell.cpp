// The report's document: pages, objects, current font, title, margins.
#include "reportdrucker.h"
#include "reportfixture.h"
#include "vberror.h"

#include <QApplication>
#include <QTest>

using namespace OrvoReport2;
using reporttest::Report;

class ReportModellTest : public QObject {
    Q_OBJECT
private slots:
    void init() { reporttest::einstellungenLeeren(); }

    void objectBeforeTheFirstPageFailsAndUsesUpItsNumber();
    void objectsGoToTheLastPageWithKeysCountedAcrossPages();
    void centimetresAreKeptAsTwips();
    void objectsTakeTheFontAndColourOfTheirMoment();
    void coordinatesThatOverflowAreRefusedWithoutStoring();
    void titleTakesThePrefixWhenShown();
    void marginsAreCutToTwoDecimals_data();
    void marginsAreCutToTwoDecimals();
    void withoutAPrinterAnA4PageIsUsed();
    void defaultsOfANewReport();
    void settingsThatCannotBeTakenFail();
};

void ReportModellTest::objectBeforeTheFirstPageFailsAndUsesUpItsNumber()
{
    Report r;
    QVERIFY(!r->AddTextObjekt(QStringLiteral("zu früh"), 1, 1));
    QVERIFY(!r->AddLineObjekt(1, 1, 1, 2, 2));
    QVERIFY(!r->AddBildObjekt(QStringLiteral("x.png"), 1, 1));
    QCOMPARE(r.dok().SeitenAnzahl(), 0);
    QVERIFY(r->AddSeite());
    QVERIFY(r->AddTextObjekt(QStringLiteral("jetzt"), 1, 1));
    const Seite* seite = r.dok().seite(1);
    QVERIFY(seite);
    QCOMPARE(seite->Objekte.size(), 1);
    // The three failed calls counted 1, 2, 3.
    QCOMPARE(seite->ObjektKeys, QStringList{QStringLiteral("4")});
}

void ReportModellTest::objectsGoToTheLastPageWithKeysCountedAcrossPages()
{
    Report r;
    QVERIFY(r->AddSeite());
    QVERIFY(r->AddTextObjekt(QStringLiteral("a"), 1, 1));
    QVERIFY(r->AddLineObjekt(1, 1, 1, 2, 2));
    QVERIFY(r->AddSeite());
    QVERIFY(r->AddTextObjekt(QStringLiteral("b"), 1, 1));
    QVERIFY(r->AddBildObjekt(QStringLiteral("bild.png"), 1, 1));
    QVERIFY(r->AddTextObjekt(QStringLiteral("c"), 1, 1));
    QCOMPARE(r.dok().SeitenAnzahl(), 2);
    QCOMPARE(r.dok().seite(1)->Key, QStringLiteral("1"));
    QCOMPARE(r.dok().seite(2)->Key, QStringLiteral("2"));
    QCOMPARE(r.dok().seite(1)->ObjektKeys, (QStringList{"1", "2"}));
    QCOMPARE(r.dok().seite(2)->ObjektKeys, (QStringList{"3", "4", "5"}));
    QCOMPARE(r.dok().seite(2)->Objekte.at(2).Text.toString(), QStringLiteral("c"));
    QVERIFY(!r.dok().seite(0));
    QVERIFY(!r.dok().seite(3));
}

void ReportModellTest::centimetresAreKeptAsTwips()
{
    Report r;
    r->AddSeite();
    QVERIFY(r->AddTextObjekt(42, 2.5, 1, QStringLiteral("R")));
    QVERIFY(r->AddLineObjekt(3, 1, 2, 3, 4.5, 0x0000FF, QStringLiteral("B"), QStringLiteral("F")));
    QVERIFY(r->AddBildObjekt(QStringLiteral("/tmp/logo.png"), 0.5, 10));
    const auto& o = r.dok().seite(1)->Objekte;
    QCOMPARE(o.at(0).Style, QStringLiteral("T"));
    QCOMPARE(o.at(0).Top, 1417.5);
    QCOMPARE(o.at(0).Left, 567.0);
    QCOMPARE(o.at(0).Ausrichtung, QStringLiteral("R"));
    QCOMPARE(o.at(0).Text, QVariant(42));
    QCOMPARE(o.at(1).Style, QStringLiteral("L"));
    QCOMPARE(o.at(1).DrawWidth, 3);
    QCOMPARE(o.at(1).Top, 567.0);
    QCOMPARE(o.at(1).Left, 1134.0);
    QCOMPARE(o.at(1).Top2, 1701.0);
    QCOMPARE(o.at(1).Left2, 2551.5);
    QCOMPARE(o.at(1).ForeColor, 0x0000FF);
    QCOMPARE(o.at(1).Par1, QStringLiteral("B"));
    QCOMPARE(o.at(1).Par2, QStringLiteral("F"));
    QCOMPARE(o.at(2).Style, QStringLiteral("B"));
    QCOMPARE(o.at(2).Text.toString(), QStringLiteral("/tmp/logo.png"));
    QCOMPARE(o.at(2).Top, 283.5);
    QCOMPARE(o.at(2).Left, 5670.0);
}

void ReportModellTest::objectsTakeTheFontAndColourOfTheirMoment()
{
    Report r;
    r->AddSeite();
    r->AddTextObjekt(QStringLiteral("normal"), 1, 1);
    r->setFontBold(true);
    r->setFont(QStringLiteral("Times New Roman"));
    r->setFontSize(9.5f);
    r->setForeColor(0x00FF00);
    r->setFontItalic(true);
    r->setFontUnderline(true);
    r->setFontStrikethru(true);
    r->AddTextObjekt(QStringLiteral("fett"), 2, 1);
    // A line takes its colour from its own argument, not the current colour.
    r->AddLineObjekt(1, 1, 1, 2, 2);
    const auto& o = r.dok().seite(1)->Objekte;
    QCOMPARE(o.at(0).FontBold, false);
    QCOMPARE(o.at(0).Font, QStringLiteral("Arial"));
    QCOMPARE(o.at(0).FontSize, 12.0f);
    QCOMPARE(o.at(0).ForeColor, 0);
    QCOMPARE(o.at(1).FontBold, true);
    QCOMPARE(o.at(1).FontItalic, true);
    QCOMPARE(o.at(1).FontUnderline, true);
    QCOMPARE(o.at(1).FontStrikethru, true);
    QCOMPARE(o.at(1).Font, QStringLiteral("Times New Roman"));
    QCOMPARE(o.at(1).FontSize, 9.5f);
    QCOMPARE(o.at(1).ForeColor, 0x00FF00);
    QCOMPARE(o.at(2).ForeColor, 0);
    QCOMPARE(r->FontBold(), true);
    QCOMPARE(r->Font(), QStringLiteral("Times New Roman"));
}

void ReportModellTest::coordinatesThatOverflowAreRefusedWithoutStoring()
{
    Report r;
    r->AddSeite();
    QVERIFY(!r->AddTextObjekt(QStringLiteral("weit"), 1e307, 1));
    QVERIFY(!r->AddLineObjekt(1, 1, 1, std::numeric_limits<double>::quiet_NaN(), 1));
    QVERIFY(
        !r->AddBildObjekt(QStringLiteral("b.png"), 1, -std::numeric_limits<double>::infinity()));
    QVERIFY(r.dok().seite(1)->Objekte.isEmpty());
    QVERIFY(r->AddTextObjekt(QStringLiteral("gut"), 1, 1));
    // Refused before a number was counted.
    QCOMPARE(r.dok().seite(1)->ObjektKeys, QStringList{QStringLiteral("1")});
}

void ReportModellTest::titleTakesThePrefixWhenShown()
{
    Report r;
    QCOMPARE(r.fenster->windowTitle(), QStringLiteral("Orvo - Druckvorschau"));
    r->setCaption(QStringLiteral("Liste"));
    QCOMPARE(r.fenster->windowTitle(), QStringLiteral("Liste"));
    r->Show();
    QCOMPARE(r.fenster->windowTitle(), QStringLiteral("Orvo - Druckvorschau: Liste"));
    QVERIFY(r->Sichtbar());

    Report ohne;
    ohne->Show();
    QCOMPARE(ohne.fenster->windowTitle(), QStringLiteral("Orvo - Druckvorschau"));
}

void ReportModellTest::marginsAreCutToTwoDecimals_data()
{
    QTest::addColumn<double>("twips");
    QTest::addColumn<double>("zentimeter");
    QTest::newRow("11905") << 11905.0 << 20.99;
    QTest::newRow("A4 exactly") << 11905.51 << 20.99;
    QTest::newRow("21 cm") << 11907.0 << 21.0;
    QTest::newRow("one twip short of 21") << 11906.99 << 20.99;
    QTest::newRow("A4 height") << 16837.8 << 29.69;
    QTest::newRow("nothing") << 0.0 << 0.0;
}

void ReportModellTest::marginsAreCutToTwoDecimals()
{
    QFETCH(double, twips);
    QFETCH(double, zentimeter);
    QCOMPARE(zentimeterGekuerzt(twips), zentimeter);
}

void ReportModellTest::withoutAPrinterAnA4PageIsUsed()
{
    Report r;
    QVERIFY(!r.fenster->drucker().vorhanden());
    // A4 less 10 points on each side: 11905.5 - 400 and 16837.8 - 400 twips.
    QCOMPARE(r->RechterRand(), 20.29);
    QCOMPARE(r->UntererRand(), 28.99);
    r->setOrientation(2);
    QCOMPARE(r->RechterRand(), 28.99);
    QCOMPARE(r->UntererRand(), 20.29);
    r->setPaperSize(11); // A5, still landscape
    QCOMPARE(r->RechterRand(), 20.29);
    QCOMPARE(r->UntererRand(), 14.09);
    // Codes without a meaning change nothing.
    r->setOrientation(7);
    r->setPaperSize(999);
    QCOMPARE(r->RechterRand(), 20.29);
    // Selecting a printer where there is none is no error either.
    r->setPrinterSelection(3);
    QCOMPARE(r.dok().druck.PrinterIndex, 0);
}

void ReportModellTest::defaultsOfANewReport()
{
    Report r;
    QCOMPARE(r->Font(), QStringLiteral("Arial"));
    QCOMPARE(r->FontSize(), 12.0f);
    QVERIFY(!r->FontBold() && !r->FontItalic() && !r->FontUnderline() && !r->FontStrikethru());
    QCOMPARE(r->ForeColor(), 0);
    QCOMPARE(r.dok().druck.Copies, 1);
    QCOMPARE(r.dok().druck.Sorted, false);
    QCOMPARE(r.dok().SeitenAnzahl(), 0);
    QVERIFY(!r->Sichtbar());
    QVERIFY(r.reporter.entries.isEmpty());
}

void ReportModellTest::settingsThatCannotBeTakenFail()
{
    Report r;
    try {
        r->setPrinterSelection(-1);
        QFAIL("a negative printer index was taken");
    } catch (const vorsa::VbError& e) {
        QCOMPARE(e.number(), 9);
    }
    QVERIFY_THROWS_EXCEPTION(std::exception,
                             r->setFontSize(std::numeric_limits<float>::infinity()));
    QCOMPARE(r->FontSize(), 12.0f);
}

int main(int argc, char** argv)
{
    reporttest::ohneDrucker();
    QApplication app(argc, argv);
    ReportModellTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_reportmodell.moc"
