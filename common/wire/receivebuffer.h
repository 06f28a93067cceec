#pragma once

#include <QByteArray>
#include <QString>
#include <deque>

namespace vorsa {

// The receive framing of the client: what has arrived but has not been cut
// into lines yet. Lines end with CR; the CR is dropped. Bytes are kept as they
// came (Windows-1252) and decoded piece by piece as lines are taken, so a long
// replay that arrives in one piece costs no long pause, and cutting is linear.
class ReceiveBuffer {
public:
    void append(const QByteArray& bytes);
    void append(const QString& text);
    // Cuts the next complete line; false when no CR is in the buffer.
    bool takeLine(QString& line);
    // Complete lines waiting in the buffer.
    qsizetype pendingLines() const { return m_lines; }
    // Characters not yet taken (an unfinished line included).
    qsizetype size() const { return m_text.size() - m_pos + m_rawSize; }
    void clear();

private:
    void compact();
    bool decodeMore();

    QString m_text; // decoded
    qsizetype m_pos = 0;
    // Not yet decoded: the pieces as they arrived (kept, not copied).
    std::deque<QByteArray> m_raw;
    qsizetype m_rawPos = 0; // in the first piece
    qsizetype m_rawSize = 0;
    qsizetype m_lines = 0;
};

} // namespace vorsa
