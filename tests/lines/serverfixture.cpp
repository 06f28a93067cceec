#include "serverfixture.h"

#include "db/connection.h"
#include "db/schema.h"
#include "pgcluster.h"
#include "sippeer.h"
#include "vberror.h"

#include <QFile>
#include <QTcpServer>
#include <QTest>

using namespace vorsa;

namespace {

quint16 freeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

void writeIni(const QString& path, const QStringList& lines)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (const QString& l : lines)
        f.write(l.toLatin1() + "\r\n");
}

} // namespace

SipServerFixture::~SipServerFixture()
{
    clients.clear();
    if (server.state() != QProcess::NotRunning) {
        server.terminate();
        if (!server.waitForFinished(10000))
            server.kill();
        server.waitForFinished(2000);
    }
}

QString SipServerFixture::start(int clientCount, const QStringList& extraSettings)
{
    if (!dir.isValid())
        return QStringLiteral("no temporary folder");
    test::writeSqliteUdl(dir.filePath(QStringLiteral("udlVorsa.UDL")), QStringLiteral("vorsa.db"));
    try {
        db::Connection con;
        con.open(QStringLiteral("File Name=") + dir.filePath(QStringLiteral("udlVorsa.UDL")));
        db::applySchema(con, {QStringLiteral("TTelefonNr")});
        con.execute(
            QStringLiteral("INSERT INTO TTelefonNr (Name2, \"Straße\", Ort, TelefonNr) "
                           "VALUES ('Müller', 'Hauptstraße 1', 'Bielefeld', '05211234567')"));
    } catch (const VbError& e) {
        return e.description();
    }
    sipPort = SippPeer::freePort(QHostAddress::LocalHost);
    clientPort = freeTcpPort();
    QStringList ini{"[Settings]", "Line=SIP", "EigeneVorwahl=0521",
                    "LocalPort=" + QString::number(clientPort),
                    "LogFile=" + dir.filePath(QStringLiteral("VorsaSvr.log"))};
    ini << extraSettings;
    ini << QStringList{"[Table]",
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
                       "[SIP]",
                       "Listen=127.0.0.1:" + QString::number(sipPort)};
    writeIni(dir.filePath(QStringLiteral("VorsaSrv.INI")), ini);

    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(qEnvironmentVariable("VORSA_BUILD_DIR") + QStringLiteral("/server/VorsaSrv"),
                 {QStringLiteral("--headless"), QStringLiteral("--dir"), dir.path()});
    if (!server.waitForStarted(5000))
        return QStringLiteral("VorsaSrv does not start");
    for (int i = 0; i < clientCount; ++i) {
        auto c = std::make_unique<QTcpSocket>();
        for (int attempt = 0; attempt < 100; ++attempt) {
            c->connectToHost(QHostAddress::LocalHost, clientPort);
            if (c->waitForConnected(1000))
                break;
            c->abort();
            QTest::qWait(100);
        }
        if (c->state() != QAbstractSocket::ConnectedState)
            return QStringLiteral("no client connection to VorsaSrv");
        c->write("HN:platz" + QByteArray::number(i + 1));
        c->flush();
        clients.push_back(std::move(c));
    }
    QTest::qWait(200);
    return {};
}
