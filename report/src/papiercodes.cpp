#include "papiercodes.h"

#include <QHash>

namespace OrvoReport2 {

std::optional<QPageSize::PageSizeId> papierformat(qint32 code)
{
    static const QHash<qint32, QPageSize::PageSizeId> tabelle = {
        {1, QPageSize::Letter},
        {2, QPageSize::Letter}, // letter small
        {3, QPageSize::Tabloid},
        {4, QPageSize::Ledger},
        {5, QPageSize::Legal},
        {6, QPageSize::Statement},
        {7, QPageSize::Executive},
        {8, QPageSize::A3},
        {9, QPageSize::A4},
        {10, QPageSize::A4}, // A4 small
        {11, QPageSize::A5},
        {12, QPageSize::JisB4},
        {13, QPageSize::JisB5},
        {14, QPageSize::Folio},
        {15, QPageSize::Quarto},
        {16, QPageSize::Imperial10x14},
        {17, QPageSize::Tabloid}, // 11 x 17 inch
        {18, QPageSize::Note},
        {19, QPageSize::Envelope9},
        {20, QPageSize::Envelope10},
        {21, QPageSize::Envelope11},
        {22, QPageSize::Envelope12},
        {23, QPageSize::Envelope14},
        {24, QPageSize::AnsiC},
        {25, QPageSize::AnsiD},
        {26, QPageSize::AnsiE},
        {27, QPageSize::EnvelopeDL},
        {28, QPageSize::EnvelopeC5},
        {29, QPageSize::EnvelopeC3},
        {30, QPageSize::EnvelopeC4},
        {31, QPageSize::EnvelopeC6},
        {32, QPageSize::EnvelopeC65},
        {33, QPageSize::EnvelopeB4},
        {34, QPageSize::EnvelopeB5},
        {35, QPageSize::EnvelopeB6},
        {36, QPageSize::EnvelopeItalian},
        {37, QPageSize::EnvelopeMonarch},
        {38, QPageSize::EnvelopePersonal},
        {39, QPageSize::FanFoldUS},
        {40, QPageSize::FanFoldGerman},
        {41, QPageSize::FanFoldGermanLegal},
        {42, QPageSize::B4},
        {43, QPageSize::Postcard},
        {44, QPageSize::Imperial9x11},
        {45, QPageSize::Imperial10x11},
        {46, QPageSize::Imperial15x11},
        {47, QPageSize::EnvelopeInvite},
        {66, QPageSize::A2},
        {70, QPageSize::A6},
        {88, QPageSize::JisB6},
    };
    const auto it = tabelle.constFind(code);
    if (it == tabelle.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<QPageLayout::Orientation> ausrichtung(qint32 code)
{
    switch (code) {
    case 1:
        return QPageLayout::Portrait;
    case 2:
        return QPageLayout::Landscape;
    default:
        return std::nullopt;
    }
}

std::optional<Papierschacht> papierschacht(qint32 code)
{
    switch (code) {
    case 1:
        return Papierschacht{QPrinter::Upper, "top"}; // the same as the only one
    case 2:
        return Papierschacht{QPrinter::Lower, "bottom"};
    case 3:
        return Papierschacht{QPrinter::Middle, "middle"};
    case 4:
        return Papierschacht{QPrinter::Manual, "manual"};
    case 5:
        return Papierschacht{QPrinter::Envelope, "envelope"};
    case 6:
        return Papierschacht{QPrinter::EnvelopeManual, "manual"};
    case 7:
        return Papierschacht{QPrinter::Auto, "auto"};
    case 8:
        return Papierschacht{QPrinter::Tractor, ""};
    case 9:
        return Papierschacht{QPrinter::SmallFormat, ""};
    case 10:
        return Papierschacht{QPrinter::LargeFormat, ""};
    case 11:
        return Papierschacht{QPrinter::LargeCapacity, "large-capacity"};
    case 14:
        return Papierschacht{QPrinter::Cassette, "main"};
    case 15:
        return Papierschacht{QPrinter::FormSource, ""};
    default:
        return std::nullopt;
    }
}

} // namespace OrvoReport2
