#pragma once

#include <QString>
#include <QStringList>

namespace vorsa {

class IDesktop;

// The external program started with the value of one field of a call. The
// command is never handed to a shell: `Path` is split like a command line into
// the program and its fixed arguments, and "/" + value is one more argument, so
// a value from the database can never run commands of its own.
class ExternProgram {
public:
    ExternProgram() = default;
    ExternProgram(QString path) : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }

    // Program first, then the arguments; empty when there is nothing to start
    // (empty path or value, or a path that holds no program).
    QStringList commandFor(const QString& value) const;

    // ExternProgrammStarten: starts the program without waiting; a failure to
    // start is ignored. Returns whether a start was attempted.
    bool ExternProgrammStarten(const QString& value, IDesktop& desktop) const;

private:
    QString m_path;
};

} // namespace vorsa
