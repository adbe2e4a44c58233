#pragma once

#include "platform/Result.h"

#include <cstdint>
#include <span>

namespace recovery::innodb {

// The state of an undo log segment as its first page records it.
enum class UndoSegmentState : std::uint16_t {
    Active = 1,    // the transaction neither committed nor rolled back
    Cached = 2,    // kept for reuse; its last log committed
    ToFree = 3,    // an insert undo log of a committed transaction
    ToPurge = 4,   // an update undo log of a committed transaction
    Prepared = 5,  // an XA transaction prepared and not yet decided
};

// What the first page of an undo log segment says of its last undo log.
struct UndoSegmentHeader {
    UndoSegmentState state = UndoSegmentState::Cached;
    std::uint64_t transactionId = 0;  // of the segment's last undo log
    bool xidPresent = false;          // the log header carries an XA XID
    // Whether the transaction that wrote the last log was still open.
    bool open() const { return state == UndoSegmentState::Active || state == UndoSegmentState::Prepared; }
};

// Reads the segment header and last log header of an undo log segment's
// first page. The page's checksums are the caller's concern; a page of
// another type, an unknown state or a log header outside the page is an
// error that names the offset (pageOffset: the page's place in its file).
class InnodbUndoLogHeader {
public:
    static platform::Result<UndoSegmentHeader> parse(std::span<const std::uint8_t> page, std::uint64_t pageOffset);
};

} // namespace recovery::innodb
