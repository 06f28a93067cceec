#include "notificationline.h"

#include "convert.h"
#include "vberror.h"

namespace vorsa {

NotificationLine NotificationLine::parse(const QString& line, std::optional<qint16>* iconSoFar)
{
    NotificationLine out;
    if (line.isEmpty())
        return out;
    const QString iconKey = QStringLiteral("Icon");
    for (const QStringView element : QStringView(line).split(QLatin1Char(';'))) {
        const qsizetype eq = element.indexOf(QLatin1Char('='));
        if (eq < 0)
            throw VbError::subscriptOutOfRange();
        const QStringView key = element.left(eq);
        QStringView value = element.mid(eq + 1);
        const qsizetype next = value.indexOf(QLatin1Char('='));
        if (next >= 0)
            value = value.left(next);
        if (key == iconKey) {
            out.icon = toInt16(value.toString());
            if (iconSoFar)
                *iconSoFar = out.icon;
        } else
            out.fields.append({key.toString(), value.toString()});
    }
    return out;
}

QString NotificationLine::text() const
{
    QString out;
    for (const auto& f : fields) {
        if (!out.isEmpty())
            out += QStringLiteral(", ");
        out += f.value;
    }
    return out;
}

} // namespace vorsa
