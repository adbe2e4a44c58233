#pragma once

#include <QString>

namespace engine {

// The program's user-visible texts, by number. Callers name the number so
// that the texts can be found and compared with the messages a user reports.
class StringTable {
public:
    // The text with that number; empty for a number that has none.
    static QString Load(unsigned id);
};

enum StringId : unsigned {
    IDS_SCANNING_DATABASES = 61450,
    IDS_NO_TABLES_FOUND = 61482,
};

} // namespace engine
