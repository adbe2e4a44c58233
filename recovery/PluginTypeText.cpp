#include "recovery/PluginTypeText.h"

#include "recovery/ColumnStorage.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

// Stored forms (the same bytes in a MyISAM record and an InnoDB record):
//
// | Type  | Bytes | Form                                                        |
// |-------|-------|-------------------------------------------------------------|
// | INET4 | 4     | the address in network order                                |
// | INET6 | 16    | the address in network order                                |
// | UUID  | 16    | the UUID's bytes in text order, or its groups turned around |
// |       |       | for index order: node (6), clock (2), version and time high |
// |       |       | (2), time mid (2), time low (4)                             |
//
// A UUID of version 1 to 5 with the variant's top bit set is stored turned
// around; so turned, its byte 6 has the top bit set and byte 8 lies in
// 0x01..0x80, which no UUID the server accepts has as written (a version of
// 8 or more with variant 0 is refused). Servers before the fix of 10.11.5
// and its like turned every UUID around.
//
// INET6 text: lower-case groups without leading zeros, the longest run of
// zero groups (the first of equal runs, even a single group) as "::"; an
// address of six zero groups, or five and ffff, ends in the dotted IPv4 form.

namespace recovery {

using namespace engine;

namespace {

constexpr std::size_t kUuidBytes = 16;
constexpr std::size_t kInet6Bytes = 16;
constexpr std::size_t kInet4Bytes = 4;
constexpr std::size_t kInet6Groups = 8;

// Where each group of the UUID's text lies when stored turned around.
struct UuidGroup {
    std::size_t textPos;
    std::size_t storedPos;
    std::size_t length;
};
constexpr std::array<UuidGroup, 5> kUuidGroups{
    UuidGroup{0, 12, 4}, UuidGroup{4, 10, 2}, UuidGroup{6, 8, 2}, UuidGroup{8, 6, 2}, UuidGroup{10, 0, 6}};

bool storedTurned(std::span<const std::uint8_t> b)
{
    const bool versionHigh = b[6] & 0x80;
    const bool variantLow = b[8] >= 0x01 && b[8] <= 0x80;
    return versionHigh && variantLow;
}

void appendHex(ShortText& out, std::uint8_t byte)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    out.append(kDigits[byte >> 4]);
    out.append(kDigits[byte & 0x0F]);
}

ShortText uuidText(std::span<const std::uint8_t> stored, bool alwaysTurned)
{
    std::array<std::uint8_t, kUuidBytes> b{};
    if (alwaysTurned || storedTurned(stored)) {
        for (const UuidGroup& g : kUuidGroups)
            std::copy_n(stored.begin() + static_cast<std::ptrdiff_t>(g.storedPos), g.length,
                        b.begin() + static_cast<std::ptrdiff_t>(g.textPos));
    } else {
        std::copy(stored.begin(), stored.end(), b.begin());
    }
    ShortText out;
    for (std::size_t i = 0; i < kUuidBytes; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out.append('-');
        appendHex(out, b[i]);
    }
    return out;
}

void appendInet4(ShortText& out, std::span<const std::uint8_t> b)
{
    for (std::size_t i = 0; i < kInet4Bytes; ++i) {
        if (i > 0)
            out.append('.');
        out.appendNumber(b[i]);
    }
}

ShortText inet6Text(std::span<const std::uint8_t> b)
{
    std::array<unsigned, kInet6Groups> groups{};
    for (std::size_t i = 0; i < kInet6Groups; ++i)
        groups[i] = static_cast<unsigned>(b[2 * i] << 8 | b[2 * i + 1]);
    // The longest run of zero groups; the first wins a tie.
    std::size_t gapPos = kInet6Groups;
    std::size_t gapLength = 0;
    for (std::size_t i = 0; i < kInet6Groups;) {
        if (groups[i] != 0) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < kInet6Groups && groups[end] == 0)
            ++end;
        if (end - i > gapLength) {
            gapPos = i;
            gapLength = end - i;
        }
        i = end;
    }
    ShortText out;
    for (std::size_t i = 0; i < kInet6Groups; ++i) {
        if (i == gapPos) {
            out.append(i == 0 ? "::" : ":", i == 0 ? 2 : 1);
            i += gapLength - 1;
            continue;
        }
        if (i == 6 && gapPos == 0 && (gapLength == 6 || (gapLength == 5 && groups[5] == 0xFFFF))) {
            appendInet4(out, b.subspan(12));
            return out;
        }
        char hex[8];
        const int n = std::snprintf(hex, sizeof hex, "%x", groups[i]);
        out.append(hex, static_cast<std::size_t>(n));
        if (i + 1 != kInet6Groups)
            out.append(':');
    }
    return out;
}

} // namespace

platform::Result<ShortText> PluginTypeText::ascii(ColumnTypeCode code, std::span<const std::uint8_t> bytes,
                                                  std::uint64_t offset)
{
    ColumnShape shape;
    shape.typeCode = code;
    const std::uint32_t width = ColumnStorage::storedWidth(shape, StoredIn::ServerRecord);
    if (!isPluginTypeCode(code) || bytes.size() != width)
        return platform::corrupt(offset, "a value of type " + std::to_string(code) + " in " + std::to_string(bytes.size())
                                             + " bytes");
    switch (code) {
    case TYPE_UUID: return uuidText(bytes, false);
    case TYPE_UUID_ALWAYS_TURNED: return uuidText(bytes, true);
    case TYPE_INET6: return inet6Text(bytes);
    default: {
        ShortText out;
        appendInet4(out, bytes);
        return out;
    }
    }
}

} // namespace recovery
