#pragma once

#include "model/ColumnInformation.h"
#include "model/KeysInformation.h"
#include "model/TableOptions.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

namespace engine {

// A CHECK constraint of the table (not of one column).
struct CheckConstraint {
    QString m_name;
    QString m_expression; // without enclosing parentheses
};

// One scanned table. It owns its columns and key parts.
class TableInformation {
public:
    // Appends a new empty column at the end and returns it. The reference
    // stays valid for the life of the table.
    ColumnInformation& AddColumn();

    const std::vector<std::unique_ptr<ColumnInformation>>& columns() const { return m_columns; }
    ColumnInformation* firstColumn() const { return m_columns.empty() ? nullptr : m_columns.front().get(); }
    ColumnInformation* lastColumn() const { return m_columns.empty() ? nullptr : m_columns.back().get(); }

    QString m_name;
    std::vector<KeysInformation> m_keyParts;
    QStringList m_keyNames;        // one per key; "PRIMARY" for the primary key
    std::vector<CheckConstraint> m_checkConstraints;
    QString m_engine;              // "innodb" or "myisam"
    QString m_dataFile;            // the .ibd, .MYD or ibdata1 that holds the rows
    std::uint32_t m_frmVersion = 0;
    std::uint64_t m_rootPage = 0;  // clustered index root; 0 = not found
    std::uint16_t m_columnCount = 0;
    // The table's default collation number; 0: not recorded.
    std::uint16_t m_collation = 0;
    TableOptions m_options;
    bool m_dynamicRows = false;
    bool m_created = false;        // its CREATE TABLE succeeded in the repair

private:
    std::vector<std::unique_ptr<ColumnInformation>> m_columns;
};

} // namespace engine
