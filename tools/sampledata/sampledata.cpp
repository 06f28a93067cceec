#include "sampledata.h"

#include "db/connection.h"
#include "db/recordset.h"
#include "db/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <random>

namespace vorsa::sampledata {

namespace {
const char* const kFirstNames[] = {"Anna",  "Bernd",  "Claudia", "Dieter",  "Eva",
                                   "Frank", "Gisela", "Hans",    "Inge",    "Jürgen",
                                   "Karin", "Lutz",   "Monika",  "Norbert", "Olga",
                                   "Peter", "Renate", "Stefan",  "Ursula",  "Werner"};
const char* const kLastNames[] = {"Müller",  "Schmidt",  "Schneider", "Fischer", "Weber",
                                  "Meyer",   "Wagner",   "Becker",    "Schulz",  "Hoffmann",
                                  "Schäfer", "Koch",     "Bauer",     "Richter", "Klein",
                                  "Wolf",    "Schröder", "Neumann"};
const char* const kStreets[] = {"Hauptstraße", "Bahnhofstraße", "Gartenweg", "Kirchplatz",
                                "Lindenallee", "Schulstraße",   "Am Markt",  "Bergstraße",
                                "Mühlenweg",   "Rosenstraße",   "Waldweg",   "Ringstraße"};
struct Town {
    const char* name;
    const char* plz;
    const char* areaCode;
};
const Town kTowns[] = {{"Bielefeld", "33602", "0521"},
                       {"Gütersloh", "33330", "05241"},
                       {"Herford", "32052", "05221"},
                       {"Musterstadt", "98765", "09876"}};
} // namespace

void writeSqliteUdl(const QString& udlPath, const QString& databaseFile)
{
    QFile f(udlPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    f.write("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n");
    f.write(QStringLiteral("Provider=SQLite;Data Source=%1\r\n").arg(databaseFile).toUtf8());
    // The connection never creates a missing SQLite file: start an empty one.
    QFile db(QFileInfo(udlPath).absoluteDir().absoluteFilePath(databaseFile));
    if (!db.exists())
        db.open(QIODevice::WriteOnly);
}

QStringList generateServerDatabase(const QString& udlPath, int customers, unsigned seed)
{
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };

    db::Connection con;
    con.open(QStringLiteral("File Name=") + udlPath);
    db::applySchema(con, {QStringLiteral("TTelefonNr"), QStringLiteral("TFvFahrten"),
                          QStringLiteral("AKdAdr"), QStringLiteral("AStrassen"),
                          QStringLiteral("AOrte")});
    con.beginTrans();
    db::Recordset towns;
    towns.open(QStringLiteral("SELECT * FROM AOrte"), con, db::CursorType::Static,
               db::LockType::Optimistic);
    const int townCount = int(std::size(kTowns));
    for (int t = 0; t < townCount; ++t) {
        towns.addNew();
        towns.setValue(QStringLiteral("OrNr"), t + 1);
        towns.setValue(QStringLiteral("OrOrt"), QString::fromUtf8(kTowns[t].name));
        towns.update();
    }
    db::Recordset streets;
    streets.open(QStringLiteral("SELECT * FROM AStrassen"), con, db::CursorType::Static,
                 db::LockType::Optimistic);
    const int streetCount = int(std::size(kStreets));
    for (int t = 0; t < townCount; ++t) {
        for (int s = 0; s < streetCount; ++s) {
            streets.addNew();
            streets.setValue(QStringLiteral("StUnID"), t * streetCount + s + 1);
            streets.setValue(QStringLiteral("StStrasse"), QString::fromUtf8(kStreets[s]));
            streets.setValue(QStringLiteral("StOrNr"), t + 1);
            streets.update();
        }
    }

    db::Recordset kunden;
    kunden.open(QStringLiteral("SELECT * FROM AKdAdr"), con, db::CursorType::Static,
                db::LockType::Optimistic);
    db::Recordset index;
    index.open(QStringLiteral("SELECT * FROM TTelefonNr"), con, db::CursorType::Static,
               db::LockType::Optimistic);
    QStringList numbers;
    for (int k = 1; k <= customers; ++k) {
        const Town& town = kTowns[pick(townCount)];
        const int street = pick(streetCount);
        const int townIndex = int(&town - kTowns);
        const QString name = QString::fromUtf8(kLastNames[pick(int(std::size(kLastNames)))]) +
                             QStringLiteral(", ") +
                             QString::fromUtf8(kFirstNames[pick(int(std::size(kFirstNames)))]);
        const QString hausNr = QString::number(1 + pick(120));
        const QString local = QString::number(100000 + (k * 7919 + int(seed)) % 900000);
        const QString fixed = QString::fromLatin1(town.areaCode) + local;
        kunden.addNew();
        kunden.setValue(QStringLiteral("KdUnID"), k);
        kunden.setValue(QStringLiteral("KdSuch"),
                        QStringLiteral("K%1").arg(k, 5, 10, QLatin1Char('0')));
        kunden.setValue(QStringLiteral("KdName"), name);
        kunden.setValue(QStringLiteral("KdFaInfo"),
                        k % 10 == 0 ? QStringLiteral("Rollstuhl") : QString());
        kunden.setValue(QStringLiteral("KdHausNr"), hausNr);
        kunden.setValue(QStringLiteral("KdPlz"), QString::fromLatin1(town.plz));
        kunden.setValue(QStringLiteral("KdVorwahl"), QString::fromLatin1(town.areaCode));
        kunden.setValue(QStringLiteral("KdTelefon1"), local);
        kunden.setValue(QStringLiteral("KdStUnID"), townIndex * streetCount + street + 1);
        kunden.setValue(QStringLiteral("KdKzAutoBooking"), k % 25 == 0);
        kunden.update();

        QStringList mine{fixed};
        if (k % 3 == 0)
            mine << QStringLiteral("0171") + QString::number(1000000 + k);
        for (const QString& nr : mine) {
            index.addNew();
            index.setValue(QStringLiteral("Sperre"), false);
            index.setValue(QStringLiteral("MandNr"), 1);
            index.setValue(QStringLiteral("SuchID"),
                           QStringLiteral("K%1").arg(k, 5, 10, QLatin1Char('0')));
            index.setValue(QStringLiteral("KundenNrID"), k);
            index.setValue(QStringLiteral("Name2"), name);
            index.setValue(QStringLiteral("Straße"),
                           QString::fromUtf8(kStreets[street]) + QLatin1Char(' ') + hausNr);
            index.setValue(QStringLiteral("PLZ"), QString::fromLatin1(town.plz));
            index.setValue(QStringLiteral("Ort"), QString::fromUtf8(town.name));
            index.setValue(QStringLiteral("TelefonNr"), nr);
            index.setValue(QStringLiteral("KundenArt"), 0);
            index.update();
            numbers << nr;
        }
    }
    con.commitTrans();
    con.close();
    return numbers;
}

} // namespace vorsa::sampledata
