#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace platform {

enum class DecodeErrorCode {
    OutOfRange,   // a read or a sub-range past the end of the bytes
    ShortRead,    // the file ended before the bytes asked for
    NotOpen,      // no file to read from
    IoError,      // the operating system refused the read
    Corrupt,      // the bytes were read but make no sense
    DamagedValue, // one value's bytes make no sense; the record around it is sound
    Stopped,      // the user stopped the work before it was done
};

// What went wrong and where. The offset is absolute in the file (or buffer)
// that was being decoded, so the boundary can log "file at offset N".
struct DecodeError {
    DecodeErrorCode code = DecodeErrorCode::Corrupt;
    std::uint64_t offset = 0;
    std::string what;
};

// Bytes that were read but make no sense (damaged input): the one way every
// decoder words it, so the boundary logs them all alike.
inline DecodeError corrupt(std::uint64_t offset, std::string what)
{
    return DecodeError{DecodeErrorCode::Corrupt, offset, std::move(what)};
}

// A value or the error that kept us from decoding it. Decoders return these;
// only the scan and repair boundary logs them.
template <typename T>
class Result {
public:
    Result(T value) : m_state(std::move(value)) {}               // NOLINT: implicit by design
    Result(DecodeError error) : m_state(std::move(error)) {}     // NOLINT: implicit by design

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<T>(m_state); }
    T& value() & { return std::get<T>(m_state); }
    T&& value() && { return std::get<T>(std::move(m_state)); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

    const DecodeError& error() const { return std::get<DecodeError>(m_state); }

    T valueOr(T fallback) const { return ok() ? value() : std::move(fallback); }

private:
    std::variant<T, DecodeError> m_state;
};

} // namespace platform
