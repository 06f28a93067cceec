#pragma once

#include "translations.h"

#include <QString>

namespace vorsa {

// What every program with a window does before and right after it creates
// its QApplication.

// Whether a window can be shown: an X11 or Wayland display, or a platform
// named in QT_QPA_PLATFORM. Checked before the QApplication exists, which
// otherwise aborts with English messages.
bool displayAvailable();

// The German message for a program started without a display; `hint` (for
// example how to run the program without a window) follows it.
QString noDisplayMessage(const QString& hint = {});

// Writes the message to stderr; returns the exit status 1.
int refuseWithoutDisplay(const QString& hint = {});

} // namespace vorsa
