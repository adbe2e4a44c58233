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
    // A MEDIUM or LONG blob or text longer than this shows a placeholder in
    // the preview.
    static constexpr std::uint64_t kLargeValuePreviewBytes = 256;

    // What a value is read for: a repair (and the test tools that check the
    // readers) takes every value whole; the preview shows a large value's
    // placeholder and copies none of its bytes.
    enum class Use { Whole, Preview };

    // Damaged bytes (a length past its field, a DECIMAL or temporal value out
    // of range, a field outside the record) give an error naming the offset
    // in the record image.
    static platform::Result<engine::RowValue> decode(const MyisamColumnLayout& column, const MyisamRecord& record,
                                                     Use use = Use::Whole);
};

} // namespace recovery::myisam
