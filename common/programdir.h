#pragma once

#include <QString>
#include <QStringList>

namespace vorsa {

// The program folder: the value of "--dir DIR" (or "--dir=DIR") when given,
// else the default folder of the running program (below). Returned without a
// trailing slash.
QString programDirectory(const QStringList& arguments);

// The folder of a program started without "--dir": the folder of its
// executable, unless the program is installed into a folder of the system
// (/usr/bin, /usr/local/bin, ...), which is neither the user's nor meant for
// settings; then each user has the folder `programName` in the data folder of
// the desktop (~/.local/share, or $XDG_DATA_HOME), created when missing.
QString defaultProgramDirectory(const QString& executableDir, const QString& programName);

} // namespace vorsa
