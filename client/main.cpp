#include "frmpeera.h"
#include "programdir.h"
#include "unixsignals.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The local time zone is read once: unset, the C library looks at the zone
    // file again for every date it converts, and every listed call has one.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VorsaCl"));

    vorsa::frmPeerA window(vorsa::programDirectory(QApplication::arguments()));
    window.load();
    if (!window.isVisible())
        window.show();
    window.activateWindow();

    // A logout or kill closes the window the orderly way, so placement,
    // settings and columns are saved.
    vorsa::onTerminationSignal([&window] { window.close(); });
    return app.exec();
}
