#pragma once

#include "model/TableInformation.h"
#include "platform/Result.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace engine {

// What one table definition file holds.
struct FrmContents {
    bool m_isView = false;
    // The table, for a table definition (null for a view). Its engine, data
    // file and InnoDB root page are left for the scan to fill in.
    std::unique_ptr<TableInformation> m_table;
    // The engine named in the definition ("InnoDB", "MyISAM", ...); empty when not recorded.
    QString m_engineName;
    // Set when part of the file was damaged: the table then holds what could be read.
    std::optional<platform::DecodeError> m_damage;
};

struct FrmReadOptions {
    // When set, the loops end early and the table holds what was read so far.
    const std::atomic<bool>* stop = nullptr;
    // Byte 5 of the table's .MYI (0 when it has none): in the oldest layout
    // it tells a VARCHAR from a CHAR.
    std::uint8_t myiProbeByte = 0;
};

// Reads a table definition (.frm) from its bytes, without the server. Knows
// the layout of MySQL 3.x to 5.x and MariaDB 10.0 (key area at 4096, form
// information near the end) and the compact one of later MariaDB releases
// (positions taken from the header, an extra segment after the default record).
class FrmReader {
public:
    // A view definition is a text file starting "TYPE=VIEW".
    static bool isViewFile(std::span<const std::uint8_t> bytes);

    // An error when the bytes are no table definition or its header is cut
    // short; otherwise the contents, with m_damage set when a later part
    // could not be read (fewer columns, keys or defaults).
    static platform::Result<FrmContents> read(std::span<const std::uint8_t> bytes, const QString& path,
                                              const FrmReadOptions& options = {});

    // File name without its folder, cut before its first ".".
    static QString tableNameFromPath(const QString& path);
    // Name of the folder that holds the file.
    static QString databaseNameFromPath(const QString& path);

    struct StorageChoice {
        QString engine;   // "innodb" or "myisam"
        QString dataFile;
    };
    // A sibling .ibd makes the table InnoDB with that file, else a sibling
    // .MYD MyISAM with that file, else InnoDB in the shared tablespace
    // ibdataPath. Only the file's extension is replaced, never a folder name.
    static StorageChoice chooseStorage(const QString& frmPath, const QString& ibdataPath,
                                       const std::function<bool(const QString&)>& fileExists);
};

} // namespace engine
