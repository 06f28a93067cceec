#pragma once

#include "orvocontrolhost_export.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>

namespace orvo {

// The named properties a host keeps for a control: an ordered list of name and
// value. A control's WriteProperties fills it, its ReadProperties reads it
// back. Names are compared without regard to case.
class ORVOCONTROLHOST_EXPORT PropertyBag {
public:
    // Stores a value under a name, in the place of a value stored before under
    // that name, else at the end. A value equal to the default is not stored
    // (and one stored before under the name is dropped).
    void WriteProperty(const QString& name, const QVariant& value,
                       const QVariant& defaultValue = QVariant());
    // The value stored under the name, else the default.
    QVariant ReadProperty(const QString& name, const QVariant& defaultValue = QVariant()) const;

    bool contains(const QString& name) const;
    QStringList names() const; // in the order stored
    qsizetype size() const { return m_entries.size(); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    void clear() { m_entries.clear(); }

    // The bag as bytes, for a host that keeps it in a file or its settings.
    QByteArray toByteArray() const;
    // Reads bytes written by toByteArray; false (and an empty bag) when they
    // are not such bytes.
    bool fromByteArray(const QByteArray& bytes);

private:
    qsizetype indexOf(const QString& name) const;
    QList<std::pair<QString, QVariant>> m_entries;
};

} // namespace orvo
