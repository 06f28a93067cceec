#include "numberplan.h"
#include "sipparties.h"

#include <QTest>

using namespace vorsa;

class TestSipNumbers : public QObject {
    Q_OBJECT
private slots:
    void nationalForm_data();
    void nationalForm();
    void trunkPrefixFollowsTheCountry();
    void callingNumber_data();
    void callingNumber();
    void calledNumber_data();
    void calledNumber();
    void partiesFromWireMessage();
    void addressParsing_data();
    void addressParsing();
};

void TestSipNumbers::nationalForm_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("national");
    QTest::newRow("plus own country") << "+49521123456"
                                      << "0521123456";
    QTest::newRow("00 own country") << "0049521123456"
                                    << "0521123456";
    QTest::newRow("plus own with (0)") << "+49 (0)521 12 34-56"
                                       << "0521123456";
    QTest::newRow("00 own with 0") << "0049 0521 123456"
                                   << "0521123456";
    QTest::newRow("national") << "0521123456"
                              << "0521123456";
    QTest::newRow("national separators") << "(0521) 12 34 / 56"
                                         << "0521123456";
    QTest::newRow("dots and dashes") << "0521.123-456"
                                     << "0521123456";
    QTest::newRow("user parameters cut") << "+49521123456;cpc=ordinary"
                                         << "0521123456";
    QTest::newRow("other country plus") << "+44 20 7946 0958"
                                        << "00442079460958";
    QTest::newRow("other country 00") << "0043 1 234567"
                                      << "00431234567";
    QTest::newRow("other country (0)") << "+44 (0)20 7946 0958"
                                       << "00442079460958";
    QTest::newRow("00 own with 00") << "0049 00 521 123456"
                                    << "0521123456";
    QTest::newRow("own code twice") << "0049004952112345521123456"
                                    << "04952112345521123456";
    QTest::newRow("bracketed 00") << "(00)49 521 123456"
                                  << "0521123456";
    QTest::newRow("country code prefix only") << "+4"
                                              << "004";
    QTest::newRow("own code alone") << "+49"
                                    << "";
    QTest::newRow("internal extension") << "21"
                                        << "21";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("only separators") << " - / "
                                     << "";
    QTest::newRow("name") << "alice"
                          << "";
    QTest::newRow("digits and letters") << "0521abc"
                                        << "";
    QTest::newRow("plus in the middle") << "0521+49"
                                        << "";
    QTest::newRow("too long") << QString(40, u'1') << "";
    QTest::newRow("star code") << "*31#"
                               << "";
}

void TestSipNumbers::nationalForm()
{
    QFETCH(QString, raw);
    QFETCH(QString, national);
    const NumberPlan germany;
    QCOMPARE(germany.toNational(raw), national);
    // The national form is a fixed point.
    QCOMPARE(germany.toNational(national), national);
}

void TestSipNumbers::trunkPrefixFollowsTheCountry()
{
    QCOMPARE(NumberPlan::forCountry(49).trunkPrefix, QStringLiteral("0"));
    QCOMPARE(NumberPlan::forCountry(43).trunkPrefix, QStringLiteral("0"));
    // Italian numbers keep their leading 0 inside the international form.
    const NumberPlan italy = NumberPlan::forCountry(39);
    QCOMPARE(italy.trunkPrefix, QString());
    QCOMPARE(italy.toNational(u"+39 06 1234567"), QStringLiteral("061234567"));
    QCOMPARE(italy.toNational(u"+49 521 1234"), QStringLiteral("00495211234"));
    // Nonsense settings fall back to Germany.
    QCOMPARE(NumberPlan::forCountry(0).country, 49);
    QCOMPARE(NumberPlan::forCountry(12345).country, 49);
#ifdef VORSA_HAVE_PHONENUMBER
    QCOMPARE(NumberPlan::forCountry(999).country, 49); // no such calling code
#endif
}

