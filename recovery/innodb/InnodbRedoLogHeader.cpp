#include "recovery/innodb/InnodbRedoLogHeader.h"

#include "platform/ByteReader.h"
#include "platform/DataFile.h"
#include "recovery/innodb/InnodbChecksum.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

// ib_logfile0, all numbers big-endian.
//
// MariaDB 10.8 and later (one file; checked against what MariaDB 10.11 writes):
//
// | Offset        | Size | Field           | Meaning                                          |
// |---------------|------|-----------------|--------------------------------------------------|
// | 0             | 4    | format          | 0x50687973 "Phys"; 0xf09f979d: encrypted, as     |
// |               |      |                 | MariaDB 10.11.15 and later write an encrypted log|
// | 8             | 8    | first LSN       | the LSN of the byte at offset 0x3000             |
// | 16            | 32   | creator         | "MariaDB 10.11.19", zero-padded                  |
// | 48            | 4    | key version     | not 0: encrypted (the key's version, then what   |
// |               |      |                 | the key is derived with); 0: not encrypted       |
// | 508           | 4    | CRC-32C         | of bytes 0..507                                  |
// | 0x1000,0x2000 | 8    | checkpoint LSN  | the two checkpoint blocks; the greater valid     |
// |               |      |                 | checkpoint LSN is the latest                     |
// |     +8        | 8    | end LSN         | where the checkpoint's FILE_CHECKPOINT record    |
// |               |      |                 | starts: the log's end when it was written        |
// |     +60       | 4    | CRC-32C         | of the block's bytes 0..59                       |
// | 0x3000        |      | records         | LSN n at 0x3000 + (n - first LSN) mod capacity,  |
// |               |      |                 | capacity = file size - 0x3000 (a ring)           |
//
// Records come in mini-transactions: records, then a byte 0 or 1 (the
// sequence bit: 1 on the ring's even laps counted from the first LSN, 0 on
// odd ones, so bytes left from the lap before never pass), then the CRC-32C
// of the records. An encrypted log puts an 8-byte nonce between the
// sequence byte and the CRC-32C, which then covers the records and the
// nonce; only the bytes after each record's length are encrypted.
// A record's first byte is above 1; its low 4 bits are the count of bytes
// that follow, or 0: a varint follows and the count is its value + 15.
// Varint: 0xxxxxxx (1 byte); 10xxxxxx +1 byte, + 0x80; 110xxxxx +2, + 0x4080; 1110xxxx +3, + 0x204080; 11110000 +4, + 0x10204080.
// A length of 1 MiB or more is no record.
// A clean shutdown ends the log with the last checkpoint's own
// mini-transaction at its end LSN (end LSN = checkpoint LSN); after a crash
// more follow, or the end LSN is past the checkpoint LSN.
//
// The older format (MySQL 5.7.9 and later 5.7, MariaDB 10.2 to 10.7), in
// 512-byte blocks:
//
// | Offset    | Size | Field           | Meaning                                            |
// |-----------|------|-----------------|----------------------------------------------------|
// | 0         | 4    | format          | 1 (MySQL 5.7.9, MariaDB 10.2), 103 (10.3), 104     |
// |           |      |                 | (10.4), 0x50485953 (10.5); MariaDB: bit 31 =       |
// |           |      |                 | encrypted. 0: MySQL 5.6 and before, not read here  |
// | 8         | 8    | start LSN       |                                                    |
// | 508       | 4    | CRC-32C         | of the block's bytes 0..507                        |
// | 512, 1536 | 8    | checkpoint no   | the two checkpoint blocks; the greater valid       |
// |           |      |                 | number is the latest                               |
// |   +8      | 8    | checkpoint LSN  |                                                    |
// |   +508    | 4    | CRC-32C         | of the block's bytes 0..507                        |
//
// Those servers write the LSN of a clean shutdown to the shared tablespace's
// page 0 (FIL_PAGE_FILE_FLUSH_LSN, offset 26, 8 bytes), at or past the last
// checkpoint. A checkpoint past it means the server ran on after that
// shutdown and stopped without another.

