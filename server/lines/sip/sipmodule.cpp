// The module vorsa-line-sip.so: the SIP agent with sofia-sip, GLib and
// OpenSSL, loaded only by a server whose Settings/Line is "SIP".
#include "linemodule.h"
#include "sipline.h"

#include <QObject>

namespace vorsa {

class SipLineModule : public QObject, public IPhoneLineFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VORSA_PHONE_LINE_FACTORY_IID)
    Q_INTERFACES(vorsa::IPhoneLineFactory)
public:
    std::unique_ptr<IPhoneLine> create(const LineContext& context) override
    {
        return std::make_unique<SipLine>(SipLine::Settings::read(context.iniFile),
                                         context.reporter);
    }
};

} // namespace vorsa

#include "sipmodule.moc"
