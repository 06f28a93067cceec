// The module vorsa-line-capi.so: the ISDN line through libcapi20, loaded only
// by a server whose Settings/Line is "CAPI".
#include "capiline.h"
#include "linemodule.h"

#include <QObject>

namespace vorsa {

class CapiLineModule : public QObject, public IPhoneLineFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VORSA_PHONE_LINE_FACTORY_IID)
    Q_INTERFACES(vorsa::IPhoneLineFactory)
public:
    std::unique_ptr<IPhoneLine> create(const LineContext& context) override
    {
        return std::make_unique<CapiLine>(context.reporter);
    }
};

} // namespace vorsa

#include "capimodule.moc"
