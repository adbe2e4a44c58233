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

// The scanned engine with the MyISAM preview walked to the end. The records
// are taken as the readers hand them to the grid, every value whole (as a
// repair reads it), and the grid is checked to show their texts.
struct ScannedEngine : testsupport::ScannedEngine {
    using testsupport::ScannedEngine::ScannedEngine;

    // The first preview page of a table (the table is prepared anew).
    Rows previewFirstPage(engine::TableInformation& t)
    {
        return takePage([&] { repair.RecoverMyIsamTable(t); });
    }
    // The preview page of up to count records from the data file position start.
    Rows previewPage(std::uint64_t count, engine::TableInformation& t, std::uint64_t start)
    {
        return takePage([&] { repair.RecoverMyIsamRows(count, t, start); });
    }

    // The preview of a table, page after page as the shell's Next button
    // asks for them, until the records are shown or the data ends.
    Rows previewAllPages(engine::TableInformation& t, int* pages = nullptr)
    {
        Rows rows = previewFirstPage(t);
        std::size_t shown = rows.size();
        int count = 1;
        while (app.m_nPageRecords != 0 && shown > 0) {
            app.m_nRecordsLeft -= static_cast<std::int64_t>(shown);
            if (app.m_nRecordsLeft <= 0)
                break;
            repair.m_dataPages.push_back(static_cast<std::uint64_t>(app.m_nNextPageStart));
            app.m_nPageRecords = std::min<std::int64_t>(100, app.m_nRecordsLeft);
            Rows page = previewPage(static_cast<std::uint64_t>(app.m_nPageRecords), t,
                                    static_cast<std::uint64_t>(app.m_nNextPageStart));
            shown = page.size();
            rows.insert(rows.end(), page.begin(), page.end());
            ++count;
        }
        if (pages)
            *pages = count;
        return rows;
    }

private:
    template <typename Read>
    Rows takePage(Read read)
    {
        Rows page;
        repair.m_bWholeValues = true;
        repair.m_rowObserver = [&](const std::vector<engine::tempColInfo>&, const std::vector<engine::RowValue>& values) {
            page.push_back(values);
        };
        read();
        repair.m_rowObserver = nullptr;
        // The grid shows the same texts, column after column.
        EXPECT_EQ(repair.m_pageRows.size(), page.size() * repair.m_columns.size());
        for (std::size_t r = 0; r < page.size() && !repair.m_pageRows.empty(); ++r)
            for (std::size_t c = 0; c < repair.m_columns.size(); ++c)
                EXPECT_EQ(repair.m_pageRows[r * repair.m_columns.size() + c].m_value, page[r][c].text());
        return page;
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
