#pragma once

#include "numberplan.h"

#include <QString>
#include <QStringList>

namespace vorsa {

// The header texts of an INVITE that name the two parties, as they came over
// the wire (one entry per header field; a field may hold several values
// separated by commas).
struct SipParties {
    QString requestUri;
    QString from;
    QString to;
    QStringList assertedIdentity; // P-Asserted-Identity
    QStringList remotePartyId;    // Remote-Party-ID
    QStringList privacy;          // Privacy

    // The caller in national form: P-Asserted-Identity, else Remote-Party-ID,
    // else From; "(hidden)" when the caller withheld it or no number is left.
    QString callingNumber(const NumberPlan& plan) const;
    // The own number dialled: the Request-URI's user part, or the To user when
    // the Request-URI names the registered account (accountUser) or no user.
    QString calledNumber(const NumberPlan& plan, const QString& accountUser) const;

    // The party headers of a SIP request as it came over the wire (request
    // line and header fields; the body is not looked at). Compact header names
    // and folded lines are understood.
    static SipParties fromMessage(const QByteArray& message);
};

// One URI out of a header value: "Name" <sip:user@host;p>;params, a bare
// sip:/sips:/tel: URI, with user and host split off.
struct SipAddress {
    QString scheme; // "sip", "sips", "tel" (lower case); empty when unparsable
    QString user;   // percent-decoded; the number of a tel: URI
    QString host;
    QString headerParams; // the parameters after the URI (outside <>), lower case

    static SipAddress parse(QStringView value);
    // The comma-separated values of one header field (commas in quotes or <> kept).
    static QStringList splitValues(QStringView field);
    bool isAnonymous() const;
};

} // namespace vorsa
