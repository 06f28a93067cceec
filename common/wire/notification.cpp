#include "notification.h"

#include "call.h"
#include "convert.h"
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

QString composeNotification(const Call& call, const FieldDefinitions& fields)
{
    QString line = wire::IconKey + QLatin1Char('=') + QString::number(call.icon);
    for (int i = 0; i < fields.size(); ++i) {
        line += QLatin1Char(';');
        line += fields.at(i).FieldName;
        line += QLatin1Char('=');
        if (i < call.values.size())
            line += wireValue(call.values.at(i));
    }
    return line;
}

namespace wire {

void applyLine(QStringView line, const FieldDefinitions& fields, Call& call)
{
    forEachElement(line, [&](const Element& e) {
        if (!e.hasValue)
            return;
        if (e.key == IconKey) {
            call.icon = toInt16(e.value.toString());
            return;
        }
        const int i = fields.indexOf(e.key);
        if (i >= 0 && i < call.values.size())
            call.values[i] = e.value.toString();
    });
}

} // namespace wire
} // namespace vorsa
