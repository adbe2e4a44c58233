#pragma once

#include "platform/Result.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace platform {
class DataFile;
}

namespace recovery::innodb {

// The transactions that the undo logs show open when the server stopped.
struct OpenTransactions {
    enum class Kind { None, Active, Prepared };

    std::vector<std::uint64_t> active;    // neither committed nor rolled back; sorted
    std::vector<std::uint64_t> prepared;  // XA transactions prepared; sorted

    bool empty() const { return active.empty() && prepared.empty(); }
    // Which of them wrote a record whose DB_TRX_ID is id.
    Kind kindOf(std::uint64_t id) const
    {
        if (std::binary_search(active.begin(), active.end(), id))
            return Kind::Active;
        if (std::binary_search(prepared.begin(), prepared.end(), id))
            return Kind::Prepared;
        return Kind::None;
    }
};

// Reads the transaction system of the shared tablespace: its page 5 lists
// the rollback segments (in the shared tablespace or in undo tablespaces),
// each lists its undo log segments, and each segment's first page says
// whether its transaction was still open.
class InnodbTransactionSystem {
public:
    // ibdata: the shared tablespace. undoTablespaces: the undo tablespace
    // files beside it (undo001, ...), in any order; each is known by the
    // space id on its first page. A page that cannot be read or fails its
    // checksums, or a rollback segment in a tablespace not given, is an
    // error: the open transactions cannot be told then.
    static platform::Result<OpenTransactions> read(const platform::DataFile& ibdata,
                                                   const std::vector<const platform::DataFile*>& undoTablespaces);
};

} // namespace recovery::innodb
