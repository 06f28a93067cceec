#pragma once

#include "db/connection.h"
#include "db/recordset.h"
#include "indexbuild.h"
#include "indexbuildview.h"
#include "reporter.h"

#include <QString>
#include <memory>

namespace vorsa {

// The logic of the number index window: it owns the connection to the server's
// database ("udlVorsa.UDL") and, for its grid, the result set over the whole
// index while the window is loaded, and runs the build of the configured
// source when the start button is pressed. Ready -> building -> done ("Fertig", button disabled);
// another build needs a fresh window.
class TelNrGenerieren {
public:
    TelNrGenerieren(const QString& programDir, IReporter& reporter, IIndexWindow& window);
    ~TelNrGenerieren();

    // The source kind, stored upper-cased: "KUNDEN" or "DROVO" choose a build.
    void setApplication(const QString& application) { m_application = application.toUpper(); }
    const QString& application() const { return m_application; }

    // Opens the index connection and result set and binds the grid. A failure
    // is reported under "Form_Load" and leaves the start button disabled.
    bool load();
    // The start button: disable it, run the build of the source kind (any
    // other kind runs nothing), then "Fertig". Returns true when no build ran
    // or the build ran to its end.
    bool command1Click();
    // Unbinds the grid and releases the result set and the connection.
    void unload();

    bool isLoaded() const { return m_loaded; }
    bool isBuilding() const { return m_building; }
    // The index connection and result set (for the grid) and the figures of the last build.
    db::Connection* indexConnection() const { return m_connection.get(); }
    const db::Recordset* indexRecordset() const { return m_recordset.get(); }
    IndexBuild::Statistics lastStatistics() const { return m_statistics; }

    static QString startCaption() { return QStringLiteral("Generierung Telefon-Nr. starten"); }
    static QString doneCaption() { return QStringLiteral("Fertig"); }

private:
    QString m_programDir;
    IReporter& m_reporter;
    IIndexWindow& m_window;
    QString m_application;
    std::unique_ptr<db::Connection> m_connection;
    std::unique_ptr<db::Recordset> m_recordset;
    bool m_loaded = false;
    bool m_building = false;
    IndexBuild::Statistics m_statistics;
};

} // namespace vorsa
