#include "clsdaten.h"

#include "vbformat.h"

namespace vorsa {

QString clsDaten::FormatierteAusgabe() const
{
    // A null (an empty database field) shows as an empty cell, with or without
    // a pattern, instead of failing the whole row.
    if (FieldValue.isNull())
        return QString();
    if (!ColumnFormat.isEmpty())
        return vbFormat(FieldValue, ColumnFormat);
    return vbText(FieldValue);
}

} // namespace vorsa
