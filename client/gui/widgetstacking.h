#pragma once

#include "windowstacking.h"

#include <QPointer>
#include <QWidget>

namespace vorsa {

// Window stacking of a top-level widget: top-most is the window manager's
// keep-above state, and showing never takes the keyboard focus.
class WidgetStacking : public IWindowStacking {
public:
    explicit WidgetStacking(QWidget* window) : m_window(window) {}
    void setKeepAbove(bool on) override;
    void showWithoutActivation() override;
    bool isMinimized() const override;
    bool isMaximized() const override;
    void minimize() override;
    void restore() override;

private:
    QPointer<QWidget> m_window;
};

} // namespace vorsa
