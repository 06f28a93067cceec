#pragma once

#include "wire/protocol.h"

#include <QString>
#include <QStringView>

namespace vorsa {

class FieldDefinitions;
struct Call;

// The notification line of a call: "Icon=" + number, then ";" + FieldName +
// "=" + value for every field definition in collection order. In values "="
// and ";" become blanks, and so do CR and LF, so that one call is always one
// line. Null values are empty text. No terminator: the sender adds CR, the
// journal "*D*".
QString composeNotification(const Call& call, const FieldDefinitions& fields);

namespace wire {

// One element of a notification line: the key before the first "=" and the
// value after it, cut at a further "=". `hasValue` is false for an element
// without "=" (key and value are then empty).
struct Element {
    QStringView key;
    QStringView value;
    bool hasValue = false;
};

// Calls `f` with every element of the line (split at ";"), in order.
template <typename F> void forEachElement(QStringView line, F&& f)
{
    for (const QStringView element : line.split(u';')) {
        const qsizetype eq = element.indexOf(u'=');
        if (eq < 0) {
            f(Element{});
            continue;
        }
        QStringView value = element.mid(eq + 1);
        const qsizetype next = value.indexOf(u'=');
        if (next >= 0)
            value = value.left(next);
        f(Element{element.left(eq), value, true});
    }
}

// The server's own reading of a notification line (a journal entry shown in
// its list): "Icon" sets the icon of `call`, any other key the value of the
// field of that name; keys without a field and elements without "=" are
// skipped. Values the line does not name stay as they are. An "Icon" value
// that is not a 16-bit number fails with 13 or 6; the elements before it are
// taken.
void applyLine(QStringView line, const FieldDefinitions& fields, Call& call);

} // namespace wire
} // namespace vorsa
