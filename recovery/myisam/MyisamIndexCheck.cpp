#include "recovery/myisam/MyisamIndexCheck.h"

#include "model/Collations.h"
#include "model/ColumnTypeCode.h"
#include "platform/DataFile.h"
#include "recovery/myisam/MyisamIndexHeader.h"
#include "recovery/myisam/MyisamRecord.h"
#include "recovery/myisam/MyisamRowLayout.h"

#include <algorithm>
#include <span>
#include <unordered_set>

// MyISAM key pages (.MYI), one B-tree per key, each page the key's block
// length:
//
// | part          | size            | meaning                                        |
// |---------------|-----------------|------------------------------------------------|
// | header        | 2               | big-endian: bit 15 set = node page; the rest   |
// |               |                 | the bytes in use, header included              |
// | (node) child  | page pointer    | leftmost child, in units of 1024 bytes         |
// | entries       | varies          | key, record pointer, (node) the child to its   |
// |               |                 | right; node pages hold entries too             |
//
// A key unpacked is, per part: a NULL marker byte for parts that can be
// NULL (0 = NULL, nothing follows), then for VARCHAR, blob and space-packed
// parts a length (1 byte, or FF and 2 bytes big-endian) and the bytes, for
// other parts their fixed bytes (numbers high byte first). The record
// pointer follows: the record number in static tables, the position in
// dynamic ones. Packed keys on a page share a prefix with the key before:
//   binary packed  a length (as above) of the bytes taken from the previous
//                  entry, then the rest of the entry
//   prefix packed  the first byte of each packed part: bit 7 set = its
//                  first n bytes come from the previous entry's part (n = 0:
//                  all of it), then a length and the rest; else the part's
//                  length (+1 for a part that can be NULL, 0 = NULL)

namespace recovery::myisam {

namespace {

constexpr std::uint64_t kPageUnit = 1024;
constexpr unsigned kMaxDepth = 64;

constexpr std::uint16_t kKeyPacked = 0x0002;
constexpr std::uint16_t kKeyBinaryPacked = 0x0020;
constexpr std::uint16_t kKeyFulltext = 0x0080;
constexpr std::uint16_t kKeySpatial = 0x0400;
constexpr std::uint8_t kAlgorithmBtree = 1;

constexpr std::uint16_t kSegSpacePack = 0x0001;
constexpr std::uint16_t kSegPacked = 0x0002;
constexpr std::uint16_t kSegVarLength = 0x0008;
constexpr std::uint16_t kSegNullable = 0x0010;
constexpr std::uint16_t kSegBlob = 0x0020;
constexpr std::uint16_t kSegSwap = 0x0040;
constexpr std::uint16_t kSegBit = 0x0400;

constexpr std::uint8_t kTypeText = 1;
constexpr std::uint8_t kTypeOldDecimal = 7;
constexpr std::uint8_t kTypeVarText1 = 15;
constexpr std::uint8_t kTypeVarText2 = 17;
constexpr std::uint8_t kTypeBit = 19;

constexpr std::uint64_t kHashStart = 1469598103934665603ull;

std::uint64_t hashOn(std::uint64_t h, std::uint8_t b)
{
    return (h ^ b) * 1099511628211ull;
}

std::uint64_t hashOf(std::span<const std::uint8_t> bytes)
{
    std::uint64_t h = kHashStart;
    for (const std::uint8_t b : bytes)
        h = hashOn(h, b);
    return h;
}

void pushLength(std::vector<std::uint8_t>& out, std::uint32_t n)
{
    if (n < 255) {
        out.push_back(static_cast<std::uint8_t>(n));
        return;
    }
    out.push_back(0xFF);
    out.push_back(static_cast<std::uint8_t>(n >> 8));
    out.push_back(static_cast<std::uint8_t>(n));
}

std::uint64_t uintLe(std::span<const std::uint8_t> bytes)
{
    std::uint64_t v = 0;
    for (std::size_t i = bytes.size(); i-- > 0;)
        v = v << 8 | bytes[i];
    return v;
}

bool isTextType(std::uint8_t type)
{
    return type == kTypeText || type == kTypeVarText1 || type == kTypeVarText2;
}

// Bytes of the first `chars` UTF-8 characters of bytes (an invalid byte
// counts as one character).
std::size_t utf8CharPos(std::span<const std::uint8_t> bytes, std::size_t chars)
{
    std::size_t pos = 0;
    for (; chars > 0 && pos < bytes.size(); --chars) {
        const std::uint8_t b = bytes[pos];
        const std::size_t n = b < 0xC2 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 1;
        pos = std::min(bytes.size(), pos + n);
    }
    return pos;
}

// The previous entry's bytes, then the page's: how binary packed entries read.
class EntryStream {
public:
    EntryStream(std::span<const std::uint8_t> prefix, std::span<const std::uint8_t> page)
        : m_prefix(prefix), m_page(page)
    {
    }
    std::uint8_t byte()
    {
        if (m_pos < m_prefix.size())
            return m_prefix[m_pos++];
        const std::size_t at = m_pos - m_prefix.size();
        if (at >= m_page.size()) {
            m_ok = false;
            return 0;
        }
        ++m_pos;
        return m_page[at];
    }
    std::uint32_t length()
    {
        const std::uint32_t first = byte();
        if (first != 0xFF)
            return first;
        const std::uint32_t high = byte();
        return high << 8 | byte();
    }
    void copy(std::size_t n, std::vector<std::uint8_t>& out)
    {
        for (std::size_t i = 0; i < n && m_ok; ++i)
            out.push_back(byte());
    }
    bool ok() const { return m_ok; }
    // Page bytes read so far; the whole prefix must have been used.
    bool pagePos(std::size_t& at) const
    {
        if (m_pos < m_prefix.size())
            return false;
        at = m_pos - m_prefix.size();
        return true;
    }

private:
    std::span<const std::uint8_t> m_prefix;
    std::span<const std::uint8_t> m_page;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

struct Walk {
    const MyisamKeyDef& m_key;
    const platform::DataFile& m_file;
    std::uint64_t m_fileSize = 0;
    unsigned m_dataPointerBytes = 0;
    unsigned m_pagePointerBytes = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_entries;
    std::string m_why;
    // Entries of node pages, kept apart: the leaves alone come in key order.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_nodeEntries{};
    // Pages are read through a window of the file: one read serves many.
    std::vector<std::uint8_t> m_window{};
    std::uint64_t m_windowPos = 0;

