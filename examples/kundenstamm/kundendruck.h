#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace OrvoReport2 {
class clsReport;
}

namespace kundenstamm {

// The customer sheet: a title, the tenant and the customer's fields with
// their captions, one under the other.
struct Kundenblatt {
    QString titel;                             // "Kunde 17"
    QString name;                              // the customer's name, under the title
    QString mandant;                           // the tenant's name
    QList<std::pair<QString, QString>> felder; // caption, value as shown
    QDate datum;                               // printed on
};

// The list of customers: a title and, on every page, the header line of the
// columns and "Seite n von m". Each column is as wide as its widest value;
// when they do not fit on the page the widest ones are narrowed alike and a
// value too wide for its column is cut with "…".
struct Kundenliste {
    QString titel;
    QString untertitel; // tenant, search
    QStringList kopf;
    QList<QStringList> zeilen;
    QDate datum;
};

// Fill an empty report; false when the report refused a page or an object.
bool KundenblattAufbauen(OrvoReport2::clsReport& report, const Kundenblatt& blatt);
bool KundenlisteAufbauen(OrvoReport2::clsReport& report, const Kundenliste& liste);

// How many rows of the list fit on a page of that printable height (cm).
int zeilenProSeite(double untererRand);
// The widths of columns that need `benoetigt` on a line of `breite`: as
// needed when they fit, else the widest ones cut to one common width.
QList<double> spaltenBreiten(const QList<double>& benoetigt, double breite);

} // namespace kundenstamm
