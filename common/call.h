#pragma once

#include <QList>
#include <QVariant>

namespace vorsa {

// One reported call as it travels from the line to the list, the clients and
// the journal: its icon number and one value per field definition, in the
// order of the definitions (FieldDefinitions::emptyCall gives one to fill). A
// value is text, a number, a date and time, or a database null.
struct Call {
    // The icon of a caller who was not identified, or withheld the number.
    static constexpr int NotIdentifiedIcon = 3;

    int icon = 0;
    QList<QVariant> values;
};

} // namespace vorsa