    static constexpr std::uint64_t kWindowBytes = 1024 * 1024;

    std::span<const std::uint8_t> page(std::uint64_t offset, std::uint64_t length)
    {
        if (offset < m_windowPos || offset + length > m_windowPos + m_window.size()) {
            // Aligned, so that pages read in any order share windows.
            m_windowPos = offset - offset % kWindowBytes;
            if (offset + length > m_windowPos + kWindowBytes)
                m_windowPos = offset;
            m_window.resize(std::min(std::max(kWindowBytes, length), m_fileSize - m_windowPos));
            const auto got = m_file.readAt(m_windowPos, m_window);
            m_window.resize(got ? *got : 0);
            if (m_windowPos + m_window.size() < offset + length)
                return {};
        }
        return std::span<const std::uint8_t>(m_window).subspan(offset - m_windowPos, length);
    }

    bool fail(const std::string& why)
    {
        m_why = why;
        return false;
    }

    // One entry of a prefix-packed page into out (parts, record pointer,
    // child); prev holds the previous entry's parts and takes this one's.
    bool readPrefixPacked(std::span<const std::uint8_t> page, std::size_t& at, unsigned pointerBytes,
                          std::vector<std::vector<std::uint8_t>>& prev, std::vector<std::uint8_t>& out,
                          std::size_t& keyEnd)
    {
        EntryStream s({}, page.subspan(at));
        prev.resize(m_key.m_segs.size());
        for (std::size_t i = 0; i < m_key.m_segs.size(); ++i) {
            const MyisamKeySeg& seg = m_key.m_segs[i];
            const bool nullable = (seg.m_flag & kSegNullable) != 0;
            std::vector<std::uint8_t> data;
            if (seg.m_flag & kSegPacked) {
                const std::uint8_t first = s.byte();
                std::uint32_t length = first & 0x7F;
                if (seg.m_length >= 127)
                    length = length << 8 | s.byte();
                if (first & 0x80) {
                    if (length > seg.m_length || length > prev[i].size())
                        return fail("a packed key takes more bytes than the key before it has");
                    if (length == 0) {
                        data = prev[i];
                    } else {
                        const std::uint32_t rest = s.length();
                        data.assign(prev[i].begin(), prev[i].begin() + length);
                        s.copy(rest, data);
                    }
                } else {
                    if (nullable && length-- == 0) {
                        out.push_back(0);
                        prev[i].clear();
                        continue;
                    }
                    s.copy(length, data);
                }
                if (nullable)
                    out.push_back(1);
            } else {
                if (nullable) {
                    const std::uint8_t marker = s.byte();
                    out.push_back(marker);
                    if (marker == 0) {
                        prev[i].clear();
                        continue;
                    }
                }
                if (seg.m_flag & (kSegVarLength | kSegBlob | kSegSpacePack)) {
                    s.copy(s.length(), data);
                } else {
                    s.copy(seg.m_length, data);
                    out.insert(out.end(), data.begin(), data.end());
                    prev[i] = std::move(data);
                    continue;
                }
            }
            if (data.size() > seg.m_length)
                return fail("a key part longer than its column");
            pushLength(out, static_cast<std::uint32_t>(data.size()));
            out.insert(out.end(), data.begin(), data.end());
            prev[i] = std::move(data);
        }
        keyEnd = out.size();
        s.copy(m_dataPointerBytes + pointerBytes, out);
        std::size_t used = 0;
        if (!s.ok() || !s.pagePos(used))
            return fail("a key runs past its page");
        at += used;
        return true;
    }

