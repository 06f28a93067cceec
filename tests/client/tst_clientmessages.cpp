// What the call client sends and how it cuts, splits and lists what the
// server sends.
#include "clientfixture.h"
#include "testfiles.h"
#include "vberror.h"
#include "wire/notificationline.h"
#include "wire/receivebuffer.h"

using namespace vorsa;
using namespace vorsa::test;

namespace {
const QByteArray kFields =
    "[Feld1]\r\nFieldName=Datum\r\nColumnName=Datum\r\nColumnWidth=1500\r\n"
    "ColumnFormat=hh:mm  dd.mm.yy\r\n"
    "[Feld2]\r\nFieldName=Anrufer\r\nColumnName=Anrufer\r\nColumnWidth=2000\r\n"
    "[Feld3]\r\nFieldName=Versuche\r\nColumnName=Versuche\r\n";

// A client loaded with three fields and three icons, connected to a fake server.
struct Connected {
    FakeServer server;
    ClientFixture f;
    std::unique_ptr<QSignalSpy> arrivals;

    explicit Connected(
        const QByteArray& settings = "AutoStart=1\r\nTopmostByCall=1\r\nTopmost=0\r\n")
    {
        f.writeIni(server.portSettings() + settings + kFields + f.iconSection(3));
        f.make();
        arrivals = std::make_unique<QSignalSpy>(f.client.get(), &CallClient::arrivalHandled);
        f.client->Form_Load();
    }
    CallClient& client() { return *f.client; }
    bool ready() { return server.waitForReceived("HN:platz7"); }
    // Sends bytes and waits until the client has handled them.
    bool deliver(const QByteArray& bytes)
    {
        const int before = int(arrivals->count());
        server.send(bytes);
        return QTest::qWaitFor([&] { return arrivals->count() > before; }, 5000);
    }
    QString cells(int row) { return client().model().rowCells(row).join(QLatin1Char('|')); }
};
} // namespace

class ClientMessagesTest : public QObject {
    Q_OBJECT
private slots:
    // the wire format, without sockets
    void lineSplitting_data();
    void lineSplitting();
    void faultyLinesFail_data();
    void faultyLinesFail();
    void receiveBufferCutsAtCarriageReturnOnly();
    void receiveBufferDecodesBytesAcrossPieces();

    // over loopback
    void connectAnnouncesHostNameAndSwitchesMenus();
    void lineOfThreeElementsAddsOneRow();
    void twoLinesInOneChunkAddTwoRows();
    void lineSplitOverTwoChunksAlertsFirstAndAddsOnSecond();
    void lineWithoutIconKeepsThePreviousIcon();
    void iconNumberIsHeldWithinTheIconList_data();
    void iconNumberIsHeldWithinTheIconList();
    void emptyLineAddsAnEmptyRow();
    void faultyLineDoesNotHoldBackTheLinesAfterIt();
    void faultyLinesShowOneBoxAtATime();
    void iconBeforeAFaultyElementIsKept();
    void textIsWindows1252();
    void heuteAndAllesClearTheListAndAskTheServer();
    void verbindenTwiceStartsOneConnection();
    void closeByServerHandlesLastLinesAndEnablesBothMenus();
    void sendingAfterTheServerClosedIsReported();
    void refusedConnectShowsTheErrorBoxAndVerbindenConnectsLater();
    void longReplayIsHandledInSlicesAsOneArrival();
    void unfinishedLineBeyondTheCapClosesTheConnection();
};

void ClientMessagesTest::lineSplitting_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("icon"); // -1: no Icon element
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("text");
    QTest::newRow("full") << "Icon=2;Datum=06.12.2026 09:14:05;Anrufer=Meier" << 2
                          << QStringList{"Datum", "Anrufer"} << "06.12.2026 09:14:05, Meier";
    QTest::newRow("no icon") << "Anrufer=Meier;Versuche=0" << -1
                             << QStringList{"Anrufer", "Versuche"} << "Meier, 0";
    QTest::newRow("empty line") << "" << -1 << QStringList{} << "";
    QTest::newRow("value cut at =") << "Icon=1;Anrufer=A=B" << 1 << QStringList{"Anrufer"} << "A";
    QTest::newRow("empty value") << "Icon=3;Anrufer=;Versuche=2" << 3
                                 << QStringList{"Anrufer", "Versuche"} << "2";
    QTest::newRow("icon key is exact") << "icon=5" << -1 << QStringList{"icon"} << "5";
    QTest::newRow("last icon wins") << "Icon=1;Icon=4" << 4 << QStringList{} << "";
}

