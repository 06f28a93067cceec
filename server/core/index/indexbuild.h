#pragma once

#include "db/connection.h"
#include "db/recordset.h"
#include "indexbuildview.h"
#include "reporter.h"

#include <QString>
#include <QVector>

namespace vorsa {

class IndexWriter;
class SourceReader;

// The rebuild of the number index TTelefonNr from an address database, either
// the customer-management database (table TKunden) or the dispatch database
// (AKdAdr with its streets and towns). The address database is the one that
// "udlAdressen.UDL" in the program folder names, the index the one that
// "udlVorsa.UDL" names.
//
// The new index is written on a connection of the build's own and replaces
// the old one as a whole when the walk is done (IndexWriter): calls handled
// meanwhile, at the progress points of this build or by another server on the
// same database, find the complete old index, afterwards the complete new
// one. A build that fails or stops before leaves the old index as it was.
//
// Set-up errors (address database, opening the source, starting the new
// index) end the build with a message. While the records are walked a number
// that cannot be read is skipped, a column the index or the source lacks is
// left out of every row, and a row the database refuses is dropped; a source
// that cannot be read on or an index that cannot be written on ends the build
// with a message, the old index kept.
//
// The progress bar moves every 100 source records, and the program handles
// its pending events there. The window's grid is unbound during the walk and
// its result set let go of, so the old index is not held in memory while the
// new one is written; both show the new index after the build.
class IndexBuild {
public:
    struct Statistics {
        int records = 0;        // source records walked
        int rowsWritten = 0;    // rows of the new index (0 when it did not replace the old one)
        int rowsDropped = 0;    // index rows that the database refused
        int numbersSkipped = 0; // numbers that could not be read
    };

    // indexConnection and indexRecordset are the window's: the result set
    // over "Select * From TTelefonNr" that its grid shows, or nullptr when
    // there is no grid.
    IndexBuild(const QString& programDir, db::Connection& indexConnection,
               db::Recordset* indexRecordset, IIndexBuildView& view, IReporter& reporter);
    ~IndexBuild();

    // The builds. Each reports its own failures under its name and returns
    // true when the new index replaced the old one.
    bool KUNDEN_Verarbeitung();
    bool DROVO_Verarbeitung();

    // Append one index row for the current source record; the number is
    // already filtered.
    void KUNDEN_TelefonNrAnlegen(const SourceReader& source, const QString& telefonNr);
    void DROVO_TelefonNrAnlegen(const SourceReader& source, const QString& telefonNr);

    const Statistics& statistics() const { return m_statistics; }

    // The source statements of both builds.
    static QString kundenQuery();
    static QString drovoQuery();
    static QString indexQuery() { return QStringLiteral("Select * From TTelefonNr"); }

private:
    struct Source;
    struct Column;
    bool run(const Source& source);
    void walk(const Source& source, SourceReader& records);
    void writeNumbers(const Source& source, const SourceReader& records);
    void writeRow(const QList<Column>& columns, const SourceReader& source,
                  const QString& telefonNr);
    QList<Column> columnsOf(const QList<Column>& wanted, const SourceReader& source) const;
    void showIndexAgain(bool walked);

    QString m_programDir;
    db::Connection& m_indexConnection;
    db::Recordset* m_indexRecordset;
    IIndexBuildView& m_view;
    IReporter& m_reporter;
    IndexWriter* m_writer = nullptr; // during run()
    QList<Column> m_kundenColumns;   // the columns each build sets, those the source has
    QList<Column> m_drovoColumns;
    QVector<QVariant> m_row;
    Statistics m_statistics;
};

} // namespace vorsa
