#include "clientaccess.h"

#include <QElapsedTimer>
#include <QRegularExpression>

namespace vorsa {

namespace {

// One entry: an address alone (the whole address) or a network with its
// prefix length. QHostAddress::parseSubnet would take "192.168.1" for a /24;
// an administrator writing an address means that one address.
// An IPv4 network written in its IPv6 form (::ffff:192.168.1.0/120) is
// that IPv4 network: it then also admits clients of a socket that listens
// on IPv4 only.
QPair<QHostAddress, int> asIpv4IfMapped(const QHostAddress& address, int length)
{
    if (address.protocol() != QAbstractSocket::IPv6Protocol || length < 96)
        return {address, length};
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    for (int i = 0; i < 10; ++i) {
        if (bytes[i] != 0)
            return {address, length};
    }
    if (bytes[10] != 0xff || bytes[11] != 0xff)
        return {address, length};
    return {QHostAddress(address.toIPv4Address()), length - 96};
}

std::optional<QPair<QHostAddress, int>> parseEntry(const QString& entry)
{
    const qsizetype slash = entry.indexOf(QLatin1Char('/'));
    QHostAddress address;
    if (!parseAddress(slash < 0 ? entry : entry.left(slash).trimmed(), &address))
        return std::nullopt;
    const int longest = address.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128;
    if (slash < 0)
        return asIpv4IfMapped(address, longest);
    // Digits only: "-0" would be read as 0, a network of every address.
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    const QString prefix = entry.mid(slash + 1).trimmed();
    if (!digits.match(prefix).hasMatch())
        return std::nullopt;
    const int length = prefix.toInt();
    if (length > longest)
        return std::nullopt;
    return asIpv4IfMapped(address, length);
}

qint64 steadyMs()
{
    static QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

} // namespace

bool parseAddress(const QString& text, QHostAddress* address)
{
    // Four decimal numbers without leading zeros: the address parser of the
    // system reads "010" as octal 8, so "192.168.1.010" would name .8, not
    // the .10 the administrator meant.
    static const QRegularExpression dotted(
        QStringLiteral("^(0|[1-9][0-9]{0,2})(\\.(0|[1-9][0-9]{0,2})){3}$"));
    if (!text.contains(QLatin1Char(':')) && !dotted.match(text).hasMatch())
        return false;
    QHostAddress parsed;
    if (!parsed.setAddress(text) || !parsed.scopeId().isEmpty())
        return false;
    *address = parsed;
    return true;
}

AllowList AllowList::parse(const QString& text, QStringList* malformed)
{
    AllowList list;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QString entry = part.trimmed();
        if (entry.isEmpty())
            continue;
        list.m_restricted = true;
        if (const auto network = parseEntry(entry))
            list.m_networks.append(*network);
        else if (malformed)
            malformed->append(entry);
    }
    return list;
}

bool AllowList::admits(const QHostAddress& address) const
{
    if (!m_restricted)
        return true;
    if (address.isNull())
        return false;
    bool mapped = false;
    const QHostAddress v4(address.toIPv4Address(&mapped));
    for (const auto& [network, length] : m_networks) {
        if (address.isInSubnet(network, length) || (mapped && v4.isInSubnet(network, length)))
            return true;
    }
    return false;
}

RefusalLog::RefusalLog(Clock clock) : m_clock(clock ? std::move(clock) : Clock(steadyMs)) {}

bool RefusalLog::shouldSay(const QString& key, int* unsaid)
{
    const qint64 now = m_clock();
    auto it = m_said.find(key);
    if (it != m_said.end()) {
        if (now - it->at < QuietMs) {
            ++it->unsaid;
            return false;
        }
        if (unsaid)
            *unsaid = it->unsaid;
        *it = Said{now, 0};
        return true;
    }
    if (m_said.size() >= MaxKeys) {
        if (now < m_noneExpiresBefore)
            return false;
        qint64 oldest = now;
        for (auto old = m_said.begin(); old != m_said.end();) {
            if (now - old->at >= QuietMs) {
                old = m_said.erase(old);
            } else {
                oldest = qMin(oldest, old->at);
                ++old;
            }
        }
        if (m_said.size() >= MaxKeys) {
            m_noneExpiresBefore = oldest + QuietMs;
            return false;
        }
    }
    m_said.insert(key, Said{now, 0});
    if (unsaid)
        *unsaid = 0;
    return true;
}

} // namespace vorsa
