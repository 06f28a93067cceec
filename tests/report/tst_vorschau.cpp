// The preview window: toolbar, pages, sheet, zoom, centring, placement.
#include "frmreportseite.h"
#include "reportfixture.h"
#include "tinte.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

using namespace OrvoReport2;
using reporttest::Report;
using reporttest::tinte;

namespace {
// A report of `seiten` pages, each with its number as text at 1 cm / 1 cm.
void fuellen(Report& r, int seiten)
{
    for (int i = 1; i <= seiten; ++i) {
        r->AddSeite();
        r->AddTextObjekt(QStringLiteral("Seite %1").arg(i), 1, 1);
    }
}

QString anzeige(Report& r)
{
    return r.fenster->seitenAnzeige()->text();
}

QString gezeigterText(Report& r)
{
    const auto& o = r.fenster->seitenFenster()->blatt()->seite().Objekte;
    return o.isEmpty() ? QString() : o.first().Text.toString();
}

void klicken(Report& r, const char* key)
{
    r.fenster->knopf(QString::fromLatin1(key))->trigger();
}

QSettings gespeichert()
{
    return QSettings(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/OrvoReport2.conf"),
                     QSettings::IniFormat);
}
} // namespace

class VorschauTest : public QObject {
    Q_OBJECT
private slots:
    void init() { reporttest::einstellungenLeeren(); }

    void toolbarHasItsButtonsPageDisplayAndZoomList();
    void toolbarWalksThePagesAndBeepsBeyondThem();
    void pageWithoutObjectsKeepsThePageShown();
    void pageWithAPictureThatCannotBeLoadedIsNotShown();
    void sheetAndShadowAreSizedByThePrintableAreaAndZoom();
    void zoomRedrawsThePageUnderTheHourglass();
    void pageWindowStaysCentredWhenThePreviewIsResized();
    void firstOpeningUsesTheDesignedPlacement();
    void closingStoresThePlacementAndMaximisedOnlyTheState();
    void printButtonFollowsPrintButtonOn();
    void sheetIsDrawnAtTheDevicePixelRatio();
};

void VorschauTest::toolbarHasItsButtonsPageDisplayAndZoomList()
{
    Report r;
    for (const char* key : {"First", "Prev", "Next", "Last", "Print"})
        QVERIFY2(r.fenster->knopf(QString::fromLatin1(key)), key);
    auto* platz = r.fenster->toolbar()->findChild<QWidget*>(QStringLiteral("lblVonBis"));
    QVERIFY(platz);
    QCOMPARE(r.fenster->seitenAnzeige()->parent(), platz);
    QComboBox* zoom = r.fenster->zoomListe();
    QCOMPARE(zoom->objectName(), QStringLiteral("Combo1"));
    QStringList texte;
    QList<int> werte;
    for (int i = 0; i < zoom->count(); ++i) {
        texte << zoom->itemText(i);
        werte << zoom->itemData(i).toInt();
    }
    QCOMPARE(texte, (QStringList{"400%", "300%", "200%", "150%", "100%", "75%", "50%"}));
    QCOMPARE(werte, (QList<int>{400, 300, 200, 150, 100, 75, 50}));
    QCOMPARE(zoom->currentText(), QStringLiteral("100%"));
    QCOMPARE(r.fenster->windowTitle(), QStringLiteral("Orvo - Druckvorschau"));
    QCOMPARE(anzeige(r), QString());
}

