#include "platform/ByteReader.h"

#include <string>

namespace platform {

ByteReader::ByteReader(std::span<const std::uint8_t> bytes, std::uint64_t base)
    : m_bytes(bytes), m_base(base)
{
}

bool ByteReader::canRead(std::uint64_t pos, std::uint64_t len) const
{
    // Written so that pos + len cannot wrap around.
    return pos <= m_bytes.size() && len <= m_bytes.size() - pos;
}

void ByteReader::fail(DecodeErrorCode code, std::uint64_t pos, std::uint64_t len, const char* what)
{
    if (m_error)
        return; // the first error is the one worth reporting
    m_error = DecodeError{code, m_base + pos,
                          std::string(what) + ": " + std::to_string(len) + " bytes at offset "
                              + std::to_string(m_base + pos) + " past the end ("
                              + std::to_string(m_bytes.size()) + " bytes)"};
}

bool ByteReader::take(std::uint64_t len, const char* what)
{
    if (canRead(m_pos, len))
        return true;
    fail(DecodeErrorCode::OutOfRange, m_pos, len, what);
    return false;
}

bool ByteReader::seek(std::uint64_t pos)
{
    if (pos > m_bytes.size()) {
        fail(DecodeErrorCode::OutOfRange, pos, 0, "seek");
        return false;
    }
    m_pos = pos;
    return true;
}

bool ByteReader::skip(std::uint64_t len)
{
    if (!take(len, "skip"))
        return false;
    m_pos += len;
    return true;
}

std::uint64_t ByteReader::uintBe(unsigned n)
{
    if (n > 8) {
        fail(DecodeErrorCode::OutOfRange, m_pos, n, "integer wider than 8 bytes");
        return 0;
    }
    if (!take(n, "read"))
        return 0;
    std::uint64_t v = 0;
    for (unsigned k = 0; k < n; ++k)
        v = (v << 8) | m_bytes[m_pos + k];
    m_pos += n;
    return v;
}

std::uint64_t ByteReader::uintLe(unsigned n)
{
    if (n > 8) {
        fail(DecodeErrorCode::OutOfRange, m_pos, n, "integer wider than 8 bytes");
        return 0;
    }
    if (!take(n, "read"))
        return 0;
    std::uint64_t v = 0;
    for (unsigned k = n; k > 0; --k)
        v = (v << 8) | m_bytes[m_pos + k - 1];
    m_pos += n;
    return v;
}

std::uint8_t ByteReader::u8() { return static_cast<std::uint8_t>(uintBe(1)); }
std::uint16_t ByteReader::u16le() { return static_cast<std::uint16_t>(uintLe(2)); }
std::uint16_t ByteReader::u16be() { return static_cast<std::uint16_t>(uintBe(2)); }
std::uint32_t ByteReader::u24le() { return static_cast<std::uint32_t>(uintLe(3)); }
std::uint32_t ByteReader::u24be() { return static_cast<std::uint32_t>(uintBe(3)); }
std::uint32_t ByteReader::u32le() { return static_cast<std::uint32_t>(uintLe(4)); }
std::uint32_t ByteReader::u32be() { return static_cast<std::uint32_t>(uintBe(4)); }
std::uint64_t ByteReader::u64le() { return uintLe(8); }
std::uint64_t ByteReader::u64be() { return uintBe(8); }

std::span<const std::uint8_t> ByteReader::bytes(std::uint64_t len)
{
    if (!take(len, "read"))
        return {};
    auto out = m_bytes.subspan(m_pos, len);
    m_pos += len;
    return out;
}

ByteReader ByteReader::sub(std::uint64_t pos, std::uint64_t len) const
{
    if (!canRead(pos, len)) {
        ByteReader empty({}, m_base + pos);
        empty.m_error = DecodeError{DecodeErrorCode::OutOfRange, m_base + pos,
                                    "sub-range: " + std::to_string(len) + " bytes at offset "
                                        + std::to_string(m_base + pos) + " past the end ("
                                        + std::to_string(m_bytes.size()) + " bytes)"};
        return empty;
    }
    return ByteReader(m_bytes.subspan(pos, len), m_base + pos);
}

} // namespace platform
