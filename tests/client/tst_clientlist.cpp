// The call list of the client: cells, row click, double-click and the
// external program, and the column layout written back at close.
#include "clientfixture.h"
#include "ini.h"
#include "win1252.h"

using namespace vorsa;
using namespace vorsa::test;

namespace {
// Fields: Datum, KdNr (hidden), Anrufer, Ort; three visible columns.
const QByteArray kFields =
    "[Feld1]\r\nFieldName=Datum\r\nColumnName=Zeit\r\nColumnWidth=1500\r\nColumnFormat=hh:mm\r\n"
    "[Feld2]\r\nFieldName=KdNr\r\nColumnName=Kunde\r\nColumnWidth=900\r\nColumnVisible=0\r\n"
    "[Feld3]\r\nFieldName=Anrufer\r\nColumnName=Name\r\nColumnWidth=2400\r\n"
    "[Feld4]\r\nFieldName=Ort\r\nColumnName=Ort\r\nColumnWidth=1800\r\n"
    "[Feld5]\r\nFieldName=Versuche\r\nColumnName=Versuche\r\nColumnVisible=nein\r\n";

struct Listed {
    FakeServer server;
    ClientFixture f;
    explicit Listed(const QByteArray& extern_)
    {
        f.writeIni(server.portSettings() + "AutoStart=1\r\nTopmostByCall=0\r\n" + kFields +
                   extern_);
        f.make();
        QSignalSpy arrivals(f.client.get(), &CallClient::arrivalHandled);
        f.client->Form_Load();
        if (!server.waitForReceived("HN:platz7"))
            return;
        server.send(toWin1252(QStringLiteral("Icon=1;Datum=06.12.2026 09:14:05;KdNr=4711;"
                                             "Anrufer=Meier & Söhne;Ort=Bad Tölz;Versuche=0\r")));
        QTest::qWaitFor([&] { return arrivals.count() > 0; }, 5000);
    }
    CallClient& client() { return *f.client; }
};

QString ini(const ClientFixture& f, const QString& section, const char* key)
{
    return IniLesen(section, QString::fromLatin1(key), f.iniPath(), QStringLiteral("<none>"));
}
} // namespace

class ClientListTest : public QObject {
    Q_OBJECT
private slots:
    void visibleFieldsGetTheirCellsUnderTheirOwnHeaders();
    void rowClickJoinsTheCellsOfTheRow();
    void rowClickWithoutRowIsReported();
    void doubleClickHandsTheFieldValueToTheProgram_data();
    void doubleClickHandsTheFieldValueToTheProgram();
    void externProgramArgumentsCannotRunCommands_data();
    void externProgramArgumentsCannotRunCommands();
    void leerenEmptiesTheList();
    void columnsAreWrittenBackByDisplayPosition();
    void hiddenFieldsAreWrittenAfterTheColumns();
};

