// Feeds arbitrary bytes to the call-monitor line parser: it must never crash,
// and every event it accepts must come back the same from its own line.
#include "callmonitorevent.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray line(reinterpret_cast<const char*>(data), qsizetype(size));
    const vorsa::CallMonitorEvent e = vorsa::CallMonitorEvent::parse(line);
    if (e.isValid()) {
        const vorsa::CallMonitorEvent again = vorsa::CallMonitorEvent::parse(e.toLine());
        if (!(again == e))
            std::abort();
    }
    return 0;
}