    // One entry of a binary-packed or unpacked page into out; prev is the
    // previous entry as it was read.
    bool readBinary(std::span<const std::uint8_t> page, std::size_t& at, unsigned pointerBytes,
                    std::span<const std::uint8_t> prev, std::vector<std::uint8_t>& out, std::size_t& keyEnd)
    {
        std::size_t prefixLength = 0;
        if (m_key.m_flag & kKeyBinaryPacked) {
            EntryStream head({}, page.subspan(at));
            prefixLength = head.length();
            std::size_t used = 0;
            if (!head.ok() || !head.pagePos(used) || prefixLength > prev.size())
                return fail("a packed key takes more bytes than the key before it has");
            at += used;
        }
        EntryStream s(prev.first(prefixLength), page.subspan(at));
        for (const MyisamKeySeg& seg : m_key.m_segs) {
            if (seg.m_flag & kSegNullable) {
                const std::uint8_t marker = s.byte();
                out.push_back(marker);
                if (marker == 0)
                    continue;
            }
            if (seg.m_flag & (kSegVarLength | kSegBlob | kSegSpacePack)) {
                const std::uint32_t n = s.length();
                if (n > seg.m_length)
                    return fail("a key part longer than its column");
                pushLength(out, n);
                s.copy(n, out);
            } else {
                s.copy(seg.m_length, out);
            }
        }
        keyEnd = out.size();
        s.copy(m_dataPointerBytes + pointerBytes, out);
        std::size_t used = 0;
        if (!s.ok() || !s.pagePos(used))
            return fail("a key runs past its page");
        at += used;
        return true;
    }

    static std::uint64_t bigEndian(std::span<const std::uint8_t> bytes)
    {
        std::uint64_t v = 0;
        for (const std::uint8_t b : bytes)
            v = v << 8 | b;
        return v;
    }

