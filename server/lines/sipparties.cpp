#include "sipparties.h"

#include "wire/protocol.h"

#include <QByteArray>
#include <QRegularExpression>

namespace vorsa {

namespace {

using wire::Hidden;

QString percentDecoded(QStringView s)
{
    if (!s.contains(u'%'))
        return s.toString();
    return QString::fromUtf8(QByteArray::fromPercentEncoding(s.toUtf8()));
}

// Value of a ";name=value" parameter in a lower-cased parameter list.
QString paramValue(const QString& params, const QString& name)
{
    for (const QString& p : params.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = p.indexOf(u'=');
        const QString key = (eq < 0 ? p : p.left(eq)).trimmed();
        if (key == name)
            return eq < 0 ? QString() : p.mid(eq + 1).trimmed().remove(u'"');
    }
    return {};
}

bool privacyHidesIdentity(const QStringList& privacy)
{
    for (const QString& field : privacy) {
        for (QString token :
             field.split(QRegularExpression(QStringLiteral("[;,\\s]+")), Qt::SkipEmptyParts)) {
            token = token.toLower();
            if (token == u"id" || token == u"user" || token == u"header")
                return true;
        }
    }
    return false;
}

} // namespace

QStringList SipAddress::splitValues(QStringView field)
{
    QStringList out;
    bool quoted = false;
    bool bracket = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (quoted) {
            if (c == u'\\')
                ++i;
            else if (c == u'"')
                quoted = false;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u'<') {
            bracket = true;
        } else if (c == u'>') {
            bracket = false;
        } else if (c == u',' && !bracket) {
            const QString v = field.mid(start, i - start).trimmed().toString();
            if (!v.isEmpty())
                out << v;
            start = i + 1;
        }
    }
    const QString v = field.mid(start).trimmed().toString();
    if (!v.isEmpty())
        out << v;
    return out;
}

SipAddress SipAddress::parse(QStringView value)
{
    SipAddress a;
    QStringView uri;
    QStringView rest;
    // A display name may be quoted and contain "<"; skip it first.
    qsizetype i = 0;
    value = value.trimmed();
    if (value.startsWith(u'"')) {
        for (i = 1; i < value.size(); ++i) {
            if (value.at(i) == u'\\')
                ++i;
            else if (value.at(i) == u'"')
                break;
        }
        ++i;
    }
    const qsizetype open = value.indexOf(u'<', i);
    if (open >= 0) {
        const qsizetype close = value.indexOf(u'>', open);
        if (close < 0)
            return a;
        uri = value.mid(open + 1, close - open - 1).trimmed();
        rest = value.mid(close + 1);
    } else {
        // A bare URI: its header parameters follow the first ";" after the
        // host part; the user part may carry ";" parameters of its own.
        uri = value.mid(i).trimmed();
        const qsizetype at = uri.indexOf(u'@');
        const qsizetype semi = uri.indexOf(u';', at < 0 ? 0 : at);
        if (semi >= 0) {
            rest = uri.mid(semi);
            uri = uri.left(semi);
        }
    }
    a.headerParams = rest.toString().toLower();

    const qsizetype colon = uri.indexOf(u':');
    if (colon <= 0)
        return a;
    const QString scheme = uri.left(colon).toString().toLower();
    QStringView body = uri.mid(colon + 1);
    if (scheme == u"tel") {
        a.scheme = scheme;
        a.user = percentDecoded(body);
        return a;
    }
    if (scheme != u"sip" && scheme != u"sips")
        return a;
    a.scheme = scheme;
    const qsizetype at = body.indexOf(u'@');
    QStringView hostPart = body;
    if (at >= 0) {
        QStringView userInfo = body.left(at);
        // user:password is deprecated but still seen; the password is not a number.
        const qsizetype pw = userInfo.indexOf(u':');
        if (pw >= 0)
            userInfo = userInfo.left(pw);
        a.user = percentDecoded(userInfo);
        hostPart = body.mid(at + 1);
    }
    qsizetype end = hostPart.size();
    for (QChar stop : {u';', u'?', u'>'}) {
        const qsizetype p = hostPart.indexOf(stop);
        if (p >= 0 && p < end)
            end = p;
    }
    hostPart = hostPart.left(end);
    if (hostPart.startsWith(u'[')) {
        const qsizetype close = hostPart.indexOf(u']');
        hostPart = close < 0 ? hostPart : hostPart.left(close + 1);
    } else {
        const qsizetype port = hostPart.indexOf(u':');
        if (port >= 0)
            hostPart = hostPart.left(port);
    }
    a.host = hostPart.toString().toLower();
    return a;
}

