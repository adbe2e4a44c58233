#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace platform {
class DataFile;
}

namespace recovery::innodb {

// What the redo log tells of the data files beside it.
enum class RedoLogVerdict {
    Unknown,         // no log, a format not known here, a damaged header or checkpoint: the files cannot tell
    Clean,           // the log holds nothing the data files lack: the server shut down cleanly
    ChangesPending,  // the log holds changes past what the data files have: no clean shutdown
};

struct RedoLogState {
    RedoLogVerdict verdict = RedoLogVerdict::Unknown;
    std::uint64_t checkpointLsn = 0;  // the latest valid checkpoint's LSN; 0 when none was read
    std::string why;                  // what the verdict rests on, or what could not be read
    bool encrypted = false;           // the log's records are encrypted: a server needs the key to apply them
};

// Reads the header and checkpoints of ib_logfile0, never its changes. Two
// layouts: the one MariaDB 10.8 and later write (one file, checkpoints that
// name the log's end; encrypted or not: the framing of its records is in the
// clear, so no key is needed), and the older one of 512-byte blocks (MySQL
// 5.7.9 and later 5.7, MariaDB 10.2 to 10.7), judged against the LSN the
// shared tablespace records of its last clean shutdown.
class InnodbRedoLogHeader {
public:
    // The verdict on a redo log. flushLsn: FIL_PAGE_FILE_FLUSH_LSN of the
    // shared tablespace (flushLsn() below; 0 when unknown). A damaged or
    // unknown file gives Unknown with the reason, never a guess.
    static RedoLogState inspect(const platform::DataFile& logFile, std::uint64_t flushLsn);

    // The LSN of the last clean shutdown as page 0 of the shared tablespace
    // records it; 0 when the page is too short (servers since MariaDB 10.8
    // leave it 0).
    static std::uint64_t flushLsn(std::span<const std::uint8_t> firstPage);
};

} // namespace recovery::innodb
