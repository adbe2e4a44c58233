#pragma once

#include <QString>

namespace app {

// Whether a file is an InnoDB system tablespace (an ibdata1), judged from its
// first page: a file-space header page of space 0 whose checksum verifies.
// A repair puts the chosen file in the server's place, so nothing else may
// pass.
class SystemTablespaceCheck {
public:
    // Empty when the file passes; otherwise a sentence for the user that
    // names the file and what is wrong with it.
    static QString Problem(const QString& path);
};

} // namespace app