void VorschauTest::toolbarWalksThePagesAndBeepsBeyondThem()
{
    Report r;
    fuellen(r, 3);
    r->Show();
    QVERIFY(r->SeiteAusgeben(1));
    QCOMPARE(anzeige(r), QStringLiteral("1 / 3"));
    QCOMPARE(gezeigterText(r), QStringLiteral("Seite 1"));

    klicken(r, "Prev");
    QCOMPARE(r.desktop.beeps, 1);
    QCOMPARE(r.fenster->AktSeite(), 1);
    QCOMPARE(anzeige(r), QStringLiteral("1 / 3"));

    klicken(r, "Next");
    QCOMPARE(anzeige(r), QStringLiteral("2 / 3"));
    QCOMPARE(gezeigterText(r), QStringLiteral("Seite 2"));
    klicken(r, "Last");
    QCOMPARE(anzeige(r), QStringLiteral("3 / 3"));
    klicken(r, "Next");
    QCOMPARE(r.desktop.beeps, 2);
    QCOMPARE(anzeige(r), QStringLiteral("3 / 3"));
    klicken(r, "First");
    QCOMPARE(anzeige(r), QStringLiteral("1 / 3"));
    QCOMPARE(r.desktop.beeps, 2);

    // Asked for directly, a page outside the report is only false.
    QVERIFY(!r.fenster->SeiteAusgeben(0));
    QVERIFY(!r.fenster->SeiteAusgeben(4));
    QCOMPARE(r.desktop.beeps, 2);
    QCOMPARE(r.fenster->AktSeite(), 1);
    // clsReport answers true even so.
    QVERIFY(r->SeiteAusgeben(4));
    QVERIFY(r.reporter.entries.isEmpty());
}

void VorschauTest::pageWithoutObjectsKeepsThePageShown()
{
    Report r;
    r->AddSeite();
    r->AddTextObjekt(QStringLiteral("Seite 1"), 1, 1);
    r->AddSeite(); // nothing on it
    r->AddSeite();
    r->AddTextObjekt(QStringLiteral("Seite 3"), 1, 1);
    r->Show();
    QVERIFY(r->SeiteAusgeben(1));
    QVERIFY(r.fenster->SeiteAusgeben(2));
    QCOMPARE(r.fenster->AktSeite(), 1);
    QCOMPARE(anzeige(r), QStringLiteral("1 / 3"));
    QCOMPARE(gezeigterText(r), QStringLiteral("Seite 1"));
    // "Next" from page 1 lands on page 2, which shows nothing new: page 1 stays.
    klicken(r, "Next");
    QCOMPARE(r.fenster->AktSeite(), 1);
    QCOMPARE(r.desktop.beeps, 0);
    klicken(r, "Last");
    QCOMPARE(anzeige(r), QStringLiteral("3 / 3"));
}

void VorschauTest::pageWithAPictureThatCannotBeLoadedIsNotShown()
{
    Report r;
    r->AddSeite();
    r->AddTextObjekt(QStringLiteral("Seite 1"), 1, 1);
    r->AddSeite();
    r->AddTextObjekt(QStringLiteral("Seite 2"), 1, 1);
    r->AddBildObjekt(QStringLiteral("/nonexistent/logo.png"), 2, 2);
    r->Show();
    QVERIFY(r->SeiteAusgeben(1));
    QVERIFY(!r.fenster->SeiteAusgeben(2));
    QCOMPARE(r.fenster->AktSeite(), 1);
    QCOMPARE(anzeige(r), QStringLiteral("1 / 2"));
    QCOMPARE(gezeigterText(r), QStringLiteral("Seite 1"));
    klicken(r, "Next");
    QCOMPARE(r.desktop.beeps, 1);
    QVERIFY(r->SeiteAusgeben(2)); // clsReport: true all the same
}

