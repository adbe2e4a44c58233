#pragma once

#include "platform/Result.h"
#include "recovery/myisam/MyisamRecord.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform {
class DataFile;
}

namespace recovery::myisam {

class MyisamRowLayout;

// Walks the records of a MyISAM data file (.MYD), one step at a time, from
// any position: static rows slot by slot, dynamic rows block by block. Reads
// through a window of the file, so a step costs no system call most times.
class MyisamRecordWalk {
public:
    enum class StepKind {
        Record,   // a live record, unpacked into the caller's MyisamRecord
        Skipped,  // a deleted record or block, or a continuation block
        Damaged,  // bytes that make no sense; m_damage says why
        End,      // the data has ended
    };
    struct Step {
        StepKind m_kind = StepKind::End;
        std::uint64_t m_next = 0;  // where the walk goes on; always past the step's position
        std::optional<platform::DecodeError> m_damage;
    };

    // end: where the data stops (the file's size). The walk keeps references.
    MyisamRecordWalk(const platform::DataFile& file, const MyisamRowLayout& layout, std::uint64_t end);

    // The record or block at pos. A record split over blocks is followed
    // along its chain, which is checked against the file and for loops.
    Step read(std::uint64_t pos, MyisamRecord& record);

    std::uint64_t end() const { return m_end; }

    // Bytes read at a time.
    static constexpr std::uint64_t kWindowBytes = 256 * 1024;

private:
    Step readStatic(std::uint64_t pos, MyisamRecord& record);
    Step readDynamic(std::uint64_t pos, MyisamRecord& record);
    // Appends the record's bytes of its continuation blocks; an error when
    // the chain leaves the file, loops, or does not add up to the length.
    platform::Result<bool> followChain(std::uint64_t startPos, std::uint64_t nextPos, std::uint64_t recordLength,
                                       MyisamRecord& record);
    // len bytes at pos (fewer at the end of the data).
    std::span<const std::uint8_t> window(std::uint64_t pos, std::uint64_t len);
    bool append(std::uint64_t pos, std::uint64_t len, std::vector<std::uint8_t>& out);
    Step damaged(std::uint64_t next, const platform::DecodeError& error) const;

    const platform::DataFile& m_file;
    const MyisamRowLayout& m_layout;
    std::uint64_t m_end = 0;
    std::vector<std::uint8_t> m_window;
    std::uint64_t m_windowPos = 0;
};

} // namespace recovery::myisam
