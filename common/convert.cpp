#include "convert.h"

#include "vberror.h"

#include <QLocale>
#include <cmath>
#include <limits>
#include <optional>

namespace vorsa {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int hexDigit(QChar c)
{
    if (isDigit(c))
        return c.unicode() - u'0';
    const char16_t u = c.toLower().unicode();
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// "&H..." digits: up to four digits are a 16-bit value and up to eight a
// 32-bit value, both in two's complement ("&HFFFF" is -1), as the runtime reads them.
double hexValue(const QString& digits)
{
    quint64 v = 0;
    for (const QChar c : digits) {
        v = v * 16 + static_cast<quint64>(hexDigit(c));
        if (v > 0xFFFFFFFFull)
            throw VbError::overflow();
    }
    if (digits.size() <= 4)
        return static_cast<qint16>(static_cast<quint16>(v));
    return static_cast<qint32>(static_cast<quint32>(v));
}

double decimalValue(const QString& number)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(number, &ok);
    if (!std::isfinite(v))
        throw VbError::overflow();
    if (!ok)
        throw VbError::typeMismatch();
    return v;
}

// Reads a number from text. strict: the whole text must be the number (blanks
// around allowed), else the leading number counts and blanks anywhere are skipped.
// Returns no value when no number is there.
std::optional<double> readNumber(const QString& input, bool strict)
{
    QString s;
    if (strict) {
        s = input.trimmed();
    } else {
        s.reserve(input.size());
        for (const QChar c : input) {
            if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
                s.append(c);
        }
    }
    qsizetype i = 0;
    const qsizetype n = s.size();

    if (n >= 2 && s.at(0) == u'&' && s.at(1).toUpper() == u'H') {
        i = 2;
        while (i < n && hexDigit(s.at(i)) >= 0)
            ++i;
        if (i == 2 || (strict && i != n))
            return strict ? std::nullopt : std::optional<double>(0.0);
        return hexValue(s.mid(2, i - 2));
    }

    QString number;
    if (i < n && (s.at(i) == u'+' || s.at(i) == u'-'))
        number.append(s.at(i++));
    qsizetype digits = 0;
    while (i < n && isDigit(s.at(i))) {
        number.append(s.at(i++));
        ++digits;
    }
    if (i < n && s.at(i) == u'.') {
        number.append(s.at(i++));
        while (i < n && isDigit(s.at(i))) {
            number.append(s.at(i++));
            ++digits;
        }
    }
    if (digits == 0)
        return strict ? std::nullopt : std::optional<double>(0.0);
    // An exponent ("1E3", also the old "1D3") only counts with its digits.
    if (i < n && (s.at(i).toUpper() == u'E' || s.at(i).toUpper() == u'D')) {
        qsizetype j = i + 1;
        QString exponent = QStringLiteral("e");
        if (j < n && (s.at(j) == u'+' || s.at(j) == u'-'))
            exponent.append(s.at(j++));
        const qsizetype firstExpDigit = j;
        while (j < n && isDigit(s.at(j)))
            exponent.append(s.at(j++));
        if (j > firstExpDigit) {
            number += exponent;
            i = j;
        }
    }
    if (strict && i != n)
        return std::nullopt;
    return decimalValue(number);
}

double strictNumber(const QString& text)
{
    const std::optional<double> v = readNumber(text, true);
    if (!v)
        throw VbError::typeMismatch();
    return *v;
}

qint64 checkedRange(double value, qint64 low, qint64 high)
{
    const qint64 r = roundHalfEven(value);
    if (r < low || r > high)
        throw VbError::overflow();
    return r;
}

} // namespace

bool ConvStringToBoolean(const QString& text)
{
    return QStringLiteral("Ja/Yes/True/Wahr/Richtig/-1").contains(text, Qt::CaseInsensitive);
}

qint32 toLong(const QString& text)
{
    return roundToLong(strictNumber(text));
}

qint32 roundToLong(double value)
{
    return static_cast<qint32>(checkedRange(value, std::numeric_limits<qint32>::min(),
                                            std::numeric_limits<qint32>::max()));
}

qint16 toInt16(const QString& text)
{
    return static_cast<qint16>(checkedRange(strictNumber(text), std::numeric_limits<qint16>::min(),
                                            std::numeric_limits<qint16>::max()));
}

qint16 toInt16(const QVariant& value)
{
    if (value.isNull())
        throw VbError::invalidUseOfNull();
    constexpr qint64 low = std::numeric_limits<qint16>::min();
    constexpr qint64 high = std::numeric_limits<qint16>::max();
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? -1 : 0;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong: {
        const qint64 v = value.toLongLong();
        if (v < low || v > high)
            throw VbError::overflow();
        return static_cast<qint16>(v);
    }
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const quint64 v = value.toULongLong();
        if (v > static_cast<quint64>(high))
            throw VbError::overflow();
        return static_cast<qint16>(v);
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return static_cast<qint16>(checkedRange(value.toDouble(), low, high));
    case QMetaType::QString:
        return toInt16(value.toString());
    case QMetaType::QByteArray:
        return toInt16(QString::fromLatin1(value.toByteArray()));
    default:
        throw VbError::typeMismatch();
    }
}

bool toStrictBoolean(const QString& text)
{
    const QString t = text.trimmed();
    // The German runtime also takes its own words for the two values.
    if (t.compare(u"True", Qt::CaseInsensitive) == 0 ||
        t.compare(u"Wahr", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(u"False", Qt::CaseInsensitive) == 0 ||
        t.compare(u"Falsch", Qt::CaseInsensitive) == 0)
        return false;
    return strictNumber(t) != 0.0;
}

double leadingNumber(const QString& text)
{
    const double v = *readNumber(text, false);
    return v == 0.0 ? 0.0 : v; // no "-0"
}

qint64 roundHalfEven(double value)
{
    // 2^63: the first value that no longer fits.
    constexpr double limit = 9223372036854775808.0;
    if (!std::isfinite(value))
        throw VbError::overflow();
    const double low = std::floor(value);
    const double diff = value - low;
    double r = low;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(low, 2.0) != 0.0))
        r = low + 1.0;
    if (r >= limit || r < -limit)
        throw VbError::overflow();
    return static_cast<qint64>(r);
}

} // namespace vorsa