void VorschauTest::sheetAndShadowAreSizedByThePrintableAreaAndZoom()
{
    Report r;
    r->Show();
    frmReportSeite* seite = r.fenster->seitenFenster();
    QVERIFY(seite);
    QCOMPARE(seite->xScale(), qint16(100));
    QCOMPARE(seite->logicalDpiX(), 96); // 15 twips per pixel
    const double w = r.fenster->drucker().druckbareBreite();
    const double h = r.fenster->drucker().druckbareHoehe();
    QCOMPARE(seite->size(), QSize(qRound((w + 1000) / 15), qRound((h + 1000) / 15)));
    QCOMPARE(seite->blatt()->geometry(), QRect(33, 33, qRound(w / 15), qRound(h / 15)));
    QCOMPARE(seite->schatten()->geometry(), QRect(37, 37, qRound(w / 15), qRound(h / 15)));
    // A white sheet with a black edge of shadow to its right and below it.
    const QImage bild = seite->grab().toImage();
    const QRect blatt = seite->blatt()->geometry();
    QCOMPARE(bild.pixelColor(blatt.center()), QColor(Qt::white));
    QCOMPARE(bild.pixelColor(blatt.right() + 2, blatt.center().y()), QColor(Qt::black));
    QCOMPARE(bild.pixelColor(blatt.center().x(), blatt.bottom() + 2), QColor(Qt::black));
    QVERIFY(bild.pixelColor(blatt.right() + 2, blatt.top() + 1) != QColor(Qt::black));

    r.fenster->ZoomWaehlen(r.fenster->zoomListe()->findText(QStringLiteral("50%")));
    QCOMPARE(seite->xScale(), qint16(50));
    QCOMPARE(seite->size(), QSize(qRound((w / 2 + 1000) / 15), qRound((h / 2 + 1000) / 15)));
    QCOMPARE(seite->blatt()->size(), QSize(qRound(w / 30), qRound(h / 30)));
    QCOMPARE(seite->schatten()->geometry().topLeft(), QPoint(37, 37));

    // A landscape page turns the sheet.
    r->setOrientation(2);
    QCOMPARE(seite->blatt()->size(), QSize(qRound(h / 30), qRound(w / 30)));
}

void VorschauTest::zoomRedrawsThePageUnderTheHourglass()
{
    Report r;
    fuellen(r, 2);
    r->Show();
    r->SeiteAusgeben(2);
    auto* blatt = r.fenster->seitenFenster()->blatt();
    const QRect bei100 = tinte(blatt->grab().toImage());
    // "Seite 2" at 1 cm: 567 twips = 37.8 pixels, the S a little below and right.
    QVERIFY(bei100.left() >= 37 && bei100.left() <= 40);
    QVERIFY(bei100.top() >= 37 && bei100.top() <= 43);

    Qt::CursorShape waehrend = Qt::ArrowCursor;
    QTimer::singleShot(0, this, [&] {
        if (QApplication::overrideCursor())
            waehrend = QApplication::overrideCursor()->shape();
    });
    r.fenster->ZoomWaehlen(r.fenster->zoomListe()->findText(QStringLiteral("200%")));
    QCOMPARE(waehrend, Qt::WaitCursor);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(r.fenster->zoomListe()->currentText(), QStringLiteral("200%"));
    QCOMPARE(anzeige(r), QStringLiteral("2 / 2"));
    const QRect bei200 = tinte(blatt->grab().toImage());
    QVERIFY(qAbs(bei200.left() - 2 * bei100.left()) <= 2);
    QVERIFY(qAbs(bei200.top() - 2 * bei100.top()) <= 2);
    QVERIFY(qAbs(bei200.height() - 2 * bei100.height()) <= 2);
    QVERIFY(qAbs(bei200.width() - 2 * bei100.width()) <= 3);
}

void VorschauTest::pageWindowStaysCentredWhenThePreviewIsResized()
{
    Report r;
    fuellen(r, 1);
    r->Show();
    r.fenster->ZoomWaehlen(r.fenster->zoomListe()->findText(QStringLiteral("50%")));
    QWidget* seite = r.fenster->seitenFenster();
    QWidget* innen = r.fenster->bereich()->viewport();
    for (int breite : {1200, 900, 700}) {
        r.fenster->resize(breite, 700);
        QCoreApplication::processEvents();
        QVERIFY(innen->width() > seite->width());
        QVERIFY2(qAbs(seite->x() - (innen->width() - seite->width()) / 2) <= 1,
                 qPrintable(QStringLiteral("%1 in %2").arg(seite->x()).arg(innen->width())));
    }
    // Wider than the window: it starts at the left edge and scrolls.
    r.fenster->ZoomWaehlen(r.fenster->zoomListe()->findText(QStringLiteral("400%")));
    QCoreApplication::processEvents();
    QCOMPARE(seite->x(), 0);
    QVERIFY(r.fenster->bereich()->horizontalScrollBar()->maximum() > 0);
}

