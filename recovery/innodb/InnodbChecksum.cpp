#include "recovery/innodb/InnodbChecksum.h"

#include "platform/ByteReader.h"
#include "recovery/innodb/InnodbPage.h"

#include <array>
#include <bit>
#include <cstring>

// Where a page keeps its checksums and the copies of its LSN (big-endian):
//
// | Offset   | Size | Classic layout                  | full_crc32 layout              |
// |----------|------|---------------------------------|--------------------------------|
// | 0        | 4    | checksum (new InnoDB or crc32)  | (key version, 0 unencrypted)   |
// | 16       | 8    | FIL_PAGE_LSN                    | FIL_PAGE_LSN                   |
// | 26       | 8    | flush LSN (page 0 of ibdata1)   | flush LSN                      |
// | size - 8 | 4    | old checksum (old InnoDB/crc32) | low 32 bits of the LSN         |
// | size - 4 | 4    | low 32 bits of the LSN          | CRC-32C of bytes 0..size-4     |
//
// Classic checksums leave out bytes 0-3, 26-37 (flush LSN and space id, which
// the server rewrites without recomputing) and the 8-byte trailer. "none"
// stores 0xDEADBEEF in both checksum fields.

namespace recovery::innodb {

namespace {

constexpr std::uint64_t kChecksumPos = 0;
constexpr std::uint64_t kLsnLowPos = 20;           // low half of FIL_PAGE_LSN at 16
constexpr std::uint64_t kFileFlushLsnPos = 26;
constexpr std::uint64_t kFileFlushLsnSize = 8;
constexpr std::uint32_t kNoChecksumMagic = 0xDEADBEEFu;
constexpr std::uint64_t kMinPageSize = 4096;
constexpr std::uint64_t kMaxPageSize = 65536;
const char* const kLsnMismatch = "the LSN in its header and in its trailer differ";

// The legacy InnoDB checksum folds bytes with the server's hash masks on
// 64-bit words and keeps the low 32 bits of the result.
constexpr std::uint64_t kHashRandomMask = 1463735687;
constexpr std::uint64_t kHashRandomMask2 = 1653893711;

std::uint64_t foldPair(std::uint64_t n1, std::uint64_t n2)
{
    return ((((n1 ^ n2 ^ kHashRandomMask2) << 8) + n1) ^ kHashRandomMask) + n2;
}

std::uint64_t foldBytes(std::span<const std::uint8_t> bytes)
{
    std::uint64_t fold = 0;
    for (const std::uint8_t b : bytes)
        fold = foldPair(fold, b);
    return fold;
}

std::array<std::uint32_t, 256> makeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0x82F63B78u : c >> 1;  // reflected Castagnoli polynomial
        table[i] = c;
    }
    return table;
}

std::uint32_t crc32cSoftware(std::span<const std::uint8_t> bytes, std::uint32_t crc)
{
    static const std::array<std::uint32_t, 256> table = makeCrcTable();
    for (const std::uint8_t b : bytes)
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc;
}

#if defined(__x86_64__)
__attribute__((target("sse4.2"))) std::uint32_t crc32cHardware(std::span<const std::uint8_t> bytes,
                                                              std::uint32_t crc)
{
    std::uint64_t c = crc;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;  // x86-64 is little-endian, as the instruction takes the word
        std::memcpy(&word, bytes.data() + i, sizeof word);
        c = __builtin_ia32_crc32di(c, word);
    }
    auto c32 = static_cast<std::uint32_t>(c);
    for (; i < bytes.size(); ++i)
        c32 = __builtin_ia32_crc32qi(c32, bytes[i]);
    return c32;
}

bool hasCrcInstruction()
{
    static const bool has = __builtin_cpu_supports("sse4.2");
    return has;
}
#endif

std::uint32_t u32At(std::span<const std::uint8_t> page, std::uint64_t pos)
{
    platform::ByteReader r(page);
    r.seek(pos);
    return r.u32be();
}

