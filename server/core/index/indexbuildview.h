#pragma once

#include <QString>

namespace vorsa {

// What an index build needs of the window it runs in: the progress bar, the
// grid that shows the index result set, and the event handling at each
// progress point. The window implements it with widgets, the headless command
// with lines on stderr, tests record it.
class IIndexBuildView {
public:
    virtual ~IIndexBuildView() = default;

    virtual void setProgressMinimum(int value) = 0;
    virtual void setProgressMaximum(int value) = 0;
    virtual void setProgressValue(int value) = 0;
    virtual void setProgressVisible(bool visible) = 0;

    // The grid follows the index result set: refreshGrid after a requery while
    // it is bound, unbindGrid before a large change, bindGrid to show the
    // result set again.
    virtual void refreshGrid() = 0;
    virtual void unbindGrid() = 0;
    virtual void bindGrid() = 0;

    // Lets the program handle its pending events (repaint, incoming calls).
    virtual void processEvents() = 0;

    // Whether there is a grid at all: without one the index is not read
    // into memory for it.
    virtual bool showsGrid() const { return true; }
};

// The index window as its logic sees it: the build view plus the start button.
class IIndexWindow : public IIndexBuildView {
public:
    virtual void setStartButton(const QString& caption, bool enabled) = 0;
};

} // namespace vorsa
