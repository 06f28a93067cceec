#include "vbformat.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <optional>

namespace vorsa {

namespace {

// German separators, as a German desktop shows numbers.
constexpr QChar kDecimalPoint = u',';
constexpr QChar kThousands = u'.';

// The day a time without a date belongs to (day 0 of the date numbers).
const QDate kZeroDate(1899, 12, 30);

// A date and time as written, without a time zone.
struct WallClock {
    QDate date; // invalid for a time alone
    QTime time;
};
std::optional<WallClock> parseWallClock(const QString& text);

const char16_t* const kDayNames[] = {u"Montag",  u"Dienstag", u"Mittwoch", u"Donnerstag",
                                     u"Freitag", u"Samstag",  u"Sonntag"};
const char16_t* const kDayShort[] = {u"Mo", u"Di", u"Mi", u"Do", u"Fr", u"Sa", u"So"};
const char16_t* const kMonthNames[] = {u"Januar",    u"Februar", u"März",     u"April",
                                       u"Mai",       u"Juni",    u"Juli",     u"August",
                                       u"September", u"Oktober", u"November", u"Dezember"};
const char16_t* const kMonthShort[] = {u"Jan", u"Feb", u"Mär", u"Apr", u"Mai", u"Jun",
                                       u"Jul", u"Aug", u"Sep", u"Okt", u"Nov", u"Dez"};

QString twoDigits(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

// Splits a pattern at ";" outside quotes and escapes (positive;negative;zero).
QStringList sections(const QString& pattern)
{
    QStringList parts{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (!quoted && c == u'\\' && i + 1 < pattern.size()) {
            parts.last() += c;
            parts.last() += pattern.at(++i);
            continue;
        }
        if (c == u'"')
            quoted = !quoted;
        if (!quoted && c == u';') {
            parts.append(QString());
            continue;
        }
        parts.last() += c;
    }
    return parts;
}

// ---- dates ----

qsizetype runLength(const QString& p, qsizetype i)
{
    const QChar c = p.at(i).toLower();
    qsizetype n = 0;
    while (i + n < p.size() && p.at(i + n).toLower() == c)
        ++n;
    return n;
}

bool startsWithAt(const QString& p, qsizetype i, QStringView what)
{
    return QStringView(p).mid(i, what.size()).compare(what, Qt::CaseInsensitive) == 0;
}

// Works on the wall-clock date and time, so that formatting never asks the
// time-zone database (a journal reload formats a million of them).
QString formatDate(const QDate& date, const QTime& time, const QString& pattern)
{
    const bool twelveHours = pattern.contains(u"AM/PM", Qt::CaseInsensitive) ||
                             pattern.contains(u"A/P", Qt::CaseInsensitive);
    int hour = time.hour();
    if (twelveHours) {
        hour %= 12;
        if (hour == 0)
            hour = 12;
    }
    const bool pm = time.hour() >= 12;

    QString out;
    // 0: nothing special; 1: right after an hour; 2: after an hour and ":".
    int afterHour = 0;
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QChar c = pattern.at(i);
        const QChar lower = c.toLower();
        int next = 0;
        if (c == u'\\' && i + 1 < pattern.size()) {
            out += pattern.at(i + 1);
            i += 2;
        } else if (c == u'"') {
            const qsizetype close = pattern.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? pattern.size() : close;
            out += pattern.mid(i + 1, end - i - 1);
            i = end + 1;
        } else if (startsWithAt(pattern, i, u"AM/PM")) {
            const bool upper = c.isUpper();
            out += pm ? (upper ? u"PM" : u"pm") : (upper ? u"AM" : u"am");
            i += 5;
        } else if (startsWithAt(pattern, i, u"A/P")) {
            const bool upper = c.isUpper();
            out += pm ? (upper ? u"P" : u"p") : (upper ? u"A" : u"a");
            i += 3;
        } else if (lower == u'd') {
            const qsizetype n = std::min<qsizetype>(runLength(pattern, i), 4);
            const int weekday = date.dayOfWeek() - 1;
            if (n == 1)
                out += QString::number(date.day());
            else if (n == 2)
                out += twoDigits(date.day());
            else if (n == 3)
                out += QString::fromUtf16(kDayShort[weekday]);
            else
                out += QString::fromUtf16(kDayNames[weekday]);
            i += n;
        } else if (lower == u'm') {
            const qsizetype run = runLength(pattern, i);
            if (afterHour != 0 && run <= 2) {
                out += run == 1 ? QString::number(time.minute()) : twoDigits(time.minute());
                i += run;
            } else {
                const qsizetype n = std::min<qsizetype>(run, 4);
                const int month = date.month() - 1;
                if (n == 1)
                    out += QString::number(date.month());
                else if (n == 2)
                    out += twoDigits(date.month());
                else if (n == 3)
                    out += QString::fromUtf16(kMonthShort[month]);
                else
                    out += QString::fromUtf16(kMonthNames[month]);
                i += n;
            }
        } else if (lower == u'y') {
            const qsizetype run = runLength(pattern, i);
            if (run >= 4) {
                out += QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
                i += 4;
            } else if (run >= 2) {
                out += twoDigits(date.year() % 100);
                i += 2;
            } else {
                out += QString::number(date.dayOfYear());
                i += 1;
            }
        } else if (lower == u'h') {
            const qsizetype n = std::min<qsizetype>(runLength(pattern, i), 2);
            out += n == 1 ? QString::number(hour) : twoDigits(hour);
            i += n;
            next = 1;
        } else if (lower == u'n' || lower == u's') {
            const int v = lower == u'n' ? time.minute() : time.second();
            const qsizetype n = std::min<qsizetype>(runLength(pattern, i), 2);
            out += n == 1 ? QString::number(v) : twoDigits(v);
            i += n;
        } else {
            if (c == u':' && afterHour == 1)
                next = 2;
            out += c;
            ++i;
        }
        afterHour = next;
    }
    return out;
}

// ---- numbers ----

// A number as the formatter needs it: exact digits for whole numbers, else a double.
struct Number {
    bool isInteger = false;
    bool negative = false;
    quint64 magnitude = 0; // whole numbers
    double value = 0.0;    // fractions (absolute value)

