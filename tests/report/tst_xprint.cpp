// One drawing function for every surface: positions, zoom, alignment,
// lines and boxes, pictures, colours and failures.
#include "reportfixture.h"
#include "tinte.h"
#include "vberror.h"
#include "xprint.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTest>

using namespace OrvoReport2;
using reporttest::leeresBild;
using reporttest::tinte;

namespace {
clsRepTextObjekt text(const QString& s, double top, double left, const QString& ausrichtung = "L",
                      float size = 10)
{
    clsRepTextObjekt o;
    o.Style = QStringLiteral("T");
    o.Text = s;
    o.Top = top;
    o.Left = left;
    o.Ausrichtung = ausrichtung;
    o.Font = QStringLiteral("Arial");
    o.FontSize = size;
    return o;
}

clsRepTextObjekt linie(double top, double left, double top2, double left2, int breite,
                       qint32 farbe = 0, const QString& par1 = {}, const QString& par2 = {})
{
    clsRepTextObjekt o;
    o.Style = QStringLiteral("L");
    o.Top = top;
    o.Left = left;
    o.Top2 = top2;
    o.Left2 = left2;
    o.DrawWidth = breite;
    o.ForeColor = farbe;
    o.Par1 = par1;
    o.Par2 = par2;
    return o;
}

clsRepTextObjekt bild(const QString& pfad, double top, double left)
{
    clsRepTextObjekt o;
    o.Style = QStringLiteral("B");
    o.Text = pfad;
    o.Top = top;
    o.Left = left;
    return o;
}

QImage zeichnen(const QList<clsRepTextObjekt>& objekte, int zoom, QSize groesse, double dpi)
{
    QImage b = leeresBild(groesse.width(), groesse.height(), dpi);
    QPainter p(&b);
    Seite s;
    s.Objekte = objekte;
    SeiteZeichnen(p, s, zoom);
    return b;
}

bool rot(QRgb p)
{
    return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
}
} // namespace

class XPrintTest : public QObject {
    Q_OBJECT
private slots:
    void arialIsDrawnWithAMetricTwin();
    void textAtZoom200IsTwiceAsFarAndTwiceAsTall();
    void topOfTheTextLineIsAtTop();
    void rightAlignedTextEndsAndCentredTextCentresAtLeftOnEverySurface_data();
    void rightAlignedTextEndsAndCentredTextCentresAtLeftOnEverySurface();
    void penWidthAndPicturesDoNotFollowTheZoom();
    void boxesAreOutlinedOrFilledInTheirColour();
    void colourIsBlueGreenRed();
    void unknownStyleDrawsNothing();
    void pictureThatCannotBeLoadedEndsThePage();
    void fontSizeOutOfRangeFails();

private:
    QTemporaryDir m_dir;
};

void XPrintTest::arialIsDrawnWithAMetricTwin()
{
    // fonts-liberation2: "Arial" must resolve to Liberation Sans, which has
    // Arial's widths, so reports keep their layout.
    QCOMPARE(QFontInfo(QFont(QStringLiteral("Arial"))).family(), QStringLiteral("Liberation Sans"));
}

void XPrintTest::textAtZoom200IsTwiceAsFarAndTwiceAsTall()
{
    // One pixel per twip: 567/567 at 200 % is drawn from 1134/1134.
    const auto o = text(QStringLiteral("HHHH"), 567, 567);
    const QRect bei100 = tinte(zeichnen({o}, 100, {3000, 2000}, 1440));
    const QRect bei200 = tinte(zeichnen({o}, 200, {3000, 2000}, 1440));
    QVERIFY(bei100.isValid() && bei200.isValid());
    // The ink of "H" starts a little right of and below the anchor (bearing,
    // internal leading), and those scale with the font too.
    QVERIFY(qAbs(bei200.left() - 2 * bei100.left()) <= 4);
    QVERIFY(qAbs(bei200.top() - 2 * bei100.top()) <= 4);
    QVERIFY(bei200.left() >= 1134 && bei200.left() < 1134 + 40);
    QVERIFY(bei200.top() >= 1134 && bei200.top() < 1134 + 120);
    QVERIFY2(qAbs(bei200.height() - 2 * bei100.height()) <= 3,
             qPrintable(QStringLiteral("%1 vs %2").arg(bei200.height()).arg(bei100.height())));
    QVERIFY(qAbs(bei200.width() - 2 * bei100.width()) <= 4);
    // 10 points: the capital H as high as the font says.
    QImage muster = leeresBild(1, 1, 1440);
    const double hoehe = QFontMetricsF(xSchrift(o, 100), &muster).capHeight();
    QVERIFY2(qAbs(bei100.height() - hoehe) <= 1, qPrintable(QString::number(bei100.height())));
}

