#include "dbusnotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLoggingCategory>
#include <QUrl>

namespace vorsa {

namespace {
Q_LOGGING_CATEGORY(lcNotifications, "vorsa.client.notifications")
}

const QString DBusNotifications::Service = QStringLiteral("org.freedesktop.Notifications");
const QString DBusNotifications::Path = QStringLiteral("/org/freedesktop/Notifications");
const QString DBusNotifications::Interface = QStringLiteral("org.freedesktop.Notifications");
const QString DBusNotifications::AppName = QStringLiteral("Vorsamelder");
const QString DBusNotifications::DesktopEntry = QStringLiteral("vorsacl");

DBusNotifications::DBusNotifications(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected()) {
        qCDebug(lcNotifications) << "no session bus: no notifications";
        return;
    }
    m_bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onClosed(uint, uint)));
    // Whether the body is read as markup: then its text is escaped.
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isValid())
            m_markup = reply.value().contains(QStringLiteral("body-markup"));
        else
            qCDebug(lcNotifications) << "no notification service:" << reply.error().message();
        w->deleteLater();
    });
}

void DBusNotifications::show(const CallNotice& notice)
{
    if (!m_bus.isConnected())
        return;
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), DesktopEntry);
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(1)));
    if (!notice.iconPath.isEmpty())
        hints.insert(QStringLiteral("image-path"), QUrl::fromLocalFile(notice.iconPath).toString());
    QString body = notice.body;
    if (m_markup)
        body = body.toHtmlEscaped();
    QDBusMessage notify =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    notify << AppName << uint(0) << DesktopEntry << notice.summary << body
           << QStringList{QStringLiteral("default"), QStringLiteral("Anzeigen")} << hints
           << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isValid()) {
            m_open.insert(reply.value());
            emit shown(reply.value());
        } else {
            qCDebug(lcNotifications) << "not shown:" << reply.error().message();
        }
        w->deleteLater();
    });
}

void DBusNotifications::onActionInvoked(uint id, const QString& action)
{
    // The service sends the clicks of every program's notifications.
    qCDebug(lcNotifications) << "action" << id << action << m_open;
    if (m_open.contains(id) && action == QLatin1String("default"))
        activated();
}

void DBusNotifications::onClosed(uint id, uint)
{
    m_open.remove(id);
}

} // namespace vorsa
