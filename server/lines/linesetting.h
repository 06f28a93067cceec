#pragma once

#include <QString>

namespace vorsa {

// One key of a line's INI section; a missing key is given its default, which
// is written back at once.
QString readLineSetting(const QString& file, const QString& section, const QString& key,
                        const QString& defaultValue);
// A whole number within [min, max]; anything else reads as the default.
int readLineNumber(const QString& file, const QString& section, const QString& key,
                   int defaultValue, int min, int max);

} // namespace vorsa
