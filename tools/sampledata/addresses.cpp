#include "addresses.h"

#include "db/connection.h"
#include "db/schema.h"
#include "db/udl.h"
#include "vberror.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <random>

namespace vorsa::sampledata {

namespace {

const char* const kFirst[] = {"Anna",   "Bernd", "Claudia", "Dieter", "Eva",   "Frank",
                              "Gisela", "Hans",  "Inge",    "Jürgen", "Karin", "Lutz"};
const char* const kLast[] = {"Müller", "Schmidt", "Schneider", "Fischer",  "Weber",   "Meyer",
                             "Wagner", "Becker",  "Schulz",    "Hoffmann", "Schäfer", "Koch"};
const char* const kStreets[] = {"Hauptstraße", "Bahnhofstraße", "Gartenweg", "Kirchplatz",
                                "Lindenallee", "Schulstraße",   "Am Markt",  "Bergstraße"};
struct Town {
    const char* name;
    const char* plz;
    const char* areaCode;
};
const Town kTowns[] = {{"Bielefeld", "33602", "0521"},
                       {"Gütersloh", "33330", "05241"},
                       {"Herford", "32052", "05221"},
                       {"Musterstadt", "98765", "09876"}};

QString u8(const char* s)
{
    return QString::fromUtf8(s);
}

// A fresh, empty SQLite file with the given tables, opened.
void openFresh(db::Connection& con, const QString& sqlitePath, const QStringList& tables)
{
    const QString path = QFileInfo(sqlitePath).absoluteFilePath();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw VbError::pathFileAccess(path);
    file.close();
    db::DataLink link;
    link.provider = QStringLiteral("SQLite");
    link.driver = QStringLiteral("QSQLITE");
    link.databaseName = path;
    con.open(link);
    db::applySchema(con, tables);
}

class Inserter {
public:
    Inserter(db::Connection& con, const QString& table, const QStringList& columns)
        : m_query(con.database())
    {
        QStringList marks;
        for (int i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        m_text = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                     .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        if (!m_query.prepare(m_text))
            fail();
    }
    void insert(const QVariantList& values)
    {
        for (int i = 0; i < values.size(); ++i)
            m_query.bindValue(i, values.at(i));
        if (!m_query.exec())
            fail();
    }

private:
    [[noreturn]] void fail()
    {
        throw VbError::database(m_query.lastError().text() + QStringLiteral(" [Anweisung: ") +
                                m_text + QLatin1Char(']'));
    }
    QSqlQuery m_query;
    QString m_text;
};

// The variety of what people type into telephone fields.
class Numbers {
public:
    explicit Numbers(unsigned seed) : m_rng(seed) {}
    int pick(int n) { return int(m_rng() % unsigned(n)); }

    QString digits(int length)
    {
        QString d;
        d.append(QLatin1Char('1' + pick(9)));
        while (d.size() < length)
            d.append(QLatin1Char('0' + pick(10)));
        return d;
    }
    // The digits written with separators.
    QString written(const QString& digits)
    {
        switch (pick(5)) {
        case 0:
            return digits;
        case 1: { // "12 34 56"
            QString s;
            for (int i = 0; i < digits.size(); ++i) {
                if (i > 0 && i % 2 == 0)
                    s.append(QLatin1Char(' '));
                s.append(digits.at(i));
            }
            return s;
        }
        case 2:
            return digits.left(2) + QLatin1Char('/') + digits.mid(2, 2) + QLatin1Char('-') +
                   digits.mid(4);
        case 3:
            return digits.left(3) + QStringLiteral(" - ") + digits.mid(3);
        default:
            return QLatin1Char(' ') + digits + QLatin1Char(' ');
        }
    }
    // An area code: present, missing (Null, empty or blanks). Sets `present`.
    QVariant areaCode(const QString& code, bool& present)
    {
        const int r = pick(20);
        present = r >= 4;
        if (r == 0)
            return QVariant();
        if (r == 1)
            return QString();
        if (r == 2)
            return QStringLiteral("   ");
        if (r == 3)
            return QStringLiteral(" ");
        if (r == 4)
            return QStringLiteral("(") + code + QStringLiteral(")");
        return code;
    }
    // An absent telephone field: Null, empty or blanks.
    QVariant absent()
    {
        switch (pick(3)) {
        case 0:
            return QVariant();
        case 1:
            return QString();
        default:
            return QStringLiteral("  ");
        }
    }

