#pragma once

#include "call.h"
#include "calllistmodel.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace vorsa {

class CallLog;
class FieldDefinitions;
class IReporter;

// The server's call list refilled from the journal ("Aktualisieren"): the
// entries a filter selects ("" every entry, else those of a day dd.mm.yyyy),
// each line of an entry one row, a value a line does not name carried over
// from the lines before it.
//
// With a row limit only the newest rows are read, from the end of the call
// log; before them only the entries that decide the values the oldest row
// does not name itself, and no more than LookbackEntries of them: a value
// that no entry that near names (a field added later, lines written short)
// is the one the list showed last, as if the journal began there. So a
// reload costs the same however long the journal has grown.
class JournalReload {
public:
    // The most entries read before the oldest row for the values it lacks.
    static constexpr int LookbackEntries = 1000;

    // Asked after pending events have run (about every 50 ms of work): true
    // ends the reload without a result (the server closes, a newer reload).
    using Superseded = std::function<bool()>;

    JournalReload(const CallLog& log, const FieldDefinitions& fields, IReporter& reporter);

    // The messages of the entries to show, oldest first (limit 0: every
    // entry); none when superseded. A missing or unreadable call log fails
    // with 53 or 75.
    std::optional<QStringList> entries(const QString& filter, int limit,
                                       const Superseded& superseded) const;

    // EigeneDatenAnzeigen: the rows of notification text (one per line, the
    // lines split at CR), appended to `rows` oldest first; `state` holds the
    // values carried from line to line. An "Icon" that is not a 16-bit number
    // ends the text there and is said as "[EigeneDatenAnzeigen]".
    void appendRows(const QString& text, Call& state, const CallListModel& list, int iconCount,
                    std::vector<CallListModel::Row>& rows) const;

    // The rows of the entries (oldest first), starting from the values
    // `state`, which then holds those of the newest row; none when superseded.
    std::optional<std::vector<CallListModel::Row>> rows(const QStringList& entries, Call& state,
                                                        const CallListModel& list, int iconCount,
                                                        const Superseded& superseded) const;

private:
    std::optional<QStringList> newestEntries(const QString& filter, int limit,
                                             const Superseded& superseded) const;

    const CallLog& m_log;
    const FieldDefinitions& m_fields;
    IReporter& m_reporter;
};

} // namespace vorsa
