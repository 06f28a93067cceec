#include "numberplan.h"

namespace vorsa {

namespace {

bool isSeparator(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'-' || c == u'.' || c == u'/' || c == u'\u00a0';
}

bool allDigits(const QString& s)
{
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

} // namespace

QString NumberPlan::toNational(QStringView raw) const
{
    const qsizetype cut = raw.indexOf(u';');
    if (cut >= 0)
        raw = raw.left(cut);
    if (raw.size() > 4 * MaxDigits)
        return {};

    QString s;
    s.reserve(raw.size());
    for (QChar c : raw)
        if (!isSeparator(c))
            s.append(c);

    bool international = false;
    if (s.startsWith(u'+')) {
        international = true;
        s.remove(0, 1);
    } else if (s.startsWith(QStringLiteral("00"))) {
        international = true;
        s.remove(0, 2);
    }
    // "+49 (0)521 ..." : the bracketed trunk prefix is never dialled from abroad.
    if (international)
        s.remove(QStringLiteral("(0)"));
    s.remove(u'(');
    s.remove(u')');
    if (!international && s.startsWith(QStringLiteral("00"))) {
        international = true; // "(00)49 ..."
        s.remove(0, 2);
    }
    if (s.isEmpty() || !allDigits(s))
        return {};

    QString national;
    if (international) {
        const QString cc = QString::number(country);
        if (s.startsWith(cc)) {
            // After the own calling code no national number starts with the
            // trunk prefix; "0049 0 521" and "0049 00 521" both mean 0521.
            QString rest = s.mid(cc.size());
            while (!trunkPrefix.isEmpty() && rest.startsWith(trunkPrefix))
                rest.remove(0, trunkPrefix.size());
            if (rest.isEmpty() || rest.startsWith(QStringLiteral("00")))
                return {}; // would read as an international number again
            national = trunkPrefix + rest;
        } else {
            national = QStringLiteral("00") + s;
        }
    } else {
        national = s;
    }
    if (national.size() > MaxDigits)
        return {};
    return national;
}

} // namespace vorsa
