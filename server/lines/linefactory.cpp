#include "linefactory.h"

namespace vorsa {

std::unique_ptr<IPhoneLine> createPhoneLine(const QString& kind, const LineContext& context)
{
    return createBuiltinLine(kind, context);
}

} // namespace vorsa
