#include "textboxlogic.h"

#include <QtTest>

using namespace orvo::textbox;

namespace {
const QDate kToday(2026, 12, 7);
}

class TestTextBoxLogic : public QObject {
    Q_OBJECT

private slots:
    void systemDateReadsDayMonthYearThenYearMonthDay_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("expected"); // invalid: no date
        QTest::newRow("dd.mm.yyyy") << "06.12.2026" << QDate(2026, 12, 6);
        QTest::newRow("d.m.yyyy") << "6.1.2026" << QDate(2026, 1, 6);
        QTest::newRow("slashes") << "06/12/2026" << QDate(2026, 12, 6);
        QTest::newRow("dashes") << "06-12-2026" << QDate(2026, 12, 6);
        QTest::newRow("blanks around") << " 06.12.2026 " << QDate(2026, 12, 6);
        QTest::newRow("yy 29 is 2029") << "01.01.29" << QDate(2029, 1, 1);
        QTest::newRow("yy 30 is 1930") << "01.01.30" << QDate(1930, 1, 1);
        QTest::newRow("yy 00") << "01.01.00" << QDate(2000, 1, 1);
        QTest::newRow("storage form") << "2026/12/06" << QDate(2026, 12, 6);
        QTest::newRow("storage form 1995") << "1995/01/31" << QDate(1995, 1, 31);
        QTest::newRow("yy/mm/dd read day first when it can") << "26/12/06" << QDate(2006, 12, 26);
        QTest::newRow("yy/mm/dd when day first fails") << "95/01/31" << QDate(1995, 1, 31);
        QTest::newRow("yyyy.mm.dd") << "2026.12.06" << QDate(2026, 12, 6);
        QTest::newRow("dotted yy.mm.dd is no date") << "95.01.31" << QDate();
        QTest::newRow("31.04.26 is not read year first") << "31.04.26" << QDate();
        QTest::newRow("31 April") << "31.04.2026" << QDate();
        QTest::newRow("29 Feb 2027") << "29.02.2027" << QDate();
        QTest::newRow("29 Feb 2028") << "29.02.2028" << QDate(2028, 2, 29);
        QTest::newRow("29 Feb 2100 is no date") << "29.02.2100" << QDate();
        QTest::newRow("month 13") << "01.13.2026" << QDate();
        QTest::newRow("two parts") << "06.12" << QDate();
        QTest::newRow("four parts") << "06.12.20.26" << QDate();
        QTest::newRow("letters") << "06.Dez.2026" << QDate();
        QTest::newRow("empty part") << "06..2026" << QDate();
        QTest::newRow("trailing separator") << "06.12.2026." << QDate();
        QTest::newRow("five-digit year") << "06.12.20260" << QDate();
        QTest::newRow("year below 100 written with 3 digits") << "06.12.099" << QDate();
        QTest::newRow("empty") << "" << QDate();
    }
    void systemDateReadsDayMonthYearThenYearMonthDay()
    {
        QFETCH(QString, text);
        QFETCH(QDate, expected);
        const auto date = systemDate(text);
        QCOMPARE(date.value_or(QDate()), expected);
    }

    void datumErgaenzenCompletesByLength_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("d") << "5"
                           << "05.12.2026";
        QTest::newRow("dd") << "15"
                            << "15.12.2026";
        QTest::newRow("dd.") << "15."
                             << "15.12.2026";
        QTest::newRow("dd.m") << "15.3"
                              << "15.03.2026";
        QTest::newRow("dd.mm") << "15.03"
                               << "15.03.2026";
        QTest::newRow("dd.mm.") << "15.03."
                                << "15.03.2026";
        QTest::newRow("dd.mm.y takes the year's last digit") << "15.03.2"
                                                             << "15.03.2026";
        QTest::newRow("dd.mm.y of an impossible date") << "31.02.2"
                                                       << "31.02.26";
        QTest::newRow("dd.mm.yy") << "15.03.95"
                                  << "15.03.1995";
        QTest::newRow("dd.mm.yy 2000s") << "15.03.07"
                                        << "15.03.2007";
        QTest::newRow("dd.mm.yy impossible stays") << "31.04.26"
                                                   << "31.04.26";
        QTest::newRow("complete stays") << "15.03.2026"
                                        << "15.03.2026";
        QTest::newRow("empty stays") << ""
                                     << "";
        QTest::newRow("nine characters stay") << "15.3.2026"
                                              << "15.3.2026";
    }
    void datumErgaenzenCompletesByLength()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QCOMPARE(DatumErgaenzen(typed, kToday), expected);
    }

    void datumPruefenChecksThePositionsWithoutCenturyRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("06.12.2026") << "06.12.2026" << true;
        QTest::newRow("31.01.2026") << "31.01.2026" << true;
        QTest::newRow("31.04.2026") << "31.04.2026" << false;
        QTest::newRow("30.04.2026") << "30.04.2026" << true;
        QTest::newRow("29.02.2027") << "29.02.2027" << false;
        QTest::newRow("29.02.2028") << "29.02.2028" << true;
        QTest::newRow("29.02.2100 passes") << "29.02.2100" << true;
        QTest::newRow("29.02.1900 passes") << "29.02.1900" << true;
        QTest::newRow("two-digit year") << "29.02.28" << true;
        QTest::newRow("two-digit year not leap") << "29.02.27" << false;
        QTest::newRow("day 0") << "00.12.2026" << false;
        QTest::newRow("month 0") << "06.00.2026" << false;
        QTest::newRow("month 13") << "06.13.2026" << false;
        QTest::newRow("separators are not examined") << "06/12/2026" << true;
        QTest::newRow("length 9") << "6.12.2026" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("letters count as 0") << "ab.12.2026" << false;
    }
    void datumPruefenChecksThePositionsWithoutCenturyRule()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(DatumPruefen(text), valid);
    }

    void datumAnzeigeShowsTheStorageForm_data()
    {
        QTest::addColumn<QString>("storage");
        QTest::addColumn<QString>("display");
        QTest::newRow("yyyy/mm/dd") << "2026/12/06"
                                    << "06.12.2026";
        QTest::newRow("yy/mm/dd 20xx") << "26/12/06"
                                       << "06.12.2026";
        QTest::newRow("yyyy 1995") << "1995/01/31"
                                   << "31.01.1995";
        QTest::newRow("yy/mm/dd 19xx") << "95/01/31"
                                       << "31.01.1995";
        QTest::newRow("no date") << "2026/02/30"
                                 << "";
        QTest::newRow("short") << "26/1/6"
                               << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void datumAnzeigeShowsTheStorageForm()
    {
        QFETCH(QString, storage);
        QFETCH(QString, display);
        QCOMPARE(DatumAnzeige(storage), display);
    }

    void datumAnzeigeUsesStoragePositions()
    {
        // A text in display form is read by the storage form's positions.
        QVERIFY(DatumAnzeige(QStringLiteral("06.12.2026")) != QStringLiteral("06.12.2026"));
    }

    void datumSpeicherformWritesYearMonthDay_data()
    {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("storage");
        QTest::newRow("dd.mm.yyyy") << "06.12.2026"
                                    << "2026/12/06";
        QTest::newRow("dd.mm.yy") << "06.12.95"
                                  << "1995/12/06";
        QTest::newRow("d.m.yyyy") << "6.1.2026"
                                  << "2026/01/06";
        QTest::newRow("seven characters") << "6.1.026"
                                          << "";
        QTest::newRow("impossible") << "31.04.2026"
                                    << "";
        QTest::newRow("text") << "Text1abc"
                              << "";
    }
    void datumSpeicherformWritesYearMonthDay()
    {
        QFETCH(QString, display);
        QFETCH(QString, storage);
        QCOMPARE(DatumSpeicherform(display), storage);
    }

    void uhrzeitNormierenFollowsTheTable_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("beeps");
        QTest::newRow("empty") << ""
                               << "00:00" << 0;
        QTest::newRow("7") << "7"
                           << "07:00" << 0;
        QTest::newRow("12") << "12"
                            << "12:00" << 0;
        QTest::newRow(":5") << ":5"
                            << "00:50" << 0;
        QTest::newRow("7:") << "7:"
                            << "07:00" << 0;
        QTest::newRow("730") << "730"
                             << "07:30" << 0;
        QTest::newRow(":30") << ":30"
                             << "00:30" << 0;
        QTest::newRow("7:3") << "7:3"
                             << "07:30" << 0;
        QTest::newRow("12:") << "12:"
                             << "12:00" << 0;
        QTest::newRow("1230") << "1230"
                              << "12:30" << 0;
        QTest::newRow(":305") << ":305"
                              << "00:30" << 0;
        QTest::newRow("7:30") << "7:30"
                              << "07:30" << 0;
        QTest::newRow("12:3") << "12:3"
                              << "12:30" << 0;
        QTest::newRow("123:") << "123:"
                              << "12:30" << 0;
        QTest::newRow("12305") << "12305"
                               << "12:30" << 0;
        QTest::newRow(":3055") << ":3055"
                               << "00:30" << 0;
        QTest::newRow("7:305") << "7:305"
                               << "07:30" << 0;
        QTest::newRow("12:30") << "12:30"
                               << "12:30" << 0;
        QTest::newRow("123:0") << "123:0"
                               << "12:30" << 0;
        QTest::newRow("1230: colon at the end") << "1230:"
                                                << "12:30" << 0;
        QTest::newRow("25:00 hours above 24") << "25:00"
                                              << "00:00" << 1;
        QTest::newRow("24:15 hour 24") << "24:15"
                                       << "00:15" << 1;
        QTest::newRow("12:75 minutes above 59") << "12:75"
                                                << "12:59" << 1;
        QTest::newRow("24:75 hour 24 and minutes") << "24:75"
                                                   << "00:59" << 2;
        QTest::newRow("2575 without colon") << "2575"
                                            << "00:00" << 1;
        QTest::newRow("123456 unchanged") << "123456"
                                          << "123456" << 0;
    }
    void uhrzeitNormierenFollowsTheTable()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QFETCH(int, beeps);
        int counted = -1;
        QCOMPARE(UhrzeitNormieren(typed, &counted), expected);
        QCOMPARE(counted, beeps);
    }

    void numbersAreFormattedGerman_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("nachkomma");
        QTest::addColumn<QString>("nummer");
        QTest::addColumn<QString>("zahl");
        QTest::newRow("1234,5 two decimals") << QVariant("1234,5") << 2 << "1234,50"
                                             << "1.234,50";
        QTest::newRow("grouped text reads back") << QVariant("1.234,50") << 2 << "1234,50"
                                                 << "1.234,50";
        QTest::newRow("no decimals rounds half up") << QVariant("2,5") << 0 << "3"
                                                    << "3";
        QTest::newRow("negative") << QVariant("-1234567,125") << 2 << "-1234567,13"
                                  << "-1.234.567,13";
        QTest::newRow("empty is 0") << QVariant("") << 2 << "0,00"
                                    << "0,00";
        QTest::newRow("null is 0") << QVariant() << 1 << "0,0"
                                   << "0,0";
        QTest::newRow("a host's C number") << QVariant("1234.5") << 1 << "1234,5"
                                           << "1.234,5";
        QTest::newRow("a double") << QVariant(1234.5) << 2 << "1234,50"
                                  << "1.234,50";
        QTest::newRow("not a number stays") << QVariant("abc") << 2 << "abc"
                                            << "abc";
        QTest::newRow("minus alone stays") << QVariant("-") << 2 << "-"
                                           << "-";
    }
    void numbersAreFormattedGerman()
    {
        QFETCH(QVariant, value);
        QFETCH(int, nachkomma);
        QFETCH(QString, nummer);
        QFETCH(QString, zahl);
        QCOMPARE(FormatNummer(value, nachkomma), nummer);
        QCOMPARE(FormatZahl(value, nachkomma), zahl);
    }

    void upperCaseFollowsTheCodePage_data()
    {
        QTest::addColumn<QChar>("typed");
        QTest::addColumn<QChar>("expected");
        QTest::newRow("a") << QChar(u'a') << QChar(u'A');
        QTest::newRow("ä") << QChar(u'ä') << QChar(u'Ä');
        QTest::newRow("ö") << QChar(u'ö') << QChar(u'Ö');
        QTest::newRow("ü") << QChar(u'ü') << QChar(u'Ü');
        QTest::newRow("é") << QChar(u'é') << QChar(u'É');
        QTest::newRow("ß stays") << QChar(u'ß') << QChar(u'ß');
        QTest::newRow("µ stays") << QChar(u'µ') << QChar(u'µ');
        QTest::newRow("÷ stays") << QChar(u'÷') << QChar(u'÷');
        QTest::newRow("ÿ") << QChar(u'ÿ') << QChar(u'Ÿ');
        QTest::newRow("š") << QChar(u'š') << QChar(u'Š');
        QTest::newRow("œ") << QChar(u'œ') << QChar(u'Œ');
        QTest::newRow("ƒ stays") << QChar(u'ƒ') << QChar(u'ƒ');
        QTest::newRow("outside the code page") << QChar(u'ł') << QChar(u'Ł');
        QTest::newRow("digit") << QChar(u'7') << QChar(u'7');
        QTest::newRow("backspace") << QChar(8) << QChar(8);
    }
    void upperCaseFollowsTheCodePage()
    {
        QFETCH(QChar, typed);
        QFETCH(QChar, expected);
        QCOMPARE(upperWin1252(typed), expected);
    }

    void dateAndTimeKeysFilter()
    {
        for (const QChar c : QStringLiteral("0123456789.\b\r"))
            QVERIFY(TastePruefenDatum(c));
        for (const QChar c : QStringLiteral(":,-a /"))
            QVERIFY(!TastePruefenDatum(c));
        for (const QChar c : QStringLiteral("0123456789:\b"))
            QVERIFY(TastePruefenUhrzeit(c));
        for (const QChar c : QStringLiteral(".,-a "))
            QVERIFY(!TastePruefenUhrzeit(c));
    }

    void dateAidCompletesAndSelectsTheTail_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<QString>("letzter");
        QTest::addColumn<bool>("acted");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("resultStart");
        QTest::addColumn<int>("resultLength");
        QTest::addColumn<QString>("letzterAfter");
        QTest::newRow("first digit waits") << "0" << 1 << "" << true << "0" << 1 << 0 << "0";
        QTest::newRow("05 gets its dot and the rest")
            << "05" << 2 << "0" << true << "05.12.2026" << 3 << 7 << "05.";
        QTest::newRow("1. becomes 01.")
            << "1." << 2 << "1" << true << "01.12.2026" << 3 << 7 << "01.";
        QTest::newRow("1, becomes 01.")
            << "1," << 2 << "1" << true << "01.12.2026" << 3 << 7 << "01.";
        QTest::newRow("month digit over the selection")
            << "05.1" << 4 << "05." << true << "05.1" << 4 << 0 << "05.1";
        QTest::newRow("05.12 gets the year")
            << "05.12" << 5 << "05.1" << true << "05.12.2026" << 6 << 4 << "05.12.";
        QTest::newRow("05.3. becomes 05.03.")
            << "05.3." << 5 << "05.3" << true << "05.03.2026" << 6 << 4 << "05.03.";
        QTest::newRow("backspace on 01.")
            << "01" << 2 << "01." << true << "01.12.2026" << 3 << 7 << "01.";
        QTest::newRow("unchanged text") << "05." << 3 << "05." << false << "05." << 3 << 0 << "05.";
        QTest::newRow("caret not at the end") << "05" << 1 << "0" << false << "05" << 1 << 0 << "0";
    }
    void dateAidCompletesAndSelectsTheTail()
    {
        QFETCH(QString, text);
        QFETCH(int, selStart);
        QFETCH(QString, letzter);
        QFETCH(bool, acted);
        QFETCH(QString, result);
        QFETCH(int, resultStart);
        QFETCH(int, resultLength);
        QFETCH(QString, letzterAfter);
        const DateAidResult r = DatumEingabeHilfe(text, selStart, letzter, kToday);
        QCOMPARE(r.acted, acted);
        QCOMPARE(r.text, result);
        QCOMPARE(r.selStart, resultStart);
        QCOMPARE(r.selLength, resultLength);
        QCOMPARE(letzter, letzterAfter);
    }
};

QTEST_GUILESS_MAIN(TestTextBoxLogic)
#include "tst_textboxlogic.moc"
