#include "notification.h"

#include "fielddefinitions.h"
#include "vbformat.h"

namespace vorsa {

namespace {
QString wireValue(const QVariant& value)
{
    QString text = vbText(value);
    for (QChar& c : text) {
        if (c == QLatin1Char('=') || c == QLatin1Char(';') || c == QLatin1Char('\r') ||
            c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    }
    return text;
}
} // namespace

QString composeNotification(int iconNumber, const FieldDefinitions& fields)
{
    QString line = QStringLiteral("Icon=") + QString::number(iconNumber);
    for (const auto& d : fields) {
        line += QLatin1Char(';');
        line += d.FieldName;
        line += QLatin1Char('=');
        line += wireValue(d.FieldValue);
    }
    return line;
}

namespace journal {

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

} // namespace journal
} // namespace vorsa