void ClientMessagesTest::lineSplitting()
{
    QFETCH(QString, line);
    QFETCH(int, icon);
    QFETCH(QStringList, keys);
    QFETCH(QString, text);
    const NotificationLine parsed = NotificationLine::parse(line);
    QCOMPARE(parsed.icon.has_value(), icon >= 0);
    if (icon >= 0)
        QCOMPARE(int(*parsed.icon), icon);
    QStringList got;
    for (const auto& e : parsed.fields)
        got << e.key;
    QCOMPARE(got, keys);
    QCOMPARE(parsed.text(), text);
}

void ClientMessagesTest::faultyLinesFail_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("number");
    QTest::newRow("element without =") << "Icon=1;Anrufer" << 9;
    QTest::newRow("empty element") << "Icon=1;;Anrufer=A" << 9;
    QTest::newRow("ends with ;") << "Icon=1;Anrufer=A;" << 9;
    QTest::newRow("icon not a number") << "Icon=x;Anrufer=A" << 13;
    QTest::newRow("icon too large") << "Icon=70000" << 6;
}

void ClientMessagesTest::faultyLinesFail()
{
    QFETCH(QString, line);
    QFETCH(int, number);
    try {
        NotificationLine::parse(line);
        QFAIL("no error");
    } catch (const VbError& e) {
        QCOMPARE(e.number(), number);
    }
}

void ClientMessagesTest::receiveBufferCutsAtCarriageReturnOnly()
{
    ReceiveBuffer buffer;
    QString line;
    buffer.append(QStringLiteral("Icon=1;Anrufer=A\r\nIcon=2"));
    QVERIFY(buffer.takeLine(line));
    QCOMPARE(line, QStringLiteral("Icon=1;Anrufer=A"));
    QVERIFY(!buffer.takeLine(line));
    buffer.append(QStringLiteral(";Anrufer=B\r\r"));
    QCOMPARE(buffer.pendingLines(), 2);
    QVERIFY(buffer.takeLine(line));
    QCOMPARE(line, QStringLiteral("\nIcon=2;Anrufer=B")); // LF is part of the text
    QVERIFY(buffer.takeLine(line));
    QCOMPARE(line, QString());
    QCOMPARE(buffer.size(), 0);
    // Many appends and takes keep the order.
    for (int i = 0; i < 1000; ++i)
        buffer.append(QString::number(i) + (i % 2 ? QStringLiteral("\r") : QStringLiteral("-")));
    for (int i = 1; i < 1000; i += 2) {
        QVERIFY(buffer.takeLine(line));
        QCOMPARE(line, QString::number(i - 1) + QLatin1Char('-') + QString::number(i));
    }
    QVERIFY(!buffer.takeLine(line));
}

void ClientMessagesTest::receiveBufferDecodesBytesAcrossPieces()
{
    ReceiveBuffer buffer;
    QString line;
    // A line longer than a decoding piece, arriving in three pieces, one
    // of them cut right after a non-ASCII byte.
    const QByteArray longValue(150000, 'a');
    buffer.append(QByteArray("Icon=1;Anrufer=M\xfc"));
    buffer.append(QByteArray("ller;Ort=") + longValue);
    QCOMPARE(buffer.pendingLines(), 0);
    QVERIFY(!buffer.takeLine(line));
    buffer.append(QByteArray("\x80\rIcon=2\r"));
    QCOMPARE(buffer.pendingLines(), 2);
    QCOMPARE(buffer.size(), 17 + 9 + 150000 + 2 + 7);
    QVERIFY(buffer.takeLine(line));
    QCOMPARE(line, QStringLiteral("Icon=1;Anrufer=Müller;Ort=") + QString(longValue) +
                       QStringLiteral("€"));
    // Text appended after bytes stays behind them.
    buffer.append(QStringLiteral("Icon=3\r"));
    QVERIFY(buffer.takeLine(line));
    QCOMPARE(line, QStringLiteral("Icon=2"));
    QVERIFY(buffer.takeLine(line));
    QCOMPARE(line, QStringLiteral("Icon=3"));
    QVERIFY(!buffer.takeLine(line));
    QCOMPARE(buffer.size(), 0);
}

void ClientMessagesTest::connectAnnouncesHostNameAndSwitchesMenus()
{
    Connected c;
    QVERIFY(c.ready());
    QCOMPARE(c.server.received, QByteArray("HN:platz7")); // no terminator
    QVERIFY(!c.client().menus().verbindenEnabled);
    QVERIFY(c.client().menus().aktualisierenEnabled);
}

