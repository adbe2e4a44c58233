#pragma once

#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace engine {

// A table option the user may set, leave to the server, or turn off
// (TRANSACTIONAL, PAGE_CHECKSUM); the numbers are the definition file's.
enum class OptionChoice : std::uint8_t { Unset = 0, No = 1, Yes = 2 };

// How the server keeps a table's statistics up to date (STATS_AUTO_RECALC).
enum class StatsRecalc : std::uint8_t { Default = 0, On = 1, Off = 2 };

// The options a table definition keeps beside its columns and keys, as the
// user declared them: what SHOW CREATE TABLE writes after the engine and the
// character set. Zero or empty means not declared.
struct TableOptions {
    // The declared ROW_FORMAT, by the definition's number (1 FIXED ...
    // 6 PAGE); 0 for the engine's default.
    std::uint8_t m_rowType = 0;
    std::uint32_t m_maxRows = 0;
    std::uint32_t m_minRows = 0;
    std::uint32_t m_avgRowLength = 0;
    std::uint16_t m_keyBlockSize = 0;
    bool m_packKeys = false;       // PACK_KEYS=1
    bool m_noPackKeys = false;     // PACK_KEYS=0
    bool m_checksum = false;       // CHECKSUM=1
    bool m_delayKeyWrite = false;  // DELAY_KEY_WRITE=1
    bool m_statsPersistent = false;   // STATS_PERSISTENT=1
    bool m_noStatsPersistent = false; // STATS_PERSISTENT=0
    StatsRecalc m_statsAutoRecalc = StatsRecalc::Default;
    std::uint16_t m_statsSamplePages = 0;
    OptionChoice m_transactional = OptionChoice::Unset;
    OptionChoice m_pageChecksum = OptionChoice::Unset;
    QString m_comment;
    QString m_connection;
    // Options of the engine's own (InnoDB's ENCRYPTED, PAGE_COMPRESSED, ...),
    // name and value, in the order declared.
    std::vector<std::pair<QString, QString>> m_engineOptions;
};

} // namespace engine
