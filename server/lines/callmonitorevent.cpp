#include "callmonitorevent.h"

#include <QList>

namespace vorsa {

namespace {

constexpr int MaxField = 64;

bool isDigits(const QByteArray& s)
{
    if (s.isEmpty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Phone numbers and extensions: digits and the few characters routers put in
// them (a leading "+", "*" and "#" of service codes). Nothing else gets through.
bool isNumberField(const QByteArray& s)
{
    if (s.size() > MaxField)
        return false;
    for (int i = 0; i < s.size(); ++i) {
        const char c = s.at(i);
        if ((c >= '0' && c <= '9') || c == '*' || c == '#' || (c == '+' && i == 0))
            continue;
        return false;
    }
    return true;
}

// Trunk names such as "SIP0", "ISDN", "POTS".
bool isTrunkField(const QByteArray& s)
{
    if (s.size() > MaxField)
        return false;
    for (char c : s) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                        (c >= 'a' && c <= 'z') || c == '_' || c == '-' || c == '.';
        if (!ok)
            return false;
    }
    return true;
}

bool parseInt(const QByteArray& s, int maxDigits, int& out)
{
    if (!isDigits(s) || s.size() > maxDigits)
        return false;
    bool ok = false;
    out = s.toInt(&ok);
    return ok;
}

} // namespace

CallMonitorEvent CallMonitorEvent::parse(const QByteArray& input)
{
    QByteArray line = input;
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.size() > 512 || !line.endsWith(';'))
        return {};
    line.chop(1);
    const QList<QByteArray> f = line.split(';');
    if (f.size() < 3)
        return {};

    CallMonitorEvent e;
    e.when = QDateTime::fromString(QString::fromLatin1(f[0]), QStringLiteral("dd.MM.yy hh:mm:ss"));
    if (!e.when.isValid())
        return {};
    // Two-digit years are this century's.
    if (e.when.date().year() < 2000)
        e.when = e.when.addYears(100);
    if (!parseInt(f[2], 4, e.connectionId))
        return {};

    // Newer firmware may add fields at the end; they are ignored.
    const QByteArray& kind = f[1];
    if (kind == "RING") {
        if (f.size() < 6 || !isNumberField(f[3]) || !isNumberField(f[4]) || !isTrunkField(f[5]))
            return {};
        e.type = Type::Ring;
        e.calling = QString::fromLatin1(f[3]);
        e.called = QString::fromLatin1(f[4]);
        e.trunk = QString::fromLatin1(f[5]);
    } else if (kind == "CALL") {
        if (f.size() < 7 || !isNumberField(f[3]) || !isNumberField(f[4]) || !isNumberField(f[5]) ||
            !isTrunkField(f[6]))
            return {};
        e.type = Type::Call;
        e.extension = QString::fromLatin1(f[3]);
        e.calling = QString::fromLatin1(f[4]);
        e.called = QString::fromLatin1(f[5]);
        e.trunk = QString::fromLatin1(f[6]);
    } else if (kind == "CONNECT") {
        if (f.size() < 5 || !isNumberField(f[3]) || !isNumberField(f[4]))
            return {};
        e.type = Type::Connect;
        e.extension = QString::fromLatin1(f[3]);
        e.number = QString::fromLatin1(f[4]);
    } else if (kind == "DISCONNECT") {
        if (f.size() < 4 || !parseInt(f[3], 9, e.seconds))
            return {};
        e.type = Type::Disconnect;
    } else {
        return {};
    }
    return e;
}

QByteArray CallMonitorEvent::toLine() const
{
    QByteArray out = when.toString(QStringLiteral("dd.MM.yy hh:mm:ss")).toLatin1();
    const QByteArray id = QByteArray::number(connectionId);
    switch (type) {
    case Type::Ring:
        out += ";RING;" + id + ';' + calling.toLatin1() + ';' + called.toLatin1() + ';' +
               trunk.toLatin1() + ';';
        break;
    case Type::Call:
        out += ";CALL;" + id + ';' + extension.toLatin1() + ';' + calling.toLatin1() + ';' +
               called.toLatin1() + ';' + trunk.toLatin1() + ';';
        break;
    case Type::Connect:
        out += ";CONNECT;" + id + ';' + extension.toLatin1() + ';' + number.toLatin1() + ';';
        break;
    case Type::Disconnect:
        out += ";DISCONNECT;" + id + ';' + QByteArray::number(seconds) + ';';
        break;
    case Type::Invalid:
        return {};
    }
    return out;
}

} // namespace vorsa
