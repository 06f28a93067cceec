// A SIP call to a running headless server reaches its clients as a
// notification line, identified from the number index.
#include "sippeer.h"
#include "sipserverfixture.h"

#include <QFile>
#include <QTest>

class TestSipServer : public QObject {
    Q_OBJECT
private slots:
    void sipCallReachesTheClientsIdentified();
};

void TestSipServer::sipCallReachesTheClientsIdentified()
{
    if (SippPeer::program().isEmpty())
        QSKIP("sipp (Debian package sip-tester) is not installed");
    if (!QFile::exists(qEnvironmentVariable("VORSA_BUILD_DIR") +
                       QStringLiteral("/server/VorsaSrv")))
        QSKIP("VorsaSrv is not built");
    SipServerFixture fixture;
    const QString problem = fixture.start(2);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    SippPeer sipp(fixture.dir.path());
    SippPeer::Call call;
    call.from = QStringLiteral("\"Müller\" <sip:+49521-1234567;cpc=ordinary@127.0.0.1>");
    call.requestUser = QStringLiteral("+495215551234");
    call.pauseMs = 500;
    QVERIFY(sipp.start(call, QStringLiteral("127.0.0.1:%1").arg(fixture.sipPort)));

    QByteArray received[2];
    QTRY_VERIFY_WITH_TIMEOUT((received[0] += fixture.clients[0]->readAll()).endsWith('\r') &&
                                 (received[1] += fixture.clients[1]->readAll()).endsWith('\r'),
                             10000);
    const QString line = QString::fromLatin1(received[0]);
    QVERIFY2(line.startsWith(QStringLiteral("Icon=1;Datum=")), received[0].constData());
    QVERIFY2(line.contains(QStringLiteral(
                 ";Anrufer=05211234567;Name=M\u00fcller;Ort=Bielefeld;Nr=05211234567;")),
             received[0].constData());
    QCOMPARE(received[1], received[0]);
    QVERIFY2(sipp.finish(), qPrintable(sipp.output()));
}

QTEST_GUILESS_MAIN(TestSipServer)
#include "tst_sipserver.moc"
