#include "receivebuffer.h"

#include "protocol.h"
#include "win1252.h"

namespace vorsa {

namespace {
// Bytes decoded at a time.
constexpr qsizetype kDecodePiece = 64 * 1024;
} // namespace

void ReceiveBuffer::compact()
{
    if (m_pos > 0 && m_pos >= m_text.size() / 2) {
        m_text.remove(0, m_pos);
        m_pos = 0;
    }
}

void ReceiveBuffer::append(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    m_raw.push_back(bytes);
    m_rawSize += bytes.size();
    m_lines += bytes.count(wire::LineEnd);
}

void ReceiveBuffer::append(const QString& text)
{
    // Text goes behind whatever is still undecoded.
    while (decodeMore()) {
    }
    compact();
    m_text.append(text);
    m_lines += text.count(QLatin1Char(wire::LineEnd));
}

bool ReceiveBuffer::decodeMore()
{
    if (m_raw.empty())
        return false;
    const QByteArray& front = m_raw.front();
    const qsizetype n = qMin(kDecodePiece, front.size() - m_rawPos);
    compact();
    // One byte is one character, so any cut between bytes is a cut between characters.
    m_text.append(fromWin1252(m_rawPos == 0 && n == front.size() ? front : front.mid(m_rawPos, n)));
    m_rawPos += n;
    m_rawSize -= n;
    if (m_rawPos == front.size()) {
        m_raw.pop_front();
        m_rawPos = 0;
    }
    return true;
}

bool ReceiveBuffer::takeLine(QString& line)
{
    if (m_lines == 0)
        return false;
    qsizetype cr = m_text.indexOf(QLatin1Char(wire::LineEnd), m_pos);
    while (cr < 0) {
        const qsizetype searched = m_text.size() - m_pos;
        if (!decodeMore())
            return false; // cannot happen while lines are counted
        cr = m_text.indexOf(QLatin1Char(wire::LineEnd), m_pos + searched);
    }
    line = m_text.mid(m_pos, cr - m_pos);
    m_pos = cr + 1;
    --m_lines;
    if (m_pos == m_text.size()) {
        m_text.clear();
        m_pos = 0;
    }
    return true;
}

void ReceiveBuffer::clear()
{
    m_text.clear();
    m_pos = 0;
    m_raw.clear();
    m_rawPos = 0;
    m_rawSize = 0;
    m_lines = 0;
}

} // namespace vorsa
