#include "engine/MySqlRepair.h"

#include "engine/AppState.h"
#include "engine/MySqlRepairFiles.h"
#include "engine/ReportWindow.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QFileInfo>

using engine::AppState;
using engine::MySqlRepair;
using testsupport::TempDir;

namespace {

class MySqlRepairTest : public ::testing::Test {
protected:
    AppState m_app;
    MySqlRepair m_engine{m_app};
};

TEST(TableInformation, AddColumnChainsInCallOrder)
{
    engine::TableInformation table;
    EXPECT_EQ(table.firstColumn(), nullptr);
    auto& first = table.AddColumn();
    EXPECT_EQ(table.firstColumn(), &first);
    EXPECT_EQ(table.lastColumn(), &first);
    first.m_name = QStringLiteral("a");
    table.AddColumn().m_name = QStringLiteral("b");
    auto& third = table.AddColumn();
    third.m_name = QStringLiteral("c");
    EXPECT_EQ(&first, table.firstColumn()) << "earlier columns do not move";
    EXPECT_EQ(table.lastColumn(), &third);
    QStringList names;
    for (const auto& column : table.columns())
        names << column->m_name;
    EXPECT_EQ(names, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
}

// Under the sanitizers a leak or a double free in the model fails this test.
TEST_F(MySqlRepairTest, ClearDatabaseInfoReleasesTheWholeModel)
{
    m_engine.ClearDatabaseInfo(); // on an empty model: nothing to do
    EXPECT_TRUE(m_engine.m_databases.empty());

    for (int d = 0; d < 3; ++d) {
        auto db = std::make_unique<engine::MySqlInfo>();
        db->m_name = QStringLiteral("db%1").arg(d);
        db->m_viewFiles << QStringLiteral("/x/v.frm");
        for (int t = 0; t < 4; ++t) {
            auto table = std::make_unique<engine::TableInformation>();
            table->m_name = QStringLiteral("t%1").arg(t);
            for (int c = 0; c < 5; ++c) {
                auto& column = table->AddColumn();
                column.m_members << QStringLiteral("a") << QStringLiteral("b");
            }
            table->m_keyParts.push_back({1, 1, QStringLiteral("Primary Key"), 0});
            table->m_keyNames << QStringLiteral("PRIMARY");
            db->m_tableNames << table->m_name;
            db->m_tables.push_back(std::move(table));
        }
        m_engine.m_databases.push_back(std::move(db));
    }
    m_engine.m_columns.resize(3);
    m_engine.m_dataPages = {3, 4};
    m_engine.m_pageRows.push_back({QStringLiteral("c"), QStringLiteral("v")});
    m_app.m_pPreviewTable = m_engine.m_databases[0]->m_tables[0].get();

    m_engine.ClearDatabaseInfo();
    EXPECT_TRUE(m_engine.m_databases.empty());
    EXPECT_TRUE(m_engine.m_columns.empty());
    EXPECT_TRUE(m_engine.m_dataPages.empty());
    EXPECT_TRUE(m_engine.m_pageRows.empty());
    EXPECT_EQ(m_app.m_pPreviewTable, nullptr);
}

TEST(MySqlRepairTeardown, EngineWithModelAndOpenFilesTearsDownCleanly)
{
    TempDir dir;
    AppState app;
    auto repair = std::make_unique<MySqlRepair>(app);
    ASSERT_TRUE(repair->m_hDataFile.open(dir.write("f", QByteArray("abc")).toStdString()));
    auto db = std::make_unique<engine::MySqlInfo>();
    db->m_tables.push_back(std::make_unique<engine::TableInformation>());
    db->m_tables.back()->AddColumn();
    repair->m_databases.push_back(std::move(db));
    repair.reset(); // the destructor alone must free the model and close the files
}

TEST_F(MySqlRepairTest, ReportsCarryTheirTextAndNeedAWindow)
{
    m_engine.AppendLog(QStringLiteral("dropped: no window yet"));
    testsupport::RecordingReportWindow window(m_app);
    m_engine.m_hWndReport = &window;
    m_engine.AppendLog(QStringLiteral("first"));
    m_engine.AppendLog(QString());
    m_engine.ReportProgress(engine::PROGRESS_BEGIN, 7);
    m_engine.ShowUserMessage(QStringLiteral("box"));
    EXPECT_EQ(window.log(), (QStringList{QStringLiteral("first"), QString()}));
    ASSERT_EQ(window.m_sent.size(), 3u);
    EXPECT_EQ(window.m_sent[2].message, engine::WM_STATUS_PROGRESS);
    EXPECT_EQ(window.m_sent[2].wParam, engine::PROGRESS_BEGIN);
    EXPECT_EQ(window.m_sent[2].lParam, 7);
    EXPECT_EQ(window.m_boxes, QStringList{QStringLiteral("box")});
    EXPECT_EQ(engine::WM_APPEND_LOG, 0x46Au);
    EXPECT_EQ(engine::WM_SHOW_OBJECT_TEXT, 0x470u);
}

// The folders a repair left go at exit only when empty; nothing else is
// ever removed, and the shell is told nothing.
TEST(AppStateFoldersToRemove, OnlyEmptyFoldersGo)
{
    TempDir dir;
    const QString empty = dir.mkdir("old_ibdata1_1-1-2026 1-1-1");
    const QString holdingAFile = dir.mkdir("holding");
    dir.write("holding/ibdata1", QByteArray("x"));
    const QString holdingAFolder = dir.mkdir("nested");
    dir.mkdir("nested/inner");
    const QString aFile = dir.write("a file", QByteArray("y"));
    AppState app;
    app.m_foldersToRemove = {empty, holdingAFile, holdingAFolder, aFile, dir.file("missing"), QString()};
    EXPECT_EQ(app.RemoveEmptyFoldersToRemove(), 1);
    EXPECT_FALSE(QFileInfo::exists(empty));
    EXPECT_TRUE(QFileInfo(holdingAFile + "/ibdata1").isFile());
    EXPECT_TRUE(QFileInfo(holdingAFolder + "/inner").isDir());
    EXPECT_TRUE(QFileInfo(aFile).isFile());
    EXPECT_TRUE(app.m_foldersToRemove.isEmpty());
}

// Copying a database folder that is not there makes no folder for it.
TEST(MySqlRepairFiles, CopyingAMissingFolderMakesNothing)
{
    TempDir dir;
    const QString target = dir.file("recovered_gone");
    EXPECT_FALSE(engine::fileops::copyFolder(dir.file("gone"), target));
    EXPECT_FALSE(QFileInfo::exists(target));
    dir.write("db/t.frm", QByteArray("frm"));
    EXPECT_TRUE(engine::fileops::copyFolder(dir.file("db"), target));
    EXPECT_TRUE(QFileInfo(target + "/t.frm").isFile());
}

// What the worker reports at the end of a repair, by how it ended: a repair
// that did not run gives its one line; only a repair without failures claims
// success; a stopped one says it finished unsuccessfully.
TEST(MySqlRepairOutcome, EachEndHasItsLinesAndBoxes)
{
    const QString connect = "Unable to create connection. Please verify login information.";
    const QString unsuccessful = "Repair process finished unsuccessfully.";
    const QString successful = "Repair process finished successfully.";
    const struct {
        const char* name;
        MySqlRepair::RepairOutcome outcome;
        std::uint64_t statementsFailed;
        QStringList firstLines; // the log from its start, up to the completion line
        QStringList boxes;
        bool completionLine;
        bool selectionCleared;
    } cases[] = {
        {"login cancelled", MySqlRepair::REPAIR_CANCELLED, 0, {connect}, {}, false, false},
        {"server not prepared or reached", MySqlRepair::REPAIR_FAILED, 0, {connect}, {}, false, false},
        {"stopped", MySqlRepair::REPAIR_STOPPED, 0, {unsuccessful}, {}, false, true},
        {"statements failed", MySqlRepair::REPAIR_INCOMPLETE, 2,
         {"2 statement(s) of the repair failed.", unsuccessful, ""}, {unsuccessful}, true, true},
        {"succeeded", MySqlRepair::REPAIR_SUCCEEDED, 0, {successful, ""}, {successful}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppState app;
        MySqlRepair engine{app};
        testsupport::RecordingReportWindow report{app};
        engine.m_hWndReport = &report;
        engine.m_statementsFailed = c.statementsFailed;
        app.m_bRepair = true;
        app.m_bAllSelected = true;
        engine.ReportRepairOutcome(c.outcome);
        QStringList log = report.log();
        if (c.completionLine) {
            ASSERT_FALSE(log.isEmpty());
            EXPECT_TRUE(log.takeLast().startsWith("Repair process completed on "));
        }
        EXPECT_EQ(log, c.firstLines);
        EXPECT_EQ(report.m_boxes, c.boxes);
        EXPECT_FALSE(app.m_bRepair);
        EXPECT_EQ(app.m_bAllSelected, !c.selectionCleared) << "a repair that did not run keeps the selection";
        EXPECT_EQ(app.m_bTablesFound, !c.selectionCleared);
    }
}

} // namespace
