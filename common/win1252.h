#pragma once

#include <QByteArray>
#include <QString>

namespace vorsa {

// Windows-1252, the 8-bit code page of the files and the wire. Characters
// without a place in the code page are written as "?".
QString fromWin1252(const QByteArray& bytes);
QByteArray toWin1252(const QString& text);

} // namespace vorsa
