#pragma once

// The text box's conversions, completions and key filters as plain functions
// (no widgets), so that they can be tested as tables. The control calls them.

#include "orvotextbox_export.h"

#include <QChar>
#include <QDate>
#include <QString>
#include <QVariant>
#include <optional>

namespace orvo::textbox {

// A valid date in the system's reading. The text (blanks around ignored) is
// three numbers separated by ".", "/" or "-". It is read as day.month.year
// and, where that is no real calendar date, as year/month/day when it looks
// like the storage form (a year of three or four digits in front, or "/"
// between the numbers): "31.04.26" is no date, "95/01/31" is 31 January 1995,
// "26/12/06" is 26 December 2006. Day and month
// have one or two digits; a year of one or two digits is 2000-2029 for 00-29
// and 1930-1999 for 30-99, a year of three or four digits is that year
// (100-9999). The result is the date, or nothing when neither reading gives a
// real calendar date ("31.04.2026", "29.02.2027", "2026/13/01" give nothing).
ORVOTEXTBOX_EXPORT std::optional<QDate> systemDate(const QString& text);

// Completes a typed date (by its length: d, dd, dd., dd.m, dd.mm, dd.mm.,
// dd.mm.y, dd.mm.yy) with the month and year of today.
ORVOTEXTBOX_EXPORT QString DatumErgaenzen(const QString& s, const QDate& today);

// Checks a date by its positions: day in characters 1-2, month in 4-5, year in
// 7-8 (length 8) or 7-10 (length 10); February has 29 days in every year
// divisible by 4.
ORVOTEXTBOX_EXPORT bool DatumPruefen(const QString& s);

// Storage form (yyyy/mm/dd or yy/mm/dd) to display form dd.mm.yyyy, by the
// positions of the storage form; "" for a value that is no valid date or
// shorter than 8 characters.
ORVOTEXTBOX_EXPORT QString DatumAnzeige(const QString& value);
// Display form to storage form yyyy/mm/dd; "" for a text of 7 characters or
// fewer or one that is no valid date.
ORVOTEXTBOX_EXPORT QString DatumSpeicherform(const QString& text);

// Normalises a typed time to hh:mm; *beeps counts the corrections of hours
// above 24, hour 24 and minutes above 59 (each beeps once).
ORVOTEXTBOX_EXPORT QString UhrzeitNormieren(const QString& s, int* beeps = nullptr);

// The substitute for a null value ("" when none is given), else the value.
ORVOTEXTBOX_EXPORT QVariant NullWert(const QVariant& value, const QVariant& substitute = QString());

// Numbers as the control shows them, German: "##0" (FormatNummer) or
// "###,##0" (FormatZahl) with nachkomma decimals. A null or empty value is 0;
// a text that is not a number comes back unchanged.
ORVOTEXTBOX_EXPORT QString FormatNummer(const QVariant& value, int nachkomma);
ORVOTEXTBOX_EXPORT QString FormatZahl(const QVariant& value, int nachkomma);

// The upper-case form of a typed character by the rules of the Windows-1252
// code page (ä -> Ä, ÿ -> Ÿ, ß and µ stay); a character outside the code page
// by its Unicode upper case; control characters stay.
ORVOTEXTBOX_EXPORT QChar upperWin1252(QChar c);

// The key filters of date and time fields: true when the character may be
// typed (control characters always; else digits and "." or ":").
ORVOTEXTBOX_EXPORT bool TastePruefenDatum(QChar c);
ORVOTEXTBOX_EXPORT bool TastePruefenUhrzeit(QChar c);

// The date typing aid after a key in a date field.
struct DateAidResult {
    bool acted = false; // false: the field stays as it is
    QString text;
    int selStart = 0;
    int selLength = 0;
};
// text and selStart are the field's state; letzterText is the text as it was
// after the last run of the aid and is updated.
ORVOTEXTBOX_EXPORT DateAidResult DatumEingabeHilfe(const QString& text, int selStart,
                                                   QString& letzterText, const QDate& today);

} // namespace orvo::textbox
