#pragma once

#include "line/phoneline.h"

namespace vorsa {

// Every backend the server knows, chosen by Settings/Line.
std::unique_ptr<IPhoneLine> createPhoneLine(const QString& kind, const LineContext& context);

} // namespace vorsa
