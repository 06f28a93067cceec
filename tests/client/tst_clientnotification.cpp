// The client window's desktop notifications on a private session bus with a
// notification service of the test's own: a call injected into a real server
// is announced with the caller's name, number and icon, a click on the
// notification brings the window back, and without a service or with the
// setting off nothing else changes.
#include "dbusnotifications.h"
#include "frmpeera.h"
#include "ini.h"
#include "privatebus.h"
#include "reporter.h"
#include "serverprocess.h"
#include "testfiles.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <QWindow>

using namespace vorsa;

namespace {

// org.freedesktop.Notifications as a desktop offers it, recording what it is asked.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notification {
        uint id;
        QString appName, appIcon, summary, body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Notification> received;

    // On a connection of its own, as another process would be.
    bool start()
    {
        m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                              QStringLiteral("notification-service"));
        return m_bus.isConnected() &&
               m_bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                    QDBusConnection::ExportAllSlots |
                                        QDBusConnection::ExportAllSignals) &&
               m_bus.registerService(DBusNotifications::Service);
    }
    ~NotificationService() override
    {
        if (m_bus.isConnected()) {
            m_bus.unregisterService(DBusNotifications::Service);
            QDBusConnection::disconnectFromBus(QStringLiteral("notification-service"));
        }
    }
    // The user clicks the notification.
    void click(uint id) { emit ActionInvoked(id, QStringLiteral("default")); }

public slots:
    QStringList GetCapabilities() { return {"actions", "body", "body-markup"}; }
    uint Notify(const QString& app_name, uint replaces_id, const QString& app_icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expire_timeout)
    {
        Q_UNUSED(replaces_id);
        Q_UNUSED(expire_timeout);
        const uint id = uint(received.size()) + 41;
        received.append({id, app_name, app_icon, summary, body, actions, hints});
        return id;
    }
    void CloseNotification(uint id) { emit NotificationClosed(id, 3); }

signals:
    void ActionInvoked(uint id, const QString& action_key);
    void NotificationClosed(uint id, uint reason);

private:
    QDBusConnection m_bus{QString()};
};

// The headless server on the simulated line with the demo database.
struct Server {
    QTemporaryDir dir;
    test::ServerProcess process{dir.path()};
    quint16 port = test::freePort();
    QByteArray known; // a caller of the demo database

    bool start()
    {
        QProcess setup;
        setup.start(test::buildPath("tools/demo-setup/vorsa-demo-setup"),
                    {"--dir", dir.path(), "--customers", "40"});
        if (!setup.waitForFinished(60000) || setup.exitCode() != 0)
            return false;
        IniSchreiben("Settings", "LocalPort", dir.filePath("VorsaSrv.INI"), QString::number(port));
        QFile calls(dir.filePath("demo-calls.txt"));
        if (!calls.open(QIODevice::ReadOnly))
            return false;
        known = calls.readLine().trimmed();
        return process.start(port).isEmpty();
    }
    bool call(const QString& calling) { return process.ring("0521999", calling); }
};

// A client folder with the columns of the demo and two icons.
struct ClientFolder {
    QTemporaryDir dir;
    QString ini() const { return dir.filePath("VorsaCl.INI"); }
    void write(quint16 port, const QByteArray& extra = {})
    {
        for (const char* name : {"bekannt.png", "unbekannt.png"}) {
            QImage image(16, 16, QImage::Format_ARGB32);
            image.fill(Qt::darkGreen);
            image.save(dir.filePath(QString::fromLatin1(name)));
        }
        QFile f(ini());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Settings]\r\nRemoteHost=127.0.0.1\r\nRemotePort=" + QByteArray::number(port) +
                "\r\n" + extra +
                "[Feld1]\r\nFieldName=Datum\r\nColumnName=Datum\r\nColumnWidth=1500\r\n"
                "ColumnFormat=hh:mm  dd.mm.yy\r\n"
                "[Feld2]\r\nFieldName=Anrufer\r\nColumnName=Anrufer\r\nColumnWidth=1500\r\n"
                "[Feld3]\r\nFieldName=Name\r\nColumnName=Name\r\nColumnWidth=2500\r\n"
                "[Feld4]\r\nFieldName=Strasse\r\nColumnName=Straße\r\nColumnWidth=2500\r\n"
                "[Feld5]\r\nFieldName=Ort\r\nColumnName=Ort\r\nColumnWidth=1500\r\n"
                "[Feld6]\r\nFieldName=Versuche\r\nColumnName=Versuche\r\nColumnWidth=900\r\n"
                "[ICONS]\r\nICON1=bekannt.png\r\nICON2=bekannt.png\r\nICON3=unbekannt.png\r\n");
    }
};

// The client window, loaded and connected.
struct Client {
    RecordingReporter reporter;
    std::unique_ptr<frmPeerA> window;

    bool start(const QString& folder)
    {
        window = std::make_unique<frmPeerA>(folder, nullptr, nullptr, &reporter);
        window->show();
        window->load();
        return QTest::qWaitFor(
            [&] { return window->core().socketState() == QAbstractSocket::ConnectedState; }, 10000);
    }
    int rows() const { return window->core().model().rowCount(); }
    // The row's value in the column of that field.
    QString cell(const QString& field) const
    {
        const auto& model = window->core().model();
        return model.cell(0, model.columnIndex(field));
    }
};

