#pragma once

#include "model/RowValue.h"
#include "platform/Result.h"

#include <cstdint>

namespace recovery::myisam {

struct MyisamColumnLayout;
struct MyisamRecord;

// Turns one column of a MyISAM record (static, or dynamic once unpacked)
// into the value both outputs need: the text the server shows, and for
// character, binary, BIT and spatial columns the stored bytes.
class MyisamColumnDecoder {
public:
    // Preview text of binary values longer than this (MEDIUM and LONG blobs).
    static constexpr std::uint64_t kLargeValuePreviewBytes = 256;

    // Damaged bytes (a length past its field, a DECIMAL or temporal value out
    // of range, a field outside the record) give an error naming the offset
    // in the record image.
    static platform::Result<engine::RowValue> decode(const MyisamColumnLayout& column, const MyisamRecord& record);
};

} // namespace recovery::myisam
