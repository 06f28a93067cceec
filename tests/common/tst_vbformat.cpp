#include "clsdaten.h"
#include "vbformat.h"

#include <QDateTime>
#include <QtTest>

using namespace vorsa;

namespace {
const QDateTime kCall(QDate(2026, 12, 6), QTime(9, 14, 5));
}

class TestVbFormat : public QObject {
    Q_OBJECT

private slots:
    void datePatterns_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");

        const QVariant call(kCall);
        const QVariant early(QDateTime(QDate(2005, 3, 4), QTime(7, 8, 9)));
        QTest::newRow("call list default") << call << "hh:mm  dd.mm.yy"
                                           << "09:14  06.12.26";
        QTest::newRow("german date") << call << "dd.mm.yyyy"
                                     << "06.12.2026";
        QTest::newRow("single letters") << early << "d.m.yy h:n:s"
                                        << "4.3.05 7:8:9";
        QTest::newRow("double letters") << early << "dd.mm.yyyy hh:nn:ss"
                                        << "04.03.2005 07:08:09";
        QTest::newRow("m right after hour is minute") << early << "hhmm"
                                                      << "0708";
        QTest::newRow("single m after h with colon") << early << "h:m"
                                                     << "7:8";
        QTest::newRow("m after hour and blank is month") << early << "hh mm"
                                                         << "07 03";
        QTest::newRow("m after colon without hour is month") << early << "ss:mm"
                                                             << "09:03";
        QTest::newRow("minute then month") << early << "hh:mm mm"
                                           << "07:08 03";
        QTest::newRow("time then seconds") << call << "hh:mm:ss"
                                           << "09:14:05";
        QTest::newRow("upper case letters") << call << "DD.MM.YYYY HH:NN"
                                            << "06.12.2026 09:14";
        QTest::newRow("other characters copied") << call << "dd/mm/yy - hh"
                                                 << "06/12/26 - 09";
        QTest::newRow("escaped and quoted text") << call << "hh:mm \"Uhr\" \\d"
                                                 << "09:14 Uhr d";
        QTest::newRow("day and month names")
            << call << "ddd, dddd, mmm, mmmm" << QString::fromUtf8("So, Sonntag, Dez, Dezember");
        QTest::newRow("am pm") << QVariant(QDateTime(QDate(2026, 1, 1), QTime(15, 5)))
                               << "h:nn AM/PM"
                               << "3:05 PM";
        QTest::newRow("day of year") << call << "y"
                                     << "340";
        QTest::newRow("date only is midnight") << QVariant(QDate(2026, 12, 6)) << "hh:mm  dd.mm.yy"
                                               << "00:00  06.12.26";
        QTest::newRow("time only") << QVariant(QTime(9, 14, 5)) << "hh:mm:ss"
                                   << "09:14:05";
        QTest::newRow("text as the client receives it")
            << QVariant(QStringLiteral("06.12.2026 09:14:05")) << "hh:mm  dd.mm.yy"
            << "09:14  06.12.26";
        QTest::newRow("text of a midnight call")
            << QVariant(QStringLiteral("06.12.2026")) << "hh:mm  dd.mm.yy"
            << "00:00  06.12.26";
        QTest::newRow("ISO text from a database")
            << QVariant(QStringLiteral("2026-12-06T09:14:05.250")) << "dd.mm.yyyy hh:mm"
            << "06.12.2026 09:14";
        QTest::newRow("named short date") << call << "Short Date"
                                          << "06.12.2026";
        QTest::newRow("named long date") << call << "long date"
                                         << "Sonntag, 6. Dezember 2026";
        QTest::newRow("named short time") << call << "Short Time"
                                          << "09:14";
    }
    void datePatterns()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        QCOMPARE(vbFormat(value, pattern), expected);
    }

    void numberPatterns_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");

        QTest::newRow("0.00 fraction") << QVariant(3.14159) << "0.00"
                                       << "3,14";
        QTest::newRow("0.00 whole number") << QVariant(7) << "0.00"
                                           << "7,00";
        QTest::newRow("0.00 below one") << QVariant(0.5) << "0.00"
                                        << "0,50";
        QTest::newRow("0.00 rounds half up as written") << QVariant(2.675) << "0.00"
                                                        << "2,68";
        QTest::newRow("0.00 carry into whole part") << QVariant(9.999) << "0.00"
                                                    << "10,00";
        QTest::newRow("0.00 negative") << QVariant(-1.5) << "0.00"
                                       << "-1,50";
        QTest::newRow("negative rounding to zero has no sign") << QVariant(-0.001) << "0.00"
                                                               << "0,00";
        QTest::newRow("#,##0 grouping") << QVariant(1234567) << "#,##0"
                                        << "1.234.567";
        QTest::newRow("#,##0 small") << QVariant(12) << "#,##0"
                                     << "12";
        QTest::newRow("#,##0 zero") << QVariant(0) << "#,##0"
                                    << "0";
        QTest::newRow("#,##0 rounds") << QVariant(1234.5) << "#,##0"
                                      << "1.235";
        QTest::newRow("#,##0 negative") << QVariant(-1234) << "#,##0"
                                        << "-1.234";
        QTest::newRow("#,##0.00") << QVariant(1234567.891) << "#,##0.00"
                                  << "1.234.567,89";
        QTest::newRow("# zero is empty") << QVariant(0) << "#"
                                         << "";
        QTest::newRow("#.## drops zeros") << QVariant(2.5) << "#.##"
                                          << "2,5";
        QTest::newRow("leading zeros") << QVariant(42) << "00000"
                                       << "00042";
        QTest::newRow("more digits than places") << QVariant(123456) << "00"
                                                 << "123456";
        QTest::newRow("literal around") << QVariant(5) << "\"Nr. \"0\" x\""
                                        << "Nr. 5 x";
        QTest::newRow("percent") << QVariant(0.256) << "0.0%"
                                 << "25,6%";
        QTest::newRow("scaled by thousand") << QVariant(1234567) << "#,##0,"
                                            << "1.235";
        QTest::newRow("negative section") << QVariant(-3) << "0;(0)"
                                          << "(3)";
        QTest::newRow("zero section") << QVariant(0) << "0;-0;\"keine\""
                                      << "keine";
        QTest::newRow("big whole number exact") << QVariant(qint64(9007199254740993LL)) << "0"
                                                << "9007199254740993";
        QTest::newRow("boolean true is -1") << QVariant(true) << "0"
                                            << "-1";
        QTest::newRow("number text") << QVariant(QStringLiteral("3")) << "0.00"
                                     << "3,00";
        QTest::newRow("german number text") << QVariant(QStringLiteral("1234,5")) << "#,##0.00"
                                            << "1.234,50";
        QTest::newRow("named standard") << QVariant(1234.5) << "Standard"
                                        << "1.234,50";
        QTest::newRow("named percent") << QVariant(0.5) << "Percent"
                                       << "50,00%";
        QTest::newRow("named yes/no") << QVariant(1) << "Yes/No"
                                      << "Ja";
        QTest::newRow("named yes/no zero") << QVariant(0) << "Yes/No"
                                           << "Nein";
    }
    void numberPatterns()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        QCOMPARE(vbFormat(value, pattern), expected);
    }

    void textThatIsNeitherDateNorNumberComesBackUnchanged_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("name") << QString::fromUtf8("Müller") << "hh:mm  dd.mm.yy";
        QTest::newRow("suppressed caller") << "Amt"
                                           << "0.00";
        QTest::newRow("empty") << ""
                               << "dd.mm.yyyy";
        QTest::newRow("impossible date") << "31.02.2026 10:00:00"
                                         << "dd.mm.yyyy";
        QTest::newRow("impossible time") << "06.12.2026 25:00"
                                         << "hh:mm";
    }
    void textThatIsNeitherDateNorNumberComesBackUnchanged()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QCOMPARE(vbFormat(text, pattern), text);
    }

    void nullFormatsAsEmptyText()
    {
        QCOMPARE(vbFormat(QVariant(), "hh:mm  dd.mm.yy"), QString());
        QCOMPARE(vbFormat(QVariant(QMetaType(QMetaType::QDateTime)), "dd.mm.yyyy"), QString());
    }

    void plainTextForms_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text unchanged") << QVariant(QStringLiteral(" 0171 23 ")) << " 0171 23 ";
        QTest::newRow("date and time") << QVariant(kCall) << "06.12.2026 09:14:05";
        QTest::newRow("midnight is date only")
            << QVariant(QDateTime(QDate(2026, 12, 6), QTime(0, 0))) << "06.12.2026";
        QTest::newRow("one millisecond after midnight keeps the time")
            << QVariant(QDateTime(QDate(2026, 12, 6), QTime(0, 0, 0, 1))) << "06.12.2026 00:00:00";
        QTest::newRow("date") << QVariant(QDate(2026, 1, 2)) << "02.01.2026";
        QTest::newRow("time") << QVariant(QTime(7, 5, 3)) << "07:05:03";
        QTest::newRow("integer") << QVariant(-42) << "-42";
        QTest::newRow("long long") << QVariant(qint64(12345678901LL)) << "12345678901";
        QTest::newRow("double comma") << QVariant(2.5) << "2,5";
        QTest::newRow("double whole") << QVariant(3.0) << "3";
        QTest::newRow("double sum shows as written") << QVariant(0.1 + 0.2) << "0,3";
        QTest::newRow("double no grouping") << QVariant(1234567.25) << "1234567,25";
        QTest::newRow("negative zero") << QVariant(-0.0) << "0";
        QTest::newRow("true") << QVariant(true) << "Wahr";
        QTest::newRow("false") << QVariant(false) << "Falsch";
        QTest::newRow("null") << QVariant() << "";
    }
    void plainTextForms()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QCOMPARE(vbText(value), expected);
    }

    void plainTextOfACallReadsBackAsTheSameCall()
    {
        // The server writes the text, the client reads it back for its pattern.
        QCOMPARE(parseDateTimeText(vbText(kCall)).toDateTime(), kCall);
        const QDateTime midnight(QDate(2026, 12, 6), QTime(0, 0));
        QCOMPARE(parseDateTimeText(vbText(midnight)).toDateTime(), midnight);
    }

    void parseDateTimeTextForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected");
        QTest::newRow("german with seconds") << "06.12.2026 09:14:05" << kCall;
        QTest::newRow("german date") << "06.12.2026" << QDateTime(QDate(2026, 12, 6), QTime(0, 0));
        QTest::newRow("short year with minutes")
            << "06.12.26 09:14" << QDateTime(QDate(2026, 12, 6), QTime(9, 14));
        QTest::newRow("short year of last century")
            << "01.01.99" << QDateTime(QDate(1999, 1, 1), QTime(0, 0));
        QTest::newRow("single digits")
            << "6.1.2026 9:05" << QDateTime(QDate(2026, 1, 6), QTime(9, 5));
        QTest::newRow("blanks around") << "  06.12.2026 09:14:05 " << kCall;
        QTest::newRow("ISO") << "2026-12-06T09:14:05" << kCall;
        QTest::newRow("ISO with blank") << "2026-12-06 09:14:05" << kCall;
        QTest::newRow("ISO date") << "2026-12-06" << QDateTime(QDate(2026, 12, 6), QTime(0, 0));
        QTest::newRow("slashes as databases get them")
            << "2026/12/06" << QDateTime(QDate(2026, 12, 6), QTime(0, 0));
        QTest::newRow("not a date") << "Müller" << QDateTime();
        QTest::newRow("day 32") << "32.01.2026" << QDateTime();
        QTest::newRow("29 February of a common year") << "29.02.2025" << QDateTime();
        QTest::newRow("number") << "1.5" << QDateTime();
    }
    void parseDateTimeTextForms()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const QVariant v = parseDateTimeText(text);
        if (!expected.isValid()) {
            QVERIFY(!v.isValid());
            return;
        }
        QCOMPARE(v.typeId(), int(QMetaType::QDateTime));
        QCOMPARE(v.toDateTime(), expected);
    }

    void parseTimeOnlyGivesATime()
    {
        const QVariant v = parseDateTimeText("09:14:05");
        QCOMPARE(v.typeId(), int(QMetaType::QTime));
        QCOMPARE(v.toTime(), QTime(9, 14, 5));
        QVERIFY(!parseDateTimeText("24:00").isValid());
    }

    void formattedOutputOfAFieldDefinition_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("pattern") << QVariant(kCall) << "hh:mm  dd.mm.yy"
                                 << "09:14  06.12.26";
        QTest::newRow("no pattern date") << QVariant(kCall) << ""
                                         << "06.12.2026 09:14:05";
        QTest::newRow("no pattern number") << QVariant(1.25) << ""
                                           << "1,25";
        QTest::newRow("no pattern text") << QVariant(QStringLiteral("Amt")) << ""
                                         << "Amt";
        QTest::newRow("null without pattern") << QVariant() << ""
                                              << "";
        QTest::newRow("database null without pattern")
            << QVariant(QMetaType(QMetaType::QString)) << ""
            << "";
        QTest::newRow("null with pattern") << QVariant() << "hh:mm  dd.mm.yy"
                                           << "";
    }
    void formattedOutputOfAFieldDefinition()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, format);
        QFETCH(QString, expected);
        clsDaten field;
        field.FieldName = QStringLiteral("Datum");
        field.ColumnFormat = format;
        QCOMPARE(field.FormatierteAusgabe(value), expected);
    }
};

QTEST_GUILESS_MAIN(TestVbFormat)
#include "tst_vbformat.moc"
