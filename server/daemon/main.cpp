// vorsasrvd: the call server without a window, for a service manager. The
// same core and options as "VorsaSrv --headless", without the window
// libraries.
#include "headlessserver.h"
#include "index/buildindexcommand.h"
#include "translations.h"

#include <QCommandLineParser>
#include <QCoreApplication>

using namespace vorsa;

int main(int argc, char** argv)
{
    // Without TZ the C library checks the zone file again at every local-time
    // conversion; a call does dozens of them.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    installGermanTranslations(app);
    QCommandLineParser parser;
    const ServerCommandLine options(parser, QStringLiteral("vorsasrvd"));
    parser.process(app);
    if (options.buildIndex())
        return runBuildIndex(options.programDir());
    installServerLogging();
    return runHeadlessServer(app, options.programDir(), QStringLiteral("vorsasrvd"));
}
