#include "recovery/innodb/InnodbUndoLogHeader.h"

#include "platform/ByteReader.h"
#include "recovery/innodb/InnodbPage.h"

#include <string>

// The first page of an undo log segment (all numbers big-endian; the same in
// MySQL 5.5 to 5.7 and MariaDB 5.5 to 10.11, checked against what MariaDB
// 10.11 writes):
//
// | Offset | Size | Field                | Meaning                                          |
// |--------|------|----------------------|--------------------------------------------------|
// | 24     | 2    | FIL_PAGE_TYPE        | 2: an undo log page                              |
// | 38     | 2    | TRX_UNDO_PAGE_TYPE   | 1 insert, 2 update (0 since MariaDB 10.3, which  |
// |        |      |                      | keeps both in one log)                           |
// | 40     | 2    | TRX_UNDO_PAGE_START  | where this page's records of the latest log start|
// | 42     | 2    | TRX_UNDO_PAGE_FREE   | first free byte                                  |
// | 44     | 12   | TRX_UNDO_PAGE_NODE   | list node of the segment's pages                 |
// | 56     | 2    | TRX_UNDO_STATE       | 1 active, 2 cached, 3 to free, 4 to purge,       |
// |        |      |                      | 5 prepared (XA)                                  |
// | 58     | 2    | TRX_UNDO_LAST_LOG    | page offset of the last undo log header (86 for  |
// |        |      |                      | the first log of a segment), 0: none             |
// | 60     | 10   | TRX_UNDO_FSEG_HEADER | the file segment                                 |
// | 70     | 16   | TRX_UNDO_PAGE_LIST   | list base of the segment's pages                 |
//
// An undo log header (several may share the first page of a cached segment;
// the last one is the segment's current transaction), offsets from its start:
//
// | Offset | Size | Field                | Meaning                                          |
// |--------|------|----------------------|--------------------------------------------------|
// | 0      | 8    | TRX_UNDO_TRX_ID      | the transaction's id: DB_TRX_ID of its records   |
// | 8      | 8    | TRX_UNDO_TRX_NO      | its commit number, once committed                |
// | 16     | 2    | TRX_UNDO_DEL_MARKS   |                                                  |
// | 18     | 2    | TRX_UNDO_LOG_START   | its first undo record                            |
// | 20     | 1    | TRX_UNDO_XID_EXISTS  | nonzero: an XA XID follows at 46                 |
// | 21     | 1    | TRX_UNDO_DICT_TRANS  |                                                  |
// | 22     | 8    | TRX_UNDO_TABLE_ID    |                                                  |
// | 30, 32 | 2, 2 | next / previous log  | header offsets on this page, 0: none             |
// | 34     | 12   | TRX_UNDO_HISTORY_NODE|                                                  |
// | 46     | 140  | XID                  | format id, lengths, 128 bytes of data            |
//
// The server takes a segment whose state is active or prepared as an open
// transaction of the id in its last log header; the others committed.

namespace recovery::innodb {

namespace {

constexpr std::uint16_t kPageTypeUndoLog = 2;
constexpr std::uint64_t kUndoSegmentHeader = 56;
constexpr std::uint64_t kUndoLastLog = 58;
// The first log header lies right after the segment header; none lies closer.
constexpr std::uint64_t kFirstLogHeader = 86;
constexpr std::uint64_t kLogHeaderSize = 46;
constexpr std::uint64_t kLogXidExists = 20;

} // namespace

platform::Result<UndoSegmentHeader> InnodbUndoLogHeader::parse(std::span<const std::uint8_t> page,
                                                               std::uint64_t pageOffset)
{
    platform::ByteReader r(page, pageOffset);
    if (page.size() != kPageSize)
        return platform::corrupt(pageOffset, "an undo log page of " + std::to_string(page.size()) + " bytes");
    r.seek(kFilPageType);
    const std::uint16_t type = r.u16be();
    r.seek(kUndoSegmentHeader);
    const std::uint16_t state = r.u16be();
    r.seek(kUndoLastLog);
    const std::uint64_t last = r.u16be();
    if (!r)
        return *r.error();
    if (type != kPageTypeUndoLog)
        return platform::corrupt(pageOffset + kFilPageType,
                                 "page type " + std::to_string(type) + " where an undo log page should be");
    if (state < static_cast<std::uint16_t>(UndoSegmentState::Active)
        || state > static_cast<std::uint16_t>(UndoSegmentState::Prepared))
        return platform::corrupt(pageOffset + kUndoSegmentHeader, "undo log state " + std::to_string(state));
    UndoSegmentHeader header;
    header.state = static_cast<UndoSegmentState>(state);
    if (!header.open())
        return header;
    if (last < kFirstLogHeader || last + kLogHeaderSize > kPageSize - kFilTrailerSize)
        return platform::corrupt(pageOffset + kUndoLastLog, "last undo log header at " + std::to_string(last));
    r.seek(last);
    header.transactionId = r.u64be();
    r.seek(last + kLogXidExists);
    header.xidPresent = r.u8() != 0;
    if (!r)
        return *r.error();
    if (header.transactionId == 0)
        return platform::corrupt(pageOffset + last, "an open undo log of transaction 0");
    return header;
}

} // namespace recovery::innodb
