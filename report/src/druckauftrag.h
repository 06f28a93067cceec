#pragma once

#include <QList>

namespace OrvoReport2 {

// The pages of a print run in the order they go to the printer: the range
// von ... bis, `kopien` times; collated each copy of the whole range after the
// other (1 2 3 1 2 3), else each page `kopien` times (1 1 2 2 3 3). An empty
// range or no copies give nothing; more than HoechstensBlaetter sheets fail
// with 6 (a number of copies no office means).
constexpr qint64 HoechstensBlaetter = 10'000'000;
QList<qint64> druckReihenfolge(qint64 von, qint64 bis, qint64 kopien, bool sortiert);

} // namespace OrvoReport2
