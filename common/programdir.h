#pragma once

#include <QString>
#include <QStringList>

namespace vorsa {

// The program folder: the value of "--dir DIR" (or "--dir=DIR") when given,
// else the folder of the executable. Returned without a trailing slash.
QString programDirectory(const QStringList& arguments);

} // namespace vorsa
