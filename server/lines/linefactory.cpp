#include "linefactory.h"

#include "callmonitorline.h"
#include "linemodule.h"

namespace vorsa {

std::unique_ptr<IPhoneLine> createPhoneLine(const QString& kind, const LineContext& context)
{
    const QString k = kind.trimmed().toUpper();
    if (k == u"CALLMONITOR")
        return std::make_unique<CallMonitorLine>(CallMonitorLine::Settings::read(context.iniFile),
                                                 context.reporter);
    // Lines with libraries of their own come from modules, loaded only here.
    if (k == u"SIP" || k == u"CAPI")
        return createModuleLine(k, context);
    return createBuiltinLine(kind, context);
}

} // namespace vorsa
