#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace vorsa::journal {

// The call journal inside the call log: every reported call is a line of its
// own, "*D*" followed by its notification line.
inline const QString Marker = QStringLiteral("*D*");
// The journal line of a notification line.
inline QString entry(const QString& notification)
{
    return Marker + notification;
}
// The message of a line of the call log as it stands in the file
// (Windows-1252, with or without its line end) when the line is a journal
// entry, one that begins with "*D*"; none otherwise.
std::optional<QString> message(QByteArrayView line);
// The ten characters that start six characters after the first "datum="
// (ignoring case) of the message; without "datum=" those from position 5.
QString entryDate(const QString& message);
// Selected by a filter: "" selects every entry, else the entry date must equal it.
bool selected(const QString& message, const QString& filter);

} // namespace vorsa::journal
