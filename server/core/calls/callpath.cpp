#include "callpath.h"

#include "autobooking/autobooking.h"
#include "convert.h"
#include "fielddefinitions.h"
#include "lookup/callingnumber.h"
#include "lookup/lookupqueries.h"
#include "memory.h"
#include "reporter.h"
#include "serversettings.h"
#include "vberror.h"
#include "wire/protocol.h"

#include <limits>

namespace vorsa {

namespace {
const QString kNotFound = QStringLiteral("***");

// Whole seconds from a to b, counted as second boundaries crossed.
qint64 wholeSecondsBetween(const QDateTime& a, const QDateTime& b)
{
    return b.toSecsSinceEpoch() - a.toSecsSinceEpoch();
}
} // namespace

bool RepeatWindow::repeat(const QString& number, const QDateTime& nowUtc, int windowSec)
{
    // The entries are in the order of their times, so the expired ones are
    // the oldest.
    while (!m_entries.empty() &&
           wholeSecondsBetween(m_entries.front().AnrufZeit, nowUtc) > windowSec) {
        m_byNumber.remove(m_entries.front().Anrufer);
        m_entries.pop_front();
    }
    // After a burst of calls has left the window, what held them goes back
    // to the system.
    if (m_byNumber.capacity() >= 4096 && m_byNumber.size() * 8 < m_byNumber.capacity()) {
        m_byNumber.squeeze();
        returnFreedMemory();
    }
    const auto held = m_byNumber.constFind(number);
    if (held != m_byNumber.cend()) {
        held.value()->AnrufZeit = nowUtc;
        place(held.value());
        return true;
    }
    m_entries.push_back({number, nowUtc});
    auto entry = std::prev(m_entries.end());
    m_byNumber.insert(number, entry);
    place(entry);
    return false;
}

void RepeatWindow::place(Entries::iterator entry)
{
    // Behind the last entry whose time is not later: normally the end, a
    // clock set back puts it further to the front.
    auto position = m_entries.begin();
    for (auto it = m_entries.end(); it != m_entries.begin();) {
        --it;
        if (it == entry)
            continue;
        if (it->AnrufZeit <= entry->AnrufZeit) {
            position = std::next(it);
            break;
        }
    }
    m_entries.splice(position, m_entries, entry); // no move when it is there
}

QList<clsLastNr> RepeatWindow::numbers() const
{
    return QList<clsLastNr>(m_entries.cbegin(), m_entries.cend());
}

void RepeatWindow::clear()
{
    m_byNumber.clear();
    m_entries.clear();
}

CallPath::CallPath(IReporter& reporter, const ServerSettings& settings,
                   const FieldDefinitions& fields, LookupQueries& queries, Autobooking& autobooking,
                   const AutobookingSettings& booking, db::Connection& connection)
    : m_reporter(reporter), m_settings(settings), m_fields(fields), m_queries(queries),
      m_autobooking(autobooking), m_booking(booking), m_connection(connection)
{
}

QString CallPath::lookupNumber(const QString& digits, const QString& amt,
                               const QString& eigeneVorwahl)
{
    QString number = digits;
    if (amt == QLatin1String("0"))
        number = number.mid(1);
    else if (amt == QLatin1String("N"))
        number.prepend(QLatin1Char('0'));
    if (!number.startsWith(QLatin1Char('0')))
        number.prepend(eigeneVorwahl);
    return number;
}

void CallPath::set(Call& call, const QString& field, const QVariant& value) const
{
    const int i = m_fields.indexOf(field);
    if (i < 0 || i >= call.values.size())
        throw VbError::itemNotFound(field);
    call.values[i] = value;
}

void CallPath::copyCurrentRecord(Call& call, const clsSqlRs& query) const
{
    for (int i = 0; i < query.Rs.fieldCount(); ++i)
        set(call, query.Rs.fieldName(i), query.Rs.value(i));
}

std::optional<int> CallPath::iconFor(const Call& call, int records) const
{
    // An icon field value that gives no icon number (empty, not a number, or
    // a sum beyond 16 bits) is said; the caller then goes out as one that
    // could not be identified.
    int icon = Call::NotIdentifiedIcon;
    const bool chosen = guarded(m_reporter, QStringLiteral("ISDNPhone_IncomingCall"), [&] {
        if (records >= 2 && m_settings.beiDoppelFragezeichen) {
            icon = 2;
        } else if (const QString& iconField = m_queries.iconField(); !iconField.isEmpty()) {
            if (m_fields.indexOf(iconField) < 0)
                throw VbError::itemNotFound(iconField);
            const int sum = toInt16(m_fields.value(call, iconField)) + 4;
            if (sum > std::numeric_limits<qint16>::max())
                throw VbError::overflow();
            icon = sum;
        } else {
            icon = 1;
        }
    });
    if (!chosen)
        return std::nullopt;
    return icon;
}

void CallPath::notIdentified(Call call, const QString& calling, const QStringList& columns,
                             const Report& report, CallResult& result) const
{
    set(call, QStringLiteral("Anrufer"), calling);
    set(call, QStringLiteral("Versuche"), 0);
    for (const QString& column : columns)
        set(call, column, kNotFound);
    call.icon = Call::NotIdentifiedIcon;
    ++result.reported;
    report(call);
}

CallResult CallPath::handle(const QString& called, const QString& calling, const QDateTime& now,
                            const QString& connectionString, const Report& report)
{
    CallResult result;
    result.failed = !guarded(m_reporter, QStringLiteral("ISDNPhone_IncomingCall"), [&] {
        // The repeat window: forget numbers older than it, drop repeats within it.
        // The times are kept in UTC, so comparing them needs no time-zone work.
        if (m_recent.repeat(calling, now.toUTC(), m_settings.dateDiffSec)) {
            result.kind = CallResult::Kind::Repeat;
            return;
        }

        m_queries.resetCounts();
        Call call = m_fields.emptyCall();
        set(call, QStringLiteral("Datum"), QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch()));

        if (calling == wire::Hidden) {
            result.kind = CallResult::Kind::Hidden;
            set(call, QStringLiteral("Anrufer"), QStringLiteral("Amt"));
            set(call, QStringLiteral("Versuche"), 0);
            call.icon = Call::NotIdentifiedIcon;
            ++result.reported;
            report(call);
            return;
        }

        // The caller's text never acts as a pattern: a number that is not
        // digits identifies nobody and goes out without a lookup.
        const QString digits = callingnumber::lookupDigits(calling);
        if (digits.isEmpty()) {
            result.kind = CallResult::Kind::NotANumber;
            notIdentified(call, calling, m_queries.notFoundColumns(), report, result);
            return;
        }
        const QString number = lookupNumber(digits, m_settings.amt, m_settings.eigeneVorwahl);

        clsSqlRs* query =
            m_queries.AnruferSuchen(number, m_connection, connectionString, m_settings.platzhalter);
        result.lookupFailure = m_queries.lastFailure();
        // No database (already said): the call still goes out and into the
        // journal, as one that could not be identified.
        if (!query) {
            result.kind = CallResult::Kind::NoDatabase;
            notIdentified(call, calling, m_queries.notFoundColumns(), report, result);
            return;
        }
        if (query->RecordCount <= 0) {
            // Nothing found, or the search failed (said): the columns of its
            // last result show "***".
            result.kind = CallResult::Kind::NotFound;
            notIdentified(call, calling, query->columnNames, report, result);
            return;
        }

        result.kind = CallResult::Kind::Identified;
        result.records = query->RecordCount;
        set(call, QStringLiteral("Anrufer"), calling);
        set(call, QStringLiteral("Versuche"), query->AnzahlVersuche);
        if (query->RecordCount == 1) {
            copyCurrentRecord(call, *query);
            const std::optional<int> icon = iconFor(call, 1);
            call.icon = icon.value_or(Call::NotIdentifiedIcon);
            // A caller without an icon is not identified: no ride for him.
            if (icon && (m_booking.msn.isEmpty() || m_booking.msn == called))
                m_autobooking.AutobookingFahrtAnlegen(*query, m_connection, connectionString,
                                                      m_booking);
            ++result.reported;
            report(call);
            return;
        }
        // Each candidate is a call of its own, in the order of the result.
        query->Rs.moveFirst();
        while (!query->Rs.eof()) {
            Call candidate = call;
            copyCurrentRecord(candidate, *query);
            candidate.icon =
                iconFor(candidate, query->RecordCount).value_or(Call::NotIdentifiedIcon);
            ++result.reported;
            report(candidate);
            query->Rs.moveNext();
        }
    });
    return result;
}

} // namespace vorsa