    bool isZero() const { return isInteger ? magnitude == 0 : value == 0.0; }
    double asDouble() const { return isInteger ? static_cast<double>(magnitude) : value; }
};

Number integerNumber(qint64 v)
{
    Number n;
    n.isInteger = true;
    n.negative = v < 0;
    n.magnitude = n.negative ? (0 - static_cast<quint64>(v)) : static_cast<quint64>(v);
    return n;
}

Number doubleNumber(double v)
{
    Number n;
    n.negative = v < 0;
    n.value = std::fabs(v);
    return n;
}

// The digits of a value rounded half away from zero to fracDigits decimals,
// from the 15 significant digits that a double holds, so that 2.675 with two
// decimals gives 2.68 as it reads, not 2.67 as it is stored.
void splitDigits(double v, int fracDigits, QString& whole, QString& fraction)
{
    whole.clear();
    fraction = QString(fracDigits, u'0');
    if (v == 0.0 || !std::isfinite(v))
        return;
    const QString e = QString::number(v, 'e', 14);
    const qsizetype ePos = e.indexOf(u'e');
    QString digits = e.left(1) + e.mid(2, ePos - 2);
    qsizetype point = e.mid(ePos + 1).toInt() + 1;
    if (point <= 0) {
        digits.prepend(QString(-point, u'0'));
        point = 0;
    }
    if (point > digits.size())
        digits.append(QString(point - digits.size(), u'0'));
    const qsizetype keep = point + fracDigits;
    if (keep < digits.size()) {
        const bool up = digits.at(keep) >= u'5';
        digits.truncate(keep);
        if (up) {
            qsizetype k = digits.size() - 1;
            while (k >= 0 && digits.at(k) == u'9') {
                digits[k] = u'0';
                --k;
            }
            if (k >= 0) {
                digits[k] = QChar(digits.at(k).unicode() + 1);
            } else {
                digits.prepend(u'1');
                ++point;
            }
        }
    } else {
        digits.append(QString(keep - digits.size(), u'0'));
    }
    whole = digits.left(point);
    fraction = digits.mid(point);
    while (whole.startsWith(u'0'))
        whole.remove(0, 1);
}

struct NumberItem {
    enum Kind { Zero, Hash, Literal };
    Kind kind;
    QString text;
};

struct NumberPattern {
    QList<NumberItem> whole;    // before the decimal point
    QList<NumberItem> fraction; // after it
    bool hasPoint = false;
    bool grouping = false;
    int scaleThousands = 0; // "," right before the point: divide by 1000 each
    bool percent = false;

