#include "phoneline.h"
#include "simline.h"

namespace vorsa {

std::unique_ptr<IPhoneLine> createBuiltinLine(const QString& kind, const LineContext& context)
{
    if (kind.compare(QLatin1String("SIM"), Qt::CaseInsensitive) == 0)
        return std::make_unique<SimLine>(context.programDir, context.reporter);
    return nullptr;
}

} // namespace vorsa
