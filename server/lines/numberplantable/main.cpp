// Writes the trunk prefix of every calling code that the phone number
// metadata knows, as the rows of a C++ table: {code, "prefix"},
// Run at build time, so that the programs carry the table and not the
// library with its dependencies.
#include <phonenumbers/phonenumberutil.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out)
        return 1;
    using i18n::phonenumbers::PhoneNumberUtil;
    const PhoneNumberUtil* util = PhoneNumberUtil::GetInstance();
    for (int code = 1; code <= 999; ++code) {
        std::string region;
        util->GetRegionCodeForCountryCode(code, &region);
        if (region == "ZZ")
            continue;
        std::string prefix;
        util->GetNddPrefixForRegion(region, true, &prefix);
        std::fprintf(out, "{%d, \"%s\"},\n", code, prefix.c_str());
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
