#include "frmpeera.h"
#include "programdir.h"
#include "unixsignals.h"

#include <QApplication>

int main(int argc, char* argv[])
{
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
