#pragma once

#include "db/connection.h"
#include "db/recordset.h"

#include <QString>
#include <QStringList>

namespace vorsa {

class IReporter;

// One configured lookup query. The query text holds "/*CallingNr*/" where the
// number goes; a search tries the full number and then up to CutNr shortened
// forms with the wildcard appended.
class clsSqlRs {
public:
    clsSqlRs();
    clsSqlRs(const clsSqlRs&) = delete;
    clsSqlRs& operator=(const clsSqlRs&) = delete;

    QString SQL;
    int CutNr = 0;
    // CutNr from the text of the cut-digits setting; fails with 13 or 6.
    void setCutNr(const QString& text);
    // Digits dropped in the attempt that found records; 0 when the full number
    // found records or nothing was found.
    int AnzahlVersuche = 0;
    // Records of the last search's result.
    int RecordCount = 0;
    // The rows of the last search, detached from the connection.
    db::Recordset Rs;
    // The column names of the last result this query read; kept when a later
    // search fails, so that a call that could not be identified still shows
    // the columns of one that was not found.
    QStringList columnNames;
    // Whether the last search ended on an error, and its description.
    bool lastSearchFailed = false;
    QString lastError;

    // One search. Reports its own errors as "[clsSqlRs/Suchen]"; the counts then
    // stay as far as they were set. Shortened attempts keep at least
    // callingnumber::MinDigitsBeforeWildcard characters before the wildcard;
    // a shorter number is only searched exactly.
    void Suchen(const QString& cCallingNr, const QString& cPlatzhalter, db::Connection& con,
                IReporter& reporter);

    // The statement of one attempt: the number without control characters, cut by
    // `cut` characters (wildcard appended from one cut on), every single quote
    // doubled, in place of every "/*CallingNr*/". A number shorter than the cut
    // fails with 5.
    QString statementFor(const QString& cCallingNr, const QString& cPlatzhalter, int cut) const;

private:
    // statementFor with the control characters already removed.
    QString attemptStatement(const QString& number, const QString& cPlatzhalter, int cut) const;
};

// The calling number as it may go into a statement: control characters removed.
QString withoutControlCharacters(const QString& text);
// Every single quote doubled.
QString sqlQuoted(const QString& text);

} // namespace vorsa
