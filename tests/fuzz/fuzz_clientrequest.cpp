// Feeds arbitrary bytes to the server's parsing of a client message: nothing
// may crash, and what it takes a message for must fit the message.
#include "win1252.h"
#include "wire/clientrequest.h"

#include <cstdint>
#include <cstdlib>

namespace {
void check(bool ok)
{
    if (!ok)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using vorsa::ClientRequest;
    const QByteArray message(reinterpret_cast<const char*>(data), qsizetype(size));
    const ClientRequest r = ClientRequest::parse(message);
    const QString text = vorsa::fromWin1252(message);
    check(vorsa::toWin1252(text) == message); // every byte survives the decoding
    switch (r.kind) {
    case ClientRequest::Kind::Announcement:
        check(message.startsWith("HN:"));
        check(r.hostName.size() <= ClientRequest::MaxHostNameLength);
        check(QStringLiteral("HN:") + r.hostName == text);
        break;
    case ClientRequest::Kind::Replay:
        check(message.startsWith("*D*:"));
        check(r.filter.isEmpty() || (message.size() == 14 && r.filter == text.right(10)));
        break;
    case ClientRequest::Kind::Refused:
        check(message.size() > ClientRequest::MaxMessageBytes ||
              (message.startsWith("HN:") && message.size() - 3 > ClientRequest::MaxHostNameLength));
        break;
    case ClientRequest::Kind::Ignore:
        check(!message.startsWith("HN:") && !message.startsWith("*D*:"));
        break;
    }
    return 0;
}
