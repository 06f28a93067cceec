// The desktop notification of each call: what it says, which icon it shows,
// the setting that switches it, replays that stay quiet, and the click.
#include "calllistmodel.h"
#include "callnotifier.h"
#include "ini.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vorsa;

namespace {
// The columns of the demo client and a row of a customer found.
const QStringList kKeys = {"Datum", "Anrufer", "Name", "Strasse", "Ort", "Nr", "Versuche"};
const QList<CallListModel::Column> kColumns = {
    {"Datum", "Datum", 1500},     {"Anrufer", "Anrufer", 1500}, {"Name", "Name", 2500},
    {"Strasse", "Straße", 2200},  {"Ort", "Ort", 1500},         {"Nr", "Nummer", 1500},
    {"Versuche", "Versuche", 900}};
const QStringList kRow = {
    "20:15  07.12.26", "0521123456", "Meier, Hans", "Hauptstraße 5", "Bielefeld",
    "0521123456",      "0"};

struct Fixture {
    QTemporaryDir dir;
    CallListModel model;
    RecordingCallNotifications notifications;
    CallNotifier notifier{model, notifications};

    QString ini() const { return dir.filePath(QStringLiteral("VorsaCl.INI")); }
    void writeIni(const QByteArray& text)
    {
        QFile f(ini());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    void load()
    {
        model.setColumns(kColumns);
        notifier.EinlesenBenachrichtigung(ini(), dir.path());
    }
};
} // namespace

class CallNotifierTest : public QObject {
    Q_OBJECT
private slots:
    void noticeTellsNameAndNumber_data();
    void noticeTellsNameAndNumber();
    void eachRowIsAnnouncedWithThePictureOfItsIcon();
    void settingIsWrittenBackAndSwitchesItOff();
    void callsOfAReplayAreNotAnnounced();
    void clickBringsTheWindowToTheFront();
};

void CallNotifierTest::noticeTellsNameAndNumber_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("body");
    QTest::newRow("customer found") << kKeys << kRow << "Meier, Hans"
                                    << "0521123456\nHauptstraße 5, Bielefeld";
    QTest::newRow("not found") << kKeys
                               << QStringList{"20:15", "0899876", "***", "***", "***", "***", "2"}
                               << "Anruf"
                               << "0899876";
    QTest::newRow("number withheld")
        << kKeys << QStringList{"20:15", "Amt", "", "", "", "", "0"} << "Anruf"
        << "Amt";
    QTest::newRow("columns of a new client") << QStringList{"Datum", "Anrufer", "Versuche"}
                                             << QStringList{"20:15", "0521123456", "0"} << "Anruf"
                                             << "0521123456";
    QTest::newRow("number written otherwise is not repeated")
        << QStringList{"anrufer", "Name", "Telefon"}
        << QStringList{"0521123456", "Kröger & Söhne <GmbH>", "0521 12 34 56"}
        << "Kröger & Söhne <GmbH>"
        << "0521123456";
    QTest::newRow("no number column")
        << QStringList{"Name", "Ort"} << QStringList{"Meier, Hans", "Bielefeld"} << "Meier, Hans"
        << "Bielefeld";
    QTest::newRow("row shorter than the columns")
        << kKeys << QStringList{"20:15", "0521123456", "Meier, Hans"} << "Meier, Hans"
        << "0521123456";
}

void CallNotifierTest::noticeTellsNameAndNumber()
{
    QFETCH(QStringList, keys);
    QFETCH(QStringList, cells);
    QFETCH(QString, summary);
    QFETCH(QString, body);
    const CallNotice notice = CallNotifier::compose(keys, cells, "/icons/1.png");
    QCOMPARE(notice.summary, summary);
    QCOMPARE(notice.body, body);
    QCOMPARE(notice.iconPath, QStringLiteral("/icons/1.png"));
}

void CallNotifierTest::eachRowIsAnnouncedWithThePictureOfItsIcon()
{
    Fixture f;
    // Icon 2's file is missing: its number stays empty, 3 keeps its own.
    for (const char* name : {"bekannt.png", "unbekannt.png"}) {
        QFile icon(f.dir.filePath(QString::fromLatin1(name)));
        QVERIFY(icon.open(QIODevice::WriteOnly));
        icon.write("PNG");
    }
    f.writeIni("[ICONS]\r\nICON1=bekannt.png\r\nICON2=fehlt.png\r\nICON3=unbekannt.png\r\n");
    f.load();

    f.model.addRow(1, kRow);
    f.model.addRow(3, {"20:16", "0899876", "***", "***", "***", "***", "2"});
    f.model.addRow(2, kRow);
    f.model.addRow(0, kRow);
    QCOMPARE(f.notifications.shown.size(), 4);
    QCOMPARE(f.notifications.shown[0].iconPath, f.dir.filePath("bekannt.png"));
    QCOMPARE(f.notifications.shown[0].summary, QStringLiteral("Meier, Hans"));
    QCOMPARE(f.notifications.shown[1].iconPath, f.dir.filePath("unbekannt.png"));
    QCOMPARE(f.notifications.shown[1].summary, QStringLiteral("Anruf"));
    QCOMPARE(f.notifications.shown[2].iconPath, QString());
    QCOMPARE(f.notifications.shown[3].iconPath, QString());
}

void CallNotifierTest::settingIsWrittenBackAndSwitchesItOff()
{
    {
        Fixture f;
        f.load();
        QVERIFY(f.notifier.enabled());
        QCOMPARE(IniLesen("Settings", "Benachrichtigung", f.ini(), "?"), QStringLiteral("1"));
    }
    for (const QByteArray value : {"0", "nein"}) {
        Fixture f;
        f.writeIni("[Settings]\r\nBenachrichtigung=" + value + "\r\n");
        f.load();
        QVERIFY(!f.notifier.enabled());
        f.model.addRow(1, kRow);
        QVERIFY(f.notifications.shown.isEmpty());
        QCOMPARE(IniLesen("Settings", "Benachrichtigung", f.ini(), "?"),
                 QString::fromLatin1(value));
    }
    // Before the settings are read (a window that failed to load) nothing is announced.
    Fixture f;
    f.model.setColumns(kColumns);
    f.model.addRow(1, kRow);
    QVERIFY(f.notifications.shown.isEmpty());
}

void CallNotifierTest::callsOfAReplayAreNotAnnounced()
{
    Fixture f;
    f.load();
    f.notifier.setReplayQuietMs(200);
    f.notifier.replayRequested();
    f.model.clear();
    for (int i = 0; i < 5; ++i) {
        f.model.addRow(1, kRow);
        QTest::qWait(100); // the replay goes on: each row keeps the quiet going
    }
    // A long replay is filled in one go.
    f.model.beginBulk();
    f.model.addRow(1, kRow);
    f.model.endBulk();
    QVERIFY(f.notifications.shown.isEmpty());
    QTRY_VERIFY(!f.notifier.replaying());
    f.model.addRow(1, kRow); // a call after the replay
    QCOMPARE(f.notifications.shown.size(), 1);
}

void CallNotifierTest::clickBringsTheWindowToTheFront()
{
    Fixture f;
    f.load();
    int raised = 0;
    f.notifier.setBringToFront([&] { ++raised; });
    f.model.addRow(1, kRow);
    f.notifications.click();
    QCOMPARE(raised, 1);
}

QTEST_GUILESS_MAIN(CallNotifierTest)
#include "tst_callnotifier.moc"
