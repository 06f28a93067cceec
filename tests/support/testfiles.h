#pragma once

#include <QString>
#include <QStringList>

namespace vorsa::test {

// A program or file of this build (VORSA_BUILD_DIR), e.g. "server/VorsaSrv".
QString buildPath(const QString& relative);

// A TCP port on loopback that is free now, so that tests running at the
// same time never meet on one.
quint16 freePort();

// Writes a file of the lines given, each ended by CR LF, in Windows-1252 (an
// INI file as Windows writes it). A file that cannot be written ends the test
// program.
void writeIni(const QString& path, const QStringList& lines);

} // namespace vorsa::test
