#include "benchdata.h"

#include "db/connection.h"
#include "db/recordset.h"
#include "db/schema.h"
#include "db/udl.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <random>

namespace vorsa::bench {

QString connectionString(const QString& folder)
{
    return QStringLiteral("File Name=") +
           QDir(folder).absoluteFilePath(QStringLiteral("udlVorsa.UDL"));
}

namespace {
void writeUdl(const QString& folder)
{
    db::writeUdl(QDir(folder).absoluteFilePath(QStringLiteral("udlVorsa.UDL")),
                 QStringLiteral("Provider=SQLite;Data Source=vorsa.db"));
}
} // namespace

QStringList createNumberIndex(const QString& folder, int rows, int sampleSize)
{
    const QString file = QDir(folder).absoluteFilePath(QStringLiteral("vorsa.db"));
    QFile::remove(file);
    {
        QFile empty(file);
        empty.open(QIODevice::WriteOnly);
    }
    writeUdl(folder);
    {
        db::Connection con;
        con.open(connectionString(folder));
        db::applySchema(con, {QStringLiteral("TTelefonNr")});
    }

    static const char* const areas[] = {"0521", "0301", "0401", "0891",
                                        "0221", "0511", "0231", "0691"};
    std::mt19937 random(20261207u);
    std::uniform_int_distribution<int> subscriber(0, 9999999);
    QSet<QString> seen;
    QStringList numbers;
    numbers.reserve(rows);
    numbers << QStringLiteral("05211234000");
    seen.insert(numbers.first());
    const QString forbidden = CutThreeNumber.left(CutThreeNumber.size() - 2);
    while (numbers.size() < rows) {
        const QString nr = QLatin1String(areas[random() % 8]) +
                           QStringLiteral("%1").arg(subscriber(random), 7, 10, QLatin1Char('0'));
        if (nr.startsWith(forbidden) || seen.contains(nr))
            continue;
        seen.insert(nr);
        numbers << nr;
    }

    // Filling a million rows through the result set would take minutes; the
    // benchmark measures the lookup, so the rows go in with one prepared insert.
    {
        QSqlDatabase sql =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench-fill"));
        sql.setDatabaseName(file);
        sql.open();
        // A cache that holds the index keeps the fill from thrashing the disk.
        QSqlQuery(sql).exec(QStringLiteral("PRAGMA cache_size=-262144"));
        QSqlQuery(sql).exec(QStringLiteral("PRAGMA synchronous=OFF"));
        sql.transaction();
        QSqlQuery insert(sql);
        insert.prepare(QStringLiteral("INSERT INTO TTelefonNr (Sperre, MandNr, SuchID, Name2, Ort, "
                                      "TelefonNr) VALUES (0, 1, ?, ?, 'Bielefeld', ?)"));
        for (int i = 0; i < numbers.size(); ++i) {
            insert.bindValue(0, QStringLiteral("K%1").arg(i));
            insert.bindValue(1, QStringLiteral("Kunde %1").arg(i));
            insert.bindValue(2, numbers.at(i));
            insert.exec();
        }
        sql.commit();
        sql.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-fill"));

    QStringList sample;
    for (int i = 1; i < numbers.size() && sample.size() < sampleSize;
         i += numbers.size() / sampleSize)
        sample << numbers.at(i);
    return sample;
}

void copyWithoutIndex(const QString& folder, const QString& target)
{
    const QString file = QDir(target).absoluteFilePath(QStringLiteral("vorsa.db"));
    QFile::remove(file);
    QFile::copy(QDir(folder).absoluteFilePath(QStringLiteral("vorsa.db")), file);
    writeUdl(target);
    db::Connection con;
    con.open(connectionString(target));
    db::Recordset indexes;
    indexes.open(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND "
                                "tbl_name = 'TTelefonNr' AND sql IS NOT NULL"),
                 con);
    QStringList names;
    for (; !indexes.eof(); indexes.moveNext())
        names << indexes.value(0).toString();
    indexes.close();
    for (const QString& name : names)
        con.execute(QStringLiteral("DROP INDEX \"%1\"").arg(name));
}

double median(QList<double> values)
{
    return percentile(std::move(values), 50.0);
}

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype rank = qsizetype(std::ceil(p / 100.0 * double(values.size()))) - 1;
    return values.at(std::clamp<qsizetype>(rank, 0, values.size() - 1));
}

} // namespace vorsa::bench