void XPrintTest::topOfTheTextLineIsAtTop()
{
    const auto o = text(QStringLiteral("H"), 1000, 1000, "L", 20);
    const QImage b = zeichnen({o}, 100, {2000, 2000}, 1440);
    const QFontMetricsF fm(xSchrift(o, 100), &b);
    // The cap height sits under the ascent: H begins ascent - capHeight below Top.
    const double erwartet = 1000 + fm.ascent() - fm.capHeight();
    QVERIFY2(qAbs(tinte(b).top() - erwartet) <= 2,
             qPrintable(QStringLiteral("%1 vs %2").arg(tinte(b).top()).arg(erwartet)));
}

void XPrintTest::rightAlignedTextEndsAndCentredTextCentresAtLeftOnEverySurface_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("zoom");
    QTest::newRow("screen 100 %") << 96.0 << 100;
    QTest::newRow("screen 400 %") << 96.0 << 400;
    QTest::newRow("screen 75 %") << 96.0 << 75;
    QTest::newRow("printer 600 dpi") << 600.0 << 100;
    QTest::newRow("one pixel per twip") << 1440.0 << 100;
}

void XPrintTest::rightAlignedTextEndsAndCentredTextCentresAtLeftOnEverySurface()
{
    QFETCH(double, dpi);
    QFETCH(int, zoom);
    const double proTwip = dpi / 1440 * zoom / 100;
    const QSize groesse(int(7000 * proTwip), int(1000 * proTwip));
    const QString s = QStringLiteral("Summe 1.234,50 €H");
    const QFont f = xSchrift(text(s, 0, 0), zoom);
    // The bearings of the first and last glyph as the font designs them (read
    // at 2048 pixels per em, where rounding does not matter), in pixels of
    // this surface.
    QRawFont roh = QRawFont::fromFont(f);
    roh.setPixelSize(2048);
    const double em = f.pointSizeF() * dpi / 72 / roh.pixelSize();
    const auto glyph = [&](QChar c) { return roh.glyphIndexesForString(QString(c)).value(0); };
    const quint32 h = glyph(QLatin1Char('H'));
    const double rechterRand = (roh.advancesForGlyphIndexes(QList<quint32>{h}).value(0).x() -
                                roh.boundingRect(h).right()) *
                               em;
    const double linkerRand = roh.boundingRect(glyph(QLatin1Char('S'))).left() * em;

    // Right-aligned at 5000: the text's advance ends there.
    const QImage rechts = zeichnen({text(s, 100, 5000, "R")}, zoom, groesse, dpi);
    const double ende = 5000 * proTwip - rechterRand;
    QVERIFY2(
        qAbs(tinte(rechts).right() + 1 - ende) <= 1.0,
        qPrintable(
            QStringLiteral("Tinte bis %1, erwartet %2").arg(tinte(rechts).right() + 1).arg(ende)));

    // Centred on 3500.
    const QImage mitte = zeichnen({text(s, 100, 3500, "C")}, zoom, groesse, dpi);
    const QFontMetricsF fm(f, &mitte);
    const double anfang = 3500 * proTwip - fm.horizontalAdvance(s) / 2 + linkerRand;
    QVERIFY2(qAbs(tinte(mitte).left() - anfang) <= 1.0,
             qPrintable(
                 QStringLiteral("Tinte ab %1, erwartet %2").arg(tinte(mitte).left()).arg(anfang)));
    // Half on each side: the right end is as far from 3500 as the left start.
    const double halb = fm.horizontalAdvance(s) / 2;
    QVERIFY(qAbs(tinte(mitte).right() + 1 - (3500 * proTwip + halb - rechterRand)) <= 1.0);

    // Any other alignment is the left edge.
    const QImage links = zeichnen({text(s, 100, 1000, "X")}, zoom, groesse, dpi);
    QVERIFY(qAbs(tinte(links).left() - (1000 * proTwip + linkerRand)) <= 1.0);
}

void XPrintTest::penWidthAndPicturesDoNotFollowTheZoom()
{
    // A horizontal line 3 pixels wide stays 3 pixels wide at 200 %, at twice the place.
    for (int zoom : {100, 200}) {
        const QImage b = zeichnen({linie(150, 150, 150, 1500, 3)}, zoom, {300, 300}, 96);
        const QRect t = tinte(b);
        QCOMPARE(t.height(), 3);
        QVERIFY(qAbs(t.center().y() - 150.0 / 15 * zoom / 100) <= 1);
    }
    // A picture of 40 x 20 pixels stays at its place and size.
    QImage png(40, 20, QImage::Format_RGB32);
    png.fill(Qt::red);
    const QString pfad = m_dir.filePath(QStringLiteral("rot.png"));
    QVERIFY(png.save(pfad));
    for (int zoom : {100, 200, 50}) {
        const QImage b = zeichnen({bild(pfad, 300, 600)}, zoom, {400, 300}, 96);
        QCOMPARE(tinte(b, rot), QRect(40, 20, 40, 20));
    }
    // On a 1440 dpi surface the picture is 15 twips per pixel.
    const QImage fein = zeichnen({bild(pfad, 300, 600)}, 100, {1400, 700}, 1440);
    QCOMPARE(tinte(fein, rot), QRect(600, 300, 600, 300));
}

