#include "recovery/innodb/InnodbTransactionSystem.h"

#include "platform/ByteReader.h"
#include "platform/DataFile.h"
#include "recovery/innodb/InnodbChecksum.h"
#include "recovery/innodb/InnodbPage.h"
#include "recovery/innodb/InnodbUndoLogHeader.h"

#include <map>
#include <string>

// The transaction system page, page 5 of the shared tablespace (all numbers
// big-endian; the same in MySQL 5.5 to 5.7 and MariaDB 5.5 to 10.11, checked
// against what MariaDB 10.11 writes with and without undo tablespaces):
//
// | Offset     | Size | Field                 | Meaning                                      |
// |------------|------|-----------------------|----------------------------------------------|
// | 24         | 2    | FIL_PAGE_TYPE         | 7: the transaction system page               |
// | 38         | 8    | TRX_SYS_TRX_ID_STORE  | transaction ids given out (0 in MariaDB 10.3+)|
// | 46         | 10   | TRX_SYS_FSEG_HEADER   |                                              |
// | 56 + 8 i   | 4    | rollback segment i    | its tablespace id: 0 the shared one, else an |
// |            |      | space                 | undo tablespace (MySQL 5.6+, MariaDB 10.0+)  |
// | 60 + 8 i   | 4    | rollback segment i    | its header page; 0xFFFFFFFF: slot unused     |
// |            |      | page                  | (i = 0..127)                                 |
//
// A rollback segment header page:
//
// | Offset     | Size | Field                 | Meaning                                      |
// |------------|------|-----------------------|----------------------------------------------|
// | 38         | 4    | TRX_RSEG_MAX_SIZE     | (TRX_RSEG_FORMAT, 0, since MariaDB 10.3)     |
// | 42         | 4    | TRX_RSEG_HISTORY_SIZE | pages of committed logs awaiting purge       |
// | 46         | 16   | TRX_RSEG_HISTORY      | list base of those logs                      |
// | 62         | 10   | TRX_RSEG_FSEG_HEADER  |                                              |
// | 72 + 4 k   | 4    | undo slot k           | first page of an undo log segment in use,    |
// |            |      |                       | 0xFFFFFFFF: free (k = 0..1023 on 16 KiB pages)|
//
// Each segment's first page: InnodbUndoLogHeader. The undo tablespaces
// (undo001, ...) carry their space id at offset 34 of each page.

namespace recovery::innodb {

using platform::DataFile;
using platform::Result;

namespace {

constexpr std::uint64_t kTrxSysPage = 5;
constexpr std::uint16_t kPageTypeTrxSys = 7;
constexpr std::uint64_t kRsegSlots = 56;
constexpr std::uint64_t kRsegSlotSize = 8;
constexpr std::uint64_t kRsegCount = 128;
constexpr std::uint64_t kUndoSlots = 72;
constexpr std::uint64_t kUndoSlotCount = kPageSize / 16;
constexpr std::uint64_t kSpaceIdAt = 34;

// A page of a tablespace, its checksums verified. what: for errors.
Result<std::vector<std::uint8_t>> readCheckedPage(const DataFile& file, std::uint64_t pageNo, const std::string& what)
{
    if (pageNo >= file.size() / kPageSize)
        return platform::corrupt(pageNo * kPageSize, what + " at page " + std::to_string(pageNo) + " of "
                                                         + file.path() + ", past its end");
    auto bytes = file.readExactly(pageNo * kPageSize, kPageSize);
    if (!bytes)
        return bytes.error();
    const PageCheck check = verifyPage(*bytes);
    if (check.integrity != PageIntegrity::Valid)
        return platform::corrupt(pageNo * kPageSize, what + " (page " + std::to_string(pageNo) + " of " + file.path()
                                                         + ") is "
                                                         + (check.integrity == PageIntegrity::Empty
                                                                ? std::string("empty")
                                                                : "damaged: " + check.what));
    return bytes;
}

void addSorted(std::vector<std::uint64_t>& ids, std::uint64_t id)
{
    const auto at = std::lower_bound(ids.begin(), ids.end(), id);
    if (at == ids.end() || *at != id)
        ids.insert(at, id);
}

} // namespace

Result<OpenTransactions> InnodbTransactionSystem::read(const DataFile& ibdata,
                                                       const std::vector<const DataFile*>& undoTablespaces)
{
    std::map<std::uint32_t, const DataFile*> spaces{{0u, &ibdata}};
    for (const DataFile* file : undoTablespaces) {
        auto first = file->readExactly(kSpaceIdAt, 4);
        if (first)
            spaces.emplace(platform::ByteReader(*first).u32be(), file);
    }

    auto sys = readCheckedPage(ibdata, kTrxSysPage, "the transaction system page");
    if (!sys)
        return sys.error();
    platform::ByteReader r(*sys, kTrxSysPage * kPageSize);
    r.seek(kFilPageType);
    if (const std::uint16_t type = r.u16be(); type != kPageTypeTrxSys)
        return platform::corrupt(kTrxSysPage * kPageSize + kFilPageType,
                                 "page 5 of " + ibdata.path() + " has type " + std::to_string(type)
                                     + ", not that of the transaction system page");

    OpenTransactions open;
    for (std::uint64_t i = 0; i < kRsegCount; ++i) {
        r.seek(kRsegSlots + i * kRsegSlotSize);
        const std::uint32_t space = r.u32be();
        const std::uint32_t page = r.u32be();
        if (!r)
            return *r.error();
        if (page == kFilNull)
            continue;
        const auto file = spaces.find(space);
        if (file == spaces.end())
            return platform::corrupt(kTrxSysPage * kPageSize + kRsegSlots + i * kRsegSlotSize,
                                     "rollback segment " + std::to_string(i) + " is in tablespace "
                                         + std::to_string(space) + ", and no undo tablespace beside "
                                         + ibdata.path() + " has that id");
        auto rseg = readCheckedPage(*file->second, page, "rollback segment " + std::to_string(i));
        if (!rseg)
            return rseg.error();
        platform::ByteReader undoSlots(*rseg, std::uint64_t{page} * kPageSize);
        undoSlots.seek(kUndoSlots);
        for (std::uint64_t k = 0; k < kUndoSlotCount; ++k) {
            const std::uint32_t undoPage = undoSlots.u32be();
            if (!undoSlots)
                return *undoSlots.error();
            if (undoPage == kFilNull)
                continue;
            auto undo = readCheckedPage(*file->second, undoPage, "an undo log of rollback segment " + std::to_string(i));
            if (!undo)
                return undo.error();
            auto header = InnodbUndoLogHeader::parse(*undo, std::uint64_t{undoPage} * kPageSize);
            if (!header)
                return platform::corrupt(header.error().offset, "the undo log on page " + std::to_string(undoPage)
                                                                    + " of " + file->second->path() + ": "
                                                                    + header.error().what);
            if (header->state == UndoSegmentState::Active)
                addSorted(open.active, header->transactionId);
            else if (header->state == UndoSegmentState::Prepared)
                addSorted(open.prepared, header->transactionId);
        }
    }
    return open;
}

} // namespace recovery::innodb
