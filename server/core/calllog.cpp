#include "calllog.h"

#include "vberror.h"
#include "win1252.h"
#include "wire/journal.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace vorsa {

void CallLog::WriteLog(const QString& line) const
{
    // Plain system calls: a line per call is written while the call is
    // handled, and QFile's own checks cost more than the write.
    const QByteArray path = QFile::encodeName(m_path);
    bool readable = true;
    int fd = ::open(path.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        readable = false;
        fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    }
    if (fd < 0)
        throw VbError::pathFileAccess(m_path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        throw VbError::pathFileAccess(m_path);
    }
    const off_t before = st.st_size;
    QByteArray bytes = toWin1252(line) + "\r\n";
    // A last line that was left unfinished (a crash, or a disk that was full
    // before this check existed) is ended first: an entry always starts on a
    // line of its own and is never glued to another.
    char last = '\n';
    if (before > 0 && readable && ::pread(fd, &last, 1, before - 1) == 1 && last != '\n')
        bytes.prepend("\r\n");
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    if (written != bytes.size()) {
        // A full disk: take the part that was written back out, so that no
        // half line stays behind.
        if (::ftruncate(fd, before) != 0) {
            // Nothing more to do: the write already failed.
        }
        ::close(fd);
        throw VbError::pathFileAccess(m_path);
    }
    if (::close(fd) != 0)
        throw VbError::pathFileAccess(m_path);
}

void CallLog::readJournal(const QString& filter,
                          const std::function<void(const QString&)>& entry) const
{
    constexpr qint64 all = std::numeric_limits<qint64>::max();
    readJournalPart(filter, 0, all, all, entry);
}

qint64 CallLog::readJournalPart(const QString& filter, qint64 offset, qint64 end, qint64 budget,
                                const std::function<void(const QString&)>& entry) const
{
    QFile file(m_path);
    if (!file.exists())
        throw VbError::fileNotFound(m_path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        throw VbError::pathFileAccess(m_path);
    qint64 position = offset;
    qint64 read = 0;
    while (position < end && read < budget && !file.atEnd()) {
        const QByteArray raw = file.readLine();
        position += raw.size();
        read += raw.size();
        const std::optional<QString> message = journal::message(raw);
        if (message && journal::selected(*message, filter))
            entry(*message);
    }
    return position;
}

void CallLog::readJournalBackward(const QString& filter, qint64 end,
                                  const std::function<bool(const QString&)>& entry) const
{
    constexpr qint64 piece = 64 * 1024;
    QFile file(m_path);
    if (!file.exists())
        throw VbError::fileNotFound(m_path);
    if (!file.open(QIODevice::ReadOnly))
        throw VbError::pathFileAccess(m_path);
    // One line of the file (with its line end); false when the reader is done.
    const auto line = [&](QByteArrayView raw) {
        const std::optional<QString> message = journal::message(raw);
        return !message || !journal::selected(*message, filter) || entry(*message);
    };
    end = qMin(end, file.size());
    qint64 position = end;
    QByteArray block; // from `position` to the start of the lines already read
    while (position > 0) {
        const qint64 n = qMin(piece, position);
        position -= n;
        if (!file.seek(position))
            throw VbError::pathFileAccess(m_path);
        QByteArray read = file.read(n);
        if (read.size() != n)
            throw VbError::pathFileAccess(m_path);
        block.prepend(read);
        // Every line that starts after a line end inside the block is whole.
        qsizetype lineEnd = block.size();
        while (lineEnd >= 2) {
            const qsizetype nl = block.lastIndexOf('\n', lineEnd - 2);
            if (nl < 0)
                break;
            if (!line(QByteArrayView(block).sliced(nl + 1, lineEnd - nl - 1)))
                return;
            lineEnd = nl + 1;
        }
        block.truncate(lineEnd);
    }
    if (!block.isEmpty())
        line(block); // the first line of the file
}

qint64 CallLog::journalEnd() const
{
    QFileInfo info(m_path);
    if (!info.exists())
        throw VbError::fileNotFound(m_path);
    return info.size();
}

} // namespace vorsa
