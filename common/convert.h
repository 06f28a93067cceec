#pragma once

#include <QString>
#include <QVariant>

namespace vorsa {

// True when the text occurs, ignoring case, anywhere in "Ja/Yes/True/Wahr/Richtig/-1":
// "1", "ja", "TRUE", "" and "e" are true; "0", "nein", "false" are false.
bool ConvStringToBoolean(const QString& text);

// Text to a 32-bit whole number as the BASIC runtime converts it: blanks around
// are allowed, a decimal fraction rounds half to even ("2.5" -> 2), "&H" hex is
// accepted. Empty or non-numeric text fails with 13 "Typ unverträglich", a value
// out of range with 6 "Überlauf".
qint32 toLong(const QString& text);
// The same into 16 bits (6 "Überlauf" outside -32768..32767).
qint16 toInt16(const QString& text);
qint16 toInt16(const QVariant& value); // numbers, booleans (-1/0) and text; null: 94
// So that toInt16("5") is not ambiguous between the two above.
inline qint16 toInt16(const char* text)
{
    return toInt16(QString::fromUtf8(text));
}
// A number to a 32-bit whole number: rounds half to even, 6 "Überlauf" out of range
// (the settings use it on leadingNumber: "2.5" -> 2, "3.5" -> 4).
qint32 roundToLong(double value);
// A strict boolean: "True", "False", "Wahr", "Falsch" (any case) or any number
// (non-zero is true); everything else, empty text included, fails with 13.
bool toStrictBoolean(const QString& text);

// The leading number of a text: blanks are skipped, "." is the decimal point,
// reading stops at the first character that does not belong to the number, no
// number gives 0 ("2.5xyz" -> 2.5, "abc" -> 0). "&H" hex is read as well; a
// number too large for a double fails with 6 "Überlauf".
double leadingNumber(const QString& text);
// Rounds half to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2); a value
// outside the 64-bit range (or not a number) fails with 6 "Überlauf".
qint64 roundHalfEven(double value);

} // namespace vorsa
