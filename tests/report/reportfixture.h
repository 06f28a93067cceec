#pragma once

// A report whose boxes and beeps are recorded, on a machine without printers
// unless the test starts its own CUPS daemon.
#include "desktop.h"
#include "mdireport.h"
#include "orvoreport2/clsreport.h"
#include "reporter.h"

#include <QDir>
#include <QStandardPaths>
#include <memory>

namespace reporttest {

// Call before the application object exists: no printer (CUPS at a socket
// that does not exist) and per-user settings in the test folder.
inline void ohneDrucker()
{
    qputenv("CUPS_SERVER", "/nonexistent/vorsa-test-no-cups.sock");
}

inline void einstellungenLeeren()
{
    QStandardPaths::setTestModeEnabled(true);
    QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .removeRecursively();
}

struct Report {
    vorsa::RecordingDesktop desktop;
    vorsa::RecordingReporter reporter;
    std::unique_ptr<OrvoReport2::clsReport> report;
    OrvoReport2::mdiReport* fenster = nullptr;

    Report()
    {
        fenster = new OrvoReport2::mdiReport(&desktop, &reporter);
        report = std::make_unique<OrvoReport2::clsReport>(fenster);
    }
    OrvoReport2::clsReport* operator->() { return report.get(); }
    const OrvoReport2::ReportDokument& dok() const { return fenster->dokument(); }
};

} // namespace reporttest
