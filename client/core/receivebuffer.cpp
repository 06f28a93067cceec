#include "receivebuffer.h"

namespace vorsa {

void ReceiveBuffer::append(const QString& text)
{
    if (m_pos > 0 && m_pos >= m_text.size() / 2) {
        m_text.remove(0, m_pos);
        m_pos = 0;
    }
    m_text.append(text);
    m_lines += text.count(QLatin1Char('\r'));
}

bool ReceiveBuffer::takeLine(QString& line)
{
    if (m_lines == 0)
        return false;
    const qsizetype cr = m_text.indexOf(QLatin1Char('\r'), m_pos);
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
    m_lines = 0;
}

} // namespace vorsa
