#pragma once

#include <QObject>
#include <QTimer>

namespace vorsa {

class ClientSettings;
class IDesktop;
class IWindowStacking;

// The foreground behaviour of the client window: always on top, or brought to
// the front when a call arrives and dropped back (minimised) when the on-call
// period ends. Works on the options of the settings, which the two menus change.
class Foreground : public QObject {
    Q_OBJECT
public:
    Foreground(ClientSettings& settings, IWindowStacking& window, IDesktop& desktop,
               QObject* parent = nullptr);

    // VordergrundSetzen: top-most on or off; the window is shown without
    // taking the keyboard focus.
    void VordergrundSetzen(bool on);

    // "Immer im Vordergrund" and "Bei Anruf in Vordergrund": each switches its
    // option and, when it is now on, the other one off.
    void mnuImmerImVordergrund_Click();
    void mnuBeiAnrufInVordergrund_Click();

    // A call arrived: beep, restore when minimised, bring to the front and,
    // with TopmostSec > 0, start the on-call period.
    void alert();
    // The on-call period ended: drop back, minimise a window in the normal state.
    void Timer1_Timer();

    void stop() { m_timer.stop(); }
    bool periodRunning() const { return m_timer.isActive(); }
    int periodMilliseconds() const { return m_timer.interval(); }

signals:
    // The check marks of the two menus may have changed.
    void optionsChanged();

private:
    ClientSettings& m_settings;
    IWindowStacking& m_window;
    IDesktop& m_desktop;
    QTimer m_timer;
};

} // namespace vorsa
