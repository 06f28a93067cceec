#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <optional>

namespace OrvoReport2 {

// The numeric printer codes that callers of the report pass (the codes of the
// Windows printer interface) and what they mean here. A code without a
// meaning here gives nothing.

// 9 A4, 8 A3, 11 A5, 1 Letter, 5 Legal, 7 Executive, 27 envelope DL, ...
std::optional<QPageSize::PageSizeId> papierformat(qint32 code);
// 1 portrait, 2 landscape.
std::optional<QPageLayout::Orientation> ausrichtung(qint32 code);
// A paper bin: Qt's name for it and the name CUPS gives it ("media-source";
// empty where CUPS has none).
struct Papierschacht {
    QPrinter::PaperSource quelle;
    const char* medienquelle;
};
// 1 upper (the only one), 2 lower, 3 middle, 4 manual, 5 envelope, 6 envelope
// manual, 7 automatic, 8 tractor, 9 small format, 10 large format, 11 large
// capacity, 14 cassette, 15 form source.
std::optional<Papierschacht> papierschacht(qint32 code);

} // namespace OrvoReport2
