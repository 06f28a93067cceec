// bench_report [SEITEN]
//
// A report of SEITEN pages (default 500), each with 60 text objects (20 rows
// of three columns, one of them right-aligned) and 10 lines:
// - filled over D-Bus from this process into the program OrvoReport2, which
//   the private session bus of the run starts (one call per object);
// - shown page by page in the preview at 100 % and 400 % (in this process);
// - written with PdfSpeichern;
// - printed on a cups-pdf queue of a private CUPS daemon (as root only).
// Prints name=value lines.
#include "cupsdaemon.h"
#include "druckauftrag.h"
#include "frmreportseite.h"
#include "mdireport.h"
#include "orvoreport2/clsreport.h"
#include "privatebus.h"

#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace OrvoReport2;

namespace {
constexpr int Zeilen = 20;
constexpr int Linien = 10;

void ausgeben(const char* name, double wert)
{
    std::printf("%s=%.6g\n", name, wert);
    std::fflush(stdout);
}

// The objects of one page, handed to whatever adds them.
struct Fueller {
    std::function<void()> seite;
    std::function<void(const QString&, double, double, const QString&)> text;
    std::function<void(double, double, double, double)> linie;
};

void berichtFuellen(int seiten, const Fueller& f)
{
    for (int s = 1; s <= seiten; ++s) {
        f.seite();
        for (int z = 0; z < Zeilen; ++z) {
            const double oben = 2 + z * 1.2;
            f.text(QStringLiteral("Kunde %1").arg(s * 100 + z), oben, 1.5, QStringLiteral("L"));
            f.text(QStringLiteral("Bahnhofstraße %1, 12345 Musterstadt").arg(z + 1), oben, 5,
                   QStringLiteral("L"));
            f.text(QStringLiteral("%1,50 €").arg(s + z), oben, 19, QStringLiteral("R"));
        }
        for (int l = 0; l < Linien; ++l)
            f.linie(2.9 + l * 2.4, 1.5, 2.9 + l * 2.4, 19);
    }
}

struct Messung {
    double median, schlechteste;
};

Messung auswerten(QList<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms.at(ms.size() / 2), ms.last()};
}

// Over D-Bus: every object one call, as a script does it.
void ueberDBus(int seiten)
{
    if (!vorsa::test::privaterBus()) {
        std::fprintf(stderr, "bench_report: kein privater Bus (dbus-run-session fehlt)\n");
        return;
    }
    auto bus = QDBusConnection::sessionBus();
    const QString dienst = QStringLiteral("OrvoReport2.clsReport");
    const QString iface = QStringLiteral("OrvoReport2.clsReport");
    QElapsedTimer start;
    start.start();
    const QDBusMessage erschaffen = bus.call(QDBusMessage::createMethodCall(
        dienst, QStringLiteral("/OrvoReport2"), QStringLiteral("OrvoReport2.Factory"),
        QStringLiteral("Create")));
    const QString pfad = erschaffen.arguments().value(0).value<QDBusObjectPath>().path();
    if (pfad.isEmpty()) {
        std::fprintf(stderr, "bench_report: %s\n", qPrintable(erschaffen.errorMessage()));
        return;
    }
    ausgeben("dbus_start_and_create_ms", start.elapsed());
    qint64 objekte = 0;
    bool alleOk = true;
    const auto rufen = [&](const QString& methode, const QVariantList& a) {
        auto m = QDBusMessage::createMethodCall(dienst, pfad, iface, methode);
        m.setArguments(a);
        const QDBusMessage antwort = bus.call(m);
        alleOk = alleOk && antwort.arguments().value(0).toBool();
    };
    QElapsedTimer uhr;
    uhr.start();
    berichtFuellen(
        seiten,
        {[&] { rufen(QStringLiteral("AddSeite"), {}); },
         [&](const QString& t, double oben, double links, const QString& a) {
             rufen(QStringLiteral("AddTextObjekt"),
                   {QVariant::fromValue(QDBusVariant(t)), oben, links, a});
             ++objekte;
         },
         [&](double t, double l, double t2, double l2) {
             rufen(QStringLiteral("AddLineObjekt"), {1, t, l, t2, l2, 0, QString(), QString()});
             ++objekte;
         }});
    const double sekunden = uhr.nsecsElapsed() / 1e9;
    ausgeben("dbus_fill_objects", double(objekte));
    ausgeben("dbus_fill_total_s", sekunden);
    ausgeben("dbus_fill_objects_per_s", objekte / sekunden);
    ausgeben("dbus_fill_all_true", alleOk ? 1 : 0);
    auto release = QDBusMessage::createMethodCall(dienst, pfad, iface, QStringLiteral("Release"));
    bus.call(release);
}

