#pragma once

#include "engine/AppState.h"
#include "engine/FileNameCodec.h"
#include "engine/MySqlRepair.h"
#include "model/RowValue.h"
#include "model/TableInformation.h"
#include "engine/MyisamTableReader.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/ScannedEngine.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <vector>

namespace myisamtest {

using Rows = std::vector<std::vector<engine::RowValue>>;

// The scanned engine with the MyISAM preview walked to the end.
struct ScannedEngine : testsupport::ScannedEngine {
    using testsupport::ScannedEngine::ScannedEngine;

    // The preview of a table, page after page as the shell's Next button
    // asks for them, until the records are shown or the data ends.
    Rows previewAllPages(engine::TableInformation& t, int* pages = nullptr)
    {
        repair.RecoverMyIsamTable(t);
        Rows rows;
        int count = 0;
        auto takePage = [&]() {
            if (!repair.m_myisam.IsPrepared())
                return std::size_t{0};
            const auto& page = repair.m_myisam.PageValues();
            // The grid shows the same texts, column after column.
            EXPECT_EQ(repair.m_pageRows.size(), page.size() * repair.m_columns.size());
            for (std::size_t r = 0; r < page.size() && !repair.m_pageRows.empty(); ++r)
                for (std::size_t c = 0; c < repair.m_columns.size(); ++c)
                    EXPECT_EQ(repair.m_pageRows[r * repair.m_columns.size() + c].m_value, page[r][c].text());
            rows.insert(rows.end(), page.begin(), page.end());
            ++count;
            return page.size();
        };
        std::size_t shown = takePage();
        while (app.m_nPageRecords != 0 && shown > 0) {
            app.m_nRecordsLeft -= static_cast<std::int64_t>(shown);
            if (app.m_nRecordsLeft <= 0)
                break;
            repair.m_dataPages.push_back(static_cast<std::uint64_t>(app.m_nNextPageStart));
            app.m_nPageRecords = std::min<std::int64_t>(100, app.m_nRecordsLeft);
            repair.RecoverMyIsamRows(static_cast<std::uint64_t>(app.m_nPageRecords), t,
                                     static_cast<std::uint64_t>(app.m_nNextPageStart));
            shown = takePage();
        }
        if (pages)
            *pages = count;
        return rows;
    }
};

// Rows in the server's ORDER BY of the fixtures: the columns in order, NULL
// first, integers by value.
inline void sortLikeTheServer(Rows& rows, const std::vector<engine::tempColInfo>& columns)
{
    std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (a[c].m_isNull != b[c].m_isNull)
                return a[c].m_isNull;
            if (a[c].m_isNull)
                continue;
            bool okA = false, okB = false;
            const qlonglong x = a[c].text().toLongLong(&okA), y = b[c].text().toLongLong(&okB);
            if (okA && okB && x != y)
                return x < y;
            if (!(okA && okB) && a[c].text() != b[c].text())
                return a[c].text() < b[c].text();
        }
        return false;
    });
}

inline QString fixturesFolder(const QString& set)
{
    return testsupport::FixtureSet::dataFolder(set) + QLatin1Char('/');
}

inline bool copyFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::copy(from, to) && QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace myisamtest