void ClientMessagesTest::lineOfThreeElementsAddsOneRow()
{
    Connected c;
    QVERIFY(c.ready());
    QVERIFY(c.deliver("Icon=2;Datum=06.12.2026 09:14:05;Anrufer=Meier\r"));
    QCOMPARE(c.client().model().rowCount(), 1);
    QCOMPARE(c.client().model().rowIcon(0), 2);
    QCOMPARE(c.cells(0), QStringLiteral("09:14  06.12.26|Meier|"));
    QCOMPARE(c.client().txtOutput(), QStringLiteral("06.12.2026 09:14:05, Meier"));
}

void ClientMessagesTest::twoLinesInOneChunkAddTwoRows()
{
    Connected c;
    QVERIFY(c.ready());
    QVERIFY(c.deliver("Icon=1;Anrufer=Erster;Versuche=0\rIcon=3;Anrufer=Zweiter;Versuche=1\r"));
    QCOMPARE(c.client().model().rowCount(), 2);
    QCOMPARE(c.cells(0), QStringLiteral("|Zweiter|1")); // newest on top
    QCOMPARE(c.cells(1), QStringLiteral("|Erster|0"));
    QCOMPARE(c.client().txtOutput(), QStringLiteral("Zweiter, 1"));
    QCOMPARE(c.f.desktop.beeps, 1); // one alert per arrival
}

void ClientMessagesTest::lineSplitOverTwoChunksAlertsFirstAndAddsOnSecond()
{
    Connected c;
    QVERIFY(c.ready());
    QVERIFY(c.deliver("Icon=1;Anrufer=Erster\r"));
    QCOMPARE(c.client().txtOutput(), QStringLiteral("Erster"));
    QVERIFY(c.deliver("Icon=1;Anrufer=Hal"));
    QCOMPARE(c.client().model().rowCount(), 1);
    QCOMPARE(c.client().txtOutput(), QString()); // the event completed no line
    QCOMPARE(c.f.desktop.beeps, 2);
    QVERIFY(c.f.client->foreground().periodRunning());
    QVERIFY(c.deliver("lo\r"));
    QCOMPARE(c.client().model().rowCount(), 2);
    QCOMPARE(c.cells(0), QStringLiteral("|Hallo|"));
    QCOMPARE(c.f.desktop.beeps, 3);
}

void ClientMessagesTest::lineWithoutIconKeepsThePreviousIcon()
{
    Connected c;
    QVERIFY(c.ready());
    QVERIFY(c.deliver("Icon=2;Anrufer=A\r"));
    QVERIFY(c.deliver("Anrufer=B\r"));
    QCOMPARE(c.client().model().rowIcon(0), 2);
    QCOMPARE(c.client().currentIcon(), 2);
}

void ClientMessagesTest::iconNumberIsHeldWithinTheIconList_data()
{
    QTest::addColumn<QByteArray>("icon");
    QTest::addColumn<int>("shown");
    QTest::newRow("above the count") << QByteArray("7") << 3;
    QTest::newRow("negative") << QByteArray("-1") << 0;
    QTest::newRow("within") << QByteArray("3") << 3;
}

void ClientMessagesTest::iconNumberIsHeldWithinTheIconList()
{
    QFETCH(QByteArray, icon);
    QFETCH(int, shown);
    Connected c;
    QCOMPARE(c.client().iconCount(), 3);
    QVERIFY(c.ready());
    QVERIFY(c.deliver("Icon=" + icon + ";Anrufer=A\r"));
    QCOMPARE(c.client().model().rowIcon(0), shown);
}

void ClientMessagesTest::emptyLineAddsAnEmptyRow()
{
    Connected c;
    QVERIFY(c.ready());
    QVERIFY(c.deliver("Icon=1;Anrufer=A\r\r"));
    QCOMPARE(c.client().model().rowCount(), 2);
    QCOMPARE(c.cells(0), QStringLiteral("||"));
    QCOMPARE(c.client().txtOutput(), QString());
}

