#include "commandline.h"
#include "frmpeera.h"
#include "gui/guiapplication.h"
#include "programdir.h"
#include "unixsignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

int main(int argc, char* argv[])
{
    // The local time zone is read once: unset, the C library looks at the zone
    // file again for every date it converts, and every listed call has one.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    const auto setUp = [](QCommandLineParser& parser) {
        vorsa::setUpCommandLine(parser, QStringLiteral("VorsaCl"),
                                QStringLiteral("Vorsamelder-Arbeitsplatz: zeigt die Anrufer, die "
                                               "der Anrufserver VorsaSrv meldet."));
        parser.addOption({QStringLiteral("dir"),
                          QStringLiteral("Programmordner mit VorsaCl.INI (Vorgabe: der Ordner "
                                         "des Programms, im System installiert "
                                         "~/.local/share/VorsaCl)."),
                          QStringLiteral("ORDNER")});
    };
    vorsa::answerHelpAndVersion(argc, argv, setUp);
    if (!vorsa::displayAvailable())
        return vorsa::refuseWithoutDisplay();
    QApplication app(argc, argv);
    vorsa::installGermanTranslations(app);
    // The desktop shows the window, and names the notifications, with the
    // installed desktop entry's name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("vorsacl"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vorsacl")));
    QCommandLineParser parser;
    setUp(parser);
    parser.process(app);

    vorsa::frmPeerA window(vorsa::programDirectory(QApplication::arguments()));
    // A logout or kill closes the window the orderly way, so placement,
    // settings and columns are saved; a signal while the window loads (its
    // message boxes run event loops) closes it once the load is over.
    vorsa::TerminationSignal stop([&window] { window.close(); });
    window.load();
    if (stop.open())
        return 0;
    if (!window.isVisible())
        window.show();
    window.activateWindow();
    return app.exec();
}
