#pragma once

#include <QString>

namespace vorsa {

// An exclusive lock on a file (flock), held while the object holds it. The
// kernel gives the lock up when the process ends, however it ends: a lock
// file that a killed process left behind is a name and nothing more, and the
// next process takes the lock at once. The holder writes its process id and
// host into the file, so that a process that is refused can say who holds it.
// Unlocking removes the file.
class FileLock {
public:
    enum class Result {
        Locked,   // this object holds the lock now
        HeldElse, // another holder has it (holderPid(), holderHost())
        Failed,   // the file cannot be opened or locked (errorText())
    };

    explicit FileLock(const QString& path) : m_path(path) {}
    ~FileLock() { unlock(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock without waiting.
    Result tryLock();
    void unlock();
    bool isLocked() const { return m_fd >= 0; }

    const QString& path() const { return m_path; }
    // After HeldElse: what the holder wrote (0 and "" when it wrote nothing yet).
    qint64 holderPid() const { return m_holderPid; }
    const QString& holderHost() const { return m_holderHost; }
    // After Failed: the system's reason.
    const QString& errorText() const { return m_error; }

private:
    void readHolder(int fd);

    QString m_path;
    int m_fd = -1;
    qint64 m_holderPid = 0;
    QString m_holderHost;
    QString m_error;
};

} // namespace vorsa
