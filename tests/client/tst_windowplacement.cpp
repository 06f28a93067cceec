// Window placement per user, and the client window built on it.
#include "desktop.h"
#include "frmpeera.h"
#include "gui/modfenster.h"
#include "ini.h"
#include "reporter.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace vorsa;

namespace {
struct MemoryStore : IPlacementStore {
    QMap<QString, QString> values;
    QString value(const QString& key, const QString& def) const override
    {
        return values.value(key, def);
    }
    void setValue(const QString& key, const QString& value) override { values[key] = value; }
};

struct FakeWindow : IPlacedWindow {
    int state = Normal;
    int l = 0, t = 0, w = 0, h = 0;
    QStringList applied;
    int windowState() const override { return state; }
    void setWindowState(int s) override { state = s; }
    int left() const override { return l; }
    int top() const override { return t; }
    int width() const override { return w; }
    int height() const override { return h; }
    void setLeft(int v) override
    {
        l = v;
        applied << "Left";
    }
    void setTop(int v) override
    {
        t = v;
        applied << "Top";
    }
    void setWidth(int v) override
    {
        w = v;
        applied << "Width";
    }
    void setHeight(int v) override
    {
        h = v;
        applied << "Height";
    }
};
} // namespace

class WindowPlacementTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void firstStartIsNormalAtTheDefaults();
    void closedNormalReopensWhereItWas();
    void closedMaximisedReopensMaximisedAndKeepsTheEarlierGeometry();
    void closedMinimisedKeepsTheCloseBefore();
    void valueThatIsNoNumberFailsAfterTheValuesBeforeIt();
    void storeKeepsTheValuesPerUserUnderTheTitle();

    void windowHasTitleMenusAndNamedParts();
    void windowCloseSavesPlacementAndTheDraggedColumnOrder();
    void windowUnloadsOnceWhenClosedTwice();
    void keysReachingTheWindowAreDiscardedWithABeep();
    void doubleClickOnARowStartsTheProgramWithItsValue();
    void terminationSignalClosesTheProgramTheOrderlyWay();

private:
    QTemporaryDir m_home;
};

void WindowPlacementTest::init()
{
    // Per-user settings of the tests stay in a folder of their own.
    QStandardPaths::setTestModeEnabled(true);
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QDir(config).removeRecursively();
}

void WindowPlacementTest::firstStartIsNormalAtTheDefaults()
{
    MemoryStore store;
    FakeWindow window;
    window.state = IPlacedWindow::Maximized;
    WindowPlacement(store, "frmPeerA").load(window, 9600, 5400);
    QCOMPARE(window.state, int(IPlacedWindow::Normal));
    QCOMPARE(window.l, 1000);
    QCOMPARE(window.t, 1000);
    QCOMPARE(window.w, 9600);
    QCOMPARE(window.h, 5400);
}

void WindowPlacementTest::closedNormalReopensWhereItWas()
{
    MemoryStore store;
    FakeWindow closing;
    closing.l = 1500, closing.t = 30, closing.w = 12000, closing.h = 6000;
    WindowPlacement(store, "frmPeerA").save(closing);
    QCOMPARE(store.values.value("frmPeerAMax"), QStringLiteral("0"));
    QCOMPARE(store.values.value("frmPeerAWidth"), QStringLiteral("12000"));
    FakeWindow opening;
    WindowPlacement(store, "frmPeerA").load(opening, 9600, 5400);
    QCOMPARE(opening.l, 1500);
    QCOMPARE(opening.t, 30);
    QCOMPARE(opening.w, 12000);
    QCOMPARE(opening.h, 6000);
}

void WindowPlacementTest::closedMaximisedReopensMaximisedAndKeepsTheEarlierGeometry()
{
    MemoryStore store;
    WindowPlacement placement(store, "frmPeerA");
    FakeWindow window;
    window.l = 300, window.t = 600, window.w = 9000, window.h = 4500;
    placement.save(window);
    window.state = IPlacedWindow::Maximized;
    window.l = 0, window.t = 0, window.w = 30000, window.h = 20000;
    placement.save(window);
    QCOMPARE(store.values.value("frmPeerAMax"), QStringLiteral("2"));
    QCOMPARE(store.values.value("frmPeerALeft"), QStringLiteral("300"));

    FakeWindow opening;
    placement.load(opening, 9600, 5400);
    QCOMPARE(opening.state, int(IPlacedWindow::Maximized));
    QVERIFY(opening.applied.isEmpty()); // position and size untouched
}

void WindowPlacementTest::closedMinimisedKeepsTheCloseBefore()
{
    MemoryStore store;
    WindowPlacement placement(store, "frmPeerA");
    FakeWindow window;
    window.l = 450, window.t = 450, window.w = 9000, window.h = 4500;
    placement.save(window);
    const auto before = store.values;
    window.state = IPlacedWindow::Minimized;
    window.l = -32000;
    placement.save(window);
    QCOMPARE(store.values, before);
    FakeWindow opening;
    placement.load(opening, 9600, 5400);
    QCOMPARE(opening.state, int(IPlacedWindow::Normal));
    QCOMPARE(opening.l, 450);
}

