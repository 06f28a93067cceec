#pragma once

#include "callnotifications.h"

#include <QDBusConnection>
#include <QObject>
#include <QSet>

namespace vorsa {

// Desktop notifications through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus). Every call is
// asynchronous, so a slow or hanging service never holds the client up; where
// no session bus or no service is there, nothing is shown and nothing said.
class DBusNotifications : public QObject, public ICallNotifications {
    Q_OBJECT
public:
    static const QString Service;
    static const QString Path;
    static const QString Interface;
    // The program's name and icon in the notifications (its desktop entry).
    static const QString AppName;
    static const QString DesktopEntry;

    explicit DBusNotifications(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                               QObject* parent = nullptr);

    void show(const CallNotice& notice) override;

    // The notifications shown and not yet closed.
    int openCount() const { return int(m_open.size()); }

signals:
    // The service has taken a notification (tests wait for it).
    void shown(uint id);

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    QSet<uint> m_open;
    bool m_markup = false; // the service reads the body as markup
};

} // namespace vorsa
