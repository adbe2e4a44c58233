#include "recovery/myisam/MyisamIndexHeader.h"

#include "platform/ByteReader.h"

#include <string>

// MyISAM index file header, as the server writes it (all fields big-endian).
//
// | offset      | size | meaning                                             |
// |-------------|------|-----------------------------------------------------|
// | 0           | 4    | file magic FE FE 07 01 (byte 3 varies by version)   |
// | 4           | 2    | table options (1 = dynamic rows, 4 = compressed)    |
// | 6           | 2    | header length                                       |
// | 10          | 2    | base-info length                                    |
// | 12          | 2    | base-info position B                                |
// | 14          | 2    | key parts of all keys                               |
// | 16          | 2    | key parts of all unique constraints                 |
// | 18          | 1    | keys                                                |
// | 19          | 1    | unique constraints                                  |
// | 28          | 8    | live records                                        |
// | 36          | 8    | deleted records                                     |
// | 60          | 8    | index file length in use                            |
// | 68          | 8    | data file length in use                             |
// | 104         | 4    | table checksum (sum of the record checksums)        |
// | 124 + d     | 8    | per key: its root page; d = state length - 176      |
// | B + 44      | 4    | record length                                       |
// | B + 48      | 4    | packed record length (static: bytes per record)     |
// | B + 56      | 4    | longest packed record                               |
// | B + 64      | 4    | fields (column definitions)                         |
// | B + 68      | 4    | fields with a packed-field flag                     |
// | B + 76      | 2    | packed-field flag bytes                             |
// | B + 72      | 1    | bytes of a record pointer in keys                   |
// | B + 73      | 1    | bytes of a child page pointer in node pages         |
// | B + 78      | 2    | blob fields                                         |
// | B + base    | 12   | per key: key definition, then 18 per key part       |
// |  ...        | 4    | per unique: definition, then 18 per key part        |
// | S           | 7    | per field: type 2, length 2, null bit 1, null pos 2 |

