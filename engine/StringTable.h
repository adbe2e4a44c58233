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
    IDS_REPAIRING_DATABASES = 3,
    IDS_UNABLE_TO_CONNECT = 7001,
    IDS_REPAIR_UNSUCCESSFUL = 7002,
    IDS_REPAIR_SUCCESSFUL = 7003,
    IDS_RECORDS_PRESENT = 7007,
    IDS_RECORDS_RECOVERED = 7008,
    IDS_REPAIR_STARTED = 61449,
    IDS_SCANNING_DATABASES = 61450,
    IDS_REPAIR_COMPLETED = 61455,
    IDS_DATABASE_IN_PROCESS = 61458,
    IDS_NO_TABLES_FOUND = 61482,
    IDS_UNABLE_TO_START_SERVER = 61485,
};

} // namespace engine
