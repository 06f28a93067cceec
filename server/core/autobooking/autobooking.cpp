#include "autobooking.h"

#include "convert.h"
#include "db/connection.h"
#include "db/recordset.h"
#include "ini.h"
#include "lookup/clssqlrs.h"
#include "reporter.h"
#include "vberror.h"
#include "vbformat.h"

namespace vorsa {

namespace {
const QString Section = QStringLiteral("Autobooking");
const QString Marker = QStringLiteral("?");
const QString RideStatement = QStringLiteral("SELECT * FROM TFvFahrten WHERE FaUnID=0");
constexpr int RideMinutes = 20;

// A yes/no value of the found record: booleans, numbers (non-zero is yes) and
// the texts "True"/"False" or numbers; null is no.
bool isYes(const QVariant& value)
{
    if (value.isNull())
        return false;
    if (db::isIntegerType(value.metaType()))
        return value.toLongLong() != 0;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble() != 0.0;
    default:
        return toStrictBoolean(value.toString());
    }
}

// A part of a joined address text: null counts as empty text.
QString part(const QVariant& value)
{
    return value.isNull() ? QString() : vbText(value);
}
} // namespace

AutobookingSettings EinlesenAutobooking(const QString& iniFile)
{
    AutobookingSettings settings;
    const qint32 aktiv =
        toLong(IniLesen(Section, QStringLiteral("Aktiv"), iniFile, QStringLiteral("9")));
    if (aktiv == 1) {
        settings.aktiv = true;
    } else if (aktiv != 0) {
        settings.aktiv = false;
        IniSchreiben(Section, QStringLiteral("Aktiv"), iniFile, QStringLiteral("0"));
    }

    settings.msn = IniLesen(Section, QStringLiteral("MSN"), iniFile, Marker);
    if (settings.msn == Marker) {
        settings.msn.clear();
        IniSchreiben(Section, QStringLiteral("MSN"), iniFile, QString());
    }

    settings.auftragsTyp = IniLesen(Section, QStringLiteral("AuftragsTyp"), iniFile, Marker);
    if (settings.auftragsTyp == Marker) {
        settings.auftragsTyp = QStringLiteral("A");
        IniSchreiben(Section, QStringLiteral("AuftragsTyp"), iniFile, settings.auftragsTyp);
    }
    return settings;
}

QString bookingDateText(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy/MM/dd"));
}

QString bookingTimeText(const QTime& time)
{
    return time.toString(QStringLiteral("hh:mm:ss")).left(5);
}

QString addMinutesToTimeText(const QString& hhmm, int minutes, QDate& date)
{
    if (hhmm.size() != 5)
        return hhmm;
    const qint32 total = toLong(hhmm.left(2)) * 60 + toLong(hhmm.mid(3, 2)) + minutes;
    int hours = total / 60;
    const int rest = total % 60;
    while (hours >= 24) {
        hours -= 24;
        date = date.addDays(1);
    }
    return QStringLiteral("%1:%2")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(rest, 2, 10, QLatin1Char('0'));
}

Autobooking::Autobooking(IReporter& reporter, Clock clock)
    : m_reporter(reporter), m_clock(clock ? std::move(clock) : systemClock())
{
}

void Autobooking::AutobookingFahrtAnlegen(clsSqlRs& query, db::Connection& mainConnection,
                                          const QString& connectionString,
                                          const AutobookingSettings& settings)
{
    const bool done = guarded(m_reporter, QStringLiteral("AutobookingFahrtAnlegen"), [&] {
        if (!settings.aktiv)
            return;
        const db::Recordset& found = query.Rs;
        if (!isYes(found.value(QStringLiteral("KdKzAutoBooking"))))
            return;

        if (!mainConnection.isOpen() || !mainConnection.isCurrent())
            mainConnection.open(connectionString, QString(), QString());

        db::Recordset ride;
        ride.open(RideStatement, mainConnection, db::CursorType::Static, db::LockType::Optimistic);

        const QDateTime booked = m_clock();
        const QString date = bookingDateText(booked.date());
        const QString time = bookingTimeText(booked.time());
        const QDateTime taken = m_clock();
        QDate endDate = booked.date();
        const QString endTime = addMinutesToTimeText(time, RideMinutes, endDate);

        const auto field = [&](const char* name) { return found.value(QLatin1String(name)); };
        const QVariant street = field("StStrasse");
        const QVariant houseNumber = field("KdHausNr");
        const QVariant town = field("OrOrt");
        const QString address = part(field("KdName")) + QStringLiteral(", ") + part(street) +
                                QStringLiteral(" ") + part(houseNumber) + QStringLiteral(", ") +
                                part(town);
        const QString from = part(street) + QStringLiteral(", ") + part(town);

        ride.addNew();
        ride.setValue(QStringLiteral("Sperre"), false);
        ride.setValue(QStringLiteral("MandNr"), 1);
        ride.setValue(QStringLiteral("FaAbgegeben"), false);
        ride.setValue(QStringLiteral("FaKfzNr"), 0);
        ride.setValue(QStringLiteral("FaDatum"), date);
        ride.setValue(QStringLiteral("FaUhrzeit"), time);
        ride.setValue(QStringLiteral("FaWeDatum"), date);
        ride.setValue(QStringLiteral("FaWeUhrzeit"), time);
        ride.setValue(QStringLiteral("FaAnnahmeDatum"), bookingDateText(taken.date()));
        ride.setValue(QStringLiteral("FaAnnahmeUhrzeit"), bookingTimeText(taken.time()));
        ride.setValue(QStringLiteral("FaUhrzeitEnde"), endTime);
        ride.setValue(QStringLiteral("FaDatumEnde"), bookingDateText(endDate));
        ride.setValue(QStringLiteral("FaArt"), settings.auftragsTyp);
        ride.setValue(QStringLiteral("FaVorlauf"), 0);
        ride.setValue(QStringLiteral("FaKdSuch"), field("KdSuch"));
        ride.setValue(QStringLiteral("FaKdUnID"), field("KdUnID"));
        ride.setValue(QStringLiteral("FaKdAnrede"), QString(""));
        ride.setValue(QStringLiteral("FaKdAdresse"), address);
        ride.setValue(QStringLiteral("FaKdTelefon"), field("Nr"));
        ride.setValue(QStringLiteral("FaVonStr"), from);
        ride.setValue(QStringLiteral("FaZuStr"), QString(""));
        ride.setValue(QStringLiteral("FaVonStrUnID"), field("StUnID"));
        ride.setValue(QStringLiteral("FaZuStrUnID"), 0);
        ride.setValue(QStringLiteral("FaVonHausNr"), houseNumber);
        ride.setValue(QStringLiteral("FaZuHausNr"), QString(""));
        ride.setValue(QStringLiteral("FaInfo"), field("KdFaInfo"));
        ride.setValue(QStringLiteral("FaStSchl"), 2);
        ride.setValue(QStringLiteral("FaBerechnung"), QStringLiteral("B"));
        ride.setValue(QStringLiteral("FaSbAnnahme"), QStringLiteral("Autobooking"));
        ride.update();
        ride.close();
    });
    // After a failure the connection is closed, so that the next lookup
    // starts from a fresh one.
    if (!done)
        ignoringErrors([&] { mainConnection.close(); });
}

} // namespace vorsa
