#pragma once

#include <QByteArray>
#include <QString>

namespace vorsa {

// What one client message asks for. A client sends each message in one
// piece, without terminator: "HN:" + its host name once after connecting,
// "*D*:" for every stored call, "*D*:" + dd.mm.yyyy (14 characters in all)
// for the calls of one day. Anything else is ignored.
struct ClientRequest {
    enum class Kind {
        Ignore,       // not a request
        Announcement, // hostName
        Replay,       // filter: "" for every stored call, else dd.mm.yyyy
        Refused,      // beyond what a client may send: the connection is closed
    };

    Kind kind = Kind::Ignore;
    QString hostName;
    QString filter;

    // The most a client may send in one piece.
    static constexpr qint64 MaxMessageBytes = 64 * 1024;
    // The longest host name a client may announce.
    static constexpr int MaxHostNameLength = 255;

    // One message as it arrived (Windows-1252).
    static ClientRequest parse(const QByteArray& message);
};

} // namespace vorsa
