#include "engine/FrmDataTypeNames.h"

// Value of the extra2 entry of kind 130 (field data type info): for each field
// whose type comes from a type plugin, one after another,
//
// | Size | Meaning                                   |
// |------|-------------------------------------------|
// | n    | field number from 0 (length-encoded)      |
// | n    | length L of the type name (length-encoded)|
// | L    | the type name, ASCII: "uuid", "inet6", ...|
//
// A length-encoded number is one byte below 251, else 252, 253 or 254 and
// then 2, 3 or 8 bytes little-endian.

namespace engine {

namespace {

std::optional<std::uint64_t> lengthEncoded(platform::ByteReader& r)
{
    const std::uint8_t first = r.u8();
    switch (first) {
    case 251: return std::nullopt;
    case 252: return r.u16le();
    case 253: return r.u24le();
    case 254: return r.u64le();
    default: return first;
    }
}

} // namespace

FrmDataTypes FrmDataTypeNames::read(platform::ByteReader value)
{
    FrmDataTypes out;
    while (value.remaining() > 0) {
        const std::uint64_t start = value.pos();
        const auto field = lengthEncoded(value);
        const auto length = lengthEncoded(value);
        if (!value || !field || !length || *field > UINT32_MAX || !value.canRead(value.pos(), *length)) {
            out.damage = platform::corrupt(value.base() + start, "data type name of a field unreadable");
            break;
        }
        const auto name = value.bytes(*length);
        out.names.try_emplace(static_cast<std::uint32_t>(*field),
                              QByteArray(reinterpret_cast<const char*>(name.data()), static_cast<qsizetype>(name.size())));
    }
    return out;
}

} // namespace engine