namespace recovery::myisam {

namespace {

using platform::ByteReader;
using platform::DecodeError;

constexpr std::uint64_t kOptionsPos = 4;
constexpr std::uint64_t kHeaderLengthPos = 6;
constexpr std::uint64_t kBaseInfoLengthPos = 10;
constexpr std::uint64_t kRecordsPos = 28;
constexpr std::uint64_t kKeyFileLengthPos = 60;
constexpr std::uint64_t kDataFileLengthPos = 68;
constexpr std::uint64_t kStateInfoLengthPos = 8;
constexpr std::uint64_t kTableChecksumPos = 104;
constexpr std::uint64_t kKeyRootsPos = 124;
constexpr std::uint64_t kStateInfoBaseLength = 176;
constexpr std::uint64_t kBaseRecordLength = 44;
constexpr std::uint64_t kBasePackRecordLength = 48;
constexpr std::uint64_t kBaseMaxPackLength = 56;
constexpr std::uint64_t kBaseFields = 64;
constexpr std::uint64_t kBasePackFields = 68;
constexpr std::uint64_t kBasePackBytes = 76;
constexpr std::uint64_t kBaseBlobs = 78;
constexpr std::uint64_t kBaseNeeded = 80;
constexpr std::uint64_t kKeyDefSize = 12;
constexpr std::uint64_t kUniqueDefSize = 4;
constexpr std::uint64_t kKeySegSize = 18;
constexpr std::uint64_t kFieldDefSize = 7;
// No real table has more columns than this; a larger count is damage.
constexpr std::uint32_t kMaxFields = 4096;

using platform::corrupt;

} // namespace

platform::Result<MyisamIndexHeader> MyisamIndexHeader::parse(std::span<const std::uint8_t> bytes)
{
    ByteReader r(bytes);
    if (r.u8() != 0xFE || r.u8() != 0xFE || !r)
        return r ? corrupt(0, "not a MyISAM index file (no FE FE magic)") : *r.error();

    MyisamIndexHeader h;
    r.seek(kOptionsPos);
    h.m_options = r.u16be();
    r.seek(kHeaderLengthPos);
    h.m_headerLength = r.u16be();
    r.seek(kBaseInfoLengthPos);
    h.m_baseInfoLength = r.u16be();
    h.m_basePos = r.u16be();
    h.m_keyParts = r.u16be();
    h.m_uniqueKeyParts = r.u16be();
    h.m_keys = r.u8();
    h.m_uniques = r.u8();
    r.seek(kRecordsPos);
    h.m_records = r.u64be();
    h.m_deletedRecords = r.u64be();
    r.seek(kKeyFileLengthPos);
    h.m_keyFileLength = r.u64be();
    h.m_dataFileLength = r.u64be();
    r.seek(kTableChecksumPos);
    h.m_tableChecksum = r.u32be();
    r.seek(kStateInfoLengthPos);
    const std::uint16_t stateInfoLength = r.u16be();
    if (!r)
        return *r.error();
    if (h.m_baseInfoLength < kBaseNeeded)
        return corrupt(kBaseInfoLengthPos, "base-info length " + std::to_string(h.m_baseInfoLength) + " too short");

    ByteReader base = r.sub(h.m_basePos, h.m_baseInfoLength);
    base.seek(kBaseRecordLength);
    h.m_recordLength = base.u32be();
    h.m_packRecordLength = base.u32be();
    base.seek(kBaseMaxPackLength);
    h.m_maxPackLength = base.u32be();
    base.seek(kBaseFields);
    h.m_fields = base.u32be();
    h.m_packFields = base.u32be();
    h.m_dataPointerBytes = base.u8();
    h.m_pagePointerBytes = base.u8();
    base.seek(kBasePackBytes);
    h.m_packFlagBytes = base.u16be();
    h.m_blobs = base.u16be();
    if (!base)
        return *base.error();
    if (h.m_fields == 0 || h.m_fields > kMaxFields)
        return corrupt(h.m_basePos + kBaseFields, "field count " + std::to_string(h.m_fields) + " out of range");
    // Each flag byte covers eight fields; more bytes than that is damage.
    if (h.m_packFlagBytes > (h.m_fields + 7) / 8 || h.m_packFields > h.m_fields)
        return corrupt(h.m_basePos + kBasePackBytes, "packed-field flags do not match the field count");

    // Key and unique definitions lie between the base info and the fields;
    // the key-part totals of the header size them (16-bit fields, widened).
    h.m_fieldDefsPos = std::uint64_t{h.m_basePos} + h.m_baseInfoLength + kKeyDefSize * h.m_keys
        + kKeySegSize * h.m_keyParts + kUniqueDefSize * h.m_uniques + kKeySegSize * h.m_uniqueKeyParts;
    ByteReader defs = r.sub(h.m_fieldDefsPos, kFieldDefSize * h.m_fields);
    std::uint64_t total = 0;
    h.m_fieldDefs.reserve(h.m_fields);
    for (std::uint32_t i = 0; i < h.m_fields; ++i) {
        MyisamFieldDef def;
        def.m_type = static_cast<std::int16_t>(defs.u16be());
        def.m_length = defs.u16be();
        def.m_nullBit = defs.u8();
        def.m_nullPos = defs.u16be();
        if (!defs)
            return *defs.error();
        if (def.m_type < FIELD_NORMAL || def.m_type > FIELD_CHECK)
            return corrupt(h.m_fieldDefsPos + kFieldDefSize * i, "unknown field type " + std::to_string(def.m_type));
        total += def.m_length;
        h.m_fieldDefs.push_back(def);
    }
    // The fields cover the record exactly: a cheap, strong check that the
    // definitions were found where we looked for them.
    if (total != h.m_recordLength)
        return corrupt(h.m_fieldDefsPos, "field lengths add up to " + std::to_string(total) + ", record length is "
                                             + std::to_string(h.m_recordLength));
    if (!h.dynamicRows() && h.m_packRecordLength < h.m_recordLength)
        return corrupt(h.m_basePos + kBasePackRecordLength, "static record slot shorter than the record");
    h.parseKeys(bytes, stateInfoLength);
    return h;
}

void MyisamIndexHeader::parseKeys(std::span<const std::uint8_t> bytes, std::uint16_t stateInfoLength)
{
    // The records can be read without the keys: keys that do not add up
    // are left out rather than refusing the table.
    if (stateInfoLength < kStateInfoBaseLength)
        return;
    ByteReader r(bytes);
    r.seek(kKeyRootsPos + (stateInfoLength - kStateInfoBaseLength));
    std::vector<std::uint64_t> roots;
    for (unsigned k = 0; k < m_keys; ++k)
        roots.push_back(r.u64be());
    r.seek(std::uint64_t{m_basePos} + m_baseInfoLength);
    std::vector<MyisamKeyDef> defs;
    std::uint64_t parts = 0;
    for (unsigned k = 0; k < m_keys && r; ++k) {
        MyisamKeyDef def;
        const std::uint8_t segs = r.u8();
        def.m_algorithm = r.u8();
        def.m_flag = r.u16be();
        def.m_blockLength = r.u16be();
        def.m_keyLength = r.u16be();
        r.skip(4);  // shortest and longest key
        for (unsigned i = 0; i < segs && r; ++i) {
            MyisamKeySeg seg;
            seg.m_type = r.u8();
            seg.m_language = r.u8();
            seg.m_nullBit = r.u8();
            seg.m_bitStart = r.u8();
            seg.m_language = static_cast<std::uint16_t>(seg.m_language | (r.u8() << 8));
            seg.m_bitLength = r.u8();
            seg.m_flag = r.u16be();
            seg.m_length = r.u16be();
            seg.m_start = r.u32be();
            seg.m_nullPos = r.u32be();
            def.m_segs.push_back(seg);
        }
        parts += segs;
        defs.push_back(std::move(def));
    }
    const std::uint64_t uniquesLength = kUniqueDefSize * m_uniques + kKeySegSize * m_uniqueKeyParts;
    if (!r || parts != m_keyParts || r.pos() + uniquesLength != m_fieldDefsPos)
        return;
    m_keyRoots = std::move(roots);
    m_keyDefs = std::move(defs);
}

} // namespace recovery::myisam
