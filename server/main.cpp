#include "desktop.h"
#include "gui/frmmain.h"
#include "gui/guiapplication.h"
#include "iconlist.h"
#include "index/buildindexcommand.h"
#include "linefactory.h"
#include "programdir.h"
#include "reporter.h"
#include "servercore.h"
#include "unixsignals.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <cstring>
#include <functional>

using namespace vorsa;

namespace {
bool hasFlag(int argc, char** argv, const char* flag)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], flag) == 0)
            return true;
    }
    return false;
}

QStringList argumentList(int argc, char** argv)
{
    QStringList out;
    for (int i = 0; i < argc; ++i)
        out << QString::fromLocal8Bit(argv[i]);
    return out;
}

// The same core without a window: errors go to stderr instead of message boxes.
int runHeadless(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    LogReporter reporter;
    HeadlessDesktop desktop;
    FileIconList icons;
    ServerCore::Environment env;
    env.programDir = programDirectory(app.arguments());
    env.reporter = &reporter;
    env.desktop = &desktop;
    env.icons = &icons;
    env.lineFactory = createPhoneLine;
    env.listRows = false; // no window shows them
    ServerCore core(env);
    // Caught from the start; a signal during the load is served after it.
    TerminationSignal stop([&] {
        core.Form_Unload();
        app.quit();
    });
    core.Form_Load();
    if (stop.open())
        return 0;
    // Without a port or a line the server would only sit there: the service
    // manager and the administrator must see that it did not start.
    if (const QString problem = core.startupProblem(); !problem.isEmpty()) {
        reporter.message(problem + QStringLiteral(" VorsaSrv wird beendet."),
                         QStringLiteral("VorsaSrv"), MessageIcon::Critical);
        core.Form_Unload();
        return 1;
    }
    return app.exec();
}
} // namespace

int main(int argc, char** argv)
{
    // Without TZ the C library checks the zone file again at every local-time
    // conversion; a call does dozens of them.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    if (hasFlag(argc, argv, "--build-index")) {
        QCoreApplication app(argc, argv);
        return runBuildIndex(programDirectory(app.arguments()));
    }
    if (hasFlag(argc, argv, "--headless"))
        return runHeadless(argc, argv);

    if (!displayAvailable())
        return refuseWithoutDisplay(QStringLiteral(
            "Der Server kann ohne Fenster laufen: VorsaSrv --headless [--dir ORDNER]"));
    QApplication app(argc, argv);
    installGermanTranslations(app);
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
    frmMain window(programDirectory(argumentList(argc, argv)), createPhoneLine);
    built = &window;
    if (stop.open())
        return 0;
    window.show();
    return app.exec();
}
