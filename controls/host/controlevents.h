#pragma once

#include "orvocontrolhost_export.h"

#include <QChar>
#include <Qt>

class QKeyEvent;

namespace orvo {

// The values the controls hand to their hosts with key and mouse events, in the
// form the family's hosts know them.

// The key code of a key: the virtual key numbers of the family's hosts
// (8 Backspace, 9 Tab, 13 Enter, 27 Esc, 32 Space, 33-40 page and arrow keys,
// 44 Print, 45 Insert, 46 Delete, 48-57 digits, 65-90 letters, 96-111 keypad,
// 112-135 F1-F24, 16/17/18 Shift/Ctrl/Alt); 0 for a key without one.
ORVOCONTROLHOST_EXPORT qint16 vbKeyCode(const QKeyEvent* event);
ORVOCONTROLHOST_EXPORT qint16 vbKeyCode(int qtKey, Qt::KeyboardModifiers modifiers = {});
// The shift state: 1 Shift, 2 Ctrl, 4 Alt, added.
ORVOCONTROLHOST_EXPORT qint16 vbShift(Qt::KeyboardModifiers modifiers);
// The mouse buttons: 1 left, 2 right, 4 middle, added.
ORVOCONTROLHOST_EXPORT qint16 vbButton(Qt::MouseButtons buttons);

// The character code of a typed character (KeyAscii): its UTF-16 code unit,
// so the codes below 256 are those of Latin-1 (13 Enter, 8 Backspace, 196 Ä).
inline qint16 keyAscii(QChar c)
{
    return qint16(c.unicode());
}
inline QChar fromKeyAscii(qint16 code)
{
    return QChar(char16_t(quint16(code)));
}

// Geometry: 15 twips to a pixel.
constexpr int kTwipsPerPixel = 15;
inline int twipsToPixels(int twips)
{
    return twips / kTwipsPerPixel;
}
inline float pixelsToTwips(qreal pixels)
{
    return float(pixels * kTwipsPerPixel);
}

} // namespace orvo
