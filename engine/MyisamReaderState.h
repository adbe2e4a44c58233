#pragma once

#include "engine/MySqlRepair.h"
#include "model/RowValue.h"
#include "recovery/myisam/MyisamRecord.h"
#include "recovery/myisam/MyisamRowLayout.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace engine {

// What the engine's MyISAM reader keeps for the prepared table between the
// preview's pages.
struct MySqlRepair::MyisamState {
    recovery::myisam::MyisamRowLayout m_layout;
    // For each entry of m_columns, its column in the layout.
    std::vector<std::size_t> m_layoutColumn;
    QString m_dataPath;
    recovery::myisam::MyisamRecord m_record;
    std::vector<RowValue> m_values;
    // Preview: the values of the page's records, stored bytes included
    // (m_pageRows has only their texts).
    std::vector<std::vector<RowValue>> m_pageValues;
    std::uint64_t m_damageCount = 0;
};

} // namespace engine
