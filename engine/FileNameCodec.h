#pragma once

#include <QString>

namespace engine {

// The server names database folders and table files by its own file-name
// encoding: letters, digits and '_' stay; many non-ASCII letters (Latin,
// Greek, Cyrillic, Armenian, Roman numerals, circled and full-width letters)
// become '@' and two characters (e.g. "café" -> "caf@0p"); every other
// character becomes '@' and four lowercase hexadecimal digits
// (e.g. "it's" -> "it@0027s"). The two-character codes are in
// FileNameTable.inc, taken from a real server by scripts/generate-filename-table.
class FileNameCodec {
public:
    // The name as the server shows it. An '@' that starts neither a known
    // two-character code nor four hexadecimal digits is kept as it is, with
    // what follows it.
    static QString Decode(const QString& fileName);
    // The file name the server gives the name: Encode(Decode(x)) == x for
    // every name the server writes.
    static QString Encode(const QString& name);
};

} // namespace engine
