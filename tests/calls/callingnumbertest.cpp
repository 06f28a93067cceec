// The calling number as the lookup may use it.
#include "lookup/callingnumber.h"

#include <QTest>

using namespace vorsa;

class CallingNumberTest : public QObject {
    Q_OBJECT
private slots:
    void lookupDigits_data()
    {
        QTest::addColumn<QString>("reported");
        QTest::addColumn<QString>("digits"); // empty: identifies nobody
        QTest::newRow("digits") << "0521123456"
                                << "0521123456";
        QTest::newRow("visual separators") << "(0521) 12 34-56/7\t8"
                                           << "052112345678";
        QTest::newRow("leading plus") << "+49 521 1234"
                                      << "00495211234";
        QTest::newRow("plus after a separator") << " +49521"
                                                << "0049521";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("separators only") << " -/()"
                                         << "";
        QTest::newRow("plus only") << "+"
                                   << "";
        QTest::newRow("second plus") << "++49"
                                     << "";
        QTest::newRow("plus inside") << "0521+1"
                                     << "";
        QTest::newRow("LIKE wildcard %") << "05241%"
                                         << "";
        QTest::newRow("LIKE wildcard _") << "0524131928_"
                                         << "";
        QTest::newRow("quote") << "0521'"
                               << "";
        QTest::newRow("letters") << "abc"
                                 << "";
        QTest::newRow("hidden") << "(hidden)"
                                << "";
        QTest::newRow("other digits") << QString::fromUtf8("0521\u0661") << "";
        QTest::newRow("superscript") << QString::fromUtf8("0521\u00B9") << "";
        QTest::newRow("line break") << "0521\n1"
                                    << "";
        QTest::newRow("dot") << "0521.1"
                             << "";
    }
    void lookupDigits()
    {
        QFETCH(QString, reported);
        QTEST(callingnumber::lookupDigits(reported), "digits");
    }

    void cutsKeepSixDigits()
    {
        using callingnumber::cutAllowed;
        QVERIFY(cutAllowed(QStringLiteral("12"), 0)); // the exact attempt always runs
        QVERIFY(!cutAllowed(QStringLiteral("123456"), 1));
        QVERIFY(cutAllowed(QStringLiteral("1234567"), 1));
        QVERIFY(!cutAllowed(QStringLiteral("1234567"), 2));
        QVERIFY(cutAllowed(QStringLiteral("0521123456"), 4));
        QVERIFY(!cutAllowed(QStringLiteral("0521123456"), 5));
    }
};

QTEST_GUILESS_MAIN(CallingNumberTest)
#include "callingnumbertest.moc"
