#include "clientrequest.h"

#include "protocol.h"
#include "win1252.h"

namespace vorsa {

using wire::Announcement;
using wire::DatedReplayLength;
using wire::ReplayRequest;

ClientRequest ClientRequest::parse(const QByteArray& message)
{
    ClientRequest request;
    if (message.size() > MaxMessageBytes) {
        request.kind = Kind::Refused;
        return request;
    }
    const QString text = fromWin1252(message);
    if (text.startsWith(Announcement)) {
        request.hostName = text.mid(Announcement.size());
        if (request.hostName.size() > MaxHostNameLength) {
            request.kind = Kind::Refused;
            request.hostName.clear();
            return request;
        }
        request.kind = Kind::Announcement;
    } else if (text.startsWith(ReplayRequest)) {
        request.kind = Kind::Replay;
        request.filter = text.size() == DatedReplayLength ? text.right(10) : QString();
    }
    return request;
}

} // namespace vorsa
