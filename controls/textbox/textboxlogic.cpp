#include "textboxlogic.h"

#include "convert.h"
#include "vberror.h"
#include "vbformat.h"

#include <QLocale>
#include <QStringList>
#include <cmath>

namespace orvo::textbox {

namespace {

// The numeric value of a text as the BASIC Val reads it (leading number, "."
// as decimal point, nothing readable: 0).
double val(const QString& text)
{
    try {
        return vorsa::leadingNumber(text);
    } catch (const vorsa::VbError&) {
        return 0.0;
    }
}

// Val rounded to a whole number (half to even); out of range: 0.
qint64 wholeVal(const QString& text)
{
    try {
        return vorsa::roundHalfEven(val(text));
    } catch (const vorsa::VbError&) {
        return 0;
    }
}

QString twoDigits(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

QString fourDigits(int v)
{
    return QStringLiteral("%1").arg(v, 4, 10, QLatin1Char('0'));
}

// 1-based Mid of the runtime.
QString mid(const QString& s, int start1, int length)
{
    return s.mid(start1 - 1, length);
}

int expandYear(int year)
{
    if (year < 30)
        return year + 2000;
    if (year < 100)
        return year + 1900;
    return year;
}

struct DatePart {
    int value = 0;
    int digits = 0;
};

std::optional<QDate> dateFrom(const DatePart& day, const DatePart& month, const DatePart& year)
{
    if (day.digits > 2 || month.digits > 2)
        return std::nullopt;
    int y = year.value;
    if (year.digits <= 2)
        y = expandYear(y);
    else if (y < 100)
        return std::nullopt;
    const QDate date(y, month.value, day.value);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

// The number formatting: value read as a German number (or, failing that, as
// a number with a decimal point), formatted with the pattern.
QString formatNumber(const QVariant& value, const QString& wholePattern, int nachkomma)
{
    QString text = NullWert(value, QStringLiteral("0")).toString();
    if (text.isEmpty())
        text = QStringLiteral("0");
    const QString trimmed = text.trimmed();
    bool ok = false;
    double number = QLocale(QLocale::German, QLocale::Germany).toDouble(trimmed, &ok);
    if (!ok)
        number = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(number))
        return text;
    QString pattern = wholePattern;
    if (nachkomma > 0)
        pattern += QLatin1Char('.') + QString(nachkomma, QLatin1Char('0'));
    return vorsa::vbFormat(number, pattern);
}

} // namespace

std::optional<QDate> systemDate(const QString& text)
{
    const QString t = text.trimmed();
    QList<DatePart> parts{DatePart{}};
    bool slashes = false;
    for (const QChar c : t) {
        if (c.isDigit() && c.unicode() < 128) {
            DatePart& p = parts.last();
            if (++p.digits > 4)
                return std::nullopt;
            p.value = p.value * 10 + (c.unicode() - '0');
        } else if (c == u'.' || c == u'/' || c == u'-') {
            if (parts.last().digits == 0 || parts.size() == 3)
                return std::nullopt;
            slashes = slashes || c == u'/';
            parts.append(DatePart{});
        } else {
            return std::nullopt;
        }
    }
    if (parts.size() != 3 || parts.last().digits == 0)
        return std::nullopt;
    if (const auto dmy = dateFrom(parts.at(0), parts.at(1), parts.at(2)))
        return dmy;
    // The storage form: a long year in front, or slashes.
    if (parts.at(0).digits < 3 && !slashes)
        return std::nullopt;
    return dateFrom(parts.at(2), parts.at(1), parts.at(0));
}

QString DatumErgaenzen(const QString& s, const QDate& today)
{
    const QString mm = twoDigits(today.month());
    const QString yyyy = fourDigits(today.year());
    switch (s.size()) {
    case 1:
        return QLatin1Char('0') + s + QLatin1Char('.') + mm + QLatin1Char('.') + yyyy;
    case 2:
        return s + QLatin1Char('.') + mm + QLatin1Char('.') + yyyy;
    case 3:
        return s + mm + QLatin1Char('.') + yyyy;
    case 4:
        return s.left(3) + QLatin1Char('0') + s.at(3) + QLatin1Char('.') + yyyy;
    case 5:
        return s + QLatin1Char('.') + yyyy;
    case 6:
        return s + yyyy;
    case 7: {
        const QString withDigit = s + today.toString(QStringLiteral("dd.MM.yyyy")).right(1);
        if (const auto date = systemDate(withDigit))
            return withDigit.left(6) + fourDigits(date->year());
        return withDigit;
    }
    case 8:
        if (const auto date = systemDate(s))
            return s.left(6) + fourDigits(date->year());
        return s;
    default:
        return s;
    }
}

bool DatumPruefen(const QString& s)
{
    qint64 year;
    if (s.size() == 8)
        year = wholeVal(mid(s, 7, 2));
    else if (s.size() == 10)
        year = wholeVal(mid(s, 7, 4));
    else
        return false;
    const qint64 day = wholeVal(mid(s, 1, 2));
    const qint64 month = wholeVal(mid(s, 4, 2));
    qint64 last;
    switch (month) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
        last = 31;
        break;
    case 4:
    case 6:
    case 9:
    case 11:
        last = 30;
        break;
    case 2:
        last = year % 4 == 0 ? 29 : 28;
        break;
    default:
        return false;
    }
    return day >= 1 && day <= last;
}

QString DatumAnzeige(const QString& value)
{
    if (value.size() < 8 || !systemDate(value))
        return QString();
    const bool longForm = value.size() == 10;
    const QString day = vorsa::vbFormat(value.right(2), QStringLiteral("00"));
    const QString month =
        vorsa::vbFormat(longForm ? mid(value, 6, 2) : mid(value, 4, 2), QStringLiteral("00"));
    qint64 year = wholeVal(longForm ? value.left(4) : value.left(2));
    if (year < 100)
        year += year < 30 ? 2000 : 1900;
    return day + QLatin1Char('.') + month + QLatin1Char('.') + QString::number(year);
}

QString DatumSpeicherform(const QString& text)
{
    if (text.size() <= 7)
        return QString();
    const auto date = systemDate(text);
    if (!date)
        return QString();
    return fourDigits(date->year()) + QLatin1Char('/') + twoDigits(date->month()) +
           QLatin1Char('/') + twoDigits(date->day());
}

QString UhrzeitNormieren(const QString& s, int* beeps)
{
    if (beeps)
        *beeps = 0;
    const int c = int(s.indexOf(QLatin1Char(':'))) + 1;
    const QString zero = QStringLiteral("0");
    const QString colon = QStringLiteral(":");
    QString r;
    switch (s.size()) {
    case 0:
        r = QStringLiteral("00:00");
        break;
    case 1:
        r = zero + s + QStringLiteral(":00");
        break;
    case 2:
        if (c == 0)
            r = s + QStringLiteral(":00");
        else if (c == 1)
            r = QStringLiteral("00") + s + zero;
        else
            r = zero + s + QStringLiteral("00");
        break;
    case 3:
        if (c == 0)
            r = zero + s.at(0) + colon + s.right(2);
        else if (c == 1)
            r = QStringLiteral("00") + s;
        else if (c == 2)
            r = zero + s + zero;
        else
            r = s + QStringLiteral("00");
        break;
    case 4:
        if (c == 0)
            r = s.left(2) + colon + s.right(2);
        else if (c == 1)
            r = QStringLiteral("00") + s.left(3);
        else if (c == 2)
            r = zero + s;
        else if (c == 3)
            r = s + zero;
        else
            r = s.left(2) + colon + s.at(2) + zero;
        break;
    case 5:
        if (c == 1)
            r = QStringLiteral("00") + s.left(3);
        else if (c == 2)
            r = zero + s.left(4);
        else if (c == 3)
            r = s;
        else if (c == 4)
            r = s.left(2) + colon + s.at(2) + s.at(4);
        else // no colon, or one at the end: the first four digits
            r = s.left(2) + colon + mid(s, 3, 2);
        break;
    default:
        return s;
    }

    int count = 0;
    if (r.size() == 5) {
        const qint64 hours = wholeVal(r.left(2));
        if (hours > 24) {
            r = QStringLiteral("00:00");
            ++count;
        } else if (hours == 24) {
            r = QStringLiteral("00:") + r.right(2);
            ++count;
        }
        if (wholeVal(r.right(2)) > 59) {
            r = r.left(3) + QStringLiteral("59");
            ++count;
        }
    }
    if (beeps)
        *beeps = count;
    return r;
}

QVariant NullWert(const QVariant& value, const QVariant& substitute)
{
    return value.isNull() ? substitute : value;
}

QString FormatNummer(const QVariant& value, int nachkomma)
{
    return formatNumber(value, QStringLiteral("##0"), nachkomma);
}

QString FormatZahl(const QVariant& value, int nachkomma)
{
    return formatNumber(value, QStringLiteral("###,##0"), nachkomma);
}

QChar upperWin1252(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 32)
        return c;
    if (u < 0x100) {
        if (u >= u'a' && u <= u'z')
            return QChar(char16_t(u - 0x20));
        if (u >= 0xE0 && u <= 0xFE && u != 0xF7)
            return QChar(char16_t(u - 0x20));
        if (u == 0xFF)
            return QChar(char16_t(0x0178)); // ÿ -> Ÿ
        return c;
    }
    switch (u) {
    case 0x0161: // š
        return QChar(char16_t(0x0160));
    case 0x0153: // œ
        return QChar(char16_t(0x0152));
    case 0x017E: // ž
        return QChar(char16_t(0x017D));
    case 0x0192: // ƒ has no capital in the code page
    case 0x20AC: // the other characters of the code page have no lower case
    case 0x201A:
    case 0x201E:
    case 0x2026:
    case 0x2020:
    case 0x2021:
    case 0x02C6:
    case 0x2030:
    case 0x0160:
    case 0x2039:
    case 0x0152:
    case 0x017D:
    case 0x2018:
    case 0x2019:
    case 0x201C:
    case 0x201D:
    case 0x2022:
    case 0x2013:
    case 0x2014:
    case 0x02DC:
    case 0x2122:
    case 0x203A:
    case 0x0178:
        return c;
    default:
        break;
    }
    const QChar upper = c.toUpper();
    return upper.isNull() ? c : upper;
}

