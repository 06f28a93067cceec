#include "capimessage.h"
#ifdef VORSA_HAVE_CAPI
#include "capi/capiline.h"
#include "reporter.h"
#endif

#include <QTest>

using namespace vorsa;

namespace {

// A CONNECT_IND as a controller sends it: header, PLCI, CIP, then the called
// and calling party numbers and four empty structures.
QByteArray connectInd(const QByteArray& called, const QByteArray& calling, quint32 plci = 0x0101,
                      quint16 cip = 16)
{
    QByteArray b("\0\0\x01\0\x02\x82\x2a\0", 8);
    for (int i = 0; i < 4; ++i)
        b.append(char((plci >> (8 * i)) & 0xff));
    b.append(char(cip & 0xff)).append(char(cip >> 8));
    b.append(char(called.size())).append(called);
    b.append(char(calling.size())).append(calling);
    b.append(QByteArray(4, '\0'));
    b[0] = char(b.size());
    return b;
}

QByteArray bytes(std::initializer_list<int> v)
{
    QByteArray b;
    for (int c : v)
        b.append(char(c));
    return b;
}

} // namespace

class TestCapiMessage : public QObject {
    Q_OBJECT
private slots:
    void decodesCallingNumber_data();
    void decodesCallingNumber();
    void decodesPlciCipAndCalled();
    void longStructureLength();
    void rejectsBrokenMessages_data();
    void rejectsBrokenMessages();
    void connectRespIgnoresTheCall();
    void listenReqAsksForEveryService();
    void lineWithoutCapiFailsWithMessage();
};

void TestCapiMessage::decodesCallingNumber_data()
{
    QTest::addColumn<QByteArray>("calling");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("presentation");
    // Octet 3: type of number in bits 7..5; octet 3a: presentation in bits 7..6.
    QTest::newRow("international") << bytes({0x11, 0x80}) + "4930123456"
                                   << "004930123456" << 0;
    QTest::newRow("national") << bytes({0x21, 0x80}) + "521123456"
                              << "0521123456" << 0;
    QTest::newRow("subscriber") << bytes({0x41, 0x80}) + "123456"
                                << "123456" << 0;
    QTest::newRow("unknown") << bytes({0x01, 0x80}) + "0521123456"
                             << "0521123456" << 0;
    QTest::newRow("network specific") << bytes({0x31, 0x80}) + "112"
                                      << "112" << 0;
    QTest::newRow("restricted") << bytes({0x21, 0xa0}) + "521123456"
                                << "(hidden)" << 1;
    QTest::newRow("restricted user screened") << bytes({0x21, 0xa3}) + "521123456"
                                              << "(hidden)" << 1;
    QTest::newRow("not available") << bytes({0x01, 0xc0}) << "(hidden)" << 2;
    QTest::newRow("no presentation octet") << bytes({0xa1}) + "521123456"
                                           << "0521123456" << 0;
    QTest::newRow("empty digits") << bytes({0x21, 0x80}) << "(hidden)" << 0;
    QTest::newRow("empty structure") << QByteArray() << "(hidden)" << 0;
    QTest::newRow("non-digits dropped") << bytes({0x21, 0x80}) + "52#1\x01"
                                        << "0521" << 0;
}

void TestCapiMessage::decodesCallingNumber()
{
    QFETCH(QByteArray, calling);
    QFETCH(QString, number);
    QFETCH(int, presentation);
    capi::ConnectInd ind;
    QVERIFY(capi::ConnectInd::decode(connectInd(bytes({0x81}) + "5551234", calling), ind));
    QCOMPARE(ind.calling, number);
    QCOMPARE(ind.presentation, presentation);
}

void TestCapiMessage::decodesPlciCipAndCalled()
{
    capi::ConnectInd ind;
    QVERIFY(capi::ConnectInd::decode(
        connectInd(bytes({0x81}) + "5551234", bytes({0x21, 0x80}) + "521", 0x00020301, 4), ind));
    QCOMPARE(ind.plci, 0x00020301u);
    QCOMPARE(ind.cip, quint16(4));
    QCOMPARE(ind.called, QStringLiteral("5551234"));
    QVERIFY(capi::ConnectInd::decode(connectInd(QByteArray(), bytes({0x21, 0x80}) + "521"), ind));
    QCOMPARE(ind.called, QString());
}

