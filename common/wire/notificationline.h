#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace vorsa {

// One received notification line, split into its elements: "Icon=" + number
// and field name "=" value, separated by ";".
class NotificationLine {
public:
    struct Element {
        QString key;
        QString value;
    };

    // Splits a line (without its CR). An empty line has no elements. An empty
    // element or one without "=" fails with 9, an "Icon" value that is not a
    // 16-bit whole number with 13 or 6. A value is cut at a further "=".
    // iconSoFar, when given, gets each "Icon" as it is read, so a caller
    // keeps the icon of elements before a faulty one.
    static NotificationLine parse(const QString& line, std::optional<qint16>* iconSoFar = nullptr);

    std::optional<qint16> icon; // the last "Icon" element (exact key)
    QList<Element> fields;      // every other element, in order
    // The values of the field elements joined by ", ".
    QString text() const;
};

} // namespace vorsa