bool TastePruefenDatum(QChar c)
{
    return c.unicode() < 32 || QStringLiteral("1234567890.").contains(c);
}

bool TastePruefenUhrzeit(QChar c)
{
    return c.unicode() < 32 || QStringLiteral("1234567890:").contains(c);
}

DateAidResult DatumEingabeHilfe(const QString& text, int selStart, QString& letzterText,
                                const QDate& today)
{
    DateAidResult result;
    result.text = text;
    result.selStart = selStart;
    if (text == letzterText || selStart != text.size())
        return result;

    QString s = text;
    if (s.size() == 2) {
        if (s.at(1) == u'.' || s.at(1) == u',')
            s = QLatin1Char('0') + s.at(0) + QLatin1Char('.');
        else
            s += QLatin1Char('.');
    } else if (s.size() == 5) {
        if (s.at(4) == u'.' || s.at(4) == u',')
            s = s.left(3) + QLatin1Char('0') + s.at(3) + QLatin1Char('.');
        else
            s += QLatin1Char('.');
    }
    letzterText = s;

    result.acted = true;
    result.text = s;
    if (s.size() == 6 || s.size() == 3) {
        result.text = DatumErgaenzen(s, today);
        result.selStart = int(s.size());
        result.selLength = int(result.text.size() - s.size());
    } else {
        result.selStart = int(s.size());
        result.selLength = 0;
    }
    return result;
}

} // namespace orvo::textbox
