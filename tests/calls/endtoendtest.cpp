// A call injected through the simulated line of a running headless server
// reaches the connected clients as one line and lands in the call journal.

#include "databasebackend.h"
#include "db/connection.h"
#include "db/schema.h"
#include "pgcluster.h"
#include "vberror.h"

#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace vorsa;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

QByteArray journalEntries(const QString& log)
{
    QFile file(log);
    QByteArray out;
    if (!file.open(QIODevice::ReadOnly))
        return out;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.startsWith("*D*"))
            out += line;
    }
    return out;
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void injectedCallReachesEveryClientAndTheJournal();
};

void EndToEndTest::injectedCallReachesEveryClientAndTheJournal()
{
    QTemporaryDir dir;
    const QString udl = dir.filePath(QStringLiteral("udlVorsa.UDL"));
    test::writeSqliteUdl(udl, QStringLiteral("vorsa.db"));
    try {
        db::Connection con;
        con.open(test::connectionStringFor(dir.path()));
        db::applySchema(con, {QStringLiteral("TTelefonNr")});
        con.execute(
            QStringLiteral("INSERT INTO TTelefonNr (Name2, \"Straße\", Ort, TelefonNr) "
                           "VALUES ('Müller', 'Hauptstraße 1', 'Bielefeld', '05211234567')"));
    } catch (const VbError& e) {
        QFAIL(qPrintable(e.description()));
    }
    const quint16 port = freePort();
    const QString log = dir.filePath(QStringLiteral("VorsaSvr.log"));
    test::writeIni(dir.filePath(QStringLiteral("VorsaSrv.INI")),
                   {"[Settings]",
                    "Line=SIM",
                    "EigeneVorwahl=0521",
                    "LocalPort=" + QString::number(port),
                    "LogFile=" + log,
                    "[Table]",
                    "SQL1.1=SELECT Name2 AS Name, Ort, TelefonNr AS Nr FROM TTelefonNr",
                    "SQL1.2=WHERE TelefonNr LIKE '/*CallingNr*/'",
                    "Name=TTelefonNr",
                    "[Feld1]",
                    "FieldName=Datum",
                    "[Feld2]",
                    "FieldName=Anrufer",
                    "[Feld3]",
                    "FieldName=Name",
                    "[Feld4]",
                    "FieldName=Ort",
                    "[Feld5]",
                    "FieldName=Nr",
                    "[Feld6]",
                    "FieldName=Versuche"});

    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(qEnvironmentVariable("VORSA_BUILD_DIR") + QStringLiteral("/server/VorsaSrv"),
                 {QStringLiteral("--headless"), QStringLiteral("--dir"), dir.path()});
    QVERIFY(server.waitForStarted());
    const QString sim = dir.filePath(QStringLiteral("VorsaSrv.sim"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(sim), 10000);

    QTcpSocket first, second;
    for (QTcpSocket* client : {&first, &second}) {
        client->connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(client->waitForConnected(5000));
    }
    first.write("HN:platz1");
    second.write("HN:platz2");
    QTest::qWait(200);

    QLocalSocket line;
    line.connectToServer(sim);
    QVERIFY(line.waitForConnected(5000));
    line.write("0521999;1234567\n");
    QVERIFY(line.waitForBytesWritten(5000));

    QByteArray received[2];
    QTRY_VERIFY_WITH_TIMEOUT((received[0] += first.readAll()).endsWith('\r') &&
                                 (received[1] += second.readAll()).endsWith('\r'),
                             10000);
    const QRegularExpression expected(QStringLiteral(
        "^Icon=1;Datum=\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d;Anrufer=1234567;"
        "Name=M\\x{fc}ller;Ort=Bielefeld;Nr=05211234567;Versuche=0\\r$"));
    QVERIFY2(expected.match(QString::fromLatin1(received[0])).hasMatch(), received[0].constData());
    QCOMPARE(received[1], received[0]);
    const QByteArray entry = "*D*" + received[0].chopped(1) + "\r\n";
    QTRY_COMPARE(journalEntries(log), entry);

    server.terminate();
    QVERIFY(server.waitForFinished(10000));
    QCOMPARE(journalEntries(log), entry);
    QVERIFY(!QFile::exists(sim));
}

QTEST_GUILESS_MAIN(EndToEndTest)
#include "endtoendtest.moc"
