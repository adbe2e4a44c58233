#include "recovery/myisam/MyisamRecordWalk.h"

#include "platform/DataFile.h"
#include "recovery/myisam/MyisamBlockHeader.h"
#include "recovery/myisam/MyisamRowLayout.h"

#include <string>
#include <unordered_set>

// MyISAM data files (.MYD).
//
// Static rows: slot after slot of the table's packed record length; a slot
// holds the record (its first byte's bit 0 set) or, deleted, a zero first
// byte and a link to the next deleted slot.
//
// Dynamic rows: blocks (MyisamBlockHeader) on 4-byte boundaries. A record is
// a start block (types 1-6, 13) and, when it was split, continuation blocks
// (7-12) anywhere in the file, each header naming the next; the record's
// bytes are the data of its blocks in chain order (MyisamRecord::unpack).
// Deleted blocks (type 0) and continuation blocks met in file order are
// stepped over.

namespace recovery::myisam {

namespace {

using platform::DecodeError;

std::uint64_t nextAligned(std::uint64_t pos)
{
    return (pos + MyisamBlockHeader::kAlignment) & ~(MyisamBlockHeader::kAlignment - 1);
}

using platform::corrupt;

} // namespace

MyisamRecordWalk::MyisamRecordWalk(const platform::DataFile& file, const MyisamRowLayout& layout, std::uint64_t end)
    : m_file(file), m_layout(layout), m_end(end)
{
}

MyisamRecordWalk::Step MyisamRecordWalk::read(std::uint64_t pos, MyisamRecord& record)
{
    if (pos >= m_end)
        return Step{StepKind::End, pos, std::nullopt};
    return m_layout.m_dynamic ? readDynamic(pos, record) : readStatic(pos, record);
}

MyisamRecordWalk::Step MyisamRecordWalk::damaged(std::uint64_t next, const DecodeError& error) const
{
    return Step{StepKind::Damaged, next, error};
}

std::span<const std::uint8_t> MyisamRecordWalk::window(std::uint64_t pos, std::uint64_t len)
{
    if (pos >= m_end)
        return {};
    len = std::min(len, m_end - pos);
    if (pos < m_windowPos || pos + len > m_windowPos + m_window.size()) {
        m_window.resize(std::min(std::max(kWindowBytes, len), m_end - pos));
        m_windowPos = pos;
        const auto got = m_file.readAt(pos, m_window);
        m_window.resize(got ? *got : 0);
        len = std::min<std::uint64_t>(len, m_window.size());
    }
    return std::span<const std::uint8_t>(m_window).subspan(pos - m_windowPos, len);
}

bool MyisamRecordWalk::append(std::uint64_t pos, std::uint64_t len, std::vector<std::uint8_t>& out)
{
    if (pos > m_end || len > m_end - pos)
        return false;
    if (len <= kWindowBytes) {
        const auto bytes = window(pos, len);
        out.insert(out.end(), bytes.begin(), bytes.end());
        return bytes.size() == len;
    }
    // A long blob: straight into the record, past the window.
    const std::size_t at = out.size();
    out.resize(at + len);
    const auto got = m_file.readAt(pos, std::span<std::uint8_t>(out).subspan(at));
    return got && *got == len;
}

MyisamRecordWalk::Step MyisamRecordWalk::readStatic(std::uint64_t pos, MyisamRecord& record)
{
    const std::uint64_t slot = m_layout.m_slotLength;
    const std::uint64_t length = m_layout.m_recordLength;
    if (slot == 0)
        return damaged(m_end, corrupt(pos, "record slots of 0 bytes"));
    const auto bytes = window(pos, length);
    if (bytes.size() < length)
        return damaged(m_end, corrupt(pos, "record of " + std::to_string(length) + " bytes cut short by the end of "
                                               "the data file (" + std::to_string(bytes.size()) + " bytes left)"));
    if ((bytes[0] & 1) == 0)
        return Step{StepKind::Skipped, pos + slot, std::nullopt};
    record.m_pos = pos;
    record.m_image.assign(bytes.begin(), bytes.end());
    record.m_packed.clear();
    record.m_packedUsed = 0;
    record.m_blobs.clear();
    return Step{StepKind::Record, pos + slot, std::nullopt};
}

MyisamRecordWalk::Step MyisamRecordWalk::readDynamic(std::uint64_t pos, MyisamRecord& record)
{
    auto header = MyisamBlockHeader::parse(window(pos, MyisamBlockHeader::kMaxHeaderLength), pos);
    if (!header)
        return damaged(nextAligned(pos), header.error());
    const MyisamBlockHeader& h = *header;
    if (h.totalLength() > m_end - pos)
        return damaged(nextAligned(pos), corrupt(pos, "block of " + std::to_string(h.totalLength())
                                                          + " bytes runs past the end of the data file"));
    const std::uint64_t next = pos + h.totalLength();
    if (!h.startsRecord())
        return Step{StepKind::Skipped, next, std::nullopt};
    if (h.m_recordLength < h.m_dataLength || h.m_recordLength > m_end)
        return damaged(next, corrupt(pos, "record length " + std::to_string(h.m_recordLength) + " does not fit"));

    record.m_pos = pos;
    record.m_packed.clear();
    record.m_packed.reserve(h.m_recordLength);
    append(pos + h.m_headerLength, h.m_dataLength, record.m_packed);
    if (h.hasNext() || h.m_dataLength < h.m_recordLength) {
        auto chained = followChain(pos, h.m_nextPos, h.m_recordLength, record);
        if (!chained)
            return damaged(next, chained.error());
    }
    auto unpacked = record.unpack(m_layout);
    if (!unpacked) {
        DecodeError error = unpacked.error();
        error.what = "record at " + std::to_string(pos) + ": " + error.what;
        error.offset += pos + h.m_headerLength;
        return damaged(next, error);
    }
    return Step{StepKind::Record, next, std::nullopt};
}

platform::Result<bool> MyisamRecordWalk::followChain(std::uint64_t startPos, std::uint64_t nextPos,
                                                     std::uint64_t recordLength, MyisamRecord& record)
{
    std::unordered_set<std::uint64_t> visited{startPos};
    while (record.m_packed.size() < recordLength) {
        if (nextPos >= m_end)
            return corrupt(startPos, "record continues at " + std::to_string(nextPos) + ", past the end of the data file");
        if (!visited.insert(nextPos).second)
            return corrupt(nextPos, "record's block chain loops back to " + std::to_string(nextPos));
        auto header = MyisamBlockHeader::parse(window(nextPos, MyisamBlockHeader::kMaxHeaderLength), nextPos);
        if (!header)
            return header.error();
        const MyisamBlockHeader& h = *header;
        const std::uint64_t due = recordLength - record.m_packed.size();
        // Every continuation carries at least one byte, so the chain ends
        // within recordLength steps even when it does not loop.
        if (h.startsRecord() || h.deleted() || h.m_dataLength == 0 || h.m_dataLength > due)
            return corrupt(nextPos, "block of type " + std::to_string(h.m_type) + " and " + std::to_string(h.m_dataLength)
                                        + " bytes cannot continue a record that needs " + std::to_string(due));
        if (h.totalLength() > m_end - nextPos || !append(nextPos + h.m_headerLength, h.m_dataLength, record.m_packed))
            return corrupt(nextPos, "continuation block runs past the end of the data file");
        if (!h.hasNext() && record.m_packed.size() < recordLength)
            return corrupt(nextPos, "record's block chain ends " + std::to_string(recordLength - record.m_packed.size())
                                        + " bytes short");
        nextPos = h.m_nextPos;
    }
    return true;
}

} // namespace recovery::myisam
