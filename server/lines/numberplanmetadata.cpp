#include "numberplan.h"

#ifdef VORSA_HAVE_PHONENUMBER
#include <phonenumbers/phonenumberutil.h>
#endif

namespace vorsa {

NumberPlan NumberPlan::forCountry(int country)
{
    NumberPlan plan;
    if (country < 1 || country > 999)
        return plan;
#ifdef VORSA_HAVE_PHONENUMBER
    using i18n::phonenumbers::PhoneNumberUtil;
    const PhoneNumberUtil* util = PhoneNumberUtil::GetInstance();
    std::string region;
    util->GetRegionCodeForCountryCode(country, &region);
    if (region == "ZZ")
        return plan; // no such calling code: 49
    plan.country = country;
    {
        std::string prefix;
        util->GetNddPrefixForRegion(region, true, &prefix);
        plan.trunkPrefix = QString::fromStdString(prefix);
    }
#else
    plan.country = country;
#endif
    return plan;
}

} // namespace vorsa
