#include "engine/StringTable.h"

#include <map>

namespace engine {

QString StringTable::Load(unsigned id)
{
    static const std::map<unsigned, const char*> kTexts = {
        {IDS_REPAIRING_DATABASES, "Repairing Database(s)..."},
        {IDS_UNABLE_TO_CONNECT, "Unable to create connection. Please verify login information."},
        {IDS_REPAIR_UNSUCCESSFUL, "Repair process finished unsuccessfully."},
        {IDS_REPAIR_SUCCESSFUL, "Repair process finished successfully."},
        {IDS_RECORDS_PRESENT, "Total records present : "},
        {IDS_RECORDS_RECOVERED, "Total records recovered : "},
        {IDS_REPAIR_STARTED, "Repair process started on "},
        {IDS_SCANNING_DATABASES, "Scanning Database(s)..."},
        {IDS_REPAIR_COMPLETED, "Repair process completed on "},
        {IDS_DATABASE_IN_PROCESS, "Database in process..."},
        {IDS_NO_TABLES_FOUND, "Either incorrect path or table(s) in database(s) not present..."},
        {IDS_UNABLE_TO_START_SERVER, "Unable to start mysql..."},
    };
    const auto it = kTexts.find(id);
    return it == kTexts.end() ? QString() : QString::fromUtf8(it->second);
}

} // namespace engine
