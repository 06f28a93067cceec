#pragma once

#include <QIcon>
#include <QString>

class QStyle;

namespace orvo::toolbar {

// The picture of a button: from the desktop's icon theme by its freedesktop
// name, else from the style's standard pictures or one drawn here, so that a
// machine without an icon theme shows a sensible picture too.
QIcon buttonIcon(const QString& key, const QStyle* style);

} // namespace orvo::toolbar
