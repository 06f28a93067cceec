#pragma once

#include <QString>

namespace vorsa {

// Reads one value of a Windows-style INI file, as the Windows profile functions
// do: section and key compare ignoring case, the first match wins, blanks
// around key and value are trimmed, matching quotes around the value are
// removed, ";" lines are comments, at most 511 characters come back. Returns
// the default when the key (or the file) is missing, "" when it is present with
// an empty value.
//
// Encoding: a file with a byte order mark is read in its encoding (UTF-8,
// UTF-16 LE or BE, as Windows tools write it); a file without one is UTF-8
// when it is valid UTF-8 and holds non-ASCII characters (as Linux editors save
// it), Windows-1252 otherwise. A new file is Windows-1252.
QString IniLesen(const QString& section, const QString& key, const QString& file,
                 const QString& defaultValue);

// Writes one value: replaces it in place, or appends the key at the end of its
// section, or appends the section at the end of the file. Every other line stays
// byte for byte; the file keeps its encoding (byte order mark included) and its
// line endings (a new file gets CR LF). The
// write goes to a temporary file in the same folder that is renamed over the
// file. Failures are not reported, like the profile function's. A value with
// blanks at its ends (or in quotes of its own) is written in double quotes, so
// that it reads back exactly; line breaks in it become blanks.
void IniSchreiben(const QString& section, const QString& key, const QString& file,
                  const QString& value);

} // namespace vorsa
