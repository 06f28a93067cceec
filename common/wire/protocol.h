#pragma once

#include <QByteArray>
#include <QString>

// The texts server and clients exchange over TCP, and the journal marker of
// the call log: defined here once. Text travels as Windows-1252, one byte per
// character; sockets only move the bytes these functions make and take.
namespace vorsa::wire {

// From the server: one notification line per call, ended by CR alone.
constexpr char LineEnd = '\r';
// From a client, each message in one piece without terminator: its host name
// once after connecting ...
inline const QString Announcement = QStringLiteral("HN:");
// ... and requests for stored calls: "*D*:" for all, "*D*:" + dd.mm.yyyy
// (14 characters in all) for one day.
inline const QString ReplayRequest = QStringLiteral("*D*:");
constexpr int DatedReplayLength = 14;
// The key of the first element of a notification line.
inline const QString IconKey = QStringLiteral("Icon");
// The calling number a line reports for a caller who withheld it.
inline const QString Hidden = QStringLiteral("(hidden)");

// The bytes of one notification line on the wire: the line and CR.
QByteArray lineBytes(const QString& line);
// A client's announcement of its host name.
QByteArray announcement(const QString& hostName);
// A client's request for the stored calls of one day (dd.mm.yyyy), or of
// every day when `date` is empty.
QByteArray replayRequest(const QString& date = {});

} // namespace vorsa::wire
