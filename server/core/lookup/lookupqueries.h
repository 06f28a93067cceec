#pragma once

#include "clssqlrs.h"

#include <QString>
#include <memory>
#include <vector>

namespace vorsa {

class IReporter;

// The lookup queries of the section Table, in the order of their numbers, and
// the lookup over all of them.
class LookupQueries {
public:
    explicit LookupQueries(IReporter& reporter);
    ~LookupQueries();
    LookupQueries(const LookupQueries&) = delete;
    LookupQueries& operator=(const LookupQueries&) = delete;

    // Reads the section Table: the queries SQL<n>.<k> (lines trimmed, joined with
    // one blank), Icon, Name and OrderBy. An empty Name shows the critical box
    // "Bitte erst einen Tabellennamen deklarieren" (title "Vorsamelder").
    // Errors are reported as "[EinlesenDatenbank]".
    void EinlesenDatenbank(const QString& iniFile, const QString& cutDigits);
    // Appends a query with that text and CutNr from the cut-digits text given to
    // EinlesenDatenbank (or setCutDigits). Errors: "[ClassSqlRsInstanzieren]".
    void ClassSqlRsInstanzieren(const QString& sql);
    void setCutDigits(const QString& cutDigits) { m_cutDigits = cutDigits; }

    // The whole lookup: opens `con` with connectionString when it is not open
    // or no longer current (when it cannot be opened, that is reported as
    // "[AnruferSuchen]" and the result is none), searches every query
    // (stopping at a unique hit on the full number) and chooses one. `con`
    // stays open for the next lookup, unless a search on it failed: then it
    // is closed and the next lookup opens it again. A search that failed after
    // waiting for a lock as long as the connection waits ends the pass: the
    // database is held by another program, and every further search would
    // wait as long again. Returns the chosen query or nullptr.
    clsSqlRs* AnruferSuchen(const QString& number, db::Connection& con,
                            const QString& connectionString, const QString& platzhalter);

    // Why the last lookup failed, in part or whole (the first error, already
    // said); empty when it did not.
    const QString& lastFailure() const { return m_failure; }

    // The columns a call shows as "***" when its caller was not identified
    // without a result to take them from (no lookup, or a failed one): those
    // the first query read last.
    QStringList notFoundColumns() const;

    // AnzahlVersuche and RecordCount of every query to 0.
    void resetCounts();
    // Removes every query, last first.
    void clear();

    // Table/Icon, trimmed; empty: no icon field.
    const QString& iconField() const { return m_iconField; }
    // Table/Name and Table/OrderBy as read (trimmed).
    const QString& tableName() const { return m_tableName; }
    const QString& orderBy() const { return m_orderBy; }

    int size() const { return int(m_queries.size()); }
    clsSqlRs& at(int i) { return *m_queries.at(size_t(i)); }
    const clsSqlRs& at(int i) const { return *m_queries.at(size_t(i)); }

private:
    // The choice after a pass without a unique full-number hit.
    clsSqlRs* mostSpecific();

    IReporter& m_reporter;
    std::vector<std::unique_ptr<clsSqlRs>> m_queries;
    QString m_cutDigits;
    QString m_iconField;
    QString m_tableName;
    QString m_orderBy;
    QString m_failure;
};

} // namespace vorsa
