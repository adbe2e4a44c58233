#include "model/Collations.h"

#include <algorithm>
#include <iterator>

namespace engine {

namespace {

struct Entry {
    std::uint16_t id;
    const char* name;
    const char* charset;
    unsigned maxBytes;
};

constexpr Entry kCollations[] = {
#include "model/CollationTable.inc"
};

const Entry* find(std::uint16_t id)
{
    const auto it = std::lower_bound(std::begin(kCollations), std::end(kCollations), id,
                                     [](const Entry& entry, std::uint16_t wanted) { return entry.id < wanted; });
    return it == std::end(kCollations) || it->id != id ? nullptr : it;
}

} // namespace

Collation Collations::Find(std::uint16_t id)
{
    const Entry* entry = find(id);
    if (!entry)
        return {};
    return {entry->id, QString::fromLatin1(entry->name), QString::fromLatin1(entry->charset), entry->maxBytes};
}

QLatin1StringView Collations::CharsetOf(std::uint16_t id)
{
    const Entry* entry = find(id);
    return entry ? QLatin1StringView(entry->charset) : QLatin1StringView("");
}

} // namespace engine
