#pragma once

#include "indexbuildview.h"

#include <QString>

namespace vorsa {

// The index window without a window: progress goes to stderr as one line per
// progress point, the grid does not exist (so the index is never read into
// memory), pending events of the program (when it has an event loop) are
// handled at each progress point.
class StderrIndexView : public IIndexWindow {
public:
    void setProgressMinimum(int value) override { m_minimum = value; }
    void setProgressMaximum(int value) override { m_maximum = value; }
    void setProgressValue(int value) override;
    void setProgressVisible(bool) override {}
    void refreshGrid() override {}
    void unbindGrid() override {}
    void bindGrid() override {}
    void processEvents() override;
    bool showsGrid() const override { return false; }
    void setStartButton(const QString&, bool) override {}

    // "Telefonnummern generieren: 200 von 250 Datensätzen"
    static QString progressLine(int value, int maximum);

private:
    int m_minimum = 0;
    int m_maximum = 0;
    int m_lastValue = -1;
};

} // namespace vorsa