void VorschauTest::firstOpeningUsesTheDesignedPlacement()
{
    Report r;
    QCOMPARE(r.fenster->pos(), QPoint(67, 67));   // 1000 twips
    QCOMPARE(r.fenster->size(), QSize(582, 300)); // 8730 x 4500 twips
    QVERIFY(!r.fenster->isMaximized());
    QVERIFY(r.reporter.entries.isEmpty());
}

void VorschauTest::closingStoresThePlacementAndMaximisedOnlyTheState()
{
    {
        Report r;
        r->Show();
        r.fenster->move(150, 90);
        r.fenster->resize(600, 450);
        r.fenster->close();
    }
    {
        QSettings s = gespeichert();
        QCOMPARE(s.value("Settings/mdiReportMax").toString(), QStringLiteral("0"));
        QCOMPARE(s.value("Settings/mdiReportLeft").toString(), QStringLiteral("2250"));
        QCOMPARE(s.value("Settings/mdiReportTop").toString(), QStringLiteral("1350"));
        QCOMPARE(s.value("Settings/mdiReportWidth").toString(), QStringLiteral("9000"));
        QCOMPARE(s.value("Settings/mdiReportHeight").toString(), QStringLiteral("6750"));
    }
    {
        Report r;
        QCOMPARE(r.fenster->pos(), QPoint(150, 90));
        QCOMPARE(r.fenster->size(), QSize(600, 450));
        r->Show();
        r.fenster->showMaximized();
        QCoreApplication::processEvents();
        // Released, the report closes its window.
    }
    {
        QSettings s = gespeichert();
        QCOMPARE(s.value("Settings/mdiReportMax").toString(), QStringLiteral("2"));
        QCOMPARE(s.value("Settings/mdiReportWidth").toString(), QStringLiteral("9000"));
    }
    Report r;
    QVERIFY(r.fenster->windowState() & Qt::WindowMaximized);
}

void VorschauTest::printButtonFollowsPrintButtonOn()
{
    Report r;
    QVERIFY(r.fenster->knopf(QStringLiteral("Print"))->isEnabled());
    r->setPrintButtonOn(false);
    QVERIFY(!r.fenster->knopf(QStringLiteral("Print"))->isEnabled());
    r->setPrintButtonOn(true);
    QVERIFY(r.fenster->knopf(QStringLiteral("Print"))->isEnabled());
}

void VorschauTest::sheetIsDrawnAtTheDevicePixelRatio()
{
    Report r;
    r->AddSeite();
    r->AddLineObjekt(1, 1, 1, 1, 5);
    r->AddTextObjekt(QStringLiteral("HHH"), 2, 1);
    r->Show();
    r->SeiteAusgeben(1);
    auto* blatt = r.fenster->seitenFenster()->blatt();
    if (blatt->devicePixelRatioF() < 2)
        QSKIP("runs with QT_SCALE_FACTOR=2 (report_preview_hidpi)");
    const QImage bild = blatt->grab().toImage();
    QCOMPARE(bild.size(), blatt->size() * 2);
    // The line of one pixel is two device pixels, sharp: no grey rows around it.
    const QRect linie =
        tinte(bild.copy(0, 0, bild.width(), 100), [](QRgb p) { return qGray(p) < 250; });
    QCOMPARE(linie.height(), 2);
    // The text has the detail of the device pixels: twice as tall in them.
    const QRect text = tinte(bild.copy(0, 100, bild.width(), bild.height() - 100));
    const double cap =
        QFontMetricsF(xSchrift(r.dok().seite(1)->Objekte.at(1), 100), blatt).capHeight();
    QVERIFY2(qAbs(text.height() - 2 * cap) <= 1.5,
             qPrintable(QStringLiteral("%1 vs %2").arg(text.height()).arg(2 * cap)));
}

int main(int argc, char** argv)
{
    reporttest::ohneDrucker();
    QApplication app(argc, argv);
    VorschauTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_vorschau.moc"
