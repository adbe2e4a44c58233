#pragma once

#include "platform/Result.h"

#include <cstdint>
#include <span>
#include <vector>

namespace recovery::myisam {

class MyisamRowLayout;

// One live record, as the server holds it in memory: the fixed-size record
// image, and for a dynamic record the blob values that follow their length
// in the packed bytes.
struct MyisamRecord {
    std::uint64_t m_pos = 0;              // its first block or slot in the data file
    std::vector<std::uint8_t> m_image;    // layout.m_recordLength bytes
    std::vector<std::uint8_t> m_packed;   // dynamic rows: the record's bytes gathered from its blocks
    // Per index-file field: where a blob's value lies in m_packed.
    struct Span {
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
    };
    std::vector<Span> m_blobs;
    // Dynamic rows: bytes of m_packed the fields took (a checksum byte may follow).
    std::uint64_t m_packedUsed = 0;

    // The bytes of a blob field (empty when it has none).
    std::span<const std::uint8_t> blob(std::int32_t fieldDef) const;

    // Unpacks m_packed (a dynamic record) into m_image and m_blobs, as the
    // server packs it: flag bytes, then each field as its index-file type
    // says. Damaged bytes (a length past the record, bytes left over) give
    // an error with its offset counted from the record's first data byte.
    platform::Result<bool> unpack(const MyisamRowLayout& layout);
};

} // namespace recovery::myisam
