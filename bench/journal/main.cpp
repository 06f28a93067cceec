// Reloads a call journal of 1,000,000 entries into the server's call list
// ("Aktualisieren" -> "Alles" and "Heute") with the default row limit and
// without one, and prints the times and the longest time the window could
// not react meanwhile; then the same with the limit on a journal whose
// entries lack a field (written before it existed) and hold odd short lines.
// Usage: bench_journal [entries]
#include "desktop.h"
#include "iconlist.h"
#include "ini.h"
#include "reporter.h"
#include "servercore.h"
#include "testfiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <functional>

using namespace vorsa;

namespace {

struct Reload {
    double seconds = 0;
    double cpuSeconds = 0;
    double longestBlockMs = 0; // the longest gap between two ticks of a 1 ms timer
    int rows = 0;
};

Reload measure(ServerCore& core, const std::function<void()>& reload)
{
    Reload r;
    QElapsedTimer since;
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = qMax(longest, since.nsecsElapsed());
        since.restart();
    });
    tick.start();
    since.start();
    QElapsedTimer t;
    t.start();
    const std::clock_t cpu0 = std::clock();
    reload();
    longest = qMax(longest, since.nsecsElapsed());
    r.seconds = double(t.nsecsElapsed()) / 1e9;
    r.cpuSeconds = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    r.longestBlockMs = double(longest) / 1e6;
    r.rows = core.callList().rowCount();
    return r;
}

void print(const char* prefix, const char* name, const Reload& r)
{
    std::printf("%s%s_s=%.3f\n%s%s_cpu_s=%.3f\n%s%s_longest_block_ms=%.1f\n%s%s_rows=%d\n", prefix,
                name, r.seconds, prefix, name, r.cpuSeconds, prefix, name, r.longestBlockMs, prefix,
                name, r.rows);
}

} // namespace

int main(int argc, char** argv)
{
    // As VorsaSrv does: the zone file is read once, not at every conversion.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    const int entries = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("VorsaSrv.INI"));
    IniSchreiben(QStringLiteral("Settings"), QStringLiteral("LocalPort"), ini,
                 QString::number(test::freePort()));
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

    // A journal line of entry i; "odd": without the field Ort, and every
    // seventh entry a short line of its number alone.
    const auto entryLine = [](int i, bool odd) {
        const QString day = QStringLiteral("%1.12.2026 %2:%3:%4")
                                .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                                .arg(i / 3600 % 24, 2, 10, QLatin1Char('0'))
                                .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                                .arg(i % 60, 2, 10, QLatin1Char('0'));
        const QString number = QStringLiteral("0521%1").arg(i, 7, 10, QLatin1Char('0'));
        if (!odd)
            return QStringLiteral("*D*Icon=1;Datum=%1;Anrufer=%2;Name=Müller, Hans;"
                                  "Strasse=Hauptstraße 5;Ort=Bielefeld;Versuche=0\r\n")
                .arg(day, number)
                .toLatin1();
        if (i % 7 == 0)
            return QStringLiteral("*D*Anrufer=%1\r\n").arg(number).toLatin1();
        return QStringLiteral("*D*Icon=1;Datum=%1;Anrufer=%2;Name=Müller, Hans;"
                              "Strasse=Hauptstraße 5;Versuche=0\r\n")
            .arg(day, number)
            .toLatin1();
    };
    const auto writeLog = [&](const QString& path, bool odd) {
        QFile log(path);
        log.open(QIODevice::WriteOnly | QIODevice::Truncate);
        QByteArray chunk;
        for (int i = 0; i < entries; ++i) {
            chunk += entryLine(i, odd);
            if (chunk.size() > (1 << 20)) {
                log.write(chunk);
                chunk.clear();
            }
        }
        log.write(chunk);
    };

    const auto run = [&](const QString& limit, const char* prefix, bool odd = false) {
        IniSchreiben(QStringLiteral("Settings"), QStringLiteral("MaxListenZeilen"), ini, limit);
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
        static int written = -1;
        if (written != int(odd)) {
            written = int(odd);
            writeLog(core.settings().logFile, odd);
        }
        print(prefix, "reload_all", measure(core, [&] { core.mnuAlles_Click(); }));
        print(prefix, "reload_today", measure(core, [&] { core.mnuHeute_Click(); }));
        core.Form_Unload();
    };
    std::printf("journal_entries=%d\n", entries);
    run(QStringLiteral("10000"), "");
    run(QStringLiteral("0"), "unlimited_");
    run(QStringLiteral("10000"), "odd_", true);
    return 0;
}
