#include "notificationline.h"

#include "convert.h"
#include "notification.h"
#include "vberror.h"

namespace vorsa {

NotificationLine NotificationLine::parse(const QString& line, std::optional<qint16>* iconSoFar)
{
    NotificationLine out;
    if (line.isEmpty())
        return out;
    wire::forEachElement(line, [&](const wire::Element& e) {
        if (!e.hasValue)
            throw VbError::subscriptOutOfRange();
        if (e.key == wire::IconKey) {
            out.icon = toInt16(e.value.toString());
            if (iconSoFar)
                *iconSoFar = out.icon;
        } else {
            out.fields.append({e.key.toString(), e.value.toString()});
        }
    });
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
