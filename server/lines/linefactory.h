#pragma once

#include "line/phoneline.h"

namespace vorsa {

// Every backend the server knows, chosen by Settings/Line: the built-in ones,
// the call monitor, and the SIP and CAPI lines from their modules. A module
// that is missing or does not load throws a VbError saying why.
std::unique_ptr<IPhoneLine> createPhoneLine(const QString& kind, const LineContext& context);

} // namespace vorsa
