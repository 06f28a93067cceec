// Kundenstamm: the customers of the customer-management database, edited with
// the family's toolbar and text boxes.
#include "frmkunden.h"
#include "gui/guiapplication.h"
#include "programdir.h"
#include "unixsignals.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

int main(int argc, char* argv[])
{
    if (!vorsa::displayAvailable())
        return vorsa::refuseWithoutDisplay();
    QApplication app(argc, argv);
    vorsa::installGermanTranslations(app);
    QApplication::setApplicationName(QStringLiteral("Kundenstamm"));
    // The desktop shows the windows with the name and icon of the installed
    // desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("kundenstamm"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("kundenstamm")));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(VORSA_VERSION_MAJOR)
                                            .arg(VORSA_VERSION_MINOR)
                                            .arg(VORSA_VERSION_REVISION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Kunden der Kundenverwaltung (udlAdressen.UDL) bearbeiten"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("dir"),
                      QStringLiteral("Programmordner (Datenverbindung, Einstellungen)"),
                      QStringLiteral("ORDNER")});
    parser.process(app);

    kundenstamm::frmKunden window(vorsa::programDirectory(QApplication::arguments()));
    vorsa::TerminationSignal stop([&window] { window.close(); });
    if (!window.Form_Load())
        return 1;
    if (stop.open())
        return 0;
    window.show();
    return app.exec();
}
