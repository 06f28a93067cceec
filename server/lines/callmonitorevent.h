#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace vorsa {

// One event line of a router's call monitor, for example
// "07.12.26 12:01:02;RING;0;0521123456;5551234;SIP0;".
struct CallMonitorEvent {
    enum class Type { Invalid, Ring, Call, Connect, Disconnect };

    Type type = Type::Invalid;
    QDateTime when;
    int connectionId = -1;
    // RING: the caller and the own number dialled, and the trunk that took the call.
    // CALL: the extension that dials, the own number it uses, the number dialled, the trunk.
    QString calling;
    QString called;
    QString trunk;
    // CALL and CONNECT: the extension (internal port); CONNECT: the remote number.
    QString extension;
    QString number;
    // DISCONNECT: the duration in seconds.
    int seconds = 0;

    bool isValid() const { return type != Type::Invalid; }
    bool operator==(const CallMonitorEvent&) const = default;

    // Splits one line (without or with its CR / LF). Anything that is not a
    // well-formed event gives an invalid event.
    static CallMonitorEvent parse(const QByteArray& line);
    // The line as a router sends it, without the line end.
    QByteArray toLine() const;
};

} // namespace vorsa
