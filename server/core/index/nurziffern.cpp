#include "nurziffern.h"

#include <QUuid>

namespace vorsa {

QString NurZiffern(const QString& text)
{
    QString digits;
    digits.reserve(text.size());
    for (const QChar c : text) {
        // Only the ASCII digits: other scripts' digits are not part of a number here.
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits.append(c);
    }
    return digits;
}

QString feldText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QUuid)
        return value.toUuid().toString(QUuid::WithBraces).toUpper();
    return value.toString();
}

bool feldVorhanden(const QVariant& value)
{
    if (value.isNull())
        return false;
    const QString text = feldText(value);
    for (const QChar c : text) {
        if (c != QLatin1Char(' '))
            return true;
    }
    return false;
}

} // namespace vorsa
