// Time per caller lookup on a million-row number index, with the shipped
// index and without it, on a connection kept open from lookup to lookup as the
// server keeps it. Prints name=value lines.

#include "benchdata.h"
#include "db/connection.h"
#include "lookup/lookupqueries.h"
#include "reporter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using namespace vorsa;

namespace {

struct Result {
    double medianUs = 0;
    int versuche = -1;
    int records = -1;
};

Result measure(const QString& folder, int runs)
{
    LogReporter reporter;
    LookupQueries lookup(reporter);
    lookup.setCutDigits(QStringLiteral("3"));
    lookup.ClassSqlRsInstanzieren(
        QStringLiteral("SELECT * FROM TTelefonNr WHERE TelefonNr LIKE '/*CallingNr*/'"));
    db::Connection con;
    const QString cs = bench::connectionString(folder);
    Result result;
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        lookup.resetCounts();
        QElapsedTimer timer;
        timer.start();
        clsSqlRs* found = lookup.AnruferSuchen(bench::CutThreeNumber, con, cs, QStringLiteral("%"));
        times << double(timer.nsecsElapsed()) / 1000.0;
        if (found) {
            result.versuche = found->AnzahlVersuche;
            result.records = found->RecordCount;
        }
    }
    result.medianUs = bench::median(times);
    return result;
}

// The share of opening and closing the connection in one lookup.
double openCloseMedianUs(const QString& folder, int runs)
{
    QList<double> times;
    const QString cs = bench::connectionString(folder);
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        db::Connection con;
        con.open(cs);
        con.close();
        times << double(timer.nsecsElapsed()) / 1000.0;
    }
    return bench::median(times);
}

void print(const char* name, double value)
{
    std::printf("%s=%.1f\n", name, value);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    QTemporaryDir indexed, plain;
    QElapsedTimer fill;
    fill.start();
    bench::createNumberIndex(indexed.path(), rows);
    bench::copyWithoutIndex(indexed.path(), plain.path());
    std::printf("lookup_rows=%d\n", rows);
    print("lookup_setup_s", double(fill.elapsed()) / 1000.0);

    const Result withIndex = measure(indexed.path(), 301);
    const Result withoutIndex = measure(plain.path(), 11);
    std::printf("lookup_cut_digits=3\nlookup_anzahl_versuche=%d\nlookup_records=%d\n",
                withIndex.versuche, withIndex.records);
    print("lookup_indexed_median_us", withIndex.medianUs);
    print("lookup_unindexed_median_us", withoutIndex.medianUs);
    print("lookup_open_close_median_us", openCloseMedianUs(indexed.path(), 301));
    print("lookup_speedup_x", withoutIndex.medianUs / withIndex.medianUs);
    return withIndex.versuche == 3 && withoutIndex.versuche == 3 ? 0 : 1;
}