    int placeholders(const QList<NumberItem>& items, bool zerosOnly) const
    {
        int n = 0;
        for (const NumberItem& it : items) {
            if (it.kind == NumberItem::Zero || (!zerosOnly && it.kind == NumberItem::Hash))
                ++n;
        }
        return n;
    }
};

NumberPattern parseNumberPattern(const QString& p)
{
    NumberPattern np;
    QList<qsizetype> commas; // positions in np.whole where a "," stood
    auto literal = [&np](const QString& text) {
        (np.hasPoint ? np.fraction : np.whole).append({NumberItem::Literal, text});
    };
    for (qsizetype i = 0; i < p.size(); ++i) {
        const QChar c = p.at(i);
        if (c == u'\\' && i + 1 < p.size()) {
            literal(p.at(++i));
        } else if (c == u'"') {
            const qsizetype close = p.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? p.size() : close;
            literal(p.mid(i + 1, end - i - 1));
            i = end;
        } else if (c == u'0' || c == u'#') {
            (np.hasPoint ? np.fraction : np.whole)
                .append({c == u'0' ? NumberItem::Zero : NumberItem::Hash, QString()});
        } else if (c == u'.' && !np.hasPoint) {
            np.hasPoint = true;
        } else if (c == u',') {
            if (!np.hasPoint)
                commas.append(np.whole.size());
        } else {
            if (c == u'%')
                np.percent = true;
            literal(c);
        }
    }
    // A "," between digit places groups thousands; a "," after the last digit
    // place of the whole part divides by 1000.
    for (const qsizetype at : commas) {
        bool before = false;
        bool after = false;
        for (qsizetype k = 0; k < np.whole.size(); ++k) {
            if (np.whole.at(k).kind == NumberItem::Literal)
                continue;
            (k < at ? before : after) = true;
        }
        if (before && after)
            np.grouping = true;
        else if (before)
            ++np.scaleThousands;
    }
    return np;
}

// One section applied to a value; signed: write a leading "-" for a negative value.
QString formatNumberSection(const Number& number, const QString& section, bool withSign)
{
    const NumberPattern np = parseNumberPattern(section);
    const int fracMax = np.placeholders(np.fraction, false);
    const int fracMin = np.placeholders(np.fraction, true);
    const int wholeMin = np.placeholders(np.whole, true);

    QString whole;
    QString fraction;
    if (number.isInteger && !np.percent && np.scaleThousands == 0) {
        whole = number.magnitude == 0 ? QString() : QString::number(number.magnitude);
        fraction = QString(fracMax, u'0');
    } else {
        double v = number.asDouble();
        if (np.percent)
            v *= 100.0;
        for (int k = 0; k < np.scaleThousands; ++k)
            v /= 1000.0;
        splitDigits(v, fracMax, whole, fraction);
    }
    const bool roundsToZero = whole.isEmpty() && std::all_of(fraction.cbegin(), fraction.cend(),
                                                             [](QChar c) { return c == u'0'; });
    while (fraction.size() > fracMin && fraction.endsWith(u'0'))
        fraction.chop(1);
    if (whole.size() < wholeMin)
        whole.prepend(QString(wholeMin - whole.size(), u'0'));

    // The whole part is filled from the right; the leftmost digit place takes
    // all digits that are left.
    qsizetype leftmost = -1;
    for (qsizetype k = 0; k < np.whole.size(); ++k) {
        if (np.whole.at(k).kind != NumberItem::Literal) {
            leftmost = k;
            break;
        }
    }
    QString out;
    qsizetype placed = 0; // digits placed, counted from the right
    auto placeDigit = [&]() {
        if (np.grouping && placed > 0 && placed % 3 == 0)
            out.prepend(kThousands);
        out.prepend(whole.at(whole.size() - 1 - placed));
        ++placed;
    };
    for (qsizetype k = np.whole.size() - 1; k >= 0; --k) {
        const NumberItem& it = np.whole.at(k);
        if (it.kind == NumberItem::Literal) {
            out.prepend(it.text);
        } else if (k == leftmost) {
            while (placed < whole.size())
                placeDigit();
        } else if (placed < whole.size()) {
            placeDigit();
        }
    }
    if (leftmost < 0)
        out += whole; // no digit place before the point: the whole part still shows
    if (np.hasPoint)
        out += kDecimalPoint;
    qsizetype next = 0;
    for (const NumberItem& it : np.fraction) {
        if (it.kind == NumberItem::Literal)
            out += it.text;
        else if (next < fraction.size())
            out += fraction.at(next++);
    }
    if (withSign && number.negative && !roundsToZero)
        out.prepend(u'-');
    return out;
}

QString formatNumber(const Number& number, const QString& pattern)
{
    const QStringList parts = sections(pattern);
    if (number.isZero() && parts.size() >= 3 && !parts.at(2).isEmpty())
        return formatNumberSection(number, parts.at(2), false);
    if (number.negative && parts.size() >= 2 && !parts.at(1).isEmpty())
        return formatNumberSection(number, parts.at(1), false);
    return formatNumberSection(number, parts.at(0), true);
}

// ---- values ----

enum class Kind { Date, Number, Text };

struct Classified {
    Kind kind = Kind::Text;
    QDate date;
    QTime time;
    Number number;
};

std::optional<Number> numberFromText(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    // Whole numbers first, so that long numbers keep every digit.
    const qint64 whole = t.toLongLong(&ok);
    if (ok)
        return integerNumber(whole);
    double v = QLocale(QLocale::German).toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return doubleNumber(v);
}

Classified classify(const QVariant& value)
{
    Classified c;
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        c.kind = Kind::Date;
        {
            const QDateTime dt = value.toDateTime();
            c.date = dt.date();
            c.time = dt.time();
        }
        return c;
    case QMetaType::QDate:
        c.kind = Kind::Date;
        c.date = value.toDate();
        c.time = QTime(0, 0);
        return c;
    case QMetaType::QTime:
        c.kind = Kind::Date;
        c.date = kZeroDate;
        c.time = value.toTime();
        return c;
    case QMetaType::Bool:
        c.kind = Kind::Number;
        c.number = integerNumber(value.toBool() ? -1 : 0);
        return c;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        c.kind = Kind::Number;
        c.number = integerNumber(value.toLongLong());
        return c;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        c.kind = Kind::Number;
        c.number.isInteger = true;
        c.number.magnitude = value.toULongLong();
        return c;
    case QMetaType::Double:
    case QMetaType::Float:
        c.kind = Kind::Number;
        c.number = doubleNumber(value.toDouble());
        return c;
    default:
        break;
    }
    const QString text = value.toString();
    const auto parsed = parseWallClock(text);
    if (parsed && parsed->date.isValid()) {
        c.kind = Kind::Date;
        c.date = parsed->date;
        c.time = parsed->time;
    } else if (parsed) {
        c.kind = Kind::Date;
        c.date = kZeroDate;
        c.time = parsed->time;
    } else if (const std::optional<Number> n = numberFromText(text)) {
        c.kind = Kind::Number;
        c.number = *n;
    }
    return c;
}

// The named formats of the runtime, with German settings.
struct Named {
    QString datePattern;   // empty: not for dates
    QString numberPattern; // empty: not for numbers
    QString yes, no;       // the two words of a yes/no format
};

const QHash<QString, Named>& namedFormats()
{
    static const QHash<QString, Named> formats = {
        {QStringLiteral("long date"), {QStringLiteral("dddd, d. mmmm yyyy"), {}, {}, {}}},
        {QStringLiteral("medium date"), {QStringLiteral("dd. mmm yy"), {}, {}, {}}},
        {QStringLiteral("short date"), {QStringLiteral("dd.mm.yyyy"), {}, {}, {}}},
        {QStringLiteral("long time"), {QStringLiteral("hh:nn:ss"), {}, {}, {}}},
        {QStringLiteral("medium time"), {QStringLiteral("hh:nn AM/PM"), {}, {}, {}}},
        {QStringLiteral("short time"), {QStringLiteral("hh:nn"), {}, {}, {}}},
        {QStringLiteral("currency"), {{}, QStringLiteral("#,##0.00 €"), {}, {}}},
        {QStringLiteral("fixed"), {{}, QStringLiteral("0.00"), {}, {}}},
        {QStringLiteral("standard"), {{}, QStringLiteral("#,##0.00"), {}, {}}},
        {QStringLiteral("percent"), {{}, QStringLiteral("0.00%"), {}, {}}},
        {QStringLiteral("yes/no"), {{}, {}, QStringLiteral("Ja"), QStringLiteral("Nein")}},
        {QStringLiteral("true/false"), {{}, {}, QStringLiteral("Wahr"), QStringLiteral("Falsch")}},
        {QStringLiteral("on/off"), {{}, {}, QStringLiteral("Ein"), QStringLiteral("Aus")}},
    };
    return formats;
}

std::optional<WallClock> buildDateTime(int year, int month, int day, int hour, int minute,
                                       int second, int msec)
{
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, msec);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return WallClock{date, time};
}

