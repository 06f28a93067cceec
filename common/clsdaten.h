#pragma once

#include <QString>
#include <QVariant>

namespace vorsa {

// One named field of a call with its list column.
class clsDaten {
public:
    QString FieldName;
    QVariant FieldValue; // text, number, date and time, or null
    QString ColumnHeader;
    int ColumnWidth = 0; // twips
    bool ColumnVisible = false;
    QString ColumnFormat; // display pattern; empty: plain text
    bool InIniWrite = false;

    // The display text of the value: formatted with ColumnFormat when it is
    // set, else the plain text of the value. A null value shows as "".
    QString FormatierteAusgabe() const;
};

} // namespace vorsa
