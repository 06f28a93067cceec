#pragma once

#include <QString>
#include <QStringView>

namespace vorsa {

// How numbers of the own country look: its calling code and the trunk prefix
// that national numbers start with ("0" in Germany, none in Italy).
struct NumberPlan {
    int country = 49;
    QString trunkPrefix = QStringLiteral("0");

    // The plan of a calling code; the trunk prefix comes from the phone number
    // metadata where it is built in, "0" otherwise. Invalid codes give 49.
    static NumberPlan forCountry(int country);

    // A number in the national form an ISDN line delivers: cut at ";", visual
    // separators removed, the own country's international form (+49 or 0049,
    // an optional "(0)" or trunk prefix after it) becomes the trunk prefix,
    // another country's +CC becomes 00CC. Empty when no number is left, or when
    // what is left is not a number (letters, more than MaxDigits digits).
    QString toNational(QStringView raw) const;

    static constexpr int MaxDigits = 32;
};

} // namespace vorsa
