#include "filelock.h"

#include <QFile>
#include <QSysInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorsa {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

FileLock::Result FileLock::tryLock()
{
    if (m_fd >= 0)
        return Result::Locked;
    m_holderPid = 0;
    m_holderHost.clear();
    m_error.clear();
    const QByteArray path = QFile::encodeName(m_path);
    // A holder removes the file when it unlocks: a lock taken on a file that
    // was removed (or replaced) meanwhile guards nothing, and is taken again
    // on the file that now bears the name.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            m_error = systemError(errno);
            return Result::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            if (error == EWOULDBLOCK) {
                readHolder(fd);
                ::close(fd);
                return Result::HeldElse;
            }
            ::close(fd);
            m_error = systemError(error);
            return Result::Failed;
        }
        struct stat locked {};
        struct stat named {};
        if (::fstat(fd, &locked) == 0 && ::stat(path.constData(), &named) == 0 &&
            locked.st_dev == named.st_dev && locked.st_ino == named.st_ino) {
            const QByteArray holder = QByteArray::number(qint64(::getpid())) + '\n' +
                                      QSysInfo::machineHostName().toUtf8() + '\n';
            // Who holds it is information for others, not part of the lock:
            // a file that cannot be written to still locks.
            if (::ftruncate(fd, 0) == 0) {
                [[maybe_unused]] const ssize_t written =
                    ::pwrite(fd, holder.constData(), size_t(holder.size()), 0);
            }
            m_fd = fd;
            return Result::Locked;
        }
        ::close(fd);
    }
    m_error = QStringLiteral("die Datei wird fortwährend ersetzt");
    return Result::Failed;
}

void FileLock::unlock()
{
    if (m_fd < 0)
        return;
    // Removed while still held, so that nobody locks the old file after it.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
}

void FileLock::readHolder(int fd)
{
    char buffer[512];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
    if (n <= 0)
        return;
    const QList<QByteArray> lines = QByteArray(buffer, int(n)).split('\n');
    m_holderPid = lines.value(0).trimmed().toLongLong();
    m_holderHost = QString::fromUtf8(lines.value(1).trimmed());
}

} // namespace vorsa
