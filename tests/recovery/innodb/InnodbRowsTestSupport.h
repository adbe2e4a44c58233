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

#include <algorithm>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

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

// A whole table read as the preview pages through it, to the end.
struct TableRead {
    std::size_t rows = 0;
    std::uint64_t total = 0; // the records the scan of its leaves counted
    QStringList log;
    std::vector<std::uint64_t> dataPages;
    std::uint64_t root = 0;
};

inline bool logged(const TableRead& read, const QString& what)
{
    return std::any_of(read.log.begin(), read.log.end(), [&](const QString& line) { return line.contains(what); });
}

// Scans `database` of the data folder and reads `tableName` whole; an empty
// result when the scan does not find the table.
inline TableRead readTable(const QString& dataFolder, const QString& database, const QString& tableName)
{
    TableRead out;
    auto s = scan(dataFolder, {database});
    engine::TableInformation* table = s->table(database, tableName);
    if (!table)
        return out;
    out.root = table->m_rootPage;
    // Off-page values are read whole, as a repair reads them.
    s->repair.m_bWholeValues = true;
    s->repair.LocateInnoDbTableData(*table);
    out.total = static_cast<std::uint64_t>(s->app.m_nTotalRecords);
    out.dataPages = s->repair.m_dataPages;
    for (s->app.m_nPage = 0; s->app.m_nPage < static_cast<std::int32_t>(s->repair.m_dataPages.size());
         s->app.m_nPage += 1 + s->app.m_nPagesMerged) {
        s->repair.m_pageRows.clear();
        s->repair.RecoverInnoDbRows(s->repair.m_dataPages[static_cast<std::size_t>(s->app.m_nPage)], *table);
        out.rows += s->repair.m_pageRows.size() / std::max<std::size_t>(1, s->repair.m_columns.size());
    }
    out.log = s->report.log();
    return out;
}

} // namespace innodbrows