void TestSipNumbers::callingNumber_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QStringList>("pai");
    QTest::addColumn<QStringList>("rpid");
    QTest::addColumn<QStringList>("privacy");
    QTest::addColumn<QString>("calling");
    const QStringList none;
    QTest::newRow("from only") << "\"Anna\" <sip:0521123456@pbx.local>;tag=1" << none << none
                               << none << "0521123456";
    QTest::newRow("from bare uri")
        << "sip:+49521123456@pbx.local;tag=1" << none << none << none << "0521123456";
    QTest::newRow("from with cpc") << "<sip:+49521123456;cpc=ordinary@pbx.local;user=phone>;tag=1"
                                   << none << none << none << "0521123456";
    QTest::newRow("pai wins over from")
        << "<sip:100@pbx.local>;tag=1" << QStringList{"<sip:+4930123456@carrier.de>"} << none
        << none << "030123456";
    QTest::newRow("pai tel") << "<sip:100@pbx.local>;tag=1"
                             << QStringList{"<tel:+49-30-123456;cpc=ordinary>"} << none << none
                             << "030123456";
    QTest::newRow("pai name then tel")
        << "<sip:100@pbx.local>;tag=1"
        << QStringList{"\"Zentrale, Berlin\" <sip:zentrale@carrier.de>, <tel:+4930123456>"} << none
        << none << "030123456";
    QTest::newRow("rpid when no pai")
        << "<sip:100@pbx.local>;tag=1" << none
        << QStringList{"\"Anna\" <sip:0049521123456@pbx.local>;party=calling;screen=yes"} << none
        << "0521123456";
    QTest::newRow("rpid of called party ignored")
        << "<sip:0521999@pbx.local>;tag=1" << none
        << QStringList{"<sip:0301111@pbx.local>;party=called"} << none << "0521999";
    QTest::newRow("rpid privacy full")
        << "<sip:0521999@pbx.local>;tag=1" << none
        << QStringList{"<sip:0521123456@pbx.local>;party=calling;privacy=full"} << none
        << "(hidden)";
    QTest::newRow("privacy id") << "<sip:0521999@pbx.local>;tag=1"
                                << QStringList{"<sip:+49521123456@carrier.de>"} << none
                                << QStringList{"id"} << "(hidden)";
    QTest::newRow("privacy user;header") << "<sip:0521999@pbx.local>;tag=1" << none << none
                                         << QStringList{"user; header"} << "(hidden)";
    QTest::newRow("privacy none") << "<sip:0521999@pbx.local>;tag=1" << none << none
                                  << QStringList{"none"} << "0521999";
    QTest::newRow("anonymous user")
        << "\"Anonymous\" <sip:anonymous@pbx.local>;tag=1" << none << none << none << "(hidden)";
    QTest::newRow("anonymous host")
        << "<sip:0521999@anonymous.invalid>;tag=1" << none << none << none << "(hidden)";
    QTest::newRow("anonymous pai")
        << "<sip:0521999@pbx.local>;tag=1" << QStringList{"<sip:anonymous@anonymous.invalid>"}
        << none << none << "(hidden)";
    QTest::newRow("no number left")
        << "<sip:alice@pbx.local>;tag=1" << none << none << none << "(hidden)";
    QTest::newRow("empty from") << "" << none << none << none << "(hidden)";
    QTest::newRow("escaped plus") << "<sip:%2B49521123456@pbx.local>" << none << none << none
                                  << "0521123456";
    QTest::newRow("quoted name with <")
        << "\"a <b>, c\" <sip:0521123@h>;tag=x" << none << none << none << "0521123";
}

void TestSipNumbers::callingNumber()
{
    QFETCH(QString, from);
    QFETCH(QStringList, pai);
    QFETCH(QStringList, rpid);
    QFETCH(QStringList, privacy);
    QFETCH(QString, calling);
    SipParties p;
    p.from = from;
    p.assertedIdentity = pai;
    p.remotePartyId = rpid;
    p.privacy = privacy;
    QCOMPARE(p.callingNumber(NumberPlan{}), calling);
}

