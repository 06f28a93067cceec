// Reloads a call journal of 1,000,000 entries into the server's call list
// ("Aktualisieren" -> "Alles") and prints the time it took.
// Usage: bench_journal [entries]
#include "desktop.h"
#include "iconlist.h"
#include "ini.h"
#include "reporter.h"
#include "servercore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

using namespace vorsa;

int main(int argc, char** argv)
{
    // As VorsaSrv does: the zone file is read once, not at every conversion.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    const int entries = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("VorsaSrv.INI"));
    quint16 port;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    IniSchreiben(QStringLiteral("Settings"), QStringLiteral("LocalPort"), ini,
                 QString::number(port));
    IniSchreiben(QStringLiteral("Table"), QStringLiteral("Name"), ini,
                 QStringLiteral("TTelefonNr"));
    const char* fields[] = {"Datum", "Anrufer", "Name", "Strasse", "Ort", "Versuche"};
    for (int i = 0; i < 6; ++i) {
        IniSchreiben(QStringLiteral("Feld%1").arg(i + 1), QStringLiteral("FieldName"), ini,
                     QString::fromLatin1(fields[i]));
        if (i == 0)
            IniSchreiben(QStringLiteral("Feld1"), QStringLiteral("ColumnFormat"), ini,
                         QStringLiteral("hh:mm  dd.mm.yy"));
    }

    ServerCore::Environment env;
    LogReporter reporter;
    HeadlessDesktop desktop;
    FileIconList icons;
    env.programDir = dir.path();
    env.reporter = &reporter;
    env.desktop = &desktop;
    env.icons = &icons;
    ServerCore core(env);
    core.Form_Load();

    {
        QFile log(core.settings().logFile);
        log.open(QIODevice::Append);
        QByteArray chunk;
        for (int i = 0; i < entries; ++i) {
            chunk += QStringLiteral(
                         "*D*Icon=1;Datum=%1.12.2026 %2:%3:%4;Anrufer=0521%5;Name=Müller, Hans;"
                         "Strasse=Hauptstraße 5;Ort=Bielefeld;Versuche=0\r\n")
                         .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                         .arg(i / 3600 % 24, 2, 10, QLatin1Char('0'))
                         .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                         .arg(i % 60, 2, 10, QLatin1Char('0'))
                         .arg(i, 7, 10, QLatin1Char('0'))
                         .toLatin1();
            if (chunk.size() > (1 << 20)) {
                log.write(chunk);
                chunk.clear();
            }
        }
        log.write(chunk);
    }

    QElapsedTimer t;
    t.start();
    const std::clock_t cpu0 = std::clock();
    core.mnuAlles_Click();
    const double all = t.elapsed() / 1000.0;
    const double allCpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    t.restart();
    core.mnuHeute_Click();
    const double today = t.elapsed() / 1000.0;
    std::printf("journal_entries=%d\n", entries);
    std::printf("rows_after_reload_today=%d\n", core.callList().rowCount());
    std::printf("reload_all_s=%.2f\n", all);
    std::printf("reload_all_cpu_s=%.2f\n", allCpu);
    std::printf("reload_all_entries_per_s=%.0f\n", entries / all);
    std::printf("reload_today_filter_s=%.2f\n", today);
    core.Form_Unload();
    return 0;
}
