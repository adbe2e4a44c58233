#pragma once

#include "platform/Result.h"

#include <cstdint>
#include <optional>
#include <span>

namespace platform {

// A bounds-checked cursor over bytes it does not own. Every read passes one
// overflow-safe gate; a read that does not fit returns zero, leaves the
// position where it was and records the first error (sticky), so a run of
// reads can be checked once at the end with `if (!reader)`.
class ByteReader {
public:
    ByteReader() = default;
    // base: the absolute offset of bytes[0] in its file, used in error offsets.
    explicit ByteReader(std::span<const std::uint8_t> bytes, std::uint64_t base = 0);

    std::uint64_t size() const { return m_bytes.size(); }
    std::uint64_t pos() const { return m_pos; }
    std::uint64_t remaining() const { return m_bytes.size() - m_pos; }
    std::uint64_t base() const { return m_base; }

    // True when len bytes starting at pos lie inside the view.
    bool canRead(std::uint64_t pos, std::uint64_t len) const;

    bool seek(std::uint64_t pos);
    bool skip(std::uint64_t len);

    std::uint8_t u8();
    std::uint16_t u16le();
    std::uint16_t u16be();
    std::uint32_t u24le();
    std::uint32_t u24be();
    std::uint32_t u32le();
    std::uint32_t u32be();
    std::uint64_t u64le();
    std::uint64_t u64be();
    // n = 0..8 bytes, most significant first; n > 8 is an error.
    std::uint64_t uintBe(unsigned n);
    // n = 0..8 bytes, least significant first; n > 8 is an error.
    std::uint64_t uintLe(unsigned n);

    // The next len bytes (empty on error).
    std::span<const std::uint8_t> bytes(std::uint64_t len);

    // A reader over [pos, pos + len) of this view, positioned at its start.
    // Out of range gives an empty reader carrying the error.
    ByteReader sub(std::uint64_t pos, std::uint64_t len) const;

    explicit operator bool() const { return !m_error.has_value(); }
    const std::optional<DecodeError>& error() const { return m_error; }
    void clearError() { m_error.reset(); }

private:
    // The one gate: may len bytes be read at the current position?
    bool take(std::uint64_t len, const char* what);
    void fail(DecodeErrorCode code, std::uint64_t pos, std::uint64_t len, const char* what);

    std::span<const std::uint8_t> m_bytes;
    std::uint64_t m_pos = 0;
    std::uint64_t m_base = 0;
    std::optional<DecodeError> m_error;
};

} // namespace platform
