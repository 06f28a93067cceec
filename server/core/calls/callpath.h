#pragma once

#include "call.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <list>
#include <optional>

namespace vorsa {

class Autobooking;
class FieldDefinitions;
class IReporter;
class LookupQueries;
class clsSqlRs;
struct AutobookingSettings;
struct ServerSettings;
namespace db {
class Connection;
}

// A number seen within the repeat window.
struct clsLastNr {
    QString Anrufer;
    QDateTime AnrufZeit;
    QString Key() const { return Anrufer + QLatin1Char('K'); }
};

// The numbers seen within the repeat window, oldest call first. A call from
// a number seen within the window is a repeat and moves its window on.
// Each call costs about the same however many numbers are held.
class RepeatWindow {
public:
    // Forgets the numbers whose latest call is more than `windowSec` whole
    // seconds before `nowUtc`; then true when `number` is still held (its time
    // becomes `nowUtc`), else false (it is held from now on).
    bool repeat(const QString& number, const QDateTime& nowUtc, int windowSec);
    QList<clsLastNr> numbers() const;
    qsizetype size() const { return m_byNumber.size(); }
    void clear();

private:
    using Entries = std::list<clsLastNr>;
    // Keeps the entries in the order of their times.
    void place(Entries::iterator entry);

    Entries m_entries;
    QHash<QString, Entries::iterator> m_byNumber;
};

// What became of one incoming call.
struct CallResult {
    enum class Kind {
        Repeat,     // within the repeat window: nothing was reported
        Hidden,     // the number was withheld: reported as "Amt"
        NotANumber, // nothing to look up: reported as not identified
        NoDatabase, // the database could not be opened: reported as not identified
        NotFound,   // no record, or the search failed: reported as not identified
        Identified, // one record or more, one call each
    };
    Kind kind = Kind::Repeat;
    int records = 0;     // records found
    int reported = 0;    // calls handed on
    bool failed = false; // an error ended the handling (it was said)
    // Why the lookup failed, in part or whole (said); empty when it did not.
    QString lookupFailure;
};

// The road of one incoming call from the line to the calls it reports: the
// repeat window, the number as the lookup takes it, the lookup, the values
// and the icon of each reported call, and the booking of a ride. Every
// reported call is handed on as a value, in order; its owner lists, sends
// and journals it before the next one is made.
class CallPath {
public:
    using Report = std::function<void(const Call&)>;

    // All references must outlive the path; `settings` and `booking` are
    // read at each call.
    CallPath(IReporter& reporter, const ServerSettings& settings, const FieldDefinitions& fields,
             LookupQueries& queries, Autobooking& autobooking, const AutobookingSettings& booking,
             db::Connection& connection);

    // One call from the line (called: the own number dialled). Errors are
    // said as "[ISDNPhone_IncomingCall]" and end the handling at the failing
    // step; calls already handed on stay so.
    CallResult handle(const QString& called, const QString& calling, const QDateTime& now,
                      const QString& connectionString, const Report& report);

    QList<clsLastNr> recentCallers() const { return m_recent.numbers(); }
    void clearRecentCallers() { m_recent.clear(); }

    // The number the lookup searches for the digits of a calling number:
    // the outside-line rule ("0" drops the first digit, "N" puts a 0 in
    // front), then the own area code in front of a number without a leading 0.
    static QString lookupNumber(const QString& digits, const QString& amt,
                                const QString& eigeneVorwahl);

private:
    void set(Call& call, const QString& field, const QVariant& value) const;
    void copyCurrentRecord(Call& call, const clsSqlRs& query) const;
    // The icon of an identified caller; none when the icon field gives no
    // icon number (said).
    std::optional<int> iconFor(const Call& call, int records) const;
    void notIdentified(Call call, const QString& calling, const QStringList& columns,
                       const Report& report, CallResult& result) const;

    IReporter& m_reporter;
    const ServerSettings& m_settings;
    const FieldDefinitions& m_fields;
    LookupQueries& m_queries;
    Autobooking& m_autobooking;
    const AutobookingSettings& m_booking;
    db::Connection& m_connection;
    RepeatWindow m_recent;
};

} // namespace vorsa