void TestCapiMessage::longStructureLength()
{
    // A structure may announce its length as 0xff and a 16-bit number.
    QByteArray m("\0\0\x01\0\x02\x82\x01\0", 8);
    m += bytes({1, 1, 0, 0, 16, 0});
    m += bytes({0xff, 8, 0, 0x81}) + "5551234";
    m += bytes({5, 0x21, 0x80}) + "521";
    m += QByteArray(4, '\0');
    m[0] = char(m.size());
    capi::ConnectInd ind;
    QVERIFY(capi::ConnectInd::decode(m, ind));
    QCOMPARE(ind.called, QStringLiteral("5551234"));
    QCOMPARE(ind.calling, QStringLiteral("0521"));
}

void TestCapiMessage::rejectsBrokenMessages_data()
{
    QTest::addColumn<QByteArray>("message");
    const QByteArray good = connectInd(bytes({0x81}) + "5551234", bytes({0x21, 0x80}) + "521");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header only") << good.left(8);
    QTest::newRow("calling cut short") << good.left(good.size() - 8);
    QByteArray lying = good;
    lying[0] = char(20); // the length field claims less than the structures need
    QTest::newRow("length field too small") << lying;
    QByteArray conf = good;
    conf[5] = char(0x81);
    QTest::newRow("a confirmation") << conf;
    QByteArray other = good;
    other[4] = char(0x04);
    QTest::newRow("another command") << other;
    QByteArray huge = good;
    huge[23] = char(0x7f); // the calling party number claims 127 octets
    QTest::newRow("structure longer than message") << huge;
}

void TestCapiMessage::rejectsBrokenMessages()
{
    QFETCH(QByteArray, message);
    capi::ConnectInd ind;
    QVERIFY(!capi::ConnectInd::decode(message, ind));
}

void TestCapiMessage::connectRespIgnoresTheCall()
{
    const QByteArray r = capi::connectResp(7, 0x2a, 0x00020301, 1);
    capi::Header h;
    QVERIFY(capi::Header::read(r, h));
    QCOMPARE(int(h.length), r.size());
    QCOMPARE(h.applId, quint16(7));
    QCOMPARE(h.command, capi::Connect);
    QCOMPARE(h.subcommand, capi::Resp);
    QCOMPARE(h.number, quint16(0x2a)); // the indication's number
    QCOMPARE(r.mid(8, 6), bytes({0x01, 0x03, 0x02, 0x00, 0x01, 0x00}));
    QCOMPARE(r.size(), 8 + 4 + 2 + 5);
}

void TestCapiMessage::listenReqAsksForEveryService()
{
    const QByteArray r = capi::listenReq(7, 1, 1, 0x1FFF03FF);
    QCOMPARE(r.size(), 8 + 16 + 2);
    QCOMPARE(quint8(r[0]), quint8(26));
    QCOMPARE(r.mid(4, 2), bytes({0x05, 0x80}));
    QCOMPARE(r.mid(8, 4), bytes({1, 0, 0, 0}));
    QCOMPARE(r.mid(16, 4), bytes({0xff, 0x03, 0xff, 0x1f}));
}

void TestCapiMessage::lineWithoutCapiFailsWithMessage()
{
#ifdef VORSA_HAVE_CAPI
    RecordingReporter reporter;
    CapiLine line(&reporter);
    if (line.startCAPI())
        QSKIP("this machine has a working CAPI");
    QVERIFY(!line.startCAPI());
    QCOMPARE(reporter.procedures(), QStringList{"CAPI"}); // once, not on every restart
#else
    QSKIP("libcapi20 is not installed: the CAPI line is not built");
#endif
}

QTEST_GUILESS_MAIN(TestCapiMessage)
#include "tst_capimessage.moc"