int twoDigitYear(int yy)
{
    return yy < 30 ? 2000 + yy : 1900 + yy;
}

} // namespace

QString vbFormat(const QVariant& value, const QString& pattern)
{
    if (value.isNull())
        return QString();
    if (pattern.isEmpty())
        return vbText(value);
    const Classified c = classify(value);
    if (c.kind == Kind::Text)
        return value.toString();

    const QString name = pattern.trimmed().toLower();
    const auto named = namedFormats().constFind(name);
    const bool isNamed = named != namedFormats().constEnd();

    if (c.kind == Kind::Date) {
        if (name == u"general date")
            return vbText(QDateTime(c.date, c.time));
        const QString p = isNamed && !named->datePattern.isEmpty() ? named->datePattern : pattern;
        return formatDate(c.date, c.time, sections(p).constFirst());
    }
    if (name == u"general number")
        return vbText(c.number.isInteger
                          ? QVariant(c.number.negative ? -static_cast<qint64>(c.number.magnitude)
                                                       : static_cast<qint64>(c.number.magnitude))
                          : QVariant(c.number.negative ? -c.number.value : c.number.value));
    if (isNamed && !named->yes.isEmpty())
        return c.number.isZero() ? named->no : named->yes;
    const QString p = isNamed && !named->numberPattern.isEmpty() ? named->numberPattern : pattern;
    return formatNumber(c.number, p);
}

