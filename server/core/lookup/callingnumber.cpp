#include "callingnumber.h"

namespace vorsa::callingnumber {

namespace {
bool isSeparator(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'-' || c == u'/' || c == u'(' || c == u')';
}
bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
} // namespace

QString lookupDigits(const QString& reported)
{
    QString digits;
    digits.reserve(reported.size() + 1);
    bool plus = false;
    for (const QChar c : reported) {
        if (isSeparator(c))
            continue;
        if (c == u'+' && digits.isEmpty() && !plus) {
            plus = true;
            continue;
        }
        if (!isAsciiDigit(c))
            return {};
        digits.append(c);
    }
    if (digits.isEmpty())
        return {};
    return plus ? QStringLiteral("00") + digits : digits;
}

bool cutAllowed(const QString& digits, int cut)
{
    return cut == 0 || digits.size() - cut >= MinDigitsBeforeWildcard;
}

} // namespace vorsa::callingnumber
