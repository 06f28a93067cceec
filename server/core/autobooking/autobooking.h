#pragma once

#include "clock.h"

#include <QDate>
#include <QString>
#include <QTime>

namespace vorsa {

class IReporter;
class clsSqlRs;
namespace db {
class Connection;
}

// The section Autobooking, read once at start-up.
struct AutobookingSettings {
    bool aktiv = false;  // Aktiv: 1 on, 0 off, anything else off (written back as 0)
    QString msn;         // MSN: the own number whose calls are booked; empty: every number
    QString auftragsTyp; // AuftragsTyp: written into FaArt
};

// Reads and writes back the section Autobooking. A non-numeric Aktiv (empty
// included) throws VbError 13; there is no handler of its own.
AutobookingSettings EinlesenAutobooking(const QString& iniFile);

// Enters rides into TFvFahrten for callers marked for automatic booking.
class Autobooking {
public:
    Autobooking(IReporter& reporter, Clock clock);

    // Books one ride for the current record of `query` when autobooking is
    // active and the record's KdKzAutoBooking is true, on `mainConnection`
    // (opened when it is not open), which stays open for the next lookup.
    // Reports its own failure as "[AutobookingFahrtAnlegen]" (no ride is left
    // behind then) and closes `mainConnection` after it.
    void AutobookingFahrtAnlegen(clsSqlRs& query, db::Connection& mainConnection,
                                 const QString& connectionString,
                                 const AutobookingSettings& settings);

private:
    IReporter& m_reporter;
    Clock m_clock;
};

// The date texts of the ride table: yyyy/mm/dd and hh:mm.
QString bookingDateText(const QDate& date);
QString bookingTimeText(const QTime& time);
// Adds minutes to a time text hh:mm; when the hours pass 24, `date` advances by
// a day for each time. A text that is not exactly five characters comes back
// unchanged and leaves the date alone; non-numeric hours or minutes fail with 13.
QString addMinutesToTimeText(const QString& hhmm, int minutes, QDate& date);

} // namespace vorsa
