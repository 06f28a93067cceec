// OrvoReport2: offers the report class to other programs on the session bus.
#include "gui/guiapplication.h"
#include "reportdienst.h"
#include "unixsignals.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QIcon>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (!vorsa::displayAvailable())
        return vorsa::refuseWithoutDisplay();
    QApplication app(argc, argv);
    vorsa::installGermanTranslations(app);
    QApplication::setApplicationName(QStringLiteral("OrvoReport2"));
    // The desktop shows the windows with the name and icon of the installed
    // desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("orvoreport2"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("orvoreport2")));
    QApplication::setApplicationVersion(
        vorsa::versionText().mid(QStringLiteral("Version: ").size()));
    // Reports stay on offer when their windows close.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser args;
    args.setApplicationDescription(
        QStringLiteral("Berichte mit Vorschau und Druck für andere Programme, über den D-Bus-Namen "
                       "OrvoReport2.clsReport auf dem Sitzungsbus."));
    args.addHelpOption();
    args.addVersionOption();
    const QCommandLineOption leerlauf(
        QStringLiteral("idle-exit"),
        QStringLiteral("Beendet sich nach SEKUNDEN ohne Bericht und ohne offenes Fenster "
                       "(0: nie, Vorgabe)."),
        QStringLiteral("SEKUNDEN"), QStringLiteral("0"));
    args.addOption(leerlauf);
    args.process(app);
    bool ok = false;
    const int sekunden = args.value(leerlauf).toInt(&ok);
    if (!ok || sekunden < 0) {
        std::fprintf(stderr, "OrvoReport2: --idle-exit braucht eine Zahl von Sekunden\n");
        return 2;
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "OrvoReport2: kein Sitzungsbus: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    OrvoReport2::ReportDienst dienst(bus);
    QString fehler;
    if (!dienst.starten(&fehler)) {
        std::fprintf(stderr, "OrvoReport2: %s\n", qPrintable(fehler));
        return 1;
    }

    QTimer ende;
    ende.setSingleShot(true);
    ende.setInterval(sekunden * 1000);
    QObject::connect(&ende, &QTimer::timeout, &app, [&] {
        if (dienst.anzahl() == 0)
            QApplication::quit();
    });
    if (sekunden > 0) {
        QObject::connect(&dienst, &OrvoReport2::ReportDienst::leer, &ende,
                         qOverload<>(&QTimer::start));
        QObject::connect(&dienst, &OrvoReport2::ReportDienst::belegt, &ende, &QTimer::stop);
        ende.start();
    }
    // When the session and its bus end, so does the program.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), &app,
                SLOT(quit()));
    vorsa::onTerminationSignal([] { QApplication::quit(); });
    return app.exec();
}