void WindowPlacementTest::valueThatIsNoNumberFailsAfterTheValuesBeforeIt()
{
    MemoryStore store;
    store.values = {{"frmPeerAMax", "0"},
                    {"frmPeerALeft", "600"},
                    {"frmPeerATop", "oben"},
                    {"frmPeerAWidth", "9000"}};
    FakeWindow window;
    try {
        WindowPlacement(store, "frmPeerA").load(window, 9600, 5400);
        QFAIL("no error");
    } catch (const VbError& e) {
        QCOMPARE(e.number(), 13);
    }
    QCOMPARE(window.applied, QStringList{"Left"});
    QCOMPARE(window.l, 600);
}

void WindowPlacementTest::storeKeepsTheValuesPerUserUnderTheTitle()
{
    const QString title = frmPeerA::Title;
    {
        SettingsPlacementStore store(title);
        store.setValue("frmPeerALeft", "1500");
        QVERIFY(store.fileName().startsWith(
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
        QVERIFY(!QFileInfo(store.fileName()).fileName().contains('/'));
    }
    SettingsPlacementStore again(title);
    QCOMPARE(again.value("frmPeerALeft", "x"), QStringLiteral("1500"));
    QSettings raw(again.fileName(), QSettings::IniFormat);
    QCOMPARE(raw.value("Settings/frmPeerALeft").toString(), QStringLiteral("1500"));
}

void WindowPlacementTest::windowHasTitleMenusAndNamedParts()
{
    QTemporaryDir dir;
    IniSchreiben("Settings", "AutoStart", dir.filePath("VorsaCl.INI"), "0");
    IniSchreiben("Settings", "Topmost", dir.filePath("VorsaCl.INI"), "0");
    frmPeerA window(dir.path());
    window.load();
    QCOMPARE(window.windowTitle(), QStringLiteral("Vorsamelder-CLIENT  CAPI/TCP-Schnittstelle"));
    QVERIFY(window.isVisible());
    QVERIFY(!(window.windowFlags() & Qt::WindowStaysOnTopHint));
    for (const char* name : {"mnuVerbinden", "mnuHeute", "mnuAlles", "mnuImmerImVordergrund",
                             "mnuBeiAnrufInVordergrund", "mnuLeeren"})
        QVERIFY2(window.findChild<QAction*>(name), name);
    auto* immer = window.findChild<QAction*>("mnuImmerImVordergrund");
    QVERIFY(!immer->isChecked());
    QVERIFY(window.findChild<QAction*>("mnuBeiAnrufInVordergrund")->isChecked());
    QVERIFY(!window.findChild<QMenu*>("mnuAktualisieren")->menuAction()->isEnabled());
    QVERIFY(window.findChild<QLabel*>("Label1")->text().startsWith("[Computername: "));
    QCOMPARE(window.findChild<QLabel*>("Verbindung")->text(), QStringLiteral("nicht verbunden"));
    QVERIFY(window.findChild<QLineEdit*>("txtOutput"));
    QCOMPARE(window.listView()->model()->columnCount(), 3);

    immer->trigger();
    QVERIFY(immer->isChecked());
    QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!window.findChild<QAction*>("mnuBeiAnrufInVordergrund")->isChecked());
    window.close();
}

void WindowPlacementTest::windowCloseSavesPlacementAndTheDraggedColumnOrder()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath("VorsaCl.INI");
    IniSchreiben("Settings", "AutoStart", ini, "0");
    IniSchreiben("Feld1", "FieldName", ini, "Anrufer");
    IniSchreiben("Feld1", "ColumnWidth", ini, "100"); // narrower than a header can be
    IniSchreiben("Feld2", "FieldName", ini, "Ort");
    IniSchreiben("Feld2", "ColumnWidth", ini, "1500");
    {
        frmPeerA window(dir.path());
        window.load();
        window.move(200, 100);
        QHeaderView* header = window.listView()->header();
        QCOMPARE(header->sectionSize(1), 100);          // 1500 twips
        header->moveSection(header->visualIndex(1), 0); // "Ort" to the front
        header->resizeSection(2, 120);                  // "Datum" widened
        window.close();
    }
    QCOMPARE(IniLesen("Feld1", "FieldName", ini, ""), QStringLiteral("Ort"));
    QCOMPARE(IniLesen("Feld1", "ColumnWidth", ini, ""), QStringLiteral("1500"));
    QCOMPARE(IniLesen("Feld2", "FieldName", ini, ""), QStringLiteral("Anrufer"));
    QCOMPARE(IniLesen("Feld2", "ColumnWidth", ini, ""), QStringLiteral("100")); // no drift
    QCOMPARE(IniLesen("Feld3", "FieldName", ini, ""), QStringLiteral("Datum"));
    QCOMPARE(IniLesen("Feld3", "ColumnWidth", ini, ""), QStringLiteral("1800"));

    SettingsPlacementStore store(frmPeerA::Title);
    QCOMPARE(store.value("frmPeerAMax", ""), QStringLiteral("0"));
    QCOMPARE(store.value("frmPeerALeft", ""), QStringLiteral("3000"));
    QCOMPARE(store.value("frmPeerATop", ""), QStringLiteral("1500"));

    frmPeerA again(dir.path());
    again.load();
    QCOMPARE(again.pos(), QPoint(200, 100));
    QCOMPARE(again.core().model().columns()[0].key, QStringLiteral("Ort"));
    again.close();
}

