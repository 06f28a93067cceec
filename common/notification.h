#pragma once

#include <QString>

namespace vorsa {

class FieldDefinitions;

// The notification line: "Icon=" + number, then ";" + FieldName + "=" + value
// for every field definition in collection order. In values "=" and ";" become
// blanks, and so do CR and LF, so that one call is always one line. Null values
// are empty text. No terminator: the sender adds CR, the journal "*D*".
QString composeNotification(int iconNumber, const FieldDefinitions& fields);

// The call journal inside the call log.
namespace journal {
inline const QString Marker = QStringLiteral("*D*");
// A line is a journal entry when it begins with "*D*".
bool isEntry(const QString& line);
// The ten characters that start six characters after the first "datum="
// (ignoring case) of the message; without "datum=" those from position 5.
QString entryDate(const QString& message);
// Selected by a filter: "" selects every entry, else the entry date must equal it.
bool selected(const QString& message, const QString& filter);
} // namespace journal

} // namespace vorsa
