#pragma once

#include <QString>

namespace vorsa {

class IReporter;

// "VorsaSrv --dir DIR --build-index": rebuilds the number index for the
// source kind configured in DIR/VorsaSrv.INI (Settings/Application, any
// letter case) without a window. Progress and messages go to stderr. Returns
// the exit status: 0 when the build ran to its end, 1 when it ended on an
// error, 2 when Application names neither "KUNDEN" nor "DROVO".
int runBuildIndex(const QString& programDir);
// The same with another reporter (tests).
int runBuildIndex(const QString& programDir, IReporter& reporter);

} // namespace vorsa
