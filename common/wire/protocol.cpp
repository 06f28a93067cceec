#include "protocol.h"

#include "win1252.h"

namespace vorsa::wire {

QByteArray lineBytes(const QString& line)
{
    QByteArray bytes = toWin1252(line);
    bytes.append(LineEnd);
    return bytes;
}

QByteArray announcement(const QString& hostName)
{
    return toWin1252(Announcement + hostName);
}

QByteArray replayRequest(const QString& date)
{
    return toWin1252(ReplayRequest + date);
}

} // namespace vorsa::wire
