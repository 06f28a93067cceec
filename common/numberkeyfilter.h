#pragma once

#include <QChar>
#include <QString>

namespace vorsa {

// What the number key filter made of one typed character.
enum class KeyDecision {
    NotFiltered, // a locked field or a control key (Backspace, ...): the key passes unchanged
    Accepted,    // the character may be typed
    Rejected,    // nothing is typed (the key code becomes 0) and the field beeps
};

// The outcome of TastePruefenZahl. text, selStart and selLength are the state of
// the field once the key has been handled:
// - NotFiltered: the state given, untouched (the field handles the key itself);
// - Accepted: the state after the character has been typed over the selection
//   (or at the caret), the caret behind it; a field that lets the key through
//   reaches the same state by itself;
// - Rejected: the state to show (the text given, the selection given, or the
//   decimals selected when a second comma was typed).
struct NumberKeyResult {
    KeyDecision decision = KeyDecision::NotFiltered;
    QChar keyAscii;    // the character after filtering: the key itself, or 0 when rejected
    QString text;      // the text of the field
    int selStart = 0;  // 0-based caret position / start of the selection
    int selLength = 0; // length of the selection
    bool beep = false; // true when the key was rejected
};

// The number key filter of the number fields (text box control, print dialog).
// It decides on the text as it would be after the key:
// - a locked field and characters below 32 are not filtered;
// - allowed are the digits, "-" and, when datenNachkomma is not 0, ",";
// - a "," into a text that has one already selects the decimals behind the
//   existing comma and is rejected;
// - otherwise the key is accepted when the candidate text (the character typed
//   over the selection, or at the caret) has at most datenVorkomma characters
//   in front of its first comma (the minus sign counts) and at most
//   datenNachkomma behind it; without a comma, when it has at most
//   datenVorkomma characters.
// selStart and selLength describe the field's selection (0-based start); values
// outside the text are clamped to it.
NumberKeyResult TastePruefenZahl(const QString& text, int selStart, int selLength, QChar key,
                                 int datenVorkomma, int datenNachkomma, bool locked);

} // namespace vorsa
