#include "phoneline.h"

namespace vorsa {

std::unique_ptr<IPhoneLine> createBuiltinLine(const QString& kind, const LineContext& context)
{
    Q_UNUSED(kind);
    Q_UNUSED(context);
    return std::make_unique<NullLine>();
}

} // namespace vorsa
