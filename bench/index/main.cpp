// Rebuilds the number index from a customer-management database of 100,000
// TKunden rows (one to four numbers each) into a SQLite database on disk,
// once with the inserts of 100 source records committed together (as the
// build runs) and once with every insert committed on its own. Prints
// name=value lines. For reference it also commits per row with a disk sync
// at every commit, on a smaller source.
// Usage: bench_index [--customers N] [--dir FOLDER] [--batched-only]
// (FOLDER must be on disk; default the current folder)
#include "addresses.h"
#include "db/connection.h"
#include "db/recordset.h"
#include "db/schema.h"
#include "db/udl.h"
#include "index/indexbuild.h"
#include "index/stderrindexview.h"
#include "reporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

using namespace vorsa;

namespace {

// The window without widgets and without progress lines; it notes when the
// walk over the source starts and ends.
class QuietView : public StderrIndexView {
public:
    explicit QuietView(const QElapsedTimer& clock) : m_clock(clock) {}
    void setProgressValue(int) override {}
    void unbindGrid() override { walkStart = m_clock.nsecsElapsed() / 1e9; }
    void bindGrid() override { walkEnd = m_clock.nsecsElapsed() / 1e9; }
    double walkStart = 0;
    double walkEnd = 0;

private:
    const QElapsedTimer& m_clock;
};

struct Run {
    double seconds = 0;
    double cpuSeconds = 0; // of this process: the machine may be busy with others
    double setUp = 0;      // address database opened, index emptied, source read
    double walk = 0;       // the records walked and the index requeried
    int rows = 0;
    bool ok = false;
};

Run rebuild(const QString& dir, IndexBuild::CommitMode mode, bool syncEveryCommit = false)
{
    db::Connection index;
    index.open(QStringLiteral("File Name=") + dir + QStringLiteral("/udlVorsa.UDL"));
    if (syncEveryCommit)
        index.execute(QStringLiteral("PRAGMA synchronous=FULL"));
    db::Recordset rs;
    rs.open(QStringLiteral("Select * From TTelefonNr"), index, db::CursorType::Static,
            db::LockType::Optimistic);
    QElapsedTimer t;
    QuietView view(t);
    LogReporter reporter;
    IndexBuild build(dir, index, rs, view, reporter);
    build.setCommitMode(mode);
    t.start();
    const std::clock_t cpu0 = std::clock();
    Run run;
    run.ok = build.KUNDEN_Verarbeitung();
    run.seconds = t.nsecsElapsed() / 1e9;
    run.cpuSeconds = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    run.rows = build.statistics().rowsWritten;
    run.setUp = view.walkStart;
    run.walk = view.walkEnd - view.walkStart;
    return run;
}

void line(const char* name, const QString& value)
{
    std::printf("%s=%s\n", name, qPrintable(value));
}

// A program folder with an empty index and a generated TKunden source.
QStringList prepare(const QString& dir, int customers)
{
    QFile(dir + QStringLiteral("/vorsa.db")).open(QIODevice::WriteOnly);
    db::writeUdl(dir + QStringLiteral("/udlVorsa.UDL"),
                 QStringLiteral("Provider=SQLite;Data Source=vorsa.db"));
    db::writeUdl(dir + QStringLiteral("/udlAdressen.UDL"),
                 QStringLiteral("Provider=SQLite;Data Source=adressen.db"));
    {
        db::Connection con;
        con.open(QStringLiteral("File Name=") + dir + QStringLiteral("/udlVorsa.UDL"));
        db::applySchema(con, {QStringLiteral("TTelefonNr")});
    }
    return sampledata::generateKundenDatabase(dir + QStringLiteral("/adressen.db"), customers);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int customers = 100000;
    QString base = QDir::currentPath();
    const QStringList args = app.arguments();
    const bool batchedOnly = args.contains(QStringLiteral("--batched-only"));
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--customers"))
            customers = args[++i].toInt();
        else if (args[i] == QLatin1String("--dir"))
            base = args[++i];
    }
    QTemporaryDir tmp(base + QStringLiteral("/bench-index-XXXXXX"));
    if (!tmp.isValid()) {
        std::fprintf(stderr, "Kein Arbeitsordner in %s\n", qPrintable(base));
        return 1;
    }
    const QString dir = tmp.path();
    try {
        const QStringList numbers = prepare(dir, customers);
        const Run batched = rebuild(dir, IndexBuild::CommitMode::AtProgressPoints);
        const Run perRow = batchedOnly ? batched : rebuild(dir, IndexBuild::CommitMode::PerRow);
        const double batchedRate = batched.rows / batched.seconds;
        const double perRowRate = perRow.rows / perRow.seconds;

        // For reference: commit per row when every commit also waits for the
        // disk (synchronous=FULL), on a smaller source.
        const int syncCustomers = qMin(customers, 2000);
        QDir().mkpath(dir + QStringLiteral("/sync"));
        prepare(dir + QStringLiteral("/sync"), syncCustomers);
        const Run synced = batchedOnly ? batched
                                       : rebuild(dir + QStringLiteral("/sync"),
                                                 IndexBuild::CommitMode::PerRow, true);

        line("customers", QString::number(customers));
        line("index_rows", QString::number(numbers.size()));
        line("commit_every_100_records_ok", batched.ok ? QStringLiteral("1") : QStringLiteral("0"));
        line("commit_every_100_records_seconds", QString::number(batched.seconds, 'f', 3));
        line("commit_every_100_records_setup_seconds", QString::number(batched.setUp, 'f', 3));
        line("commit_every_100_records_walk_seconds", QString::number(batched.walk, 'f', 3));
        line("commit_every_100_records_rows_per_second", QString::number(batchedRate, 'f', 0));
        line("commit_per_row_ok", perRow.ok ? QStringLiteral("1") : QStringLiteral("0"));
        line("commit_per_row_seconds", QString::number(perRow.seconds, 'f', 3));
        line("commit_per_row_rows_per_second", QString::number(perRowRate, 'f', 0));
        line("speedup", QString::number(batchedRate / perRowRate, 'f', 1));
        line("commit_per_row_synced_customers", QString::number(syncCustomers));
        line("commit_per_row_synced_rows_per_second",
             QString::number(synced.rows / synced.seconds, 'f', 0));
        line("speedup_against_synced",
             QString::number(batchedRate / (synced.rows / synced.seconds), 'f', 1));
        // The same per second of this process's own CPU time.
        line("commit_every_100_records_cpu_seconds", QString::number(batched.cpuSeconds, 'f', 3));
        line("commit_every_100_records_rows_per_cpu_second",
             QString::number(batched.rows / batched.cpuSeconds, 'f', 0));
        line("commit_per_row_cpu_seconds", QString::number(perRow.cpuSeconds, 'f', 3));
        line("commit_per_row_rows_per_cpu_second",
             QString::number(perRow.rows / perRow.cpuSeconds, 'f', 0));
        return batched.ok && perRow.ok && batched.rows == numbers.size() &&
                       perRow.rows == numbers.size()
                   ? 0
                   : 1;
    } catch (const VbError& e) {
        std::fprintf(stderr, "Fehler %d: %s\n", e.number(), qPrintable(e.description()));
        return 1;
    }
}
