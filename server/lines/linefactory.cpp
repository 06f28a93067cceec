#include "linefactory.h"

#include "callmonitorline.h"
#ifdef VORSA_HAVE_SIP
#include "sip/sipline.h"
#endif
#ifdef VORSA_HAVE_CAPI
#include "capi/capiline.h"
#endif

namespace vorsa {

std::unique_ptr<IPhoneLine> createPhoneLine(const QString& kind, const LineContext& context)
{
    const QString k = kind.trimmed().toUpper();
    if (k == u"CALLMONITOR")
        return std::make_unique<CallMonitorLine>(CallMonitorLine::Settings::read(context.iniFile),
                                                 context.reporter);
#ifdef VORSA_HAVE_SIP
    if (k == u"SIP")
        return std::make_unique<SipLine>(SipLine::Settings::read(context.iniFile),
                                         context.reporter);
#endif
#ifdef VORSA_HAVE_CAPI
    if (k == u"CAPI")
        return std::make_unique<CapiLine>(context.reporter);
#endif
    return createBuiltinLine(kind, context);
}

} // namespace vorsa
