// A call injected through the simulated line of a running headless server
// (either program) reaches the connected clients as one line and lands in
// the call journal.

#include "databasebackend.h"
#include "db/connection.h"
#include "db/schema.h"
#include "pgcluster.h"
#include "serverprocess.h"
#include "vberror.h"

#include <QFile>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace vorsa;

namespace {

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
    void injectedCallReachesEveryClientAndTheJournal_data();
    void injectedCallReachesEveryClientAndTheJournal();
};

void EndToEndTest::injectedCallReachesEveryClientAndTheJournal_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("VorsaSrv --headless") << "server/VorsaSrv";
    QTest::newRow("vorsasrvd") << "server/vorsasrvd";
}

void EndToEndTest::injectedCallReachesEveryClientAndTheJournal()
{
    QFETCH(QString, program);
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
    const quint16 port = test::freePort();
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

    test::ServerProcess server(dir.path(), program);
    const QString notStarted = server.start(port);
    QVERIFY2(notStarted.isEmpty(), qPrintable(notStarted));
    const QString sim = server.simSocket();

    const auto firstClient = server.connectClient(QStringLiteral("platz1"));
    const auto secondClient = server.connectClient(QStringLiteral("platz2"));
    QVERIFY(firstClient && secondClient);
    QTcpSocket& first = *firstClient;
    QTcpSocket& second = *secondClient;
    QTest::qWait(200);

    QVERIFY(server.ring(QStringLiteral("0521999"), QStringLiteral("1234567")));

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

    QVERIFY(server.stop());
    QCOMPARE(journalEntries(log), entry);
    QVERIFY(!QFile::exists(sim));
}

QTEST_GUILESS_MAIN(EndToEndTest)
#include "endtoendtest.moc"
