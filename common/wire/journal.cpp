#include "journal.h"

#include "win1252.h"

namespace vorsa::journal {

std::optional<QString> message(QByteArrayView line)
{
    static const QByteArray marker = toWin1252(Marker);
    if (!line.startsWith(marker))
        return std::nullopt;
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return fromWin1252(line.sliced(marker.size()).toByteArray());
}

QString entryDate(const QString& message)
{
    const qsizetype at = message.indexOf(QStringLiteral("datum="), 0, Qt::CaseInsensitive);
    // Without "datum=" the search result 0 plus six is the sixth character.
    const qsizetype from = at < 0 ? 5 : at + 6;
    return message.mid(from, 10);
}

bool selected(const QString& message, const QString& filter)
{
    return filter.isEmpty() || entryDate(message) == filter;
}

} // namespace vorsa::journal
