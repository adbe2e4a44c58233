#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/ReportWindow.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using engine::AppState;
using engine::MySqlRepair;
using testsupport::RecordingReportWindow;
using testsupport::TempDir;

namespace {

// A view definition as the server writes it: a small text file.
const QByteArray kViewFrm = "TYPE=VIEW\nquery=select 1 AS `1`\n";

class ScanTest : public ::testing::Test {
protected:
    ScanTest()
    {
        m_engine.m_hWndReport = &m_report;
        m_engine.m_hWndScanProgress = &m_steps;
    }

    QString data() const { return m_dir.path() + "/data/"; }
    void selectAll()
    {
        for (const auto& record : m_app.m_dataFolders)
            m_app.m_selectedDatabases << record.m_databaseFolders;
    }

    TempDir m_dir;
    AppState m_app;
    MySqlRepair m_engine{m_app};
    RecordingReportWindow m_report{m_app};
    RecordingReportWindow m_steps{m_app};
};

TEST_F(ScanTest, ListingLeavesOutTheSystemDatabase)
{
    m_dir.mkdir("data/a/sub");
    m_dir.mkdir("data/b");
    m_dir.mkdir("data/mysql");
    m_dir.mkdir("data/MySQL_copy");
    m_app.m_bManualFolder = true;
    m_app.m_strDataFolder = data();
    m_engine.ListDatabaseFolders();
    ASSERT_EQ(m_app.m_dataFolders.size(), 1u);
    EXPECT_EQ(m_app.m_dataFolders[0].m_databaseFolders,
              (QStringList{data() + "MySQL_copy/", data() + "a/", data() + "a/sub/", data() + "b/"}));
    EXPECT_TRUE(m_engine.m_bDatabaseFound);
}

TEST_F(ScanTest, ListingFindsNothing)
{
    const struct {
        const char* name;
        bool manual;
        bool makeFolders;
    } cases[] = {
        {"only the system database", true, true},
        {"a chosen folder that does not exist", true, false},
        {"no start mode", false, true},
    };
    for (const auto& c : cases) {
        AppState app;
        MySqlRepair engine(app);
        TempDir dir;
        if (c.makeFolders)
            dir.mkdir("data/mysql");
        app.m_bManualFolder = c.manual;
        app.m_strDataFolder = dir.path() + "/data";
        engine.ListDatabaseFolders();
        EXPECT_FALSE(engine.m_bDatabaseFound) << c.name;
        for (const auto& record : app.m_dataFolders)
            EXPECT_TRUE(record.m_databaseFolders.isEmpty()) << c.name;
    }
}

TEST_F(ScanTest, DefaultLocationListsTheServersDataFolder)
{
    m_dir.mkdir("data/shop");
    m_app.m_bDefaultLocation = true;
    m_engine.m_strDataFolder = data();
    m_engine.ListDatabaseFolders();
    ASSERT_EQ(m_app.m_dataFolders.size(), 1u);
    EXPECT_EQ(m_app.m_dataFolders[0].m_databaseFolders, QStringList{data() + "shop/"});
}

TEST_F(ScanTest, ProgressStepsAndTriggerPaths)
{
    for (const char* name : {"db/v1.frm", "db/v2.frm", "db/v3.frm", "db/t1.TRG", "db/t2.TRG", "db/t1.TRN",
                             "db/.hidden.frm", "db/.x.TRG", "db/notes.txt"})
        m_dir.write(QString("data/") + name, kViewFrm);
    m_app.m_selectedDatabases = {data() + "db/"};
    m_engine.ScanDataFolder();

    ASSERT_EQ(m_engine.m_databases.size(), 1u);
    const auto& db = *m_engine.m_databases[0];
    EXPECT_EQ(db.m_name, "db");
    EXPECT_EQ(db.m_triggerFiles, (QStringList{data() + "db/t1.TRG", data() + "db/t2.TRG"}));
    EXPECT_EQ(db.m_viewFiles, (QStringList{data() + "db/v1.frm", data() + "db/v2.frm", data() + "db/v3.frm"}));
    EXPECT_TRUE(db.m_tables.empty());
    EXPECT_TRUE(m_app.m_bTablesFound) << "views count as table definitions found";
    EXPECT_TRUE(m_report.m_boxes.isEmpty());
    EXPECT_EQ(m_report.log(), QStringList{"Scanning Database(s)..."});

    // Listing .frm: begin(1 database), 3 steps, end; .TRG: begin(1), 2 steps, end;
    // reading: begin(3), 3 steps, end.
    std::vector<std::pair<std::uintptr_t, std::intptr_t>> progress;
    for (const auto& sent : m_report.m_sent)
        if (sent.message == engine::WM_STATUS_PROGRESS)
            progress.emplace_back(sent.wParam, sent.wParam == engine::PROGRESS_BEGIN ? sent.lParam : 0);
    const std::vector<std::pair<std::uintptr_t, std::intptr_t>> expected = {
        {1, 1}, {3, 0}, {1, 1}, {3, 0}, {1, 3}, {2, 0}, {2, 0}, {2, 0}, {3, 0}};
    EXPECT_EQ(progress, expected);
    EXPECT_EQ(m_steps.m_sent.size(), 5u) << "one listing step per file found";
}

TEST_F(ScanTest, SystemDatabaseIsSkippedButOtherCasesAreScanned)
{
    m_dir.write("data/mysql/user.frm", kViewFrm);
    m_dir.write("data/MySQL/v.frm", kViewFrm);
    m_app.m_selectedDatabases = {data() + "mysql/", data() + "MySQL/"};
    m_engine.ScanDataFolder();
    ASSERT_EQ(m_engine.m_databases.size(), 1u);
    EXPECT_EQ(m_engine.m_databases[0]->m_name, "MySQL");
}

TEST_F(ScanTest, NoDefinitionAnywhereEmptiesTheModelAndSaysSo)
{
    m_dir.mkdir("data/empty1");
    m_dir.write("data/empty2/readme.txt", QByteArray("x"));
    m_app.m_selectedDatabases = {data() + "empty1/", data() + "empty2/"};
    m_app.m_bOldVersionTables = true;
    m_engine.ScanDataFolder();
    EXPECT_TRUE(m_engine.m_databases.empty());
    EXPECT_EQ(m_report.m_boxes, QStringList{"Either incorrect path or table(s) in database(s) not present..."});
    EXPECT_FALSE(m_app.m_bOldVersionTables);
}

TEST_F(ScanTest, NothingSelectedOnlyLogs)
{
    m_app.m_bOldVersionTables = true;
    m_engine.ScanDataFolder();
    EXPECT_EQ(m_report.log(), QStringList{"Scanning Database(s)..."});
    EXPECT_TRUE(m_report.m_boxes.isEmpty());
    EXPECT_TRUE(m_app.m_bOldVersionTables) << "untouched when nothing was selected";
}

TEST_F(ScanTest, StopDuringTheSecondDatabaseKeepsWhatWasRead)
{
    for (const char* db : {"a", "b", "c"})
        for (const char* v : {"v1.frm", "v2.frm"})
            m_dir.write(QString("data/%1/%2").arg(db, v), kViewFrm);
    m_app.m_selectedDatabases = {data() + "a/", data() + "b/", data() + "c/"};
    int readSteps = 0;
    m_report.m_onSend = [&](const RecordingReportWindow::Sent& sent) {
        if (sent.message == engine::WM_STATUS_PROGRESS && sent.wParam == engine::PROGRESS_STEP && ++readSteps == 3)
            m_app.m_bStop = true; // after the first definition of b
    };
    m_engine.ScanDataFolder();
    ASSERT_EQ(m_engine.m_databases.size(), 2u);
    EXPECT_EQ(m_engine.m_databases[1]->m_name, "b");
    EXPECT_EQ(m_engine.m_databases[1]->m_viewFiles.size(), 1);
}

} // namespace
