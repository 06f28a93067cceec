#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace vorsa {

// An IPv4 address in its four dotted numbers or an IPv6 address, without a
// scope: the short forms a C library takes ("192.168.1" for 192.168.0.1)
// and numbers with leading zeros (octal to it: "010" is 8) are no address
// here.
bool parseAddress(const QString& text, QHostAddress* address);

// The addresses and networks clients may connect from: a comma-separated
// list of IPv4 and IPv6 addresses ("192.168.1.20", "::1") and networks in
// CIDR form ("192.168.1.0/24", "fd00::/8"). An empty list admits everyone.
class AllowList {
public:
    // Entries that are no address or network are left out and listed in
    // `malformed`. A list that names anything, even only malformed entries,
    // admits no one else: a typing error never opens the server to all.
    static AllowList parse(const QString& text, QStringList* malformed = nullptr);

    bool admitsEveryone() const { return !m_restricted; }
    // An IPv4 client on a socket that listens on IPv6 too (::ffff:a.b.c.d)
    // counts by its IPv4 address.
    bool admits(const QHostAddress& address) const;
    qsizetype size() const { return m_networks.size(); }

private:
    bool m_restricted = false;
    QList<QPair<QHostAddress, int>> m_networks;
};

// Who may connect to the server, and how.
struct ClientAccess {
    QHostAddress listenAddress{QHostAddress::Any}; // ListenAddress; Any: all
    AllowList allowed;                             // ErlaubteClients
    std::optional<QSslConfiguration> tls;          // set: TLS clients only
};

// Says a refusal once per address (and reason) and minute, so that a client
// trying again and again, or a scan, does not flood the log.
class RefusalLog {
public:
    using Clock = std::function<qint64()>; // milliseconds, steady
    explicit RefusalLog(Clock clock = {});
    // Whether the refusal under this key is to be said now; when it is, the
    // number of refusals under the key that were not said is in `unsaid`.
    bool shouldSay(const QString& key, int* unsaid = nullptr);

    static constexpr qint64 QuietMs = 60 * 1000;
    // The most keys remembered; beyond, a new key is not said until the
    // older ones are a minute old.
    static constexpr int MaxKeys = 4096;

private:
    struct Said {
        qint64 at = 0;
        int unsaid = 0;
    };
    Clock m_clock;
    QHash<QString, Said> m_said;
    // While every remembered key is younger than a minute: the earliest time
    // one of them can be forgotten. Until then a full map is not searched,
    // so that a flood from ever new addresses costs no more per attempt.
    qint64 m_noneExpiresBefore = 0;
};

} // namespace vorsa