void vorschau(clsReport& report, int seiten)
{
    mdiReport* fenster = report.Vorschau();
    report.Show();
    fenster->resize(1280, 900);
    QCoreApplication::processEvents();
    for (const char* stufe : {"100%", "400%"}) {
        fenster->ZoomWaehlen(fenster->zoomListe()->findText(QString::fromLatin1(stufe)));
        QCoreApplication::processEvents();
        QList<double> ms;
        for (int n = 1; n <= seiten; ++n) {
            QElapsedTimer uhr;
            uhr.start();
            fenster->SeiteAusgeben(n);
            fenster->repaint(); // the visible part of the sheet drawn now
            ms << uhr.nsecsElapsed() / 1e6;
        }
        const Messung m = auswerten(ms);
        const QByteArray name = QByteArray("preview_switch_") + QByteArray(stufe).chopped(1);
        ausgeben(name + "_median_ms", m.median);
        ausgeben(name + "_worst_ms", m.schlechteste);
    }
    fenster->close();
}

void pdf(clsReport& report, int seiten, const QString& ordner)
{
    QElapsedTimer uhr;
    uhr.start();
    const bool ok = report.PdfSpeichern(QDir(ordner).filePath(QStringLiteral("bench.pdf")));
    const double sekunden = uhr.nsecsElapsed() / 1e9;
    ausgeben("pdf_ok", ok ? 1 : 0);
    ausgeben("pdf_total_s", sekunden);
    ausgeben("pdf_pages_per_s", seiten / sekunden);
    ausgeben("pdf_size_kib",
             QFileInfo(QDir(ordner).filePath(QStringLiteral("bench.pdf"))).size() / 1024.0);
}

void drucken(clsReport& report, int seiten)
{
    vorsa::test::CupsDaemon cups;
    if (!cups.available()) {
        std::fprintf(stderr, "bench_report: kein CUPS-Dienst: %s\n", qPrintable(cups.reason()));
        return;
    }
    mdiReport* fenster = report.Vorschau();
    fenster->setPrinterSelection(0);
    QElapsedTimer uhr;
    uhr.start();
    fenster->Drucken(druckReihenfolge(1, seiten, 1, true));
    const double uebergeben = uhr.nsecsElapsed() / 1e9;
    const QStringList pdfs = cups.neuePdfs(0, 1, 600000);
    const double fertig = uhr.nsecsElapsed() / 1e9;
    ausgeben("print_job_handed_to_cups_s", uebergeben);
    ausgeben("print_job_pages_per_s", seiten / uebergeben);
    ausgeben("print_cups_pdf_done_s", fertig);
    ausgeben("print_end_to_end_pages_per_s", pdfs.size() == 1 ? seiten / fertig : 0);
}
} // namespace

int main(int argc, char** argv)
{
    // The private bus of the run knows the program of this build.
    if (!qEnvironmentVariableIsSet("VORSA_BUILD_DIR"))
        qputenv("VORSA_BUILD_DIR", VORSA_BUILD_DIR);
    vorsa::test::aufPrivatemBus(argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir ordner;
    // Neither the run's program nor this one touches the user's settings or printers.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(ordner.filePath(QStringLiteral("config"))));
    qputenv("CUPS_SERVER", "/nonexistent/vorsa-bench-no-cups.sock");
    QApplication app(argc, argv);
    const int seiten = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 500;
    ausgeben("pages", seiten);
    ausgeben("objects_per_page", Zeilen * 3 + Linien);

    if (vorsa::test::privaterBus()) {
        qDBusRegisterMetaType<QMap<QString, QString>>();
        auto m = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("UpdateActivationEnvironment"));
        m.setArguments({QVariant::fromValue(QMap<QString, QString>{
            {QStringLiteral("XDG_CONFIG_HOME"), ordner.filePath(QStringLiteral("config"))},
            {QStringLiteral("CUPS_SERVER"),
             QStringLiteral("/nonexistent/vorsa-bench-no-cups.sock")},
            {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}})});
        QDBusConnection::sessionBus().call(m);
    }
    ueberDBus(seiten);

    clsReport report;
    report.setCaption(QStringLiteral("Bench"));
    berichtFuellen(seiten, {[&] { report.AddSeite(); },
                            [&](const QString& t, double oben, double links, const QString& a) {
                                report.AddTextObjekt(t, oben, links, a);
                            },
                            [&](double t, double l, double t2, double l2) {
                                report.AddLineObjekt(1, t, l, t2, l2);
                            }});
    vorschau(report, seiten);
    pdf(report, seiten, ordner.path());
    drucken(report, seiten);
    return 0;
}
