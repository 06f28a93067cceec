#include "telnrgenerieren.h"

#include "indexwriter.h"

namespace vorsa {

TelNrGenerieren::TelNrGenerieren(const QString& programDir, IReporter& reporter,
                                 IIndexWindow& window)
    : m_programDir(programDir), m_reporter(reporter), m_window(window)
{
}

TelNrGenerieren::~TelNrGenerieren()
{
    unload();
}

bool TelNrGenerieren::load()
{
    m_connection = std::make_unique<db::Connection>();
    m_recordset = std::make_unique<db::Recordset>();
    const QString connectionString =
        QStringLiteral("File Name=") + m_programDir + QStringLiteral("/udlVorsa.UDL");
    m_loaded = guarded(m_reporter, QStringLiteral("Form_Load"), [&] {
        m_connection->setCursorLocation(db::adUseClient);
        m_connection->open(connectionString, QString(), QString());
        // A new index that a killed build left takes no room until the next build.
        IndexWriter::dropLeftovers(connectionString);
        // The rows are read for the grid only.
        if (m_window.showsGrid()) {
            m_recordset->open(IndexBuild::indexQuery(), *m_connection, db::CursorType::Static,
                              db::LockType::Optimistic);
            m_window.bindGrid();
        }
    });
    // Without the index there is nothing to build into.
    m_window.setStartButton(startCaption(), m_loaded);
    return m_loaded;
}

bool TelNrGenerieren::command1Click()
{
    if (m_building)
        return false;
    m_building = true;
    m_window.setStartButton(startCaption(), false);

    bool ok = true;
    if (m_application == QLatin1String("KUNDEN") || m_application == QLatin1String("DROVO")) {
        if (m_loaded) {
            IndexBuild build(m_programDir, *m_connection,
                             m_window.showsGrid() ? m_recordset.get() : nullptr, m_window,
                             m_reporter);
            ok = m_application == QLatin1String("KUNDEN") ? build.KUNDEN_Verarbeitung()
                                                          : build.DROVO_Verarbeitung();
            m_statistics = build.statistics();
        } else {
            // load() has reported why the index cannot be opened.
            ok = false;
        }
    }

    m_window.setStartButton(doneCaption(), false);
    m_building = false;
    return ok;
}

void TelNrGenerieren::unload()
{
    if (m_loaded)
        ignoringErrors([&] { m_window.unbindGrid(); });
    m_loaded = false;
    if (m_recordset) {
        ignoringErrors([&] {
            if (m_recordset->isOpen())
                m_recordset->close();
        });
        m_recordset.reset();
    }
    if (m_connection) {
        ignoringErrors([&] {
            if (m_connection->isOpen())
                m_connection->close();
        });
        m_connection.reset();
    }
}

} // namespace vorsa
