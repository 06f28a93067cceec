#include "clsdaten.h"

#include "vbformat.h"

namespace vorsa {

QString clsDaten::FormatierteAusgabe(const QVariant& value) const
{
    // A null (an empty database field) shows as an empty cell, with or without
    // a pattern, instead of failing the whole row.
    if (value.isNull())
        return QString();
    if (!ColumnFormat.isEmpty())
        return vbFormat(value, ColumnFormat);
    return vbText(value);
}

} // namespace vorsa
