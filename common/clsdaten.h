#pragma once

#include <QString>
#include <QVariant>

namespace vorsa {

// One named field of a call with its list column. The values of a call are
// kept apart from the definitions, in a Call.
class clsDaten {
public:
    QString FieldName;
    QString ColumnHeader;
    int ColumnWidth = 0; // twips
    bool ColumnVisible = false;
    QString ColumnFormat; // display pattern; empty: plain text
    bool InIniWrite = false;

    // The display text of a value of this field: formatted with ColumnFormat
    // when it is set, else the plain text of the value. A null value shows as "".
    QString FormatierteAusgabe(const QVariant& value) const;
};

} // namespace vorsa