    bool run(std::uint64_t root)
    {
        const std::uint64_t block = m_key.m_blockLength;
        if (block < kPageUnit || block % kPageUnit != 0)
            return fail("key block length " + std::to_string(block));
        if (root == UINT64_MAX)
            return true;  // an empty tree
        std::vector<std::pair<std::uint64_t, unsigned>> pending{{root, 0}};
        std::unordered_set<std::uint64_t> visited;
        std::vector<std::uint8_t> entry;
        std::vector<std::uint8_t> previous;
        std::vector<std::vector<std::uint8_t>> previousParts;
        // Keys of fixed-size parts only (numbers, dates) are read in place.
        std::size_t fixedLength = 0;
        if (!(m_key.m_flag & (kKeyPacked | kKeyBinaryPacked))) {
            for (const MyisamKeySeg& seg : m_key.m_segs) {
                if (seg.m_flag & (kSegNullable | kSegVarLength | kSegBlob | kSegSpacePack)) {
                    fixedLength = 0;
                    break;
                }
                fixedLength += seg.m_length;
            }
        }
        while (!pending.empty()) {
            const auto [offset, depth] = pending.back();
            pending.pop_back();
            if (offset % kPageUnit != 0 || offset > m_fileSize || block > m_fileSize - offset)
                return fail("page " + std::to_string(offset) + " lies outside the index file");
            if (depth > kMaxDepth || !visited.insert(offset).second)
                return fail("page " + std::to_string(offset) + " is reached twice (a loop)");
            const std::span<const std::uint8_t> page = this->page(offset, block);
            if (page.size() != block)
                return fail("page " + std::to_string(offset) + " cannot be read");
            const unsigned header = static_cast<unsigned>(page[0]) << 8 | page[1];
            const std::size_t used = header & 0x7FFF;
            const unsigned pointerBytes = (header & 0x8000) ? m_pagePointerBytes : 0;
            if (used < 2 + pointerBytes || used > block)
                return fail("page " + std::to_string(offset) + " says it uses " + std::to_string(used) + " bytes");
            const std::span<const std::uint8_t> bytes = page.first(used);
            std::size_t at = 2;
            const std::size_t children = pending.size();
            if (pointerBytes) {
                pending.emplace_back(bigEndian(bytes.subspan(at, pointerBytes)) * kPageUnit, depth + 1);
                at += pointerBytes;
            }
            previous.clear();
            previousParts.clear();
            while (at < used && fixedLength > 0) {
                const std::size_t size = fixedLength + m_dataPointerBytes + pointerBytes;
                if (size > used - at)
                    return fail("page " + std::to_string(offset) + ": a key runs past its page");
                const auto e = bytes.subspan(at, size);
                auto& entries = pointerBytes ? m_nodeEntries : m_entries;
                entries.emplace_back(bigEndian(e.subspan(fixedLength, m_dataPointerBytes)),
                                     hashOf(e.first(fixedLength)));
                if (pointerBytes)
                    pending.emplace_back(bigEndian(e.last(pointerBytes)) * kPageUnit, depth + 1);
                at += size;
            }
            while (at < used) {
                entry.clear();
                std::size_t keyEnd = 0;
                const bool read = (m_key.m_flag & kKeyPacked) && !(m_key.m_flag & kKeyBinaryPacked)
                    ? readPrefixPacked(bytes, at, pointerBytes, previousParts, entry, keyEnd)
                    : readBinary(bytes, at, pointerBytes, previous, entry, keyEnd);
                if (!read) {
                    m_why = "page " + std::to_string(offset) + ": " + m_why;
                    return false;
                }
                const auto e = std::span<const std::uint8_t>(entry);
                auto& entries = pointerBytes ? m_nodeEntries : m_entries;
                entries.emplace_back(bigEndian(e.subspan(keyEnd, m_dataPointerBytes)), hashOf(e.first(keyEnd)));
                if (pointerBytes)
                    pending.emplace_back(bigEndian(e.last(pointerBytes)) * kPageUnit, depth + 1);
                previous.swap(entry);
            }
            // Leftmost child first: the tree is read in key order.
            std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(children), pending.end());
        }
        return true;
    }
};

} // namespace

MyisamIndexCheck::MyisamIndexCheck(const MyisamRowLayout& layout, const MyisamIndexHeader& header,
                                   const platform::DataFile& indexFile)
    : m_layout(layout)
{
    const std::uint64_t fileSize = indexFile.size();
    for (std::size_t k = 0; k < header.m_keyDefs.size() && k < header.m_keyRoots.size(); ++k) {
        const MyisamKeyDef& def = header.m_keyDefs[k];
        // Full-text and spatial keys hold words and boxes, not the values.
        if (def.m_algorithm != kAlgorithmBtree || (def.m_flag & (kKeyFulltext | kKeySpatial)))
            continue;
        Walk walk{def, indexFile, fileSize, header.m_dataPointerBytes, header.m_pagePointerBytes, {}, {}};
        // A damaged count must not reserve more than the file could list.
        walk.m_entries.reserve(std::min<std::uint64_t>(header.m_records, fileSize / (header.m_dataPointerBytes + 1)));
        const auto note = [&](const std::string& why) {
            m_notes.push_back("key " + std::to_string(k + 1) + " is damaged (" + why + ")");
        };
        if (header.m_dataPointerBytes == 0 || header.m_dataPointerBytes > 8 || header.m_pagePointerBytes == 0
            || header.m_pagePointerBytes > 8) {
            note("pointer sizes out of range");
            break;
        }
        if (!walk.run(header.m_keyRoots[k])) {
            note(walk.m_why);
            continue;
        }
        // Keys filled in record order list their leaves sorted already.
        std::sort(walk.m_nodeEntries.begin(), walk.m_nodeEntries.end());
        const auto leaves = static_cast<std::ptrdiff_t>(walk.m_entries.size());
        walk.m_entries.insert(walk.m_entries.end(), walk.m_nodeEntries.begin(), walk.m_nodeEntries.end());
        if (std::is_sorted(walk.m_entries.begin(), walk.m_entries.begin() + leaves))
            std::inplace_merge(walk.m_entries.begin(), walk.m_entries.begin() + leaves, walk.m_entries.end());
        else
            std::sort(walk.m_entries.begin(), walk.m_entries.end());
        if (walk.m_entries.size() != header.m_records) {
            note("it lists " + std::to_string(walk.m_entries.size()) + " records, the table has "
                 + std::to_string(header.m_records));
            continue;
        }
        const auto twice = std::adjacent_find(walk.m_entries.begin(), walk.m_entries.end(),
                                              [](const auto& a, const auto& b) { return a.first == b.first; });
        if (twice != walk.m_entries.end()) {
            note("it lists record " + std::to_string(twice->first) + " twice");
            continue;
        }
        Key key;
        key.m_number = k;
        key.m_def = def;
        key.m_entries = std::move(walk.m_entries);
        key.m_comparable = true;
        key.m_fixed = !(def.m_flag & (kKeyPacked | kKeyBinaryPacked));
        for (const MyisamKeySeg& seg : def.m_segs) {
            if ((seg.m_flag & (kSegNullable | kSegVarLength | kSegBlob | kSegSpacePack | kSegBit))
                || isTextType(seg.m_type) || seg.m_start + std::uint64_t{seg.m_length} > layout.m_recordLength)
                key.m_fixed = false;
            std::int32_t field = -1;
            if (seg.m_flag & kSegBlob) {
                std::uint64_t offset = 0;
                for (std::size_t f = 0; f < layout.m_fieldDefs.size(); offset += layout.m_fieldDefs[f++].m_length)
                    if (offset == seg.m_start && layout.m_fieldDefs[f].m_type == FIELD_BLOB)
                        field = static_cast<std::int32_t>(f);
                key.m_comparable = key.m_comparable && field >= 0;
            }
            key.m_blobFields.push_back(field);
            // Character counts are worked out for one-byte sets and UTF-8;
            // BIT parts keep bits among the null flags.
            unsigned maxBytes = 1;
            if (isTextType(seg.m_type) && seg.m_language != engine::kBinaryCollation) {
                const engine::Collation collation = engine::Collations::Find(seg.m_language);
                maxBytes = collation.m_maxBytes;
                if (collation.m_name.isEmpty() || (maxBytes > 1 && !engine::Collations::IsUtf8(seg.m_language)))
                    key.m_comparable = false;
            }
            if (seg.m_type == kTypeBit || (seg.m_flag & kSegBit))
                key.m_comparable = false;
            key.m_maxBytes.push_back(std::max(maxBytes, 1u));
        }
        m_keys.push_back(std::move(key));
    }
}

bool MyisamIndexCheck::makeKey(const Key& key, const MyisamRecord& record, std::vector<std::uint8_t>& out)
{
    const std::span<const std::uint8_t> image(record.m_image);
    for (std::size_t i = 0; i < key.m_def.m_segs.size(); ++i) {
        const MyisamKeySeg& seg = key.m_def.m_segs[i];
        if (seg.m_nullBit != 0) {
            if (seg.m_nullPos >= image.size())
                return false;
            if (image[seg.m_nullPos] & seg.m_nullBit) {
                out.push_back(0);
                continue;
            }
            out.push_back(1);
        }
        // Blob and VARCHAR parts hold their length (and a blob's reference)
        // in the record, the rest their fixed bytes.
        const std::uint64_t held = (seg.m_flag & (kSegVarLength | kSegBlob)) ? seg.m_bitStart : seg.m_length;
        if (seg.m_start > image.size() || held > image.size() - seg.m_start)
            return false;
        const unsigned maxBytes = key.m_maxBytes[i];
        const std::size_t chars = seg.m_length / maxBytes;
        // The key keeps as many whole characters as the part has room for.
        const auto limit = [&](std::span<const std::uint8_t> value) {
            if (maxBytes > 1 && value.size() > chars)
                value = value.first(utf8CharPos(value, chars));
            return value;
        };
        std::span<const std::uint8_t> value;
        if (seg.m_flag & kSegSpacePack) {
            value = image.subspan(seg.m_start, seg.m_length);
            if (seg.m_type == kTypeOldDecimal) {
                while (!value.empty() && value.front() == ' ')
                    value = value.subspan(1);
            } else {
                while (!value.empty() && value.back() == ' ')
                    value = value.first(value.size() - 1);
            }
        } else if (seg.m_flag & (kSegVarLength | kSegBlob)) {
            const unsigned prefix = seg.m_bitStart;
            if (prefix == 0 || prefix > 4 || seg.m_start + std::uint64_t{prefix} > image.size())
                return false;
            const std::uint64_t n = uintLe(image.subspan(seg.m_start, prefix));
            if (seg.m_flag & kSegBlob) {
                value = record.blob(key.m_blobFields[i]);
                if (value.size() != n)
                    return false;
            } else {
                if (seg.m_start + prefix + n > image.size())
                    return false;
                value = image.subspan(seg.m_start + prefix, n);
            }
            value = value.first(std::min<std::uint64_t>(value.size(), seg.m_length));
        } else {
            value = image.subspan(seg.m_start, seg.m_length);
            if (seg.m_flag & kSegSwap) {
                out.insert(out.end(), value.rbegin(), value.rend());
            } else {
                const auto kept = limit(value);
                out.insert(out.end(), kept.begin(), kept.end());
                out.insert(out.end(), value.size() - kept.size(), ' ');
            }
            continue;
        }
        value = limit(value);
        pushLength(out, static_cast<std::uint32_t>(value.size()));
        out.insert(out.end(), value.begin(), value.end());
    }
    return true;
}

std::size_t MyisamIndexCheck::comparableKeys() const
{
    return static_cast<std::size_t>(
        std::count_if(m_keys.begin(), m_keys.end(), [](const Key& key) { return key.m_comparable; }));
}

unsigned MyisamIndexCheck::check(const MyisamRecord& record) const
{
    const std::uint64_t pointer =
        m_layout.m_dynamic ? record.m_pos : m_layout.m_slotLength ? record.m_pos / m_layout.m_slotLength : 0;
    unsigned findings = 0;
    for (const Key& key : m_keys) {
        // Records come in file order: the entry after the last one found is
        // most often the one, before a search.
        auto it = key.m_entries.begin() + static_cast<std::ptrdiff_t>(std::min(key.m_next, key.m_entries.size()));
        if (it == key.m_entries.end() || it->first != pointer)
            it = std::lower_bound(key.m_entries.begin(), key.m_entries.end(),
                                  std::pair<std::uint64_t, std::uint64_t>{pointer, 0});
        key.m_next = static_cast<std::size_t>(it - key.m_entries.begin()) + 1;
        if (it == key.m_entries.end() || it->first != pointer) {
            findings |= kNotInIndex;
            continue;
        }
        if (!key.m_comparable)
            continue;
        if (key.m_fixed && record.m_image.size() >= m_layout.m_recordLength) {
            // Numbers and dates: the key is the record's bytes, some reversed.
            std::uint64_t h = kHashStart;
            for (const MyisamKeySeg& seg : key.m_def.m_segs) {
                const std::uint8_t* at = record.m_image.data() + seg.m_start;
                if (seg.m_flag & kSegSwap) {
                    for (std::size_t b = seg.m_length; b-- > 0;)
                        h = hashOn(h, at[b]);
                } else {
                    for (std::size_t b = 0; b < seg.m_length; ++b)
                        h = hashOn(h, at[b]);
                }
            }
            if (h != it->second)
                findings |= kKeyDiffers;
            continue;
        }
        m_scratch.clear();
        if (makeKey(key, record, m_scratch) && hashOf(m_scratch) != it->second)
            findings |= kKeyDiffers;
    }
    return findings;
}

} // namespace recovery::myisam