QString vbText(const QVariant& value)
{
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (dt.time() == QTime(0, 0))
            return dt.toString(QStringLiteral("dd.MM.yyyy"));
        return dt.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    }
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("Wahr") : QStringLiteral("Falsch");
    case QMetaType::Double:
    case QMetaType::Float: {
        // Fifteen significant digits, as the runtime prints a double: 0.1 + 0.2
        // shows 0,3.
        const double v = value.toDouble();
        if (v == 0.0)
            return QStringLiteral("0"); // also for -0
        QString text = QString::number(v, 'g', 15);
        text.replace(u'.', kDecimalPoint);
        text.replace(u'e', u'E');
        return text;
    }
    default:
        return value.toString();
    }
}

QVariant parseDateTimeText(const QString& text)
{
    const auto parts = parseWallClock(text);
    if (!parts)
        return QVariant();
    if (!parts->date.isValid())
        return parts->time;
    return QDateTime(parts->date, parts->time);
}

namespace {
std::optional<WallClock> parseWallClock(const QString& text)
{
    const QString t = text.trimmed();
    // dd.mm.yyyy or dd.mm.yy, with an optional time hh:mm or hh:mm:ss
    static const QRegularExpression german(QStringLiteral(
        R"(^(\d{1,2})\.(\d{1,2})\.(\d{4}|\d{2})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2}))?)?$)"));
    // yyyy-mm-dd or yyyy/mm/dd, with an optional time after "T" or blanks
    static const QRegularExpression iso(QStringLiteral(
        R"(^(\d{4})[-/](\d{1,2})[-/](\d{1,2})(?:(?:T|\s+)(\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,3})\d*)?)?)?$)"));
    static const QRegularExpression timeOnly(QStringLiteral(R"(^(\d{1,2}):(\d{2})(?::(\d{2}))?$)"));

    auto number = [](const QRegularExpressionMatch& m, int group) {
        return m.captured(group).isEmpty() ? 0 : m.captured(group).toInt();
    };
    if (const QRegularExpressionMatch m = german.match(t); m.hasMatch()) {
        int year = number(m, 3);
        if (m.captured(3).size() == 2)
            year = twoDigitYear(year);
        if (const auto dt = buildDateTime(year, number(m, 2), number(m, 1), number(m, 4),
                                          number(m, 5), number(m, 6), 0))
            return dt;
        return std::nullopt;
    }
    if (const QRegularExpressionMatch m = iso.match(t); m.hasMatch()) {
        const QString ms = m.captured(7);
        const int msec = ms.isEmpty() ? 0 : (ms + QStringLiteral("00")).left(3).toInt();
        if (const auto dt = buildDateTime(number(m, 1), number(m, 2), number(m, 3), number(m, 4),
                                          number(m, 5), number(m, 6), msec))
            return dt;
        return std::nullopt;
    }
    if (const QRegularExpressionMatch m = timeOnly.match(t); m.hasMatch()) {
        const QTime time(number(m, 1), number(m, 2), number(m, 3));
        if (time.isValid())
            return WallClock{QDate(), time};
    }
    return std::nullopt;
}
} // namespace

} // namespace vorsa
