#pragma once

#include <QStringList>

namespace vorsa {

// What the foreground behaviour asks of the window manager. The window
// implements it; tests record it.
class IWindowStacking {
public:
    virtual ~IWindowStacking() = default;
    // Keep the window above all normal windows, or place it among them again.
    virtual void setKeepAbove(bool on) = 0;
    // Show the window and raise it without taking the keyboard focus.
    virtual void showWithoutActivation() = 0;
    virtual bool isMinimized() const = 0;
    virtual bool isMaximized() const = 0;
    virtual void minimize() = 0;
    // Back to the normal state from minimized.
    virtual void restore() = 0;
};

// A window for tests: keeps the state and the calls ("keepAbove:1", "show",
// "minimize", "restore").
class RecordingWindowStacking : public IWindowStacking {
public:
    enum class State { Normal, Minimized, Maximized };

    void setKeepAbove(bool on) override;
    void showWithoutActivation() override;
    bool isMinimized() const override { return state == State::Minimized; }
    bool isMaximized() const override { return state == State::Maximized; }
    void minimize() override;
    void restore() override;

    State state = State::Normal;
    bool keepAbove = false;
    bool visible = false;
    QStringList calls;
};

} // namespace vorsa
