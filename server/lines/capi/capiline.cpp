#include "capiline.h"
namespace vorsa {
struct CapiLine::Impl {};
CapiLine::CapiLine(IReporter*, QObject* parent) : IPhoneLine(parent) {}
CapiLine::~CapiLine() = default;
bool CapiLine::startCAPI() { return false; }
void CapiLine::stopCAPI() {}
QString CapiLine::capiVersion() const { return {}; }
QString CapiLine::capiRelease() const { return {}; }
QString CapiLine::cardMaker() const { return {}; }
QString CapiLine::serialNumber() const { return {}; }
int CapiLine::dtmfSupport(qint16) { return 0; }
}