void WindowPlacementTest::windowUnloadsOnceWhenClosedTwice()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath("VorsaCl.INI");
    IniSchreiben("Settings", "AutoStart", ini, "0");
    frmPeerA window(dir.path());
    window.load();
    window.close();
    IniSchreiben("Settings", "Topmost", ini, "7");
    window.close();
    QCOMPARE(IniLesen("Settings", "Topmost", ini, ""), QStringLiteral("7"));
}

void WindowPlacementTest::keysReachingTheWindowAreDiscardedWithABeep()
{
    QTemporaryDir dir;
    IniSchreiben("Settings", "AutoStart", dir.filePath("VorsaCl.INI"), "0");
    RecordingDesktop desktop;
    RecordingReporter reporter;
    frmPeerA window(dir.path(), nullptr, &desktop, &reporter);
    window.load();
    QTest::keyClick(&window, Qt::Key_A);
    QTest::keyClick(&window, Qt::Key_F5);
    QCOMPARE(desktop.beeps, 2);
    window.close();
}

void WindowPlacementTest::doubleClickOnARowStartsTheProgramWithItsValue()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath("VorsaCl.INI");
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    IniSchreiben("Settings", "RemoteHost", ini, "127.0.0.1");
    IniSchreiben("Settings", "RemotePort", ini, QString::number(server.serverPort()));
    IniSchreiben("Settings", "TopmostByCall", ini, "0");
    IniSchreiben("ExternProgramm", "Path", ini, "/opt/taxi/auftrag");
    IniSchreiben("ExternProgramm", "Field", ini, "Anrufer");
    RecordingDesktop desktop;
    RecordingReporter reporter;
    frmPeerA window(dir.path(), nullptr, &desktop, &reporter);
    window.load();
    QVERIFY(server.waitForNewConnection(5000));
    QTcpSocket* peer = server.nextPendingConnection();
    peer->write("Icon=1;Datum=06.12.2026 09:14:05;Anrufer=0815 4711;Versuche=0\r");
    peer->flush();
    QVERIFY(QTest::qWaitFor([&] { return window.core().model().rowCount() == 1; }, 5000));

    QTreeView* list = window.listView();
    const QRect cell = list->visualRect(list->model()->index(0, 2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(window.findChild<QLineEdit*>("txtOutput")->text(),
             QStringLiteral("09:14  06.12.26, 0815 4711, 0"));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(desktop.started, (QList<QStringList>{{"/opt/taxi/auftrag", "/0815 4711"}}));
    QVERIFY(reporter.entries.isEmpty());
    window.close();
}

void WindowPlacementTest::terminationSignalClosesTheProgramTheOrderlyWay()
{
    const QString program =
        QDir(qEnvironmentVariable("VORSA_BUILD_DIR")).filePath("client/VorsaCl");
    if (!QFileInfo(program).isExecutable())
        QSKIP("VorsaCl is not built");
    QTemporaryDir dir;
    QTemporaryDir home;
    const QString ini = dir.filePath("VorsaCl.INI");
    IniSchreiben("Settings", "AutoStart", ini, "0");
    IniSchreiben("Settings", "Topmost", ini, "ja");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.start(program, {"--dir", dir.path()});
    QVERIFY(process.waitForStarted(5000));
    // Up when the start-up has written its defaults.
    QVERIFY(
        QTest::qWaitFor([&] { return IniLesen("Settings", "TopmostSec", ini, "") == "3"; }, 10000));
    QTest::qWait(300);
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(IniLesen("Settings", "Topmost", ini, ""), QStringLiteral("1")); // written as 1/0
    QCOMPARE(IniLesen("Feld1", "FieldName", ini, ""), QStringLiteral("Datum"));
    QCOMPARE(IniLesen("Feld3", "FieldName", ini, ""), QStringLiteral("Versuche"));
    QVERIFY(QDir(home.filePath("config"))
                .entryList(QDir::Files)
                .join(' ')
                .contains("Vorsamelder-CLIENT"));
}

QTEST_MAIN(WindowPlacementTest)
#include "tst_windowplacement.moc"