void TestSipNumbers::calledNumber_data()
{
    QTest::addColumn<QString>("requestUri");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("called");
    QTest::newRow("request uri") << "sip:+495215551234@10.0.0.2:5060"
                                 << "<sip:5551234@pbx>"
                                 << ""
                                 << "05215551234";
    QTest::newRow("request uri names account") << "sip:vorsa@10.0.0.2:5060"
                                               << "<sip:+495215551234@carrier.de>"
                                               << "vorsa"
                                               << "05215551234";
    QTest::newRow("numeric account") << "sip:4711@10.0.0.2"
                                     << "<sip:05215551234@carrier.de>"
                                     << "4711"
                                     << "05215551234";
    QTest::newRow("no user in request uri") << "sip:10.0.0.2"
                                            << "<sip:5551234@pbx>"
                                            << ""
                                            << "5551234";
    QTest::newRow("nothing") << "sip:10.0.0.2"
                             << "<sip:10.0.0.2>"
                             << ""
                             << "";
}

void TestSipNumbers::calledNumber()
{
    QFETCH(QString, requestUri);
    QFETCH(QString, to);
    QFETCH(QString, account);
    SipParties p;
    p.requestUri = requestUri;
    p.to = to;
    QFETCH(QString, called);
    QCOMPARE(p.calledNumber(NumberPlan{}, account), called);
}

void TestSipNumbers::partiesFromWireMessage()
{
    const QByteArray msg = "INVITE sip:+495215551234@192.0.2.1:5060 SIP/2.0\r\n"
                           "Via: SIP/2.0/UDP 192.0.2.9;branch=z9hG4bK1\r\n"
                           "f: \"Anna\" <sip:0521123@pbx>;tag=1\r\n"
                           "t: <sip:5551234@pbx>\r\n"
                           "P-Asserted-Identity: <sip:+4930123456@carrier.de>,\r\n"
                           "  <tel:+4930123456>\r\n"
                           "privacy: none\r\n"
                           "Content-Length: 0\r\n"
                           "\r\n"
                           "P-Asserted-Identity: <sip:666@evil>\r\n";
    const SipParties p = SipParties::fromMessage(msg);
    QCOMPARE(p.requestUri, QStringLiteral("sip:+495215551234@192.0.2.1:5060"));
    QCOMPARE(p.from, QStringLiteral("\"Anna\" <sip:0521123@pbx>;tag=1"));
    QCOMPARE(p.to, QStringLiteral("<sip:5551234@pbx>"));
    QCOMPARE(p.assertedIdentity.size(), 1); // the body is not headers
    QCOMPARE(p.privacy, QStringList{"none"});
    QCOMPARE(p.callingNumber(NumberPlan{}), QStringLiteral("030123456"));
    QCOMPARE(p.calledNumber(NumberPlan{}, QString()), QStringLiteral("05215551234"));
}

void TestSipNumbers::addressParsing_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("host");
    QTest::newRow("name-addr") << "\"A\" <sip:0521@Example.COM:5060;transport=udp>;tag=9"
                               << "sip"
                               << "0521"
                               << "example.com";
    QTest::newRow("sips") << "<sips:0521@h>"
                          << "sips"
                          << "0521"
                          << "h";
    QTest::newRow("password dropped") << "<sip:0521:secret@h>"
                                      << "sip"
                                      << "0521"
                                      << "h";
    QTest::newRow("ipv6 host") << "<sip:0521@[2001:db8::1]:5060>"
                               << "sip"
                               << "0521"
                               << "[2001:db8::1]";
    QTest::newRow("tel") << "<tel:+49-521-1234;phone-context=x>"
                         << "tel"
                         << "+49-521-1234;phone-context=x"
                         << "";
    QTest::newRow("unknown scheme") << "<mailto:a@b>"
                                    << ""
                                    << ""
                                    << "";
    QTest::newRow("unclosed bracket") << "<sip:0521@h"
                                      << ""
                                      << ""
                                      << "";
}

void TestSipNumbers::addressParsing()
{
    QFETCH(QString, value);
    QFETCH(QString, scheme);
    QFETCH(QString, user);
    QFETCH(QString, host);
    const SipAddress a = SipAddress::parse(value);
    QCOMPARE(a.scheme, scheme);
    QCOMPARE(a.user, user);
    QCOMPARE(a.host, host);
}

QTEST_GUILESS_MAIN(TestSipNumbers)
#include "tst_sipnumbers.moc"
