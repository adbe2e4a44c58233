#include "engine/Collations.h"

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
#include "engine/CollationTable.inc"
};

} // namespace

Collation Collations::Find(std::uint16_t id)
{
    const auto it = std::lower_bound(std::begin(kCollations), std::end(kCollations), id,
                                     [](const Entry& entry, std::uint16_t wanted) { return entry.id < wanted; });
    if (it == std::end(kCollations) || it->id != id)
        return {};
    return {it->id, QString::fromLatin1(it->name), QString::fromLatin1(it->charset), it->maxBytes};
}

} // namespace engine
