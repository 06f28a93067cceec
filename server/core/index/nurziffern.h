#pragma once

#include <QString>
#include <QVariant>

namespace vorsa {

// The digit filter of the number index: keeps the characters "1234567890" in
// their order and drops everything else (blanks, slashes, hyphens, brackets,
// plus signs, letters). No leading zero is added or removed, no country code
// is recognised, there is no length limit.
QString NurZiffern(const QString& text);

// The text of a database value as the index builds read it: a GUID as
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", everything else as its text.
QString feldText(const QVariant& value);

// A telephone or area-code field counts when it is not Null and its raw text
// (before the digit filter) is neither empty nor made of spaces only.
bool feldVorhanden(const QVariant& value);

} // namespace vorsa
