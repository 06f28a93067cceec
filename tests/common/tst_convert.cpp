#include "convert.h"
#include "vberror.h"

#include <QtTest>

using namespace vorsa;

namespace {
constexpr int kNoError = 0;

// The error number a call fails with, kNoError when it succeeds.
template <typename F> int errorOf(F call)
{
    try {
        call();
        return kNoError;
    } catch (const VbError& e) {
        return e.number();
    }
}
} // namespace

class TestConvert : public QObject {
    Q_OBJECT

private slots:
    void convStringToBooleanFindsTextInsideTheWordList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("expected");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("-1") << "-1" << true;
        QTest::newRow("ja") << "ja" << true;
        QTest::newRow("TRUE") << "TRUE" << true;
        QTest::newRow("wahr") << "wahr" << true;
        QTest::newRow("Richtig") << "Richtig" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("fragment e") << "e" << true;
        QTest::newRow("fragment across words") << "ja/yes" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("nein") << "nein" << false;
        QTest::newRow("false") << "false" << false;
        QTest::newRow("blank around is not trimmed") << " 1" << false;
        QTest::newRow("2") << "2" << false;
    }
    void convStringToBooleanFindsTextInsideTheWordList()
    {
        QFETCH(QString, text);
        QFETCH(bool, expected);
        QCOMPARE(ConvStringToBoolean(text), expected);
    }

    void toLongConvertsLikeTheRuntime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("error");
        QTest::newRow("plain") << "1001" << 1001 << kNoError;
        QTest::newRow("blanks around") << "  30 \t" << 30 << kNoError;
        QTest::newRow("negative") << "-5" << -5 << kNoError;
        QTest::newRow("plus sign") << "+7" << 7 << kNoError;
        QTest::newRow("leading zeros") << "09876" << 9876 << kNoError;
        QTest::newRow("half to even down") << "2.5" << 2 << kNoError;
        QTest::newRow("half to even up") << "3.5" << 4 << kNoError;
        QTest::newRow("negative half") << "-2.5" << -2 << kNoError;
        QTest::newRow("above half") << "2.51" << 3 << kNoError;
        QTest::newRow("point only fraction") << ".6" << 1 << kNoError;
        QTest::newRow("exponent") << "1E3" << 1000 << kNoError;
        QTest::newRow("hex") << "&H3E9" << 1001 << kNoError;
        QTest::newRow("hex lower case") << "&hff" << 255 << kNoError;
        QTest::newRow("hex four digits is 16 bit") << "&HFFFF" << -1 << kNoError;
        QTest::newRow("hex eight digits") << "&H0000FFFF" << 65535 << kNoError;
        QTest::newRow("largest") << "2147483647" << 2147483647 << kNoError;
        QTest::newRow("smallest") << "-2147483648" << int(-2147483648LL) << kNoError;
        QTest::newRow("empty") << "" << 0 << err::TypeMismatch;
        QTest::newRow("blank") << "   " << 0 << err::TypeMismatch;
        QTest::newRow("text") << "abc" << 0 << err::TypeMismatch;
        QTest::newRow("trailing garbage") << "12abc" << 0 << err::TypeMismatch;
        QTest::newRow("german comma") << "2,5" << 0 << err::TypeMismatch;
        QTest::newRow("two points") << "1.2.3" << 0 << err::TypeMismatch;
        QTest::newRow("sign only") << "-" << 0 << err::TypeMismatch;
        QTest::newRow("hex without digits") << "&H" << 0 << err::TypeMismatch;
        QTest::newRow("too large") << "2147483648" << 0 << err::Overflow;
        QTest::newRow("rounds out of range") << "2147483647.5" << 0 << err::Overflow;
        QTest::newRow("too small") << "-2147483649" << 0 << err::Overflow;
        QTest::newRow("huge") << "1e400" << 0 << err::Overflow;
        QTest::newRow("hex too long") << "&H123456789" << 0 << err::Overflow;
    }
    void toLongConvertsLikeTheRuntime()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QFETCH(int, error);
        qint32 got{};
        QCOMPARE(errorOf([&] { got = toLong(text); }), error);
        if (error == kNoError)
            QCOMPARE(got, expected);
    }

    void toInt16ChecksItsRange_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("error");
        QTest::newRow("largest") << "32767" << 32767 << kNoError;
        QTest::newRow("smallest") << "-32768" << -32768 << kNoError;
        QTest::newRow("rounds") << "4.5" << 4 << kNoError;
        QTest::newRow("too large") << "32768" << 0 << err::Overflow;
        QTest::newRow("rounds out of range") << "32767.5" << 0 << err::Overflow;
        QTest::newRow("too small") << "-32769" << 0 << err::Overflow;
        QTest::newRow("text") << "fünf" << 0 << err::TypeMismatch;
    }
    void toInt16ChecksItsRange()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QFETCH(int, error);
        qint16 got{};
        QCOMPARE(errorOf([&] { got = toInt16(text); }), error);
        if (error == kNoError)
            QCOMPARE(int(got), expected);
    }

    void toInt16TakesValuesOfEveryKind_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("error");
        QTest::newRow("int") << QVariant(12) << 12 << kNoError;
        QTest::newRow("long long") << QVariant(qint64(-300)) << -300 << kNoError;
        QTest::newRow("double half even") << QVariant(6.5) << 6 << kNoError;
        QTest::newRow("true is -1") << QVariant(true) << -1 << kNoError;
        QTest::newRow("false is 0") << QVariant(false) << 0 << kNoError;
        QTest::newRow("text") << QVariant(QStringLiteral(" 7 ")) << 7 << kNoError;
        QTest::newRow("int too large") << QVariant(40000) << 0 << err::Overflow;
        QTest::newRow("unsigned too large") << QVariant(quint64(1) << 40) << 0 << err::Overflow;
        QTest::newRow("double too large") << QVariant(1e10) << 0 << err::Overflow;
        QTest::newRow("null") << QVariant() << 0 << err::InvalidUseOfNull;
        QTest::newRow("typed null from a database")
            << QVariant(QMetaType(QMetaType::Int)) << 0 << err::InvalidUseOfNull;
        QTest::newRow("empty text") << QVariant(QString()) << 0 << err::TypeMismatch;
        QTest::newRow("date") << QVariant(QDate(2026, 12, 6)) << 0 << err::TypeMismatch;
    }
    void toInt16TakesValuesOfEveryKind()
    {
        QFETCH(QVariant, value);
        QFETCH(int, expected);
        QFETCH(int, error);
        qint16 got{};
        QCOMPARE(errorOf([&] { got = toInt16(value); }), error);
        if (error == kNoError)
            QCOMPARE(int(got), expected);
    }

    void toStrictBooleanAcceptsOnlyBooleansAndNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("expected");
        QTest::addColumn<int>("error");
        QTest::newRow("-1") << "-1" << true << kNoError;
        QTest::newRow("0") << "0" << false << kNoError;
        QTest::newRow("2") << "2" << true << kNoError;
        QTest::newRow("fraction") << "0.5" << true << kNoError;
        QTest::newRow("True") << "True" << true << kNoError;
        QTest::newRow("false any case") << "fALSE" << false << kNoError;
        QTest::newRow("German true") << "Wahr" << true << kNoError;
        QTest::newRow("German false") << "falsch" << false << kNoError;
        QTest::newRow("blanks around") << " 0 " << false << kNoError;
        QTest::newRow("empty") << "" << false << err::TypeMismatch;
        QTest::newRow("ja") << "ja" << false << err::TypeMismatch;
        QTest::newRow("yes") << "yes" << false << err::TypeMismatch;
    }
    void toStrictBooleanAcceptsOnlyBooleansAndNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, expected);
        QFETCH(int, error);
        bool got{};
        QCOMPARE(errorOf([&] { got = toStrictBoolean(text); }), error);
        if (error == kNoError)
            QCOMPARE(got, expected);
    }

    void leadingNumberReadsLikeVal_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("whole") << "3" << 3.0;
        QTest::newRow("fraction") << "2.5" << 2.5;
        QTest::newRow("stops at text") << "2.5xyz" << 2.5;
        QTest::newRow("stops at comma") << "2,5" << 2.0;
        QTest::newRow("stops at second point") << "1.2.3" << 1.2;
        QTest::newRow("blanks skipped anywhere") << " 1 2 . 5" << 12.5;
        QTest::newRow("tab and line feed skipped") << "\t4\n2" << 42.0;
        QTest::newRow("negative") << "-4" << -4.0;
        QTest::newRow("sign then blank") << "- 4" << -4.0;
        QTest::newRow("exponent") << "1e2x" << 100.0;
        QTest::newRow("exponent without digits ignored") << "5e" << 5.0;
        QTest::newRow("hex") << "&H10" << 16.0;
        QTest::newRow("no number") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("point only") << "." << 0.0;
        QTest::newRow("sign only") << "-" << 0.0;
    }
    void leadingNumberReadsLikeVal()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(leadingNumber(text), expected);
    }

    // The foreground seconds: the leading number, rounded half to even.
    void leadingNumberRoundedGivesTheForegroundSeconds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("2.5") << "2.5" << 2;
        QTest::newRow("3.5") << "3.5" << 4;
        QTest::newRow("abc") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("5 Sekunden") << "5 Sekunden" << 5;
        QTest::newRow("-0.5") << "-0.5" << 0;
    }
    void leadingNumberRoundedGivesTheForegroundSeconds()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(roundToLong(leadingNumber(text)), expected);
    }

    void roundHalfEvenPicksTheEvenNeighbour_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("0.5") << 0.5 << qint64(0);
        QTest::newRow("1.5") << 1.5 << qint64(2);
        QTest::newRow("2.5") << 2.5 << qint64(2);
        QTest::newRow("-1.5") << -1.5 << qint64(-2);
        QTest::newRow("-2.5") << -2.5 << qint64(-2);
        QTest::newRow("2.4999") << 2.4999 << qint64(2);
        QTest::newRow("-2.6") << -2.6 << qint64(-3);
        QTest::newRow("large") << 1e15 + 0.5 << qint64(1000000000000000LL);
    }
    void roundHalfEvenPicksTheEvenNeighbour()
    {
        QFETCH(double, value);
        QFETCH(qint64, expected);
        QCOMPARE(roundHalfEven(value), expected);
    }

    void outOfRangeRoundingFails()
    {
        for (const double v : {1e19, -1e19, std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN()})
            QCOMPARE(errorOf([v] { roundHalfEven(v); }), err::Overflow);
        QCOMPARE(errorOf([] { roundToLong(3e9); }), err::Overflow);
        QCOMPARE(errorOf([] { leadingNumber("1e999"); }), err::Overflow);
    }
};

QTEST_GUILESS_MAIN(TestConvert)
#include "tst_convert.moc"
