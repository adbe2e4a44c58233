// One stored value, one text, whichever engine stores it: the fixture's
// value_forms rows (the same values in a MyISAM and an InnoDB table) read by
// each engine's preview, cell by cell, with what the preview shows and what
// a repair sends.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "model/RowValue.h"
#include "model/TableInformation.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/ScannedEngine.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>

namespace {

using namespace std::string_view_literals;

struct Cell {
    int id;
    const char* column;
    const char* shown;
    std::string_view sent; // the bytes a repair sends; empty: not checked
};

const Cell kCells[] = {
    // YEAR(2) shows its last two digits, YEAR(4) all four; a repair sends
    // all four.
    {1, "y2", "10", "2010"sv},
    {2, "y2", "00", "2000"sv}, // the server keeps a two-digit 0 as 2000
    {3, "y2", "69", {}},
    {4, "y2", "70", {}},
    {2, "y4", "0000", {}},
    // ZEROFILL pads to the display width; the repair sends the number.
    {1, "zi", "000042", "42"sv},
    {3, "zi", "123456", "123456"sv},
    {5, "zi", "1234567", {}},
    {5, "zti", "001", "1"sv},
    {1, "zbi", "00000000000000012345", "12345"sv},
    {1, "zdec", "00001.500", "1.500"sv},
    {5, "zdec", "00000.001", {}},
    {1, "zf", "0000000001.5", "1.5"sv},
    {3, "zf", "000000001e20", {}},
    {1, "zd", "0000003.25", "3.25"sv},
    // FLOAT(M,D) and DOUBLE(M,D) show D digits after the point.
    {1, "f72", "3.14", {}},
    {3, "f72", "-99999.99", {}},
    {2, "f72", "0.00", "0"sv},
    {1, "d103", "-2.500", "-2.5"sv},
    {3, "d103", "1234567.125", {}},
    // Binary values show their bytes up to the first zero byte; a repair
    // sends every byte.
    {1, "bin", "ab", "ab\0c\0\0"sv},
    {2, "bin", "", "\0\0\0\0\0\0"sv},
    {3, "bin", "abcdef", "abcdef"sv},
    {1, "vbin", "hi", "hi\0jk"sv},
    {5, "vbin", "\u00C3\u00A9", "\xC3\xA9"sv},
    {1, "blb", "Text", "Text\0More"sv},
    {5, "blb", "", "\0"sv},
};

struct Source {
    const char* folder;
    const char* engine;
};

const Source kSources[] = {{"fx_myisam", "myisam"}, {"fx_innodb_ibd", "innodb"}};

using Row = std::map<QString, engine::RowValue>;

// The first preview page of fx_*.value_forms, each row by its id.
std::map<int, Row> previewRows(testsupport::ScannedEngine& s, const Source& source)
{
    std::map<int, Row> rows;
    engine::TableInformation* table = s.table(QLatin1String(source.folder), QStringLiteral("value_forms"));
    if (table == nullptr) {
        ADD_FAILURE() << "no table value_forms in " << source.folder;
        return rows;
    }
    EXPECT_EQ(table->m_engine, QLatin1String(source.engine));
    s.repair.m_rowObserver = [&](const std::vector<engine::tempColInfo>& columns,
                                 const std::vector<engine::RowValue>& values) {
        Row row;
        for (std::size_t c = 0; c < columns.size() && c < values.size(); ++c)
            row[columns[c].m_name] = values[c];
        rows[row[QStringLiteral("id")].text().toInt()] = row;
    };
    s.app.m_bRepair = false;
    if (table->m_engine == QLatin1String("myisam")) {
        s.repair.RecoverMyIsamTable(*table);
    } else {
        s.repair.LocateInnoDbTableData(*table);
        s.app.m_nPage = 0;
        if (!s.repair.m_dataPages.empty())
            s.repair.RecoverInnoDbRows(s.repair.m_dataPages.front(), *table);
    }
    s.repair.m_rowObserver = nullptr;
    return rows;
}

class ValueForms : public testing::TestWithParam<const char*> {};

TEST_P(ValueForms, OneValueGivesOneTextInEitherEngine)
{
    const QString set = QLatin1String(GetParam());
    const QString data = testsupport::FixtureSet::dataFolder(set);
    if (!QFileInfo::exists(data))
        GTEST_SKIP() << "fixtures not built";
    for (const Source& source : kSources) {
        SCOPED_TRACE(source.folder);
        testsupport::ScannedEngine s(data, {QLatin1String(source.folder)});
        const auto rows = previewRows(s, source);
        ASSERT_EQ(rows.size(), 5u);
        for (const Cell& cell : kCells) {
            SCOPED_TRACE(std::string(cell.column) + " of row " + std::to_string(cell.id));
            const auto row = rows.find(cell.id);
            ASSERT_NE(row, rows.end());
            const auto value = row->second.find(QLatin1String(cell.column));
            ASSERT_NE(value, row->second.end());
            EXPECT_EQ(value->second.text(), QString::fromUtf8(cell.shown));
            if (!cell.sent.empty()) {
                EXPECT_EQ(value->second.bytes(),
                          QByteArray(cell.sent.data(), static_cast<qsizetype>(cell.sent.size())));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, ValueForms, testing::Values("legacy", "default"));

} // namespace
