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

// One preview page's (column, text) pairs as rows of RowValues, the way
// ExpectedRows compares them: binary columns are shown in hex, BIT as its
// number.
inline std::vector<std::vector<engine::RowValue>> pageRows(const engine::MySqlRepair& repair,
                                                           const testsupport::ExpectedRows& expected)
{
    std::vector<std::vector<engine::RowValue>> rows;
    const std::size_t width = repair.m_columns.size();
    for (std::size_t i = 0; width && i + width <= repair.m_pageRows.size(); i += width) {
        std::vector<engine::RowValue> row;
        for (std::size_t c = 0; c < width; ++c) {
            const QString& name = repair.m_columns[c].m_name;
            const QString& text = repair.m_pageRows[i + c].m_value;
            if (text == QLatin1String("null")) {
                row.push_back(engine::RowValue::Null());
            } else if (expected.isHex(name) && repair.m_columns[c].m_typeCode == engine::TYPE_BIT) {
                QByteArray bytes;
                for (std::uint64_t v = text.toULongLong(); v; v >>= 8)
                    bytes.prepend(static_cast<char>(v & 0xFF));
                row.push_back(engine::RowValue::Stored(bytes, text));
            } else if (expected.isHex(name)) {
                row.push_back(engine::RowValue::Stored(QByteArray::fromHex(text.toLatin1()), text));
            } else {
                row.push_back(engine::RowValue::Text(text));
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace innodbrows
