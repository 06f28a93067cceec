#pragma once

#include <QByteArray>
#include <QString>

namespace vorsa {

// CAPI 2.0 messages as bytes: the few the line sends and the incoming-call
// indication it decodes. All numbers little-endian, structures length-prefixed.
namespace capi {

constexpr quint8 Connect = 0x02;
constexpr quint8 ConnectActive = 0x03;
constexpr quint8 Disconnect = 0x04;
constexpr quint8 Listen = 0x05;
constexpr quint8 Info = 0x08;
constexpr quint8 Facility = 0x80;
constexpr quint8 ConnectB3 = 0x82;
constexpr quint8 ConnectB3Active = 0x83;
constexpr quint8 DisconnectB3 = 0x84;
constexpr quint8 DataB3 = 0x86;

constexpr quint8 Req = 0x80;
constexpr quint8 Conf = 0x81;
constexpr quint8 Ind = 0x82;
constexpr quint8 Resp = 0x83;

// Header fields of any message (false when shorter than a header).
struct Header {
    quint16 length = 0;
    quint16 applId = 0;
    quint8 command = 0;
    quint8 subcommand = 0;
    quint16 number = 0;
    static bool read(const QByteArray& message, Header& out);
};

// The incoming-call indication.
struct ConnectInd {
    quint32 plci = 0;
    quint16 cip = 0;
    QString called;       // digits of the called party number
    QString calling;      // national form: 00 for international, 0 for national; "(hidden)"
    int typeOfNumber = 0; // bits 7..5 of the first octet: 1 international, 2 national
    int presentation = 0; // 0 allowed, 1 restricted, 2 not available
    // Decodes the whole message (header included); false when it is not a
    // well-formed CONNECT_IND.
    static bool decode(const QByteArray& message, ConnectInd& out);
};

QByteArray listenReq(quint16 applId, quint16 number, quint32 controller, quint32 cipMask);
// Reject 1: ignore the call, so that the other terminals keep ringing.
QByteArray connectResp(quint16 applId, quint16 number, quint32 plci, quint16 reject);
// The plain answer to an indication whose parameters start with a PLCI or NCCI.
QByteArray simpleResp(quint16 applId, quint8 command, quint16 number, quint32 id);
// The answer to a FACILITY_IND: the same selector, empty parameters.
QByteArray facilityResp(quint16 applId, quint16 number, quint32 id, quint16 selector);
// The answer to a DATA_B3_IND: NCCI and data handle.
QByteArray dataB3Resp(quint16 applId, quint16 number, quint32 ncci, quint16 handle);

} // namespace capi
} // namespace vorsa
