#pragma once

#include <QString>

namespace vorsa {

// The receive buffer of the client: text that has arrived but has not been
// cut into lines yet. Lines end with CR; the CR is dropped. Taking a line is
// O(line length), so a large replay in one piece is cut in linear time.
class ReceiveBuffer {
public:
    void append(const QString& text);
    // Cuts the next complete line; false when no CR is in the buffer.
    bool takeLine(QString& line);
    // Complete lines waiting in the buffer.
    qsizetype pendingLines() const { return m_lines; }
    // Characters not yet taken (an unfinished line included).
    qsizetype size() const { return m_text.size() - m_pos; }
    void clear();

private:
    QString m_text;
    qsizetype m_pos = 0;
    qsizetype m_lines = 0;
};

} // namespace vorsa