bool SipAddress::isAnonymous() const
{
    QString u = user;
    const qsizetype semi = u.indexOf(u';');
    if (semi >= 0)
        u.truncate(semi);
    return u.compare(QStringLiteral("anonymous"), Qt::CaseInsensitive) == 0 ||
           host == u"anonymous.invalid";
}

QString SipParties::callingNumber(const NumberPlan& plan) const
{
    if (privacyHidesIdentity(privacy))
        return Hidden;

    // P-Asserted-Identity: the network's word; a tel: value or the first that
    // carries a number.
    for (const QString& field : assertedIdentity) {
        for (const QString& v : SipAddress::splitValues(field)) {
            const SipAddress a = SipAddress::parse(v);
            if (a.scheme.isEmpty())
                continue;
            if (a.isAnonymous())
                return Hidden;
            const QString n = plan.toNational(a.user);
            if (!n.isEmpty())
                return n;
        }
    }
    // Remote-Party-ID of the calling party (party=calling is the default).
    for (const QString& field : remotePartyId) {
        for (const QString& v : SipAddress::splitValues(field)) {
            const SipAddress a = SipAddress::parse(v);
            if (a.scheme.isEmpty())
                continue;
            const QString party = paramValue(a.headerParams, QStringLiteral("party"));
            if (!party.isEmpty() && party != u"calling")
                continue;
            if (paramValue(a.headerParams, QStringLiteral("privacy")) == u"full" || a.isAnonymous())
                return Hidden;
            const QString n = plan.toNational(a.user);
            if (!n.isEmpty())
                return n;
        }
    }
    const SipAddress a = SipAddress::parse(from);
    if (a.isAnonymous())
        return Hidden;
    const QString n = plan.toNational(a.user);
    return n.isEmpty() ? Hidden : n;
}

QString SipParties::calledNumber(const NumberPlan& plan, const QString& accountUser) const
{
    QString user = SipAddress::parse(requestUri).user;
    const qsizetype semi = user.indexOf(u';');
    if (semi >= 0)
        user.truncate(semi);
    const bool namesAccount =
        !accountUser.isEmpty() && user.compare(accountUser, Qt::CaseInsensitive) == 0;
    const QString n = namesAccount ? QString() : plan.toNational(user);
    return n.isEmpty() ? plan.toNational(SipAddress::parse(to).user) : n;
}

SipParties SipParties::fromMessage(const QByteArray& message)
{
    SipParties p;
    const QByteArray head = message.left(64 * 1024);
    QList<QByteArray> lines;
    for (QByteArray line : head.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            break; // end of the header section
        if ((line.startsWith(' ') || line.startsWith('\t')) && !lines.isEmpty())
            lines.last() += ' ' + line.trimmed();
        else
            lines << line;
    }
    if (lines.isEmpty())
        return p;
    // "INVITE sip:0521@host SIP/2.0"
    const QList<QByteArray> requestLine = lines.first().split(' ');
    if (requestLine.size() == 3)
        p.requestUri = QString::fromUtf8(requestLine[1]);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = lines[i].left(colon).trimmed().toLower();
        const QString value = QString::fromUtf8(lines[i].mid(colon + 1)).trimmed();
        if ((name == "from" || name == "f") && p.from.isEmpty())
            p.from = value;
        else if ((name == "to" || name == "t") && p.to.isEmpty())
            p.to = value;
        else if (name == "p-asserted-identity")
            p.assertedIdentity << value;
        else if (name == "remote-party-id")
            p.remotePartyId << value;
        else if (name == "privacy")
            p.privacy << value;
    }
    return p;
}

} // namespace vorsa
