#include "engine/StringTable.h"

#include <map>

namespace engine {

QString StringTable::Load(unsigned id)
{
    static const std::map<unsigned, const char*> kTexts = {
        {IDS_SCANNING_DATABASES, "Scanning Database(s)..."},
        {IDS_NO_TABLES_FOUND, "Either incorrect path or table(s) in database(s) not present..."},
    };
    const auto it = kTexts.find(id);
    return it == kTexts.end() ? QString() : QString::fromUtf8(it->second);
}

} // namespace engine
