#include "widgetstacking.h"

#include <QWindow>

namespace vorsa {

void WidgetStacking::setKeepAbove(bool on)
{
    if (!m_window)
        return;
    const Qt::WindowFlags flags = m_window->windowFlags();
    const Qt::WindowFlags wanted =
        on ? flags | Qt::WindowStaysOnTopHint : flags & ~Qt::WindowStaysOnTopHint;
    if (wanted == flags)
        return;
    if (QWindow* handle = m_window->windowHandle()) {
        // Changed on the live window: setWindowFlags() would hide and re-create it.
        m_window->overrideWindowFlags(wanted);
        handle->setFlags(wanted);
    } else {
        m_window->setWindowFlags(wanted);
    }
}

void WidgetStacking::showWithoutActivation()
{
    if (!m_window)
        return;
    const bool before = m_window->testAttribute(Qt::WA_ShowWithoutActivating);
    m_window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    if (!m_window->isVisible())
        m_window->show();
    m_window->raise();
    m_window->setAttribute(Qt::WA_ShowWithoutActivating, before);
}

bool WidgetStacking::isMinimized() const
{
    return m_window && m_window->isMinimized();
}

bool WidgetStacking::isMaximized() const
{
    return m_window && m_window->isMaximized();
}

void WidgetStacking::minimize()
{
    if (m_window)
        m_window->setWindowState(m_window->windowState() | Qt::WindowMinimized);
}

void WidgetStacking::restore()
{
    if (m_window)
        // Back to the normal state, also for a window minimised from
        // maximised: the tick that ends the on-call period minimises only a
        // window in the normal state.
        m_window->setWindowState(m_window->windowState() &
                                 ~(Qt::WindowMinimized | Qt::WindowMaximized));
}

} // namespace vorsa
