#include "numberkeyfilter.h"

#include <QtTest>

using namespace vorsa;

Q_DECLARE_METATYPE(vorsa::KeyDecision)

class TestNumberKeyFilter : public QObject {
    Q_OBJECT

private slots:
    void decidesOnTheTextAfterTheKey_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selLength");
        QTest::addColumn<QChar>("key");
        QTest::addColumn<int>("vorkomma");
        QTest::addColumn<int>("nachkomma");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<KeyDecision>("decision");
        QTest::addColumn<QString>("resultText");
        QTest::addColumn<int>("resultStart");
        QTest::addColumn<int>("resultLength");

        const auto A = KeyDecision::Accepted;
        const auto R = KeyDecision::Rejected;
        const auto N = KeyDecision::NotFiltered;
        const QChar backspace(8);

        // Three places in front of the comma (the minus counts), two decimals.
        QTest::newRow("minus into empty")
            << "" << 0 << 0 << QChar('-') << 3 << 2 << false << A << "-" << 1 << 0;
        QTest::newRow("-12 fits") << "-1" << 2 << 0 << QChar('2') << 3 << 2 << false << A << "-12"
                                  << 3 << 0;
        QTest::newRow("-123 is too long")
            << "-12" << 3 << 0 << QChar('3') << 3 << 2 << false << R << "-12" << 3 << 0;
        QTest::newRow("123 fits") << "12" << 2 << 0 << QChar('3') << 3 << 2 << false << A << "123"
                                  << 3 << 0;
        QTest::newRow("comma after three places")
            << "123" << 3 << 0 << QChar(',') << 3 << 2 << false << A << "123," << 4 << 0;
        QTest::newRow("12,34 fits")
            << "12,3" << 4 << 0 << QChar('4') << 3 << 2 << false << A << "12,34" << 5 << 0;
        QTest::newRow("third decimal")
            << "12,34" << 5 << 0 << QChar('5') << 3 << 2 << false << R << "12,34" << 5 << 0;
        QTest::newRow("digit in front of the comma beyond the places")
            << "123,4" << 0 << 0 << QChar('9') << 3 << 2 << false << R << "123,4" << 0 << 0;
        QTest::newRow("minus in the middle counts")
            << "12" << 1 << 0 << QChar('-') << 3 << 2 << false << A << "1-2" << 2 << 0;
        QTest::newRow("minus in front of a full number")
            << "123" << 0 << 0 << QChar('-') << 3 << 2 << false << R << "123" << 0 << 0;
        QTest::newRow("comma that leaves three decimals")
            << "1234" << 1 << 0 << QChar(',') << 4 << 2 << false << R << "1234" << 1 << 0;

        // A second comma selects the decimals behind the first one.
        QTest::newRow("comma into 12,3 selects the 3")
            << "12,3" << 4 << 0 << QChar(',') << 3 << 2 << false << R << "12,3" << 3 << 1;
        QTest::newRow("comma into 12, with caret in front")
            << "12," << 0 << 0 << QChar(',') << 3 << 2 << false << R << "12," << 3 << 0;
        QTest::newRow("comma over a selection holding the comma")
            << "1,5" << 0 << 3 << QChar(',') << 3 << 2 << false << R << "1,5" << 2 << 1;

        // Characters that are never typed.
        QTest::newRow("letter") << "12" << 2 << 0 << QChar('a') << 3 << 2 << false << R << "12" << 2
                                << 0;
        QTest::newRow("point") << "12" << 2 << 0 << QChar('.') << 3 << 2 << false << R << "12" << 2
                               << 0;
        QTest::newRow("blank") << "1" << 1 << 0 << QChar(' ') << 3 << 2 << false << R << "1" << 1
                               << 0;
        QTest::newRow("no decimals: comma")
            << "12" << 2 << 0 << QChar(',') << 3 << 0 << false << R << "12" << 2 << 0;
        QTest::newRow("no places: digit")
            << "" << 0 << 0 << QChar('1') << 0 << 2 << false << R << "" << 0 << 0;
        QTest::newRow("no places: comma first")
            << "" << 0 << 0 << QChar(',') << 0 << 2 << false << A << "," << 1 << 0;

        // Typing over a selection.
        QTest::newRow("over a selection that fits")
            << "12,34" << 0 << 2 << QChar('5') << 3 << 2 << false << A << "5,34" << 1 << 0;
        QTest::newRow("over a selection: too many places")
            << "12,34" << 2 << 2 << QChar('9') << 3 << 2 << false << R << "12,34" << 2 << 2;
        QTest::newRow("comma over a digit while the text has a comma")
            << "1,2" << 0 << 1 << QChar(',') << 3 << 2 << false << R << "1,2" << 2 << 1;
        QTest::newRow("over the whole text")
            << "999" << 0 << 3 << QChar('7') << 3 << 2 << false << A << "7" << 1 << 0;

        // Not the filter's business.
        QTest::newRow("locked passes a letter")
            << "12" << 2 << 0 << QChar('x') << 3 << 2 << true << N << "12" << 2 << 0;
        QTest::newRow("locked passes a digit beyond the places")
            << "123" << 3 << 0 << QChar('4') << 3 << 2 << true << N << "123" << 3 << 0;
        QTest::newRow("backspace")
            << "123" << 3 << 0 << backspace << 3 << 2 << false << N << "123" << 3 << 0;

        // A selection outside the text is clamped.
        QTest::newRow("caret beyond the end")
            << "1" << 9 << 4 << QChar('2') << 3 << 2 << false << A << "12" << 2 << 0;
    }

    void decidesOnTheTextAfterTheKey()
    {
        QFETCH(QString, text);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        QFETCH(QChar, key);
        QFETCH(int, vorkomma);
        QFETCH(int, nachkomma);
        QFETCH(bool, locked);
        QFETCH(KeyDecision, decision);
        QFETCH(QString, resultText);
        QFETCH(int, resultStart);
        QFETCH(int, resultLength);

        const NumberKeyResult r =
            TastePruefenZahl(text, selStart, selLength, key, vorkomma, nachkomma, locked);
        QCOMPARE(r.decision, decision);
        QCOMPARE(r.text, resultText);
        QCOMPARE(r.selStart, resultStart);
        QCOMPARE(r.selLength, resultLength);
        // A rejected key reaches the host as 0 with a beep; any other as it was.
        QCOMPARE(r.beep, decision == KeyDecision::Rejected);
        QCOMPARE(r.keyAscii, decision == KeyDecision::Rejected ? QChar(0) : key);
    }
};

QTEST_GUILESS_MAIN(TestNumberKeyFilter)
#include "tst_numberkeyfilter.moc"
