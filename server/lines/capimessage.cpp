#include "capimessage.h"

#include "wire/protocol.h"

namespace vorsa::capi {

namespace {

constexpr int HeaderSize = 8;
constexpr int MaxDigits = 32;

class Reader {
public:
    explicit Reader(const QByteArray& b, int pos) : m_b(b), m_pos(pos) {}
    bool ok() const { return m_ok; }
    quint8 u8()
    {
        if (m_pos + 1 > m_b.size()) {
            m_ok = false;
            return 0;
        }
        return quint8(m_b[m_pos++]);
    }
    quint16 u16()
    {
        const quint16 lo = u8();
        return quint16(lo | (u8() << 8));
    }
    quint32 u32()
    {
        const quint32 lo = u16();
        return lo | (quint32(u16()) << 16);
    }
    // A structure: one length octet, or 0xff and a 16-bit length.
    QByteArray structure()
    {
        int len = u8();
        if (len == 0xff)
            len = u16();
        if (!m_ok || m_pos + len > m_b.size()) {
            m_ok = false;
            return {};
        }
        const QByteArray s = m_b.mid(m_pos, len);
        m_pos += len;
        return s;
    }

private:
    const QByteArray& m_b;
    int m_pos;
    bool m_ok = true;
};

void put16(QByteArray& b, quint16 v)
{
    b.append(char(v & 0xff));
    b.append(char(v >> 8));
}

void put32(QByteArray& b, quint32 v)
{
    put16(b, quint16(v & 0xffff));
    put16(b, quint16(v >> 16));
}

QByteArray header(quint16 applId, quint8 command, quint8 sub, quint16 number)
{
    QByteArray b;
    put16(b, 0); // length, set by finish()
    put16(b, applId);
    b.append(char(command));
    b.append(char(sub));
    put16(b, number);
    return b;
}

QByteArray finish(QByteArray b)
{
    b[0] = char(b.size() & 0xff);
    b[1] = char(b.size() >> 8);
    return b;
}

QString digits(const QByteArray& bytes)
{
    QString out;
    for (char c : bytes)
        if (c >= '0' && c <= '9' && out.size() < MaxDigits)
            out.append(QLatin1Char(c));
    return out;
}

} // namespace

bool Header::read(const QByteArray& message, Header& out)
{
    if (message.size() < HeaderSize)
        return false;
    Reader r(message, 0);
    out.length = r.u16();
    out.applId = r.u16();
    out.command = r.u8();
    out.subcommand = r.u8();
    out.number = r.u16();
    return r.ok();
}

bool ConnectInd::decode(const QByteArray& message, ConnectInd& out)
{
    Header h;
    if (!Header::read(message, h) || h.command != Connect || h.subcommand != Ind)
        return false;
    // The length field may not claim more than there is.
    const QByteArray body = message.left(qMin<int>(h.length, message.size()));
    Reader r(body, HeaderSize);
    out = ConnectInd();
    out.plci = r.u32();
    out.cip = r.u16();
    const QByteArray called = r.structure();
    const QByteArray calling = r.structure();
    if (!r.ok())
        return false;

    // Called party number: type and plan, then the digits.
    if (!called.isEmpty())
        out.called = digits(called.mid(1));

    // Calling party number: type and plan; presentation and screening unless
    // the first octet has its extension bit set; then the digits.
    QString number;
    if (!calling.isEmpty()) {
        const quint8 type = quint8(calling[0]);
        out.typeOfNumber = (type >> 4) & 0x07;
        int first = 1;
        if (!(type & 0x80) && calling.size() >= 2) {
            out.presentation = (quint8(calling[1]) >> 5) & 0x03;
            first = 2;
        }
        number = digits(calling.mid(first));
    }
    if (out.presentation != 0 || number.isEmpty()) {
        out.calling = wire::Hidden;
    } else if (out.typeOfNumber == 1) {
        out.calling = QStringLiteral("00") + number;
    } else if (out.typeOfNumber == 2) {
        out.calling = QStringLiteral("0") + number;
    } else {
        out.calling = number;
    }
    return true;
}

QByteArray listenReq(quint16 applId, quint16 number, quint32 controller, quint32 cipMask)
{
    QByteArray b = header(applId, Listen, Req, number);
    put32(b, controller);
    put32(b, 0); // info mask: no information elements wanted
    put32(b, cipMask);
    put32(b, 0);    // CIP mask 2
    b.append('\0'); // calling party number
    b.append('\0'); // calling party subaddress
    return finish(b);
}

QByteArray connectResp(quint16 applId, quint16 number, quint32 plci, quint16 reject)
{
    QByteArray b = header(applId, Connect, Resp, number);
    put32(b, plci);
    put16(b, reject);
    for (int i = 0; i < 5; ++i) // B protocol, connected number, subaddress, LLC, additional info
        b.append('\0');
    return finish(b);
}

QByteArray simpleResp(quint16 applId, quint8 command, quint16 number, quint32 id)
{
    QByteArray b = header(applId, command, Resp, number);
    put32(b, id);
    if (command == ConnectB3) {
        put16(b, 2);    // reject: normal call clearing
        b.append('\0'); // no NCPI
    }
    return finish(b);
}

QByteArray facilityResp(quint16 applId, quint16 number, quint32 id, quint16 selector)
{
    QByteArray b = header(applId, Facility, Resp, number);
    put32(b, id);
    put16(b, selector);
    b.append('\0');
    return finish(b);
}

QByteArray dataB3Resp(quint16 applId, quint16 number, quint32 ncci, quint16 handle)
{
    QByteArray b = header(applId, DataB3, Resp, number);
    put32(b, ncci);
    put16(b, handle);
    return finish(b);
}

} // namespace vorsa::capi
