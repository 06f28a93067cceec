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
    struct F {
        const char *name, *header, *width, *format;
    };
    const F fields[] = {{"Datum", "Datum", "1900", "hh:mm  dd.mm.yy"},
                        {"Anrufer", "Anrufer", "1800", ""},
                        {"Name", "Name", "3000", ""},
                        {"Strasse", "Straße", "2700", ""},
                        {"Ort", "Ort", "1800", ""},
                        {"Nr", "Nummer", "1800", ""},
                        {"Versuche", "Versuche", "900", ""}};
    int n = 0;
    for (const F& f : fields) {
        const QString s = QStringLiteral("Feld%1").arg(++n);
        IniSchreiben(s, QStringLiteral("FieldName"), ini, QString::fromUtf8(f.name));
        IniSchreiben(s, QStringLiteral("ColumnName"), ini, QString::fromUtf8(f.header));
        IniSchreiben(s, QStringLiteral("ColumnWidth"), ini, QString::fromUtf8(f.width));
        IniSchreiben(s, QStringLiteral("ColumnFormat"), ini, QString::fromUtf8(f.format));
        IniSchreiben(s, QStringLiteral("ColumnVisible"), ini, QStringLiteral("1"));
    }
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
    std::printf("Demo-Ordner %s eingerichtet: %lld Rufnummern für %d Kunden.\n", qPrintable(dir),
                qlonglong(numbers.size()), customers);
    return 0;
}
