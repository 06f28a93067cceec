#pragma once

#include "call.h"
#include "clsdaten.h"

#include <QList>
#include <QString>
#include <deque>

namespace vorsa {

class IReporter;

// The field definitions of a program, keyed by FieldName (ignoring case), in
// the order they were added. References stay valid while the collection lives.
class FieldDefinitions {
public:
    // Creates a definition and adds it; a name that is already there (in any
    // letter case) fails with 457.
    clsDaten& ClassDatenInstanzieren(const QString& fieldName);
    clsDaten* find(const QString& fieldName);
    const clsDaten* find(const QString& fieldName) const;

    int size() const { return int(m_items.size()); }
    clsDaten& at(int i) { return m_items.at(size_t(i)); }
    const clsDaten& at(int i) const { return m_items.at(size_t(i)); }
    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

    // The position of a definition (ignoring case); -1 when there is none.
    int indexOf(QStringView fieldName) const;
    // A call to fill: icon 0 and empty text for every field.
    Call emptyCall() const;
    // The value of a named field of a call; an invalid value when there is no
    // such field.
    QVariant value(const Call& call, const QString& fieldName) const;
    // Removes every definition, last first.
    void clear();

    // Reads the sections Feld1, Feld2, ... until the first empty FieldName,
    // then appends the missing fixed fields Datum, Anrufer, Versuche. Errors are
    // reported as "[EinlesenDatenfelder]" (ends the reading) and
    // "[ClassDatenInstanzieren]" (the section's values then go to the existing
    // definition of that name).
    void EinlesenDatenfelder(const QString& iniFile, IReporter& reporter);

    // A list column as it stands when the program closes.
    struct Column {
        QString key;         // FieldName
        QString header;      // header text
        double width = 0;    // current width, twips
        int displayPosition; // 1-based place on screen
    };
    // The visible definitions as columns in collection order, display position = order.
    QList<Column> configuredColumns() const;
    // Writes the column layout back: each column (in creation order) to
    // "Feld" + its display position, then the definitions that had no column
    // to the sections after the last column.
    void writeBack(const QString& iniFile, const QList<Column>& columns);

private:
    std::deque<clsDaten> m_items;
};

} // namespace vorsa
