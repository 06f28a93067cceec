#include "externprogram.h"

#include "desktop.h"

#include <QProcess>

namespace vorsa {

QStringList ExternProgram::commandFor(const QString& value) const
{
    if (value.isEmpty() || m_path.isEmpty())
        return {};
    QStringList command = QProcess::splitCommand(m_path);
    if (command.isEmpty())
        return {};
    command.append(QLatin1Char('/') + value);
    return command;
}

bool ExternProgram::ExternProgrammStarten(const QString& value, IDesktop& desktop) const
{
    QStringList command = commandFor(value);
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    try {
        desktop.startProcess(program, command);
    } catch (...) {
        // The start is not checked: a program that does not start changes nothing here.
    }
    return true;
}

} // namespace vorsa
