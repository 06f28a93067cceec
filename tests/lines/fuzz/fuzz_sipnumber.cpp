// Feeds arbitrary bytes to the number normaliser and to the SIP party
// extraction and checks what a caller of them relies on.
#include "numberplan.h"
#include "sipparties.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool nationalShape(const QString& n)
{
    if (n.size() > vorsa::NumberPlan::MaxDigits)
        return false;
    for (QChar c : n)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const vorsa::NumberPlan germany;

    const QString n = germany.toNational(QString::fromUtf8(bytes));
    check(nationalShape(n));
    check(germany.toNational(n) == n); // the national form is a fixed point

    const vorsa::SipParties parties = vorsa::SipParties::fromMessage(bytes);
    const QString calling = parties.callingNumber(germany);
    check(calling == QStringLiteral("(hidden)") || (!calling.isEmpty() && nationalShape(calling)));
    check(nationalShape(parties.calledNumber(germany, QStringLiteral("vorsa"))));
    return 0;
}