    // The fixed-line fields and the mobile field of one customer, and the
    // numbers the index gets from them, in order.
    void customer(const QString& areaCode, QVariant& area, QVariant fixed[3], QVariant& mobile,
                  QStringList& expected)
    {
        bool areaPresent = false;
        area = this->areaCode(areaCode, areaPresent);
        const bool has[3] = {pick(10) != 0, pick(3) == 0, pick(8) == 0};
        for (int i = 0; i < 3; ++i) {
            if (!has[i]) {
                fixed[i] = absent();
                continue;
            }
            const QString local = digits(5 + pick(3));
            if (areaPresent) {
                // Now and then the area code is written again in front.
                const bool twice = pick(25) == 0;
                fixed[i] = twice ? areaCode + QLatin1Char('/') + local : written(local);
                expected << areaCode + (twice ? areaCode : QString()) + local;
            } else {
                fixed[i] = areaCode + QLatin1Char('/') + written(local);
                expected << areaCode + local;
            }
        }
        if (pick(2) == 0) {
            const QString net =
                QStringLiteral("01") + QLatin1Char('5' + pick(3)) + QString::number(pick(10));
            const QString subscriber = digits(7);
            if (pick(4) == 0) {
                mobile = QStringLiteral("+49 ") + net.mid(1) + QLatin1Char(' ') + subscriber;
                expected << QStringLiteral("49") + net.mid(1) + subscriber;
            } else {
                mobile = net + QLatin1Char('/') + written(subscriber);
                expected << net + subscriber;
            }
        } else {
            mobile = absent();
        }
    }

private:
    std::mt19937 m_rng;
};

QString guid(int k)
{
    return QStringLiteral("{%1-0000-4000-8000-%2}")
        .arg(k, 8, 16, QLatin1Char('0'))
        .arg(unsigned(k) * 2654435761u, 12, 16, QLatin1Char('0'))
        .toUpper();
}

} // namespace

void insertTenants(db::Connection& con)
{
    Inserter tenants(con, QStringLiteral("TMandanten"),
                     {QStringLiteral("MandNr"), QStringLiteral("MandName")});
    tenants.insert({1, u8("Taxi Bielefeld")});
    tenants.insert({2, u8("Funktaxi Gütersloh")});
    tenants.insert({3, u8("Kurierdienst Herford")});
}

bool addMissingTenants(const QString& sqlitePath)
{
    db::Connection con;
    db::DataLink link;
    link.provider = QStringLiteral("SQLite");
    link.driver = QStringLiteral("QSQLITE");
    link.databaseName = QFileInfo(sqlitePath).absoluteFilePath();
    con.open(link);
    db::applySchema(con, {QStringLiteral("TMandanten")});
    QSqlQuery count(con.database());
    if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM TMandanten")) || !count.next())
        throw VbError::database(count.lastError().text());
    if (count.value(0).toInt() > 0)
        return false;
    count.finish();
    con.beginTrans();
    insertTenants(con);
    con.commitTrans();
    return true;
}

QStringList generateKundenDatabase(const QString& sqlitePath, int customers, unsigned seed)
{
    db::Connection con;
    openFresh(con, sqlitePath, {QStringLiteral("TKunden"), QStringLiteral("TMandanten")});
    Inserter kunden(
        con, QStringLiteral("TKunden"),
        {QStringLiteral("MandNr"), QStringLiteral("UnID"), QStringLiteral("SuchID"),
         QStringLiteral("KundenNrID"), QStringLiteral("Name2"), QStringLiteral("Straße"),
         QStringLiteral("PLZ"), QStringLiteral("Ort"), QStringLiteral("Vorwahl"),
         QStringLiteral("Telefon1"), QStringLiteral("Telefon2"), QStringLiteral("Telefon3"),
         QStringLiteral("Mobil"), QStringLiteral("KundenArt"), QStringLiteral("KundeSeit")});
    Numbers numbers(seed);
    QStringList expected;
    con.beginTrans();
    insertTenants(con);
    const QDate firstCustomer(2009, 1, 1);
    for (int k = 1; k <= customers; ++k) {
        const Town& town = kTowns[numbers.pick(int(std::size(kTowns)))];
        QVariant area, fixed[3], mobile;
        numbers.customer(u8(town.areaCode), area, fixed, mobile, expected);
        const QString name = u8(kLast[numbers.pick(int(std::size(kLast)))]) + QStringLiteral(", ") +
                             u8(kFirst[numbers.pick(int(std::size(kFirst)))]);
        const QString street = u8(kStreets[numbers.pick(int(std::size(kStreets)))]) +
                               QLatin1Char(' ') + QString::number(1 + numbers.pick(99));
        // A few customers with gaps in their master data.
        const bool gaps = k % 50 == 0;
        kunden.insert({1 + k % 3, gaps ? QVariant() : QVariant(guid(k)),
                       QStringLiteral("K%1").arg(k, 6, 10, QLatin1Char('0')), k, name,
                       gaps ? QVariant() : QVariant(street), u8(town.plz), u8(town.name), area,
                       fixed[0], fixed[1], fixed[2], mobile, gaps ? QVariant() : QVariant(k % 4),
                       gaps ? QVariant()
                            : QVariant(firstCustomer.addDays(k * 37 % 6000)
                                           .toString(QStringLiteral("yyyy/MM/dd")))});
    }
    con.commitTrans();
    con.close();
    return expected;
}

QStringList generateDrovoDatabase(const QString& sqlitePath, int customers, unsigned seed)
{
    db::Connection con;
    openFresh(con, sqlitePath,
              {QStringLiteral("AKdAdr"), QStringLiteral("AStrassen"), QStringLiteral("AOrte")});
    const int towns = int(std::size(kTowns));
    const int streets = int(std::size(kStreets));
    con.beginTrans();
    Inserter orte(con, QStringLiteral("AOrte"), {QStringLiteral("OrNr"), QStringLiteral("OrOrt")});
    for (int t = 0; t < towns; ++t)
        orte.insert({t + 1, u8(kTowns[t].name)});
    Inserter strassen(
        con, QStringLiteral("AStrassen"),
        {QStringLiteral("StUnID"), QStringLiteral("StStrasse"), QStringLiteral("StOrNr")});
    for (int t = 0; t < towns; ++t) {
        for (int s = 0; s < streets; ++s)
            strassen.insert({t * streets + s + 1, u8(kStreets[s]), t + 1});
    }
    // A street whose town is missing.
    const int lonelyStreet = towns * streets + 1;
    strassen.insert({lonelyStreet, QStringLiteral("Feldweg"), 999});

    Inserter kunden(
        con, QStringLiteral("AKdAdr"),
        {QStringLiteral("KdUnID"), QStringLiteral("KdSuch"), QStringLiteral("KdName"),
         QStringLiteral("KdFaInfo"), QStringLiteral("KdHausNr"), QStringLiteral("KdPlz"),
         QStringLiteral("KdVorwahl"), QStringLiteral("KdTelefon1"), QStringLiteral("KdTelefon2"),
         QStringLiteral("KdTelefon3"), QStringLiteral("KdMobil1"), QStringLiteral("KdStUnID")});
    Numbers numbers(seed);
    QStringList expected;
    for (int k = 1; k <= customers; ++k) {
        const int t = numbers.pick(towns);
        QVariant area, fixed[3], mobile;
        numbers.customer(u8(kTowns[t].areaCode), area, fixed, mobile, expected);
        const QString name = u8(kLast[numbers.pick(int(std::size(kLast)))]) + QStringLiteral(", ") +
                             u8(kFirst[numbers.pick(int(std::size(kFirst)))]);
        QVariant street = t * streets + numbers.pick(streets) + 1;
        if (k % 40 == 0)
            street = 100000 + k; // no such street
        else if (k % 40 == 1)
            street = lonelyStreet;
        else if (k % 40 == 2)
            street = QVariant();
        kunden.insert({k, QStringLiteral("D%1").arg(k, 6, 10, QLatin1Char('0')), name,
                       k % 10 == 0 ? QVariant(QStringLiteral("Rollstuhl")) : QVariant(),
                       QString::number(1 + numbers.pick(99)), u8(kTowns[t].plz), area, fixed[0],
                       fixed[1], fixed[2], mobile, street});
    }
    con.commitTrans();
    con.close();
    return expected;
}

} // namespace vorsa::sampledata
