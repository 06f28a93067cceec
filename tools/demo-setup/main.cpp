// Prepares a demo folder for the server: INI file with a lookup query on the
// number index, data-link file, and a SQLite database with generated customers;
// the customer-management database (udlAdressen.UDL) that the index is built
// from and the customer program Kundenstamm edits. A folder set up earlier
// gets what later versions added (the tenants).
// Usage: vorsa-demo-setup --dir DIR [--customers N]
#include "addresses.h"
#include "commandline.h"
#include "index/buildindexcommand.h"
#include "ini.h"
#include "sampledata.h"
#include "translations.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <cstdio>

using namespace vorsa;

namespace {

struct Field {
    const char *name, *header, *width, *format;
    bool visible;
};

void writeFields(const QString& ini, std::initializer_list<Field> fields)
{
    int n = 0;
    for (const Field& f : fields) {
        const QString s = QStringLiteral("Feld%1").arg(++n);
        IniSchreiben(s, QStringLiteral("FieldName"), ini, QString::fromUtf8(f.name));
        IniSchreiben(s, QStringLiteral("ColumnName"), ini, QString::fromUtf8(f.header));
        IniSchreiben(s, QStringLiteral("ColumnWidth"), ini, QString::fromUtf8(f.width));
        IniSchreiben(s, QStringLiteral("ColumnFormat"), ini, QString::fromUtf8(f.format));
        IniSchreiben(s, QStringLiteral("ColumnVisible"), ini,
                     f.visible ? QStringLiteral("1") : QStringLiteral("0"));
    }
}

// The sample icons of the list (1 identified, 2 several customers, 3 not
// identified), copied into the folder when this build has them.
void writeIcons(const QString& ini, const QString& dir)
{
    const QStringList names = {QStringLiteral("anrufer-bekannt.png"),
                               QStringLiteral("anrufer-mehrdeutig.png"),
                               QStringLiteral("anrufer-unbekannt.png")};
    const QDir from(QStringLiteral(VORSA_SAMPLE_ICON_DIR));
    for (const QString& name : names) {
        if (!from.exists(name))
            return;
    }
    for (int i = 0; i < names.size(); ++i) {
        QFile::remove(dir + QLatin1Char('/') + names[i]);
        QFile::copy(from.filePath(names[i]), dir + QLatin1Char('/') + names[i]);
        IniSchreiben(QStringLiteral("ICONS"), QStringLiteral("ICON%1").arg(i + 1), ini, names[i]);
    }
}

// The demo's client beside the server: the same readable columns, as wide as
// the client window (640 pixels) takes them; the number called from is in
// "Nummer", so "Anrufer" is kept but not shown.
void writeClientIni(const QString& dir)
{
    const QString ini = dir + QStringLiteral("/VorsaCl.INI");
    IniSchreiben(QStringLiteral("Settings"), QStringLiteral("RemoteHost"), ini,
                 QStringLiteral("127.0.0.1"));
    writeFields(ini, {{"Datum", "Datum", "1950", "hh:mm  dd.mm.yy", true},
                      {"Name", "Name", "1875", "", true},
                      {"Strasse", "Straße", "1725", "", true},
                      {"Ort", "Ort", "1200", "", true},
                      {"Nr", "Nummer", "1500", "", true},
                      {"Versuche", "Versuche", "900", "", true},
                      {"Anrufer", "Anrufer", "1350", "", false}});
    writeIcons(ini, dir);
}

// Whether the client's settings show the demo's columns; a client INI of an
// earlier demo held only the host (and then the three narrow fixed columns).
bool clientIniHasDemoColumns(const QString& dir)
{
    const QString ini = dir + QStringLiteral("/VorsaCl.INI");
    for (int i = 1;; ++i) {
        const QString name =
            IniLesen(QStringLiteral("Feld%1").arg(i), QStringLiteral("FieldName"), ini, {});
        if (name.isEmpty())
            return false;
        if (name == QLatin1String("Name"))
            return true;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    installGermanTranslations(app);
    QCommandLineParser parser;
    setUpCommandLine(
        parser, QStringLiteral("vorsa-demo-setup"),
        QStringLiteral("Richtet einen Demo-Ordner für den Anrufserver ein: "
                       "Einstellungen, Datenbank mit erzeugten Kunden, Nummernindex."));
    const QCommandLineOption dirOption(QStringLiteral("dir"), QStringLiteral("Der Demo-Ordner."),
                                       QStringLiteral("ORDNER"));
    const QCommandLineOption customersOption(QStringLiteral("customers"),
                                             QStringLiteral("Anzahl der Kunden (Vorgabe 300)."),
                                             QStringLiteral("N"), QStringLiteral("300"));
    parser.addOption(dirOption);
    parser.addOption(customersOption);
    parser.process(app);
    QString dir = parser.value(dirOption);
    bool numberOk = false;
    const int customers = parser.value(customersOption).toInt(&numberOk);
    if (dir.isEmpty() || !numberOk || customers < 1) {
        std::fprintf(stderr, "Aufruf: vorsa-demo-setup --dir ORDNER [--customers N]\n");
        return 2;
    }
    QDir().mkpath(dir);
    dir = QDir(dir).absolutePath();
    const QString ini = dir + QStringLiteral("/VorsaSrv.INI");
    const QString udl = dir + QStringLiteral("/udlVorsa.UDL");
    const QString database = dir + QStringLiteral("/vorsa.db");
    if (QFile::exists(database)) {
        // A folder from before the customer program knew tenants gets them.
        const QString adressen = dir + QStringLiteral("/adressen.db");
        if (QFile::exists(adressen)) {
            try {
                if (sampledata::addMissingTenants(adressen))
                    std::printf("Mandanten in %s angelegt.\n", qPrintable(adressen));
            } catch (const std::exception& e) {
                std::fprintf(stderr, "Mandanten konnten nicht angelegt werden: %s\n", e.what());
            }
        }
        if (!clientIniHasDemoColumns(dir)) {
            writeClientIni(dir);
            std::printf("Spalten des Clients in %s/VorsaCl.INI eingetragen.\n", qPrintable(dir));
        }
        std::printf("Demo-Ordner %s ist schon eingerichtet.\n", qPrintable(dir));
        return 0;
    }

    sampledata::writeSqliteUdl(udl, QStringLiteral("vorsa.db"));
    QStringList numbers;
    try {
        numbers = sampledata::generateServerDatabase(udl, customers);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Demo-Datenbank konnte nicht angelegt werden: %s\n", e.what());
        return 1;
    }

    const QString t = QStringLiteral("Table");
    IniSchreiben(
        t, QStringLiteral("SQL1.1"), ini,
        QStringLiteral(
            "SELECT Name2 AS Name, Straße AS Strasse, Ort, TelefonNr AS Nr FROM TTelefonNr"));
    IniSchreiben(t, QStringLiteral("SQL1.2"), ini,
                 QStringLiteral("WHERE TelefonNr LIKE '/*CallingNr*/'"));
    IniSchreiben(t, QStringLiteral("Name"), ini, QStringLiteral("TTelefonNr"));
    IniSchreiben(t, QStringLiteral("Icon"), ini, QString());
    // The server window's list is 884 pixels wide: the columns fit it.
    writeFields(ini, {{"Datum", "Datum", "2025", "hh:mm  dd.mm.yy", true},
                      {"Anrufer", "Anrufer", "1650", "", true},
                      {"Name", "Name", "2700", "", true},
                      {"Strasse", "Straße", "2400", "", true},
                      {"Ort", "Ort", "1650", "", true},
                      {"Nr", "Nummer", "1650", "", true},
                      {"Versuche", "Versuche", "900", "", true}});
    writeIcons(ini, dir);
    IniSchreiben(QStringLiteral("Settings"), QStringLiteral("Line"), ini, QStringLiteral("SIM"));
    // The number index comes from a customer-management address database, the
    // way an office builds it: "Stammdaten" -> "Telefonnummern generieren", or
    // "VorsaSrv --dir DIR --build-index".
    IniSchreiben(QStringLiteral("Settings"), QStringLiteral("Application"), ini,
                 QStringLiteral("KUNDEN"));
    const QStringList indexed =
        sampledata::generateKundenDatabase(dir + QStringLiteral("/adressen.db"), customers);
    sampledata::writeSqliteUdl(dir + QStringLiteral("/udlAdressen.UDL"),
                               QStringLiteral("adressen.db"));
    // A dispatch database too, for trying the other source (README).
    sampledata::generateDrovoDatabase(dir + QStringLiteral("/dispo.db"), customers);
    if (runBuildIndex(dir) != 0) {
        std::fprintf(stderr, "Die Telefonnummern konnten nicht generiert werden.\n");
        return 1;
    }
    numbers.clear();
    for (const QString& nr : indexed) {
        if (nr.startsWith(QLatin1Char('0')) && !nr.startsWith(QStringLiteral("00")) &&
            nr.size() >= 7)
            numbers << nr;
    }
    IniSchreiben(QStringLiteral("Settings"), QStringLiteral("EigeneVorwahl"), ini,
                 QStringLiteral("0521"));

    // A few numbers the demo calls with: known customers, a direct-dial
    // extension of a known number, and an unknown caller.
    QFile calls(dir + QStringLiteral("/demo-calls.txt"));
    if (calls.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QTextStream out(&calls);
        for (int i = 0; i < 5 && i * 37 < numbers.size(); ++i)
            out << numbers[i * 37] << '\n';
        if (!numbers.isEmpty())
            out << numbers.first() << QStringLiteral("42") << '\n';
        out << QStringLiteral("08912345678") << '\n' << QStringLiteral("(hidden)") << '\n';
    }
    writeClientIni(dir);
    std::printf("Demo-Ordner %s eingerichtet: %d Kunden mit %lld Telefonnummern im "
                "Rufnummernindex.\n",
                qPrintable(dir), customers, qlonglong(indexed.size()));
    std::printf("Die Demo-Anrufe kommen von Nummern mit Vorwahl (%lld der %lld), siehe "
                "demo-calls.txt.\n",
                qlonglong(numbers.size()), qlonglong(indexed.size()));
    return 0;
}
