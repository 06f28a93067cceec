#include "buildindexcommand.h"

#include "ini.h"
#include "reporter.h"
#include "stderrindexview.h"
#include "telnrgenerieren.h"

#include <cstdio>

namespace vorsa {

namespace {

void writeLine(const QString& text)
{
    const QByteArray line = text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

int runBuildIndex(const QString& programDir)
{
    LogReporter reporter;
    return runBuildIndex(programDir, reporter);
}

int runBuildIndex(const QString& programDir, IReporter& reporter)
{
    const QString iniFile = programDir + QStringLiteral("/VorsaSrv.INI");
    const QString application =
        IniLesen(QStringLiteral("Settings"), QStringLiteral("Application"), iniFile, QString())
            .toUpper();
    if (application != QLatin1String("KUNDEN") && application != QLatin1String("DROVO")) {
        reporter.message(QStringLiteral("Telefonnummern generieren: In \"%1\" steht unter "
                                        "[Settings] Application=\"%2\"; erwartet wird KUNDEN "
                                        "oder DROVO. Der Index bleibt unverändert.")
                             .arg(iniFile, application),
                         QStringLiteral("Vorsamelder"), MessageIcon::Critical);
        return 2;
    }

    StderrIndexView view;
    TelNrGenerieren window(programDir, reporter, view);
    window.setApplication(application);
    if (!window.load())
        return 1;
    const bool ok = window.command1Click();
    window.unload();
    const IndexBuild::Statistics s = window.lastStatistics();
    writeLine(QStringLiteral("Telefonnummern generieren: %1 - %2 Datensätze gelesen, %3 "
                             "Telefonnummern in den Index geschrieben, %4 verworfen")
                  .arg(ok ? QStringLiteral("fertig") : QStringLiteral("mit Fehler beendet"))
                  .arg(s.records)
                  .arg(s.rowsWritten)
                  .arg(s.rowsDropped + s.numbersSkipped));
    return ok ? 0 : 1;
}

} // namespace vorsa
