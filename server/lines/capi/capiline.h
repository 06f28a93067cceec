#pragma once

#include "line/phoneline.h"

#include <memory>

namespace vorsa {

// An ISDN line through CAPI 2.0 (libcapi20; a local card or a remote CAPI
// named in the library's configuration file). It listens for every service,
// reports each CONNECT_IND as an incoming call and answers it with "ignore",
// so that the phones of the office keep ringing.
class CapiLine : public IPhoneLine {
    Q_OBJECT
public:
    explicit CapiLine(IReporter* reporter, QObject* parent = nullptr);
    ~CapiLine() override;

    bool startCAPI() override;
    void stopCAPI() override;
    bool lineUp() const override;
    QString capiVersion() const override;
    QString capiRelease() const override;
    QString cardMaker() const override;
    QString serialNumber() const override;
    int dtmfSupport(qint16 what) override;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace vorsa