// All zero, except that the server may stamp a flush LSN into page 0 of
// the system tablespace.
bool isEmptyPage(std::span<const std::uint8_t> page)
{
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (i == kFileFlushLsnPos) {
            i += kFileFlushLsnSize - 1;
            continue;
        }
        if (page[i] != 0)
            return false;
    }
    return true;
}

bool fullCrc32Matches(std::span<const std::uint8_t> page)
{
    const std::uint64_t size = page.size();
    return u32At(page, size - 4) == crc32c(page.first(size - 4));
}

bool fullCrc32LsnAgrees(std::span<const std::uint8_t> page)
{
    return u32At(page, kLsnLowPos) == u32At(page, page.size() - kFilTrailerSize);
}

std::uint32_t classicCrc32(std::span<const std::uint8_t> page)
{
    const std::uint64_t size = page.size();
    const std::uint32_t head = crc32c(page.subspan(4, kFileFlushLsnPos - 4));
    const std::uint32_t body = crc32c(page.subspan(kFilPageData, size - kFilPageData - kFilTrailerSize));
    return head ^ body;
}

std::uint32_t legacyNewChecksum(std::span<const std::uint8_t> page)
{
    const std::uint64_t size = page.size();
    const std::uint64_t sum = foldBytes(page.subspan(4, kFileFlushLsnPos - 4))
                              + foldBytes(page.subspan(kFilPageData, size - kFilPageData - kFilTrailerSize));
    return static_cast<std::uint32_t>(sum);
}

std::uint32_t legacyOldChecksum(std::span<const std::uint8_t> page)
{
    return static_cast<std::uint32_t>(foldBytes(page.first(kFileFlushLsnPos)));
}

// Each field may hold what any of the classic algorithms writes, as the
// server accepts when it is not told to be strict.
bool classicChecksumsMatch(std::span<const std::uint8_t> page)
{
    const std::uint32_t field1 = u32At(page, kChecksumPos);
    const std::uint32_t field2 = u32At(page, page.size() - kFilTrailerSize);
    if (field1 == kNoChecksumMagic && field2 == kNoChecksumMagic)
        return true;
    const std::uint32_t crc = classicCrc32(page);
    const bool field1Ok = field1 == crc || field1 == kNoChecksumMagic || field1 == legacyNewChecksum(page);
    const bool field2Ok = field2 == crc || field2 == kNoChecksumMagic || field2 == legacyOldChecksum(page);
    return field1Ok && field2Ok;
}

bool classicLsnAgrees(std::span<const std::uint8_t> page)
{
    return u32At(page, kLsnLowPos) == u32At(page, page.size() - 4);
}

} // namespace

std::uint32_t crc32c(std::span<const std::uint8_t> bytes, std::uint32_t crc)
{
    crc = ~crc;
#if defined(__x86_64__)
    if (hasCrcInstruction())
        return ~crc32cHardware(bytes, crc);
#endif
    return ~crc32cSoftware(bytes, crc);
}

std::uint32_t crc32cPortable(std::span<const std::uint8_t> bytes, std::uint32_t crc)
{
    return ~crc32cSoftware(bytes, ~crc);
}

PageCheck verifyPage(std::span<const std::uint8_t> page)
{
    const std::uint64_t size = page.size();
    if (size < kMinPageSize || size > kMaxPageSize || !std::has_single_bit(size))
        return {PageIntegrity::Damaged, "the page has " + std::to_string(size) + " bytes"};
    if (isEmptyPage(page))
        return {PageIntegrity::Empty, {}};
    // Under "none" no checksum covers the bytes: then the two LSN copies are
    // the only sign of a page that was written only in part.
    if (fullCrc32Matches(page))
        return fullCrc32LsnAgrees(page) ? PageCheck{} : PageCheck{PageIntegrity::Damaged, kLsnMismatch};
    if (classicChecksumsMatch(page))
        return classicLsnAgrees(page) ? PageCheck{} : PageCheck{PageIntegrity::Damaged, kLsnMismatch};
    return {PageIntegrity::Damaged, "its checksum does not match its bytes"};
}

} // namespace recovery::innodb