void XPrintTest::boxesAreOutlinedOrFilledInTheirColour()
{
    // 0x0000FF is red (blue, green, red from the top byte down).
    const auto kasten = linie(300, 300, 1500, 2400, 1, 0x0000FF, "B");
    const QImage leer = zeichnen({kasten}, 100, {200, 150}, 96);
    QCOMPARE(tinte(leer, rot), QRect(QPoint(20, 20), QPoint(160, 100)));
    QCOMPARE(leer.pixelColor(90, 60), QColor(Qt::white));

    auto voll = kasten;
    voll.Par2 = QStringLiteral("F");
    const QImage gefuellt = zeichnen({voll}, 100, {200, 150}, 96);
    QCOMPARE(tinte(gefuellt, rot), QRect(QPoint(20, 20), QPoint(160, 100)));
    QCOMPARE(gefuellt.pixelColor(90, 60), QColor(255, 0, 0));

    // "F" without "B" is a plain line, corner to corner.
    auto nurF = kasten;
    nurF.Par1.clear();
    nurF.Par2 = QStringLiteral("F");
    const QImage schraeg = zeichnen({nurF}, 100, {200, 150}, 96);
    QCOMPARE(schraeg.pixelColor(60, 90), QColor(Qt::white));
    QVERIFY(rot(schraeg.pixel(20, 20)) && rot(schraeg.pixel(160, 100)));
}

void XPrintTest::colourIsBlueGreenRed()
{
    QCOMPARE(vbFarbe(0x00332211), QColor(0x11, 0x22, 0x33));
    QCOMPARE(vbFarbe(0), QColor(Qt::black));
    QCOMPARE(vbFarbe(0x00FFFFFF), QColor(Qt::white));
    auto o = text(QStringLiteral("IIIIIIII"), 100, 100, "L", 40);
    o.ForeColor = 0x00FF0000; // blue
    const QImage b = zeichnen({o}, 100, {200, 100}, 96);
    const QRect blau = tinte(b, [](QRgb p) { return qBlue(p) > 200 && qRed(p) < 60; });
    QVERIFY(blau.isValid());
    QCOMPARE(tinte(b, rot), QRect());
}

void XPrintTest::unknownStyleDrawsNothing()
{
    auto o = text(QStringLiteral("unsichtbar"), 100, 100);
    o.Style = QStringLiteral("X");
    QCOMPARE(tinte(zeichnen({o}, 100, {200, 100}, 96)), QRect());
}

void XPrintTest::pictureThatCannotBeLoadedEndsThePage()
{
    const QString fehlt = m_dir.filePath(QStringLiteral("fehlt.png"));
    const QString kaputt = m_dir.filePath(QStringLiteral("kaputt.png"));
    QFile f(kaputt);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("kein Bild");
    f.close();

    for (const auto& [pfad, nummer] : {std::pair{fehlt, 53}, std::pair{kaputt, 481}}) {
        QImage b = leeresBild(300, 200, 96);
        QPainter p(&b);
        Seite s;
        s.Objekte = {linie(150, 150, 150, 1500, 1), bild(pfad, 300, 300),
                     linie(1500, 150, 1500, 1500, 1)};
        try {
            SeiteZeichnen(p, s, 100);
            QFAIL("drawn");
        } catch (const vorsa::VbError& e) {
            QCOMPARE(e.number(), nummer);
        }
        p.end();
        // The line before is there, the one after not.
        QCOMPARE(tinte(b), QRect(10, 10, 91, 1));
    }
}

void XPrintTest::fontSizeOutOfRangeFails()
{
    QImage b = leeresBild(100, 100, 96);
    QPainter p(&b);
    for (float size : {0.0f, -3.0f, 9000.0f}) {
        try {
            xPrint(p, text(QStringLiteral("x"), 0, 0, "L", size), 100);
            QFAIL("drawn");
        } catch (const vorsa::VbError& e) {
            QCOMPARE(e.number(), 380);
        }
    }
    // 2160 points is drawn at 100 %, but not at 400 %.
    BildSpeicher bilder;
    xPruefen(text(QStringLiteral("x"), 0, 0, "L", 2160), 400, bilder);
    QVERIFY_THROWS_EXCEPTION(vorsa::VbError,
                             xPruefen(text(QStringLiteral("x"), 0, 0, "L", 2161), 400, bilder));
}

int main(int argc, char** argv)
{
    reporttest::ohneDrucker();
    QApplication app(argc, argv);
    XPrintTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_xprint.moc"
