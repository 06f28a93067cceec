#include "druckauftrag.h"

#include "vberror.h"

namespace OrvoReport2 {

QList<qint64> druckReihenfolge(qint64 von, qint64 bis, qint64 kopien, bool sortiert)
{
    QList<qint64> seiten;
    if (bis < von || kopien < 1)
        return seiten;
    if (bis - von + 1 > HoechstensBlaetter / kopien)
        throw vorsa::VbError::overflow();
    seiten.reserve(qsizetype((bis - von + 1) * kopien));
    if (sortiert) {
        for (qint64 k = 0; k < kopien; ++k)
            for (qint64 n = von; n <= bis; ++n)
                seiten.append(n);
    } else {
        for (qint64 n = von; n <= bis; ++n)
            for (qint64 k = 0; k < kopien; ++k)
                seiten.append(n);
    }
    return seiten;
}

} // namespace OrvoReport2
