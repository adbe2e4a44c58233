#include "recovery/CompressedValue.h"

#include "recovery/ColumnStorage.h"

#include <zlib.h>

#include <algorithm>
#include <string>

// A stored value of a COMPRESSED column (n = its stored bytes, 0 = empty,
// no header):
//
// | Offset | Size | Meaning                                                  |
// |--------|------|----------------------------------------------------------|
// | 0      | 1    | header: bits 4-7 the method (0 = as is, 8 = zlib)         |
// |        |      | zlib: bit 3 set = raw deflate, clear = zlib-wrapped;     |
// |        |      | bits 0-2 = k, the bytes of the length below              |
// | 1      | n-1  | method 0: the value                                      |
// | 1      | k    | method 8: the value's length, big-endian                 |
// | 1 + k  | rest | method 8: the deflate stream                             |

namespace recovery {

using platform::DecodeError;
using platform::DecodeErrorCode;
using platform::Result;

namespace {

// The value is lost; the record that holds it is not.
DecodeError damaged(std::uint64_t offset, std::string what)
{
    return DecodeError{DecodeErrorCode::DamagedValue, offset, std::move(what)};
}

constexpr unsigned kMethodAsIs = 0;
constexpr unsigned kMethodZlib = 8;
constexpr std::uint8_t kRawDeflateBit = 0x08;
constexpr std::uint8_t kLengthBytesMask = 0x07;
// The server states a length in 1 to 4 bytes.
constexpr unsigned kMaxLengthBytes = 4;
// The first output buffer; it doubles as the stream asks, up to the stated length.
constexpr std::uint64_t kFirstOutputBytes = 64 * 1024;

QByteArray toBytes(std::span<const std::uint8_t> bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// The deflate stream into exactly `stated` bytes. One byte more is made room
// for, so a stream that would run past its stated length is caught.
Result<QByteArray> inflateStream(std::span<const std::uint8_t> deflated, bool raw, std::uint64_t stated,
                                 std::uint64_t offset)
{
    if (deflated.size() > UINT32_MAX)
        return damaged(offset, "compressed value too long to inflate");
    z_stream stream{};
    if (inflateInit2(&stream, raw ? -MAX_WBITS : MAX_WBITS) != Z_OK)
        return damaged(offset, "compressed value: inflate could not start");
    stream.next_in = const_cast<Bytef*>(deflated.data());
    stream.avail_in = static_cast<uInt>(deflated.size());
    const std::uint64_t limit = stated + 1;
    QByteArray out;
    out.resize(static_cast<qsizetype>(std::min(limit, kFirstOutputBytes + 4 * std::uint64_t{deflated.size()})));
    int rc = Z_OK;
    for (;;) {
        const std::uint64_t done = stream.total_out;
        stream.next_out = reinterpret_cast<Bytef*>(out.data()) + done;
        stream.avail_out = static_cast<uInt>(static_cast<std::uint64_t>(out.size()) - done);
        rc = inflate(&stream, Z_NO_FLUSH);
        if (rc == Z_STREAM_END || (rc != Z_OK && rc != Z_BUF_ERROR))
            break;
        if (stream.avail_out > 0)  // the input ended before the stream did
            break;
        const auto size = static_cast<std::uint64_t>(out.size());
        if (size >= limit)
            break;
        out.resize(static_cast<qsizetype>(std::min(limit, 2 * size)));
    }
    const std::uint64_t produced = stream.total_out;
    const std::string message = stream.msg ? stream.msg : "";
    inflateEnd(&stream);
    if (rc != Z_STREAM_END) {
        if (produced > stated)
            return damaged(offset, "compressed value longer than its stated " + std::to_string(stated) + " bytes");
        return damaged(offset, "compressed value does not inflate"
                                   + (message.empty() ? std::string(" (cut short)") : " (" + message + ")"));
    }
    if (produced != stated)
        return damaged(offset, "compressed value of " + std::to_string(produced) + " bytes where its header states "
                                   + std::to_string(stated));
    out.resize(static_cast<qsizetype>(produced));
    return out;
}

} // namespace

std::uint64_t CompressedValue::maxLength(engine::ColumnTypeCode code, std::uint32_t length)
{
    if (const std::uint8_t prefix = ColumnStorage::blobLengthBytes(code))
        return (std::uint64_t{1} << (8 * prefix)) - 1;
    return length;
}

Result<QByteArray> CompressedValue::expand(std::span<const std::uint8_t> stored, std::uint64_t maxLength,
                                           std::uint64_t offset)
{
    if (stored.empty())
        return QByteArray();
    const std::uint8_t header = stored[0];
    const unsigned method = header >> 4;
    if (method == kMethodAsIs) {
        if (stored.size() - 1 > maxLength)
            return damaged(offset, "compressed column value of " + std::to_string(stored.size() - 1)
                                       + " bytes, more than its column holds");
        return toBytes(stored.subspan(1));
    }
    if (method != kMethodZlib)
        return damaged(offset, "compressed column value with the unknown method " + std::to_string(method));
    const unsigned lengthBytes = header & kLengthBytesMask;
    if (lengthBytes == 0 || lengthBytes > kMaxLengthBytes || stored.size() < 1u + lengthBytes)
        return damaged(offset, "compressed column value without its length");
    std::uint64_t stated = 0;
    for (unsigned i = 1; i <= lengthBytes; ++i)
        stated = stated << 8 | stored[i];
    if (stated > maxLength)
        return damaged(offset, "compressed column value of " + std::to_string(stated)
                                   + " bytes, more than its column holds");
    return inflateStream(stored.subspan(1 + lengthBytes), (header & kRawDeflateBit) != 0, stated, offset);
}

} // namespace recovery