// Minimized, also as far as the window system knows: its report of the new
// state must not come after the click.
void minimize(QWidget& window)
{
    window.showMinimized();
    QTRY_VERIFY(window.windowHandle()->windowStates() & Qt::WindowMinimized);
    QTRY_VERIFY(window.isMinimized());
    QTest::qWait(50);
}

} // namespace

class ClientNotificationTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void callIsAnnouncedAndTheClickBringsTheWindowBack();
    void switchedOffNothingIsAnnounced();
    void withoutAServiceTheCallsStillComeAndNothingIsSaid();
};

void ClientNotificationTest::initTestCase()
{
    if (!test::privaterBus())
        QSKIP("no private session bus (dbus-run-session)");
    for (const char* program : {"server/VorsaSrv", "tools/demo-setup/vorsa-demo-setup"}) {
        if (!QFileInfo(test::buildPath(program)).isExecutable())
            QSKIP(qPrintable(QStringLiteral("%1 is not built").arg(program)));
    }
}

void ClientNotificationTest::callIsAnnouncedAndTheClickBringsTheWindowBack()
{
    NotificationService service;
    QVERIFY(service.start());
    Server server;
    QVERIFY(server.start());
    ClientFolder folder;
    folder.write(server.port);
    Client client;
    QVERIFY(client.start(folder.dir.path()));
    QCOMPARE(IniLesen("Settings", "Benachrichtigung", folder.ini(), "?"), QStringLiteral("1"));

    QVERIFY(server.call(QString::fromLatin1(server.known)));
    QTRY_COMPARE_WITH_TIMEOUT(service.received.size(), 1, 10000);
    QCOMPARE(client.rows(), 1);
    const NotificationService::Notification n = service.received.first();
    const QString name = client.cell("Name");
    QVERIFY(!name.isEmpty() && name != QLatin1String("***"));
    QCOMPARE(n.summary, name); // the summary is plain text
    QVERIFY2(n.body.startsWith(QString::fromLatin1(server.known)), qPrintable(n.body));
    // The service reads markup: the street and town come escaped.
    QVERIFY2(n.body.contains(client.cell("Ort").toHtmlEscaped()), qPrintable(n.body));
    QCOMPARE(n.hints.value("image-path").toString(),
             QUrl::fromLocalFile(folder.dir.filePath("bekannt.png")).toString());
    QCOMPARE(n.hints.value("desktop-entry").toString(), QStringLiteral("vorsacl"));
    QCOMPARE(n.appIcon, QStringLiteral("vorsacl"));
    QCOMPARE(n.appName, QStringLiteral("Vorsamelder"));
    QVERIFY(n.actions.contains(QStringLiteral("default")));

    // A caller the database does not know: the other icon, no name.
    QVERIFY(server.call(QStringLiteral("08912345678")));
    QTRY_COMPARE_WITH_TIMEOUT(service.received.size(), 2, 10000);
    QCOMPARE(service.received[1].summary, QStringLiteral("Anruf"));
    QCOMPARE(service.received[1].hints.value("image-path").toString(),
             QUrl::fromLocalFile(folder.dir.filePath("unbekannt.png")).toString());

    // The window went down; the click on the first notification brings it back.
    minimize(*client.window);
    service.click(n.id);
    QTRY_VERIFY(!client.window->isMinimized());
    QTRY_VERIFY(client.window->isActiveWindow());
    // A click on another program's notification does nothing.
    minimize(*client.window);
    service.click(7);
    QTest::qWait(300);
    QVERIFY(client.window->isMinimized());

    // The journal replayed by "Alles" announces nothing again.
    client.window->findChild<QAction*>("mnuAlles")->trigger();
    QTRY_COMPARE(client.rows(), 2);
    QTest::qWait(300);
    QCOMPARE(service.received.size(), 2);
    QVERIFY(client.reporter.entries.isEmpty());
}

void ClientNotificationTest::switchedOffNothingIsAnnounced()
{
    NotificationService service;
    QVERIFY(service.start());
    Server server;
    QVERIFY(server.start());
    ClientFolder folder;
    folder.write(server.port, "Benachrichtigung=0\r\n");
    Client client;
    QVERIFY(client.start(folder.dir.path()));
    QVERIFY(server.call(QString::fromLatin1(server.known)));
    QTRY_COMPARE(client.rows(), 1);
    QTest::qWait(300);
    QVERIFY(service.received.isEmpty());
}

void ClientNotificationTest::withoutAServiceTheCallsStillComeAndNothingIsSaid()
{
    QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
        DBusNotifications::Service));
    Server server;
    QVERIFY(server.start());
    ClientFolder folder;
    folder.write(server.port);
    Client client;
    QVERIFY(client.start(folder.dir.path()));
    QVERIFY(server.call(QString::fromLatin1(server.known)));
    QTRY_COMPARE(client.rows(), 1);
    QVERIFY(server.call(QStringLiteral("08912345678")));
    QTRY_COMPARE(client.rows(), 2);
    QTest::qWait(300);
    QVERIFY(client.reporter.entries.isEmpty());
    QCOMPARE(IniLesen("Settings", "Benachrichtigung", folder.ini(), "?"), QStringLiteral("1"));
}

int main(int argc, char** argv)
{
    test::aufPrivatemBus(argc, argv);
    QApplication app(argc, argv);
    ClientNotificationTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_clientnotification.moc"
