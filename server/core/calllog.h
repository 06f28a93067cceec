#pragma once

#include <QString>
#include <functional>

namespace vorsa {

// The call log, which is also the call journal. Every line is appended with
// its own open, one write and close (Windows-1252, CR LF), so other programs
// can copy or read the file between lines.
class CallLog {
public:
    explicit CallLog(QString path = {}) : m_path(std::move(path)) {}
    void setPath(const QString& path) { m_path = path; }
    const QString& path() const { return m_path; }

    // WriteLog: appends one line. Fails with 75 when the file cannot be
    // written; a write that fails halfway (a full disk) is taken back out, so
    // the file never holds half an entry. An entry always starts on a line of
    // its own, also after a last line that something left unfinished.
    void WriteLog(const QString& line) const;

    // Calls `entry` with the message (without "*D*") of every journal entry that
    // the filter selects ("" all, else a date dd.mm.yyyy), in file order. A
    // missing or unreadable log fails with 53 before the first entry.
    void readJournal(const QString& filter, const std::function<void(const QString&)>& entry) const;

    // The journal read in parts (a replay to a client that reads it bit by
    // bit): the entries of the lines that start at byte `offset` (the start of
    // a line) and before `end`, stopping after the line with which `budget`
    // bytes were read. Returns the offset after the last line read. Fails like
    // readJournal.
    qint64 readJournalPart(const QString& filter, qint64 offset, qint64 end, qint64 budget,
                           const std::function<void(const QString&)>& entry) const;
    // The journal read from byte `end` (the end of a line, normally the size
    // of the log when reading began) towards the start: `entry` gets the
    // message of every entry the filter selects, newest first, and returns
    // false to stop. Fails like readJournal.
    void readJournalBackward(const QString& filter, qint64 end,
                             const std::function<bool(const QString&)>& entry) const;
    // The size of the log now (the end of a replay); a missing log fails with 53.
    qint64 journalEnd() const;

private:
    QString m_path;
};

} // namespace vorsa
