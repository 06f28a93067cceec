#include "numberplan.h"

#include <algorithm>
#include <iterator>

namespace vorsa {

namespace {
#ifdef VORSA_HAVE_PHONENUMBER
struct CountryPlan {
    int country;
    const char* trunkPrefix;
};
// Read from the phone number metadata at build time, by calling code.
constexpr CountryPlan kPlans[] = {
#include "numberplantable.inc"
};
#endif
} // namespace

NumberPlan NumberPlan::forCountry(int country)
{
    NumberPlan plan;
    if (country < 1 || country > 999)
        return plan;
#ifdef VORSA_HAVE_PHONENUMBER
    const auto found =
        std::lower_bound(std::begin(kPlans), std::end(kPlans), country,
                         [](const CountryPlan& p, int code) { return p.country < code; });
    if (found == std::end(kPlans) || found->country != country)
        return plan; // no such calling code: 49
    plan.country = country;
    plan.trunkPrefix = QString::fromLatin1(found->trunkPrefix);
#else
    plan.country = country;
#endif
    return plan;
}

} // namespace vorsa
