#include "recovery/myisam/MyisamRecordCheck.h"

#include "model/ColumnInformation.h"
#include "model/Collations.h"
#include "recovery/ColumnStorage.h"
#include "recovery/ValueText.h"
#include "recovery/myisam/MyisamRecord.h"
#include "recovery/myisam/MyisamRowLayout.h"

#include <array>
#include <cstring>

namespace recovery::myisam {

namespace {

std::array<std::uint32_t, 256> makeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

bool isTextCode(engine::ColumnTypeCode code)
{
    return code == engine::TYPE_CHAR || code == engine::TYPE_VARCHAR || code == engine::TYPE_VAR_STRING
        || (code >= engine::TYPE_TINYTEXT && code <= engine::TYPE_TEXT);
}

// The bytes a text column holds in the record, padding included.
std::span<const std::uint8_t> textBytes(const MyisamColumnLayout& l, const MyisamRecord& record)
{
    const std::span<const std::uint8_t> image(record.m_image);
    if (l.m_offset + std::uint64_t{l.m_length} > image.size())
        return {};
    const auto field = image.subspan(l.m_offset, l.m_length);
    if (l.m_blobLengthBytes != 0)
        return record.blob(l.m_fieldDef);
    const auto code = l.m_column->m_typeCode;
    if (code == engine::TYPE_VARCHAR) {
        const unsigned prefix = ColumnStorage::varcharLengthBytesOfWidth(l.m_length);
        const std::uint32_t n = prefix == 1 ? field[0] : field[0] | (std::uint32_t{field[1]} << 8);
        return n <= l.m_length - prefix ? field.subspan(prefix, n) : std::span<const std::uint8_t>{};
    }
    return field;
}

std::uint64_t uintLe(std::span<const std::uint8_t> bytes)
{
    std::uint64_t v = 0;
    for (std::size_t i = bytes.size(); i-- > 0;)
        v = v << 8 | bytes[i];
    return v;
}

} // namespace

const char* MyisamRecordCheck::reason(unsigned finding)
{
    switch (finding) {
    case kChecksum: return "checksum differs";
    case kNullFiller: return "unused null-flag bits cleared";
    case kText: return "text not valid in its character set";
    case kMember: return "ENUM or SET value beyond its members";
    case kNotInIndex: return "not in a key of the index file";
    case kKeyDiffers: return "values differ from their key in the index file";
    case kDate: return "date or time out of range";
    default: return "unknown";
    }
}

MyisamRecordCheck::MyisamRecordCheck(const MyisamRowLayout& layout) : m_layout(layout)
{
    if (layout.m_nullBitsUsed % 8 != 0)
        m_fillerMask = static_cast<std::uint8_t>(0xFFu << (layout.m_nullBitsUsed % 8));
    for (std::size_t i = 0; i < layout.m_columns.size(); ++i) {
        const MyisamColumnLayout& l = layout.m_columns[i];
        if (l.m_virtual || l.m_fieldDef < 0)
            continue;
        const engine::ColumnInformation& c = *l.m_column;
        if (c.m_typeCode == engine::TYPE_ENUM || c.m_typeCode == engine::TYPE_SET)
            m_checked.push_back(Checked{i, Kind::Member, 0});
        // A compressed value's stored bytes are no text: a damaged one fails to expand.
        else if (isTextCode(c.m_typeCode) && !c.m_compressed && engine::Collations::IsUtf8(c.m_charset))
            m_checked.push_back(Checked{i, Kind::Text, engine::Collations::Find(c.m_charset).m_maxBytes});
        else if (c.m_typeCode == engine::TYPE_NEWDATE && l.m_length == 3)
            m_checked.push_back(Checked{i, Kind::Date, 0});
        else if (c.m_typeCode == engine::TYPE_DATETIME && l.m_length == 8
                 && ValueText::bigEndianTemporalSize(c.m_typeCode, c.m_length) == 0)  // not DATETIME(n) of 5.3
            m_checked.push_back(Checked{i, Kind::Datetime, 0});
        else if (c.m_typeCode == engine::TYPE_DATETIME2 && l.m_length >= 5)
            m_checked.push_back(Checked{i, Kind::Datetime2, 0});
    }
}

std::uint32_t MyisamRecordCheck::crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc)
{
    static const std::array<std::uint32_t, 256> table = makeCrcTable();
    crc = ~crc;
    for (const std::uint8_t b : bytes)
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

bool MyisamRecordCheck::validUtf8(std::span<const std::uint8_t> bytes, unsigned maxBytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        // Eight ASCII bytes at a time, the most common text.
        if (bytes.size() - i >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes.data() + i, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        const std::uint8_t b = bytes[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        unsigned n = 0;
        std::uint8_t low = 0x80, high = 0xBF;  // bounds of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            n = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 3;
            low = b == 0xE0 ? 0xA0 : 0x80;
            high = b == 0xED ? 0x9F : 0xBF;  // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 4;
            low = b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xF4 ? 0x8F : 0xBF;
        }
        if (n == 0 || n > maxBytes || bytes.size() - i < n || bytes[i + 1] < low || bytes[i + 1] > high)
            return false;
        for (unsigned k = 2; k < n; ++k)
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

std::uint32_t MyisamRecordCheck::checksum(const MyisamRecord& record) const
{
    const std::span<const std::uint8_t> image(record.m_image);
    std::uint32_t crc = 0;
    std::uint64_t offset = 0;
    for (std::size_t i = 0; i < m_layout.m_fieldDefs.size(); ++i) {
        const MyisamFieldDef& def = m_layout.m_fieldDefs[i];
        const std::uint64_t at = offset;
        offset += def.m_length;
        if (offset > image.size())
            break;
        if (m_layout.m_checksumSkipsNulls && def.m_nullBit != 0 && def.m_nullPos < image.size()
            && (image[def.m_nullPos] & def.m_nullBit) != 0)
            continue;
        const auto field = image.subspan(at, def.m_length);
        if (def.m_type == FIELD_BLOB) {
            crc = crc32(record.blob(static_cast<std::int32_t>(i)), crc);
        } else if (def.m_type == FIELD_VARCHAR) {
            const unsigned prefix = ColumnStorage::varcharLengthBytesOfWidth(def.m_length);
            const std::uint64_t n = std::min<std::uint64_t>(uintLe(field.first(prefix)), def.m_length - prefix);
            crc = crc32(field.subspan(prefix, n), crc);
        } else {
            crc = crc32(field, crc);
        }
    }
    return crc;
}

bool MyisamRecordCheck::dateInRange(Kind kind, std::span<const std::uint8_t> bytes)
{
    std::uint64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (kind == Kind::Date) {
        // Day 5 bits, month 4, the year above them.
        const std::uint64_t v = uintLe(bytes.first(3));
        day = v & 31;
        month = (v >> 5) & 15;
        year = v >> 9;
    } else if (kind == Kind::Datetime) {
        // The number YYYYMMDDhhmmss.
        const std::uint64_t v = uintLe(bytes.first(8));
        const std::uint64_t date = v / 1000000, time = v % 1000000;
        year = date / 10000;
        month = date / 100 % 100;
        day = date % 100;
        hour = time / 10000;
        minute = time / 100 % 100;
        second = time % 100;
    } else {
        // Biased, big-endian: year * 13 + month, day, then hour, minute,
        // second in 17 bits (the fraction bytes follow).
        std::uint64_t v = 0;
        for (const std::uint8_t b : bytes.first(5))
            v = v << 8 | b;
        constexpr std::uint64_t kBias = 0x8000000000ull;
        if (v < kBias)
            return true;  // the decoder refuses it
        v -= kBias;
        const std::uint64_t ymd = v >> 17, hms = v & 0x1FFFF;
        year = (ymd >> 5) / 13;
        month = (ymd >> 5) % 13;
        day = ymd & 31;
        hour = hms >> 12;
        minute = (hms >> 6) & 63;
        second = hms & 63;
    }
    return year <= 9999 && month <= 12 && day <= 31 && hour <= 23 && minute <= 59 && second <= 59;
}

unsigned MyisamRecordCheck::check(const MyisamRecord& record) const
{
    unsigned findings = 0;
    const std::span<const std::uint8_t> image(record.m_image);
    if (m_fillerMask != 0 && m_layout.m_nullBytes <= image.size()
        && (image[m_layout.m_nullBytes - 1] & m_fillerMask) != m_fillerMask)
        findings |= kNullFiller;
    // Dynamic records of such tables end with the checksum's low byte.
    if (m_layout.m_checksum && m_layout.m_dynamic) {
        if (record.m_packed.size() != record.m_packedUsed + 1
            || record.m_packed.back() != static_cast<std::uint8_t>(checksum(record)))
            findings |= kChecksum;
    }
    for (const Checked& checked : m_checked) {
        const MyisamColumnLayout& l = m_layout.m_columns[checked.m_column];
        if (l.m_nullMask != 0 && l.m_nullByte < image.size() && (image[l.m_nullByte] & l.m_nullMask) != 0)
            continue;
        if (l.m_offset + std::uint64_t{l.m_length} > image.size())
            continue;
        const engine::ColumnInformation& c = *l.m_column;
        if (checked.m_kind >= Kind::Date) {
            if (!dateInRange(checked.m_kind, image.subspan(l.m_offset, l.m_length)))
                findings |= kDate;
        } else if (checked.m_kind == Kind::Member) {
            const std::uint64_t v = uintLe(image.subspan(l.m_offset, l.m_length));
            const auto members = static_cast<std::uint64_t>(c.m_members.size());
            const bool beyond = c.m_typeCode == engine::TYPE_ENUM ? v > members
                                                                  : members < 64 && (v >> members) != 0;
            if (beyond)
                findings |= kMember;
        } else if (!validUtf8(textBytes(l, record), checked.m_maxBytes)) {
            findings |= kText;
        }
    }
    return findings;
}

} // namespace recovery::myisam
