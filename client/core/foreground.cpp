#include "foreground.h"

#include "clientsettings.h"
#include "desktop.h"
#include "windowstacking.h"

#include <limits>

namespace vorsa {

Foreground::Foreground(ClientSettings& settings, IWindowStacking& window, IDesktop& desktop,
                       QObject* parent)
    : QObject(parent), m_settings(settings), m_window(window), m_desktop(desktop)
{
    m_timer.setSingleShot(false); // stopped by its own tick
    connect(&m_timer, &QTimer::timeout, this, &Foreground::Timer1_Timer);
}

void Foreground::VordergrundSetzen(bool on)
{
    m_window.setKeepAbove(on);
    m_window.showWithoutActivation();
}

void Foreground::mnuImmerImVordergrund_Click()
{
    m_settings.Topmost = !m_settings.Topmost;
    VordergrundSetzen(m_settings.Topmost);
    if (m_settings.Topmost)
        m_settings.TopmostByCall = false;
    emit optionsChanged();
}

void Foreground::mnuBeiAnrufInVordergrund_Click()
{
    m_settings.TopmostByCall = !m_settings.TopmostByCall;
    if (m_settings.TopmostByCall)
        m_settings.Topmost = false; // the stacking stays as it is until the next call
    emit optionsChanged();
}

void Foreground::alert()
{
    m_desktop.beep();
    if (m_window.isMinimized())
        m_window.restore();
    VordergrundSetzen(true);
    if (!m_settings.Topmost)
        VordergrundSetzen(false);
    if (m_settings.TopmostSec > 0) {
        const qint64 ms = qint64(m_settings.TopmostSec) * 1000;
        m_timer.start(int(qMin<qint64>(ms, std::numeric_limits<int>::max())));
    }
}

void Foreground::Timer1_Timer()
{
    VordergrundSetzen(false);
    if (!m_window.isMinimized() && !m_window.isMaximized())
        m_window.minimize();
    m_timer.stop();
}

} // namespace vorsa