void ClientMessagesTest::faultyLineDoesNotHoldBackTheLinesAfterIt()
{
    Connected c;
    QVERIFY(c.ready());
    QVERIFY(c.deliver("Icon=1;Anrufer=Vorher\r"));
    const int beeps = c.f.desktop.beeps;
    c.server.send("Icon=1;Anrufer=A\rIcon=x;Anrufer=B\rIcon=1;Anrufer=C\r");
    // C comes without the server sending anything more.
    QVERIFY(QTest::qWaitFor([&] { return c.client().model().rowCount() == 3; }, 5000));
    QCOMPARE(c.f.reporter.procedures(), QStringList{"Winsock1_DataArrival"});
    QCOMPARE(c.f.reporter.entries[0].title, QStringLiteral("Fehler: 13"));
    QCOMPARE(c.cells(0), QStringLiteral("|C|"));
    QCOMPARE(c.cells(1), QStringLiteral("|A|"));
    QCOMPARE(c.client().txtOutput(), QStringLiteral("C"));
    QCOMPARE(c.f.desktop.beeps, beeps + 1);

    // A faulty last line: lost, nothing waits.
    QVERIFY(c.deliver("Icon=2;Anrufer=D\r"));
    c.server.send("Icon=2;Anrufer=E\r;\r");
    QVERIFY(QTest::qWaitFor([&] { return c.f.reporter.entries.size() == 2; }, 5000));
    QCOMPARE(c.client().model().rowCount(), 5);
    QCOMPARE(c.client().pendingLines(), 0);
}

void ClientMessagesTest::faultyLinesShowOneBoxAtATime()
{
    Connected c;
    QVERIFY(c.ready());
    // Where a box runs its event loop, the lines after a faulty one go on.
    int depth = 0, deepest = 0;
    c.f.reporter.whileShown = [&] {
        ++depth;
        deepest = qMax(deepest, depth);
        QTest::qWait(30);
        --depth;
    };
    QByteArray burst;
    for (int i = 0; i < 20; ++i)
        burst += "Icon=1;Anrufer=N" + QByteArray::number(i) + "\rkaputt\r";
    c.server.send(burst);
    QVERIFY(QTest::qWaitFor([&] { return c.client().model().rowCount() == 20; }, 5000));
    QTest::qWait(100);
    QCOMPARE(deepest, 1);
    QVERIFY(c.f.reporter.entries.size() >= 1);
    QCOMPARE(c.cells(0), QStringLiteral("|N19|"));
}

void ClientMessagesTest::iconBeforeAFaultyElementIsKept()
{
    std::optional<qint16> icon;
    QVERIFY_THROWS_EXCEPTION(VbError,
                             NotificationLine::parse(QStringLiteral("Icon=5;kaputt"), &icon));
    QCOMPARE(icon, std::optional<qint16>(5));
    icon.reset();
    QVERIFY_THROWS_EXCEPTION(VbError,
                             NotificationLine::parse(QStringLiteral("kaputt;Icon=5"), &icon));
    QVERIFY(!icon);
}

void ClientMessagesTest::textIsWindows1252()
{
    Connected c;
    QVERIFY(c.ready());
    QVERIFY(c.deliver("Icon=1;Anrufer=M\xfcller \x80\r"));
    QCOMPARE(c.cells(0), QStringLiteral("|Müller €|"));
}

void ClientMessagesTest::heuteAndAllesClearTheListAndAskTheServer()
{
    Connected c;
    c.client().setClock([] { return QDateTime(QDate(2026, 3, 6), QTime(23, 59)); });
    QVERIFY(c.ready());
    QVERIFY(c.deliver("Icon=1;Anrufer=A\r"));
    c.server.received.clear();
    c.client().mnuHeute_Click();
    QCOMPARE(c.client().model().rowCount(), 0);
    QVERIFY(c.server.waitForReceived("*D*:06.03.2026"));
    QCOMPARE(c.server.received, QByteArray("*D*:06.03.2026")); // 14 characters, no terminator

    QVERIFY(c.deliver("Icon=1;Anrufer=B\r"));
    c.server.received.clear();
    c.client().mnuAlles_Click();
    QCOMPARE(c.client().model().rowCount(), 0);
    QVERIFY(c.server.waitForReceived("*D*:"));
    QTest::qWait(20);
    QCOMPARE(c.server.received, QByteArray("*D*:"));
    QVERIFY(c.f.reporter.entries.isEmpty());
}

void ClientMessagesTest::verbindenTwiceStartsOneConnection()
{
    FakeServer server;
    int connections = 0;
    QObject::connect(&server.server, &QTcpServer::newConnection, [&] { ++connections; });
    ClientFixture f;
    f.writeIni(server.portSettings() + "AutoStart=0\r\n");
    f.load();
    f.client->mnuVerbinden_Click();
    f.client->mnuVerbinden_Click();
    QVERIFY(server.waitForReceived("HN:platz7"));
    f.client->mnuVerbinden_Click(); // connected: nothing
    QTest::qWait(50);
    QCOMPARE(connections, 1);
    QVERIFY(f.reporter.entries.isEmpty());
}

