#include "sipserverfixture.h"

#include "db/connection.h"
#include "db/schema.h"
#include "pgcluster.h"
#include "sippeer.h"
#include "testfiles.h"
#include "vberror.h"

#include <QTest>

using namespace vorsa;
using namespace vorsa::test;

SipServerFixture::~SipServerFixture()
{
    clients.clear();
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
    clientPort = freePort();
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

    if (const QString why = server.start(clientPort, false); !why.isEmpty())
        return why;
    for (int i = 0; i < clientCount; ++i) {
        auto c = server.connectClient(QStringLiteral("platz%1").arg(i + 1));
        if (!c)
            return QStringLiteral("no client connection to VorsaSrv");
        clients.push_back(std::move(c));
    }
    QTest::qWait(200);
    return {};
}
