#include "journalreload.h"

#include "calllog.h"
#include "convert.h"
#include "fielddefinitions.h"
#include "reporter.h"
#include "wire/notification.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>

namespace vorsa {

namespace {
// How long the reload works between two turns of the event loop.
constexpr int kSliceMs = 50;
// How much of the call log the reload of every entry reads at a time.
constexpr qint64 kReadBytes = 1024 * 1024;

// Lets pending events run every kSliceMs while the reload goes on.
class EventPoints {
public:
    explicit EventPoints(const JournalReload::Superseded& superseded) : m_superseded(superseded)
    {
        m_timer.start();
    }
    // True when events ran and the reload was superseded meanwhile.
    bool superseded()
    {
        if (m_timer.elapsed() < kSliceMs)
            return false;
        QCoreApplication::processEvents();
        m_timer.restart();
        return m_superseded && m_superseded();
    }

private:
    const JournalReload::Superseded& m_superseded;
    QElapsedTimer m_timer;
};

bool isIconNumber(QStringView value)
{
    return ignoringErrors([&] { toInt16(value.toString()); });
}

// Marks the keys of a line that set a value when the line is shown: "Icon"
// (at the position of the field count) and the fields it names, up to an
// "Icon" that is not a number, where showing the entry ends (false then).
bool markNamed(QStringView line, const FieldDefinitions& fields, std::vector<bool>& named)
{
    const size_t iconKey = size_t(fields.size());
    bool ended = false;
    wire::forEachElement(line, [&](const wire::Element& e) {
        if (ended || !e.hasValue)
            return;
        if (e.key == wire::IconKey) {
            if (!isIconNumber(e.value)) {
                ended = true;
                return;
            }
            named[iconKey] = true;
        } else if (const int i = fields.indexOf(e.key); i >= 0) {
            named[size_t(i)] = true;
        }
    });
    return !ended;
}

// The rows an entry gives: one per line, up to a line whose "Icon" is not a
// number, which ends the entry.
qsizetype entryRows(const QString& message)
{
    qsizetype rows = 0;
    for (const QStringView line : QStringView(message).split(QLatin1Char('\r'))) {
        bool faulty = false;
        wire::forEachElement(line, [&](const wire::Element& e) {
            if (!faulty && e.hasValue && e.key == wire::IconKey)
                faulty = !isIconNumber(e.value);
        });
        if (faulty)
            break;
        ++rows;
    }
    return rows;
}
} // namespace

JournalReload::JournalReload(const CallLog& log, const FieldDefinitions& fields,
                             IReporter& reporter)
    : m_log(log), m_fields(fields), m_reporter(reporter)
{
}

std::optional<QStringList> JournalReload::entries(const QString& filter, int limit,
                                                  const Superseded& superseded) const
{
    if (limit > 0)
        return newestEntries(filter, limit, superseded);
    EventPoints events(superseded);
    const qint64 end = m_log.journalEnd();
    QStringList messages;
    for (qint64 offset = 0; offset < end;) {
        const qint64 from = offset;
        offset = m_log.readJournalPart(filter, offset, end, kReadBytes,
                                       [&](const QString& m) { messages << m; });
        if (offset == from)
            break; // the log got shorter meanwhile
        if (events.superseded())
            return std::nullopt;
    }
    return messages;
}

std::optional<QStringList> JournalReload::newestEntries(const QString& filter, int limit,
                                                        const Superseded& superseded) const
{
    EventPoints events(superseded);
    bool stopped = false;
    // The entries of the newest rows, then as many before them as decide the
    // values the oldest shown line does not name itself (normally none: every
    // entry names every field), but no more than LookbackEntries.
    QStringList newestFirst;
    qsizetype rows = 0;
    std::vector<bool> decided;
    int lookback = 0;
    m_log.readJournalBackward(filter, m_log.journalEnd(), [&](const QString& m) {
        if (events.superseded()) {
            stopped = true;
            return false;
        }
        newestFirst << m;
        if (rows < limit) {
            rows += entryRows(m);
            if (rows < limit)
                return true;
            // The oldest line that gives a row: what it does not set comes
            // from the entries before it.
            decided.assign(size_t(m_fields.size()) + 1, false);
            markNamed(QStringView(m).split(QLatin1Char('\r')).front(), m_fields, decided);
        } else {
            ++lookback;
            for (const QStringView line : QStringView(m).split(QLatin1Char('\r'))) {
                if (!markNamed(line, m_fields, decided))
                    break;
            }
        }
        return lookback < LookbackEntries &&
               std::find(decided.begin(), decided.end(), false) != decided.end();
    });
    if (stopped)
        return std::nullopt;
    QStringList messages;
    messages.reserve(newestFirst.size());
    for (auto it = newestFirst.crbegin(); it != newestFirst.crend(); ++it)
        messages << *it;
    return messages;
}

void JournalReload::appendRows(const QString& text, Call& state, const CallListModel& list,
                               int iconCount, std::vector<CallListModel::Row>& rows) const
{
    guarded(m_reporter, QStringLiteral("EigeneDatenAnzeigen"), [&] {
        for (const QStringView line : QStringView(text).split(QLatin1Char('\r'))) {
            wire::applyLine(line, m_fields, state);
            rows.push_back(list.rowOf(m_fields, state, iconCount));
        }
    });
}

std::optional<std::vector<CallListModel::Row>>
JournalReload::rows(const QStringList& entries, Call& state, const CallListModel& list,
                    int iconCount, const Superseded& superseded) const
{
    EventPoints events(superseded);
    std::vector<CallListModel::Row> rows;
    for (const QString& message : entries) {
        appendRows(message, state, list, iconCount, rows);
        if (events.superseded())
            return std::nullopt;
    }
    return rows;
}

} // namespace vorsa
