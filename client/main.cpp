#include "frmpeera.h"
#include "gui/guiapplication.h"
#include "programdir.h"
#include "unixsignals.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The local time zone is read once: unset, the C library looks at the zone
    // file again for every date it converts, and every listed call has one.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    if (!vorsa::displayAvailable())
        return vorsa::refuseWithoutDisplay();
    QApplication app(argc, argv);
    vorsa::installGermanTranslations(app);
    QApplication::setApplicationName(QStringLiteral("VorsaCl"));

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