namespace recovery::innodb {

using platform::ByteReader;

namespace {

constexpr std::uint64_t kFlushLsnPos = 26;

constexpr std::uint32_t kFormatEncrypted = 1u << 31;
constexpr std::uint32_t kFormatCurrent = 0x50687973;
constexpr std::uint32_t kFormatCurrentEncrypted = 0xf09f979d;
constexpr std::uint64_t kFirstLsnPos = 8;
constexpr std::uint64_t kKeyVersionPos = 48;
constexpr std::uint64_t kNonceSize = 8;
constexpr std::uint64_t kHeaderCrcPos = 508;
constexpr std::array<std::uint64_t, 2> kCheckpointBlocks = {0x1000, 0x2000};
constexpr std::uint64_t kCheckpointCrcPos = 60;
constexpr std::uint64_t kStartOffset = 0x3000;
// How much of the ring after the checkpoint is read: the checkpoint's own
// mini-transaction (one record per changed file) and the one after it.
constexpr std::uint64_t kWindow = 4ull << 20;
constexpr std::uint64_t kMaxRecordLength = 1ull << 20;

constexpr std::array<std::uint32_t, 4> kOlderFormats = {1, 103, 104, 0x50485953};
constexpr std::uint64_t kOlderBlock = 512;
constexpr std::array<std::uint64_t, 2> kOlderCheckpointBlocks = {512, 1536};
constexpr std::uint64_t kOlderCrcPos = 508;

RedoLogState unknown(std::string why)
{
    return RedoLogState{RedoLogVerdict::Unknown, 0, std::move(why)};
}

// Whether the CRC-32C stored at crcPos of the block matches its bytes before it.
bool crcMatches(const ByteReader& file, std::uint64_t block, std::uint64_t crcPos)
{
    ByteReader covered = file.sub(block, crcPos);
    const auto bytes = covered.bytes(crcPos);
    ByteReader stored = file.sub(block + crcPos, 4);
    const std::uint32_t crc = stored.u32be();
    return covered && stored && crc32c(bytes) == crc;
}

// Whether the block was never written (all zero), as a log's second
// checkpoint block is until its second checkpoint.
bool neverWritten(const ByteReader& file, std::uint64_t block, std::uint64_t size)
{
    ByteReader r = file.sub(block, size);
    const auto bytes = r.bytes(size);
    return r && std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

struct Ring {
    std::uint64_t firstLsn = 0;
    std::uint64_t capacity = 0;
    std::uint64_t nonceSize = 0;  // between a mini-transaction's sequence byte and its CRC-32C
    std::uint64_t offsetOf(std::uint64_t lsn) const { return kStartOffset + (lsn - firstLsn) % capacity; }
    std::uint8_t sequenceBit(std::uint64_t lsn) const { return ((lsn - firstLsn) / capacity) % 2 == 0 ? 1 : 0; }
};

// The ring's bytes from LSN `from` on, up to len of them, unwrapped.
std::optional<std::vector<std::uint8_t>> readRing(const platform::DataFile& file, const Ring& ring,
                                                  std::uint64_t from, std::uint64_t len)
{
    std::vector<std::uint8_t> out;
    out.reserve(len);
    std::uint64_t lsn = from;
    while (out.size() < len) {
        const std::uint64_t offset = ring.offsetOf(lsn);
        const std::uint64_t piece = std::min<std::uint64_t>(len - out.size(), kStartOffset + ring.capacity - offset);
        auto bytes = file.readExactly(offset, piece);
        if (!bytes)
            return std::nullopt;
        out.insert(out.end(), bytes->begin(), bytes->end());
        lsn += piece;
    }
    return out;
}

// A record's byte count after its first byte; nullopt when its length does
// not decode.
std::optional<std::uint64_t> recordTail(ByteReader& r, std::uint8_t first)
{
    if ((first & 0x0f) != 0)
        return first & 0x0f;
    const std::uint8_t b = r.u8();
    std::uint64_t value = 0;
    if (b < 0x80)
        value = b;
    else if (b < 0xc0)
        value = ((std::uint64_t{b} & 0x3f) << 8 | r.u8()) + 0x80;
    else if (b < 0xe0)
        value = ((std::uint64_t{b} & 0x1f) << 16 | r.u16be()) + 0x4080;
    else if (b < 0xf0)
        value = ((std::uint64_t{b} & 0x0f) << 24 | r.u24be()) + 0x204080;
    else if (b == 0xf0)
        value = std::uint64_t{r.u32be()} + 0x10204080;
    else
        return std::nullopt;
    // No record of a mini-transaction is this long; the server stops there too.
    if (!r || value >= kMaxRecordLength)
        return std::nullopt;
    return value + 15;
}

// The end (past its CRC) of the mini-transaction at window position start,
// which lies at LSN startLsn; nullopt when none is there (the bytes do not
// parse, the sequence bit is of another lap, or the CRC fails).
std::optional<std::uint64_t> miniTransactionEnd(const ByteReader& window, std::uint64_t start, const Ring& ring,
                                                std::uint64_t startLsn)
{
    ByteReader r = window;
    if (!r.seek(start))
        return std::nullopt;
    for (;;) {
        const std::uint64_t at = r.pos();
        const std::uint8_t first = r.u8();
        if (!r)
            return std::nullopt;
        if (first <= 1) {
            if (first != ring.sequenceBit(startLsn + (at - start)) || at == start)
                return std::nullopt;
            ByteReader nonce = r.sub(r.pos(), ring.nonceSize);
            const auto nonceBytes = nonce.bytes(ring.nonceSize);
            if (!r.seek(r.pos() + ring.nonceSize))
                return std::nullopt;
            const std::uint32_t crc = r.u32be();
            ByteReader records = window.sub(start, at - start);
            const auto bytes = records.bytes(at - start);
            if (!r || !records || !nonce || crc32c(nonceBytes, crc32c(bytes)) != crc)
                return std::nullopt;
            return r.pos();
        }
        const auto tail = recordTail(r, first);
        if (!tail || !r.seek(at + 1 + *tail))
            return std::nullopt;
    }
}

RedoLogState inspectCurrent(const platform::DataFile& file, const ByteReader& head, std::uint32_t format)
{
    ByteReader h = head;
    h.seek(kFirstLsnPos);
    Ring ring;
    ring.firstLsn = h.u64be();
    h.seek(kKeyVersionPos);
    const std::uint32_t keyVersion = h.u32be();
    const std::uint64_t size = file.size();
    if (!h || size <= kStartOffset)
        return unknown("the log is shorter than its header");
    ring.capacity = size - kStartOffset;
    // Until 10.11.15 an encrypted log kept the plain format and said so by
    // its key version alone.
    const bool encrypted = format == kFormatCurrentEncrypted || keyVersion != 0;
    ring.nonceSize = encrypted ? kNonceSize : 0;
    const auto judged = [encrypted](RedoLogVerdict verdict, std::uint64_t checkpoint, std::string why) {
        return RedoLogState{verdict, checkpoint, std::move(why), encrypted};
    };

    std::optional<std::pair<std::uint64_t, std::uint64_t>> latest;  // checkpoint LSN, end LSN
    for (const std::uint64_t block : kCheckpointBlocks) {
        if (neverWritten(head, block, kCheckpointCrcPos + 4))
            continue;
        ByteReader c = head.sub(block, 16);
        const std::uint64_t checkpoint = c.u64be();
        const std::uint64_t end = c.u64be();
        // A damaged block may have been the latest: the other one cannot tell.
        if (!c || !crcMatches(head, block, kCheckpointCrcPos) || checkpoint < ring.firstLsn || end < checkpoint
            || end - checkpoint >= ring.capacity)
            return unknown("a checkpoint block of the log is damaged");
        if (!latest || checkpoint > latest->first)
            latest = std::make_pair(checkpoint, end);
    }
    if (!latest)
        return unknown("the log has no checkpoint");
    const auto [checkpoint, end] = *latest;
    if (end > checkpoint)
        return judged(RedoLogVerdict::ChangesPending, checkpoint,
                      "its last checkpoint was written with records after it");

    const auto bytes = readRing(file, ring, end, std::min(kWindow, ring.capacity));
    if (!bytes)
        return judged(RedoLogVerdict::Unknown, checkpoint, "the log cannot be read at its last checkpoint");
    const ByteReader window(*bytes);
    const auto checkpointEnd = miniTransactionEnd(window, 0, ring, end);
    if (!checkpointEnd)
        return judged(RedoLogVerdict::Unknown, checkpoint, "the log has no checkpoint record at its end");
    if (miniTransactionEnd(window, *checkpointEnd, ring, end + *checkpointEnd))
        return judged(RedoLogVerdict::ChangesPending, checkpoint, "records follow its last checkpoint");
    return judged(RedoLogVerdict::Clean, checkpoint, "the log ends at its last checkpoint");
}

RedoLogState inspectOlder(const ByteReader& head, std::uint64_t flushLsn)
{
    if (!crcMatches(head, 0, kOlderCrcPos))
        return unknown("the log's header block is damaged");
    std::optional<std::pair<std::uint64_t, std::uint64_t>> latest;  // checkpoint number, LSN
    for (const std::uint64_t block : kOlderCheckpointBlocks) {
        if (neverWritten(head, block, kOlderBlock))
            continue;
        ByteReader c = head.sub(block, 16);
        const std::uint64_t number = c.u64be();
        const std::uint64_t lsn = c.u64be();
        if (!c || !crcMatches(head, block, kOlderCrcPos))
            return unknown("a checkpoint block of the log is damaged");
        if (!latest || number > latest->first)
            latest = std::make_pair(number, lsn);
    }
    if (!latest)
        return unknown("the log has no checkpoint");
    const std::uint64_t checkpoint = latest->second;
    if (flushLsn == 0)
        return RedoLogState{RedoLogVerdict::Unknown, checkpoint, "the shared tablespace records no clean shutdown"};
    if (checkpoint > flushLsn)
        return RedoLogState{RedoLogVerdict::ChangesPending, checkpoint,
                            "its last checkpoint is past the clean shutdown that ibdata1 records"};
    return RedoLogState{RedoLogVerdict::Clean, checkpoint, "its last checkpoint is not past the clean shutdown that ibdata1 records"};
}

} // namespace

RedoLogState InnodbRedoLogHeader::inspect(const platform::DataFile& logFile, std::uint64_t flushLsn)
{
    auto head = logFile.readExactly(0, std::min<std::uint64_t>(logFile.size(), kStartOffset));
    if (!head)
        return unknown("the log cannot be read");
    const ByteReader h(*head);
    ByteReader formatField = h.sub(0, 4);
    const std::uint32_t format = formatField.u32be();
    if (!formatField || head->size() < kOlderBlock)
        return unknown("the log is shorter than its header");
    if (format == kFormatCurrent || format == kFormatCurrentEncrypted) {
        if (!crcMatches(h, 0, kHeaderCrcPos))
            return unknown("the log's header block is damaged");
        return inspectCurrent(logFile, h, format);
    }
    if (std::find(kOlderFormats.begin(), kOlderFormats.end(), format & ~kFormatEncrypted) != kOlderFormats.end()) {
        RedoLogState state = inspectOlder(h, flushLsn);
        state.encrypted = (format & kFormatEncrypted) != 0;
        return state;
    }
    return unknown("the log's format is not one known here");
}

std::uint64_t InnodbRedoLogHeader::flushLsn(std::span<const std::uint8_t> firstPage)
{
    ByteReader r(firstPage);
    r.seek(kFlushLsnPos);
    const std::uint64_t lsn = r.u64be();
    return r ? lsn : 0;
}

} // namespace recovery::innodb