void ClientMessagesTest::closeByServerHandlesLastLinesAndEnablesBothMenus()
{
    Connected c;
    QVERIFY(c.ready());
    QSignalSpy menus(&c.client(), &CallClient::menusChanged);
    c.server.peer->write("Icon=1;Anrufer=Letzter\r");
    c.server.peer->disconnectFromHost();
    QVERIFY(QTest::qWaitFor([&] { return c.client().menus().verbindenEnabled; }, 5000));
    QVERIFY(c.client().menus().aktualisierenEnabled);
    QCOMPARE(c.client().model().rowCount(), 1);
    QVERIFY(c.f.reporter.entries.isEmpty()); // a close is no error
    QVERIFY(!menus.isEmpty());
}

void ClientMessagesTest::sendingAfterTheServerClosedIsReported()
{
    Connected c("AutoStart=1\r\nAutoReconnect=0\r\n");
    QVERIFY(c.ready());
    QVERIFY(c.deliver("Icon=1;Anrufer=A\r"));
    c.server.peer->disconnectFromHost();
    QVERIFY(QTest::qWaitFor([&] { return c.client().menus().verbindenEnabled; }, 5000));
    c.client().mnuHeute_Click();
    c.client().mnuAlles_Click();
    QCOMPARE(c.f.reporter.procedures(), (QStringList{"mnuHeute_Click", "mnuAlles_Click"}));
    QCOMPARE(c.f.reporter.entries[0].title, QStringLiteral("Fehler: 40006"));
    QCOMPARE(c.client().model().rowCount(), 0); // cleared before the send failed
}

void ClientMessagesTest::refusedConnectShowsTheErrorBoxAndVerbindenConnectsLater()
{
    const quint16 port = freePort();
    ClientFixture f;
    f.writeIni("[Settings]\r\nRemoteHost=127.0.0.1\r\nRemotePort=" + QByteArray::number(port) +
               "\r\n");
    f.load();
    QVERIFY(QTest::qWaitFor([&] { return !f.reporter.entries.isEmpty(); }, 5000));
    QCOMPARE(f.reporter.procedures(), QStringList{"Verbinden Vorsamelder"});
    QCOMPARE(f.reporter.entries[0].title, QStringLiteral("Fehler: 10061"));
    QCOMPARE(f.reporter.entries[0].icon, MessageIcon::Warning);
    QVERIFY(f.client->menus().verbindenEnabled);
    QVERIFY(!f.client->menus().aktualisierenEnabled); // unchanged by the error

    QTcpServer later;
    QVERIFY(later.listen(QHostAddress::LocalHost, port));
    QTest::qWait(10);
    f.client->mnuVerbinden_Click();
    QVERIFY(QTest::qWaitFor([&] { return f.client->menus().aktualisierenEnabled; }, 5000));
    QCOMPARE(f.client->socketState(), QAbstractSocket::ConnectedState);
    QCOMPARE(f.reporter.entries.size(), 1);
}

void ClientMessagesTest::longReplayIsHandledInSlicesAsOneArrival()
{
    Connected c;
    c.client().setSliceLines(7);
    QVERIFY(c.ready());
    QByteArray replay;
    for (int i = 1; i <= 100; ++i)
        replay += "Icon=1;Anrufer=N" + QByteArray::number(i) +
                  ";Versuche=" + QByteArray::number(i) + "\r";
    // Written in one piece: the client gets it in one or a few arrivals.
    c.server.send(replay);
    QVERIFY(QTest::qWaitFor(
        [&] { return c.client().model().rowCount() == 100 && c.client().pendingLines() == 0; },
        5000));
    QTest::qWait(20);
    QCOMPARE(c.cells(0), QStringLiteral("|N100|100"));
    QCOMPARE(c.cells(99), QStringLiteral("|N1|1"));
    QCOMPARE(c.client().txtOutput(), QStringLiteral("N100, 100"));
    QVERIFY(c.f.desktop.beeps >= 1);
    QCOMPARE(c.f.desktop.beeps, int(c.arrivals->count()));
    QVERIFY(c.arrivals->count() <= 3); // far fewer than the 15 slices
}

void ClientMessagesTest::unfinishedLineBeyondTheCapClosesTheConnection()
{
    Connected c;
    QVERIFY(c.ready());
    c.server.send(QByteArray(CallClient::MaxUnfinishedLine + 10, 'x'));
    QVERIFY(QTest::qWaitFor(
        [&] { return c.client().socketState() == QAbstractSocket::UnconnectedState; }, 5000));
    QCOMPARE(c.f.reporter.procedures(), QStringList{"Winsock1_DataArrival"});
    QVERIFY(c.client().menus().verbindenEnabled);
    QCOMPARE(c.client().pendingLines(), 0);
}

QTEST_GUILESS_MAIN(ClientMessagesTest)
#include "tst_clientmessages.moc"
