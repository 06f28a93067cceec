#pragma once

#include "db/connection.h"
#include "db/recordset.h"
#include "indexbuildview.h"
#include "reporter.h"

#include <QString>
#include <functional>
#include <optional>

namespace vorsa {

// The rebuild of the number index TTelefonNr from an address database, either
// the customer-management database (table TKunden) or the dispatch database
// (AKdAdr with its streets and towns). The build works on the index window's
// connection, index result set, grid and progress bar; the address database is
// the one that "udlAdressen.UDL" in the program folder names.
//
// Set-up errors (address database, emptying the index, opening the source)
// end the build with a message; while the records are walked nothing ends it:
// a number that cannot be read is skipped, a column that cannot be set is left
// out of its row, a row that cannot be saved is dropped.
//
// Every number is one INSERT. The inserts of 100 source records share one
// transaction, committed at each progress point before the program handles its
// pending events, so a call handled there finds the numbers written so far and
// no write lock is held while other handlers run.
class IndexBuild {
public:
    enum class CommitMode {
        AtProgressPoints, // one transaction per 100 source records (the normal build)
        PerRow,           // every insert commits on its own (for comparison)
    };

    struct Statistics {
        int records = 0;        // source records walked
        int rowsWritten = 0;    // index rows saved
        int rowsDropped = 0;    // index rows that could not be saved
        int numbersSkipped = 0; // numbers that could not be read
    };

    IndexBuild(const QString& programDir, db::Connection& indexConnection,
               db::Recordset& indexRecordset, IIndexBuildView& view, IReporter& reporter);

    // The builds. Each reports its own failures under its name and returns
    // true when it ran to its end with every row it wrote committed.
    bool KUNDEN_Verarbeitung();
    bool DROVO_Verarbeitung();

    // Append one index row for the current source record; the number is
    // already filtered.
    void KUNDEN_TelefonNrAnlegen(const db::Recordset& source, const QString& telefonNr);
    void DROVO_TelefonNrAnlegen(const db::Recordset& source, const QString& telefonNr);

    void setCommitMode(CommitMode mode) { m_commitMode = mode; }
    const Statistics& statistics() const { return m_statistics; }

    // The source statements of both builds.
    static QString kundenQuery();
    static QString drovoQuery();

private:
    struct Source;
    bool run(const Source& source);
    void walk(const Source& source, db::Recordset& records);
    void writeNumbers(const Source& source, const db::Recordset& records);
    void writeRow(const std::function<void()>& setColumns);
    template <typename Value> void setColumn(const QString& column, Value&& value);
    void beginChunk();
    void endChunk();

    QString m_programDir;
    db::Connection& m_indexConnection;
    db::Recordset& m_indexRecordset;
    IIndexBuildView& m_view;
    IReporter& m_reporter;
    CommitMode m_commitMode = CommitMode::AtProgressPoints;
    int m_chunkRows = 0; // rows of the open transaction
    bool m_inTransaction = false;
    bool m_rowSavepoints = false;
    std::optional<VbError> m_commitError;
    Statistics m_statistics;
};

} // namespace vorsa
