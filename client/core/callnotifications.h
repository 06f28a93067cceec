#pragma once

#include <QList>
#include <QString>
#include <functional>

namespace vorsa {

// One desktop notification of a call.
struct CallNotice {
    QString summary;  // the caller's name, or "Anruf"
    QString body;     // the number, then further values of the call (plain text)
    QString iconPath; // the picture file of the call's icon; empty: none
    bool operator==(const CallNotice&) const = default;
};

// What the client asks of the desktop's notification service. The D-Bus
// implementation talks to org.freedesktop.Notifications; tests record.
class ICallNotifications {
public:
    virtual ~ICallNotifications() = default;
    // Shows the notice; does nothing where no notification service runs.
    virtual void show(const CallNotice& notice) = 0;
    // Runs when the user clicks one of the notifications shown.
    void setActivationHandler(std::function<void()> handler) { m_activated = std::move(handler); }

protected:
    void activated()
    {
        if (m_activated)
            m_activated();
    }

private:
    std::function<void()> m_activated;
};

// Notifications for tests: kept in order; click() acts as the user's click.
class RecordingCallNotifications : public ICallNotifications {
public:
    void show(const CallNotice& notice) override { shown.append(notice); }
    void click() { activated(); }
    QList<CallNotice> shown;
};

} // namespace vorsa
