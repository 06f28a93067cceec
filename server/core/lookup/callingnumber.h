#pragma once

#include <QString>

namespace vorsa {

// The calling number as the lookup may use it: the caller's text must never
// act as a pattern of the query.
namespace callingnumber {

// Fewest digits a shortened number keeps before the wildcard; shorter
// numbers are only looked up exactly.
constexpr int MinDigitsBeforeWildcard = 6;

// The digits of a reported number: visual separators (blanks, "-", "/", "("
// and ")") removed, a leading "+" written as "00". Empty when what is left
// holds anything but digits, or no digit at all: such a number identifies
// nobody and is not looked up.
QString lookupDigits(const QString& reported);

// Whether an attempt that drops `cut` trailing digits of `digits` may run.
bool cutAllowed(const QString& digits, int cut);

} // namespace callingnumber
} // namespace vorsa
