#pragma once

#include <QString>

namespace engine {

// The server names database folders and table files by its own file-name
// encoding: letters, digits and '_' stay, other characters become '@'
// followed by four hexadecimal digits (e.g. "it's" -> "it@0027s").
class FileNameCodec {
public:
    // The name as the server shows it. A sequence this codec does not know
    // (the server's two-character forms of some letters) is kept as it is.
    static QString Decode(const QString& fileName);
    // The file name the server gives a name made of ASCII characters and
    // the characters it writes as four hexadecimal digits.
    static QString Encode(const QString& name);
};

} // namespace engine