void ClientListTest::visibleFieldsGetTheirCellsUnderTheirOwnHeaders()
{
    Listed l("");
    const CallListModel& m = l.client().model();
    QCOMPARE(m.columnCount(), 3);
    QCOMPARE(m.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Zeit"));
    QCOMPARE(m.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Name"));
    QCOMPARE(m.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Ort"));
    QCOMPARE(m.columns()[1].width, 2400);
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(m.rowCells(0), (QStringList{"09:14", "Meier & Söhne", "Bad Tölz"}));
}

void ClientListTest::rowClickJoinsTheCellsOfTheRow()
{
    Listed l("");
    l.client().mnuLeeren_Click();
    l.server.send("Icon=1;Datum=06.12.2026 10:00:00;Anrufer=B;Ort=Y\r");
    QVERIFY(QTest::qWaitFor([&] { return l.client().model().rowCount() == 1; }, 5000));
    l.server.send("Icon=1;Datum=06.12.2026 11:00:00;Anrufer=C;Ort=Z\r");
    QVERIFY(QTest::qWaitFor([&] { return l.client().model().rowCount() == 2; }, 5000));
    l.client().ListView1_ItemClick(1);
    QCOMPARE(l.client().txtOutput(), QStringLiteral("10:00, B, Y"));
}

void ClientListTest::rowClickWithoutRowIsReported()
{
    Listed l("");
    l.client().ListView1_ItemClick(5);
    QCOMPARE(l.f.reporter.procedures(), QStringList{"ListView1_ItemClick"});
}

void ClientListTest::doubleClickHandsTheFieldValueToTheProgram_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("started");
    const QByteArray path = "[ExternProgramm]\r\nPath=/usr/bin/dispo\r\n";
    QTest::newRow("third column") << path + "Field=Ort\r\n"
                                  << 0 << QStringList{"/usr/bin/dispo", "/Bad Tölz"};
    QTest::newRow("key ignores case") << path + "Field=anrufer\r\n"
                                      << 0 << QStringList{"/usr/bin/dispo", "/Meier & Söhne"};
    QTest::newRow("first column") << path + "Field=Datum\r\n"
                                  << 0 << QStringList{"/usr/bin/dispo", "/09:14"};
    QTest::newRow("hidden field has no column") << path + "Field=KdNr\r\n" << 0 << QStringList{};
    QTest::newRow("no such column") << path + "Field=Strasse\r\n" << 0 << QStringList{};
    QTest::newRow("empty field") << path << 0 << QStringList{};
    QTest::newRow("empty path") << QByteArray("[ExternProgramm]\r\nField=Ort\r\n") << 0
                                << QStringList{};
    QTest::newRow("no row selected") << path + "Field=Ort\r\n" << -1 << QStringList{};
}

void ClientListTest::doubleClickHandsTheFieldValueToTheProgram()
{
    QFETCH(QByteArray, section);
    QFETCH(int, row);
    QFETCH(QStringList, started);
    Listed l(section);
    l.client().ListView1_DblClick(row);
    if (started.isEmpty())
        QVERIFY(l.f.desktop.started.isEmpty());
    else
        QCOMPARE(l.f.desktop.started, QList<QStringList>{started});
    QVERIFY(l.f.reporter.entries.isEmpty());
}

void ClientListTest::externProgramArgumentsCannotRunCommands_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("command");
    QTest::newRow("plain") << "/opt/taxi/auftrag"
                           << "4711" << QStringList{"/opt/taxi/auftrag", "/4711"};
    QTest::newRow("blanks stay one argument")
        << "/opt/taxi/auftrag"
        << "Meier & Söhne GmbH" << QStringList{"/opt/taxi/auftrag", "/Meier & Söhne GmbH"};
    QTest::newRow("shell characters are text")
        << "/opt/taxi/auftrag"
        << "x; rm -rf ~ | $(reboot) `id` > /tmp/y"
        << QStringList{"/opt/taxi/auftrag", "/x; rm -rf ~ | $(reboot) `id` > /tmp/y"};
    QTest::newRow("quotes are text")
        << "/opt/taxi/auftrag"
        << "\"a\" 'b'" << QStringList{"/opt/taxi/auftrag", "/\"a\" 'b'"};
    QTest::newRow("fixed arguments")
        << "\"/opt/Taxi Zentrale/auftrag\" -k --neu"
        << "12" << QStringList{"/opt/Taxi Zentrale/auftrag", "-k", "--neu", "/12"};
    QTest::newRow("empty value") << "/opt/taxi/auftrag"
                                 << "" << QStringList{};
    QTest::newRow("path of blanks") << "   "
                                    << "12" << QStringList{};
}

void ClientListTest::externProgramArgumentsCannotRunCommands()
{
    QFETCH(QString, path);
    QFETCH(QString, value);
    QFETCH(QStringList, command);
    const ExternProgram program(path);
    QCOMPARE(program.commandFor(value), command);
    RecordingDesktop desktop;
    QCOMPARE(program.ExternProgrammStarten(value, desktop), !command.isEmpty());
    if (!command.isEmpty())
        QCOMPARE(desktop.started, QList<QStringList>{command});
}

void ClientListTest::leerenEmptiesTheList()
{
    Listed l("");
    QCOMPARE(l.client().model().rowCount(), 1);
    l.server.received.clear();
    l.client().mnuLeeren_Click();
    QCOMPARE(l.client().model().rowCount(), 0);
    QTest::qWait(20);
    QVERIFY(l.server.received.isEmpty()); // nothing is asked of the server
}

void ClientListTest::columnsAreWrittenBackByDisplayPosition()
{
    Listed l("");
    // The user dragged "Ort" to the front and widened "Name".
    QList<FieldDefinitions::Column> columns = {
        {"Datum", "Zeit", 1500, 2}, {"Anrufer", "Name", 3000.7, 3}, {"Ort", "Ort", 1800, 1}};
    l.client().Form_Unload({}, columns);
    QCOMPARE(ini(l.f, "Feld1", "FieldName"), QStringLiteral("Ort"));
    QCOMPARE(ini(l.f, "Feld2", "FieldName"), QStringLiteral("Datum"));
    QCOMPARE(ini(l.f, "Feld2", "ColumnFormat"), QStringLiteral("hh:mm"));
    QCOMPARE(ini(l.f, "Feld3", "FieldName"), QStringLiteral("Anrufer"));
    QCOMPARE(ini(l.f, "Feld3", "ColumnName"), QStringLiteral("Name"));
    QCOMPARE(ini(l.f, "Feld3", "ColumnWidth"), QStringLiteral("3000"));
    QCOMPARE(ini(l.f, "Feld3", "ColumnVisible"), QStringLiteral("1"));

    // The next start builds the columns in the order shown.
    ClientFixture again;
    again.writeIni(l.f.iniContent());
    IniSchreiben("Settings", "AutoStart", again.iniPath(), "0");
    again.load();
    QStringList keys;
    for (const auto& c : again.client->model().columns())
        keys << c.key;
    QCOMPARE(keys, (QStringList{"Ort", "Datum", "Anrufer"}));
}

void ClientListTest::hiddenFieldsAreWrittenAfterTheColumns()
{
    Listed l("");
    l.client().Form_Unload({}, l.client().fields().configuredColumns());
    QCOMPARE(ini(l.f, "Feld4", "FieldName"), QStringLiteral("KdNr"));
    QCOMPARE(ini(l.f, "Feld4", "ColumnName"), QStringLiteral("Kunde"));
    QCOMPARE(ini(l.f, "Feld4", "ColumnWidth"), QStringLiteral("900"));
    QCOMPARE(ini(l.f, "Feld4", "ColumnVisible"), QStringLiteral("0"));
    QCOMPARE(ini(l.f, "Feld5", "FieldName"), QStringLiteral("Versuche"));
    QCOMPARE(ini(l.f, "Feld5", "ColumnVisible"), QStringLiteral("0"));
    QCOMPARE(ini(l.f, "Feld2", "FieldName"), QStringLiteral("Anrufer"));
}

QTEST_GUILESS_MAIN(ClientListTest)
#include "tst_clientlist.moc"
