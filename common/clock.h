#pragma once

#include <QDateTime>
#include <functional>

namespace vorsa {

// Where "now" comes from; tests set their own.
using Clock = std::function<QDateTime()>;
inline Clock systemClock()
{
    return [] { return QDateTime::currentDateTime(); };
}

} // namespace vorsa
