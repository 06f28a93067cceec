#include "commandline.h"
#include "gui/frmmain.h"
#include "gui/guiapplication.h"
#include "headlessserver.h"
#include "index/buildindexcommand.h"
#include "linefactory.h"
#include "unixsignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QIcon>
#include <QTimer>
#include <functional>

using namespace vorsa;

int main(int argc, char** argv)
{
    // Without TZ the C library checks the zone file again at every local-time
    // conversion; a call does dozens of them.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    const QString name = QStringLiteral("VorsaSrv");
    answerHelpAndVersion(
        argc, argv, [&](QCommandLineParser& parser) { ServerCommandLine options(parser, name); });

    // Without a window: the options are read on a plain application object,
    // so that no window library is touched.
    bool windowless = false;
    for (int i = 1; i < argc && !windowless; ++i)
        windowless = qstrcmp(argv[i], "--headless") == 0 || qstrcmp(argv[i], "--build-index") == 0;
    QCommandLineParser parser;
    if (windowless) {
        QCoreApplication app(argc, argv);
        installGermanTranslations(app);
        const ServerCommandLine options(parser, name);
        parser.process(app);
        if (options.buildIndex())
            return runBuildIndex(options.programDir());
        installServerLogging();
        return runHeadlessServer(app, options.programDir(), name);
    }

    if (!displayAvailable())
        return refuseWithoutDisplay(QStringLiteral("Der Server kann ohne Fenster laufen: VorsaSrv "
                                                   "--headless [--dir ORDNER] oder vorsasrvd."));
    QApplication app(argc, argv);
    installGermanTranslations(app);
    // The desktop shows the window with the installed desktop entry's name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("vorsasrv"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vorsasrv")));
    const ServerCommandLine options(parser, name);
    parser.process(app);
    app.setApplicationName(frmMain::caption());
    // Caught from the start: the window's construction loads the server and
    // may show message boxes; a signal meanwhile closes it once it is built.
    frmMain* built = nullptr;
    // An open window above the main one (the number index window) is closed
    // first; one that refuses while it works is asked again until it is done.
    std::function<void()> closeAll = [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
            if (QApplication::activeModalWidget() == modal) {
                QTimer::singleShot(500, closeAll);
                return;
            }
            QTimer::singleShot(0, closeAll); // after its event loop has ended
            return;
        }
        built->close();
    };
    TerminationSignal stop(closeAll);
    frmMain window(options.programDir(), createPhoneLine);
    built = &window;
    if (stop.open())
        return 0;
    window.show();
    return app.exec();
}
