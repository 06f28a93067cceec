#include "windowstacking.h"

namespace vorsa {

void RecordingWindowStacking::setKeepAbove(bool on)
{
    keepAbove = on;
    calls << (on ? QStringLiteral("keepAbove:1") : QStringLiteral("keepAbove:0"));
}

void RecordingWindowStacking::showWithoutActivation()
{
    visible = true;
    calls << QStringLiteral("show");
}

void RecordingWindowStacking::minimize()
{
    state = State::Minimized;
    calls << QStringLiteral("minimize");
}

void RecordingWindowStacking::restore()
{
    state = State::Normal;
    calls << QStringLiteral("restore");
}

} // namespace vorsa
