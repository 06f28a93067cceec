#include "journal.h"

namespace vorsa::journal {

bool isEntry(const QString& line)
{
    return line.startsWith(Marker);
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
