#pragma once

// Shared by the InnoDB row tests: a scanned fixture data folder and the
// preview of a whole table, page after page, as RowValues.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/ScannedEngine.h"

#include <QDir>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

namespace innodbrows {

using Scanned = testsupport::ScannedEngine;

// One fixture table as a test parameter.
struct TableCase {
    const char* set;
    const char* database;
    const char* table;
};

inline void PrintTo(const TableCase& c, std::ostream* out)
{
    *out << c.set << "/" << c.database << "/" << c.table;
}

inline std::string caseName(const testing::TestParamInfo<TableCase>& info)
{
    return std::string(info.param.set) + "_" + info.param.database + "_" + info.param.table;
}

// Scans `databases` of the data folder (ibdata1 in it).
inline std::unique_ptr<Scanned> scan(const QString& dataFolder, const QStringList& databases)
{
    return std::make_unique<Scanned>(dataFolder, databases);
}

// The grid of a preview page shows the texts of the values decoded for it,
// column after column.
inline void expectShownAsDecoded(const engine::MySqlRepair& repair,
                                 const std::vector<std::vector<engine::RowValue>>& decoded)
{
    const std::size_t width = repair.m_columns.size();
    ASSERT_EQ(repair.m_pageRows.size(), decoded.size() * width);
    for (std::size_t r = 0; r < decoded.size(); ++r)
        for (std::size_t c = 0; c < width && c < decoded[r].size(); ++c)
            EXPECT_EQ(repair.m_pageRows[r * width + c].m_value, decoded[r][c].text()) << "row " << r << " column " << c;
}

} // namespace innodbrows
