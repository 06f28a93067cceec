#pragma once

#include <QString>
#include <QVariant>

namespace vorsa {

// Formats a value with a display pattern as the BASIC Format function does for
// the patterns this system uses: d dd m mm yy yyyy h hh n nn s ss (an m or mm
// right after an hour, with or without ":" between, means minutes), 0 and # as
// digit places with "." and "," for numbers, every other character copied.
// A text value that holds a date and time ("06.12.2026 09:14:05") or a number
// is read as such first; other text is returned unchanged.
QString vbFormat(const QVariant& value, const QString& pattern);

// A value as plain text the way the system writes it: text as it is, a date
// and time as dd.mm.yyyy hh:mm:ss (dd.mm.yyyy at exactly midnight), numbers in
// decimal (German comma for fractions), booleans "Wahr"/"Falsch", null as "".
QString vbText(const QVariant& value);

// Reads "dd.mm.yyyy hh:mm:ss", "dd.mm.yyyy", "dd.mm.yy hh:mm" and ISO forms.
QVariant parseDateTimeText(const QString& text);

} // namespace vorsa
