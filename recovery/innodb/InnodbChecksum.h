#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace recovery::innodb {

// What a page's stored checksums and LSN copies say of its bytes.
enum class PageIntegrity {
    Valid,    // a checksum of a supported algorithm matches and the LSN copies agree
    Empty,    // every byte zero: a page the server allocated but never wrote
    Damaged,  // no checksum matches, or the two LSN copies differ
};

struct PageCheck {
    PageIntegrity integrity = PageIntegrity::Valid;
    std::string what;  // for Damaged: which check failed
};

// CRC-32C (Castagnoli) of bytes, continuing from crc (0 to start). Uses the
// processor's CRC instruction where it has one.
std::uint32_t crc32c(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);
// The same without the processor's instruction (what crc32c falls back to).
std::uint32_t crc32cPortable(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

// Verifies one page (its size a power of two from 4 KiB to 64 KiB; any other
// size is Damaged). A page is accepted when it verifies under either layout a
// server writes: full_crc32 (MariaDB 10.5 and later), or the classic one with
// crc32, the legacy InnoDB fold checksum or "none" in its two checksum fields,
// as the server accepts them. Trying both needs no trust in page 0's flags,
// which may be the damaged page; a random page passes by chance with
// odds of about 2^-32. Never reads past the page.
PageCheck verifyPage(std::span<const std::uint8_t> pageBytes);

} // namespace recovery::innodb
