#include "tests/app/ShellTestSupport.h"
#include "app/CLeftView.h"
#include "app/CVeltraxMySqlRecoveryView.h"
#include "app/controls/CMyListCtrl.h"
#include "app/controls/CToolTipListCtrl.h"
#include "app/dialogs/CDatabaseListDlg.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>

using namespace engine;
using app::CRecoveryThread;
using app::theApp;
using shelltest::BoxAnswerer;
using shelltest::ReportRecorder;

namespace {

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override { shelltest::resetShell(); }
    void TearDown() override { shelltest::resetShell(); }

    // Answers every box a job shows, so that none waits for a user.
    BoxAnswerer m_boxes;

    // Runs one job to its end, serving its reports meanwhile.
    void runJob(std::unique_ptr<CRecoveryThread> worker)
    {
        ASSERT_TRUE(theApp().m_bIdle);
        // Not checked for busy here: a job with nothing to do may already
        // have ended (StartingWhileAJobRunsIsRefused covers the busy state).
        ASSERT_TRUE(theApp().StartJob(std::move(worker)));
        ASSERT_TRUE(theApp().WaitForJob(120000));
        // Every job ends the same way, whatever happened in it.
        EXPECT_TRUE(theApp().m_bIdle);
        EXPECT_FALSE(theApp().m_bStop);
    }

    // Scans the named databases of the fixture folder, with its own ibdata1
    // unless another is named.
    void scan(const QStringList& databases, const QString& ibdata = QString())
    {
        ASSERT_TRUE(QFileInfo::exists(shelltest::fixtureData() + "fx_myisam")) << "fixtures missing";
        theApp().m_bManualFolder = true;
        theApp().m_strDataFolder = shelltest::fixtureData();
        theApp().m_strIbdataPath = ibdata.isEmpty() ? shelltest::fixtureData() + "ibdata1" : ibdata;
        theApp().mainFrame()->m_databaseListDialog = [databases] {
            for (const auto& record : theApp().m_dataFolders)
                for (const QString& folder : record.m_databaseFolders)
                    if (databases.contains(QDir(folder).dirName()))
                        theApp().m_selectedDatabases << folder;
            theApp().FreeDataFolderRecords();
            return true;
        };
        runJob(theApp().NewWorker());
    }

    TableInformation* table(const QString& database, const QString& name) const
    {
        for (const auto& db : theApp().repair().m_databases)
            if (db->m_name == database)
                for (const auto& t : db->m_tables)
                    if (t->m_name == name)
                        return t.get();
        return nullptr;
    }
    const MySqlInfo* database(const QString& name) const
    {
        for (const auto& db : theApp().repair().m_databases)
            if (db->m_name == name)
                return db.get();
        return nullptr;
    }
};

TEST_F(WorkerTest, ChoosesItsJobFromTheSharedState)
{
    const struct {
        const char* name;
        bool modelEmpty, repair, pageRequest, table, view, trigger;
        app::RecoveryJob expected;
    } cases[] = {
        {"an empty model always scans", true, true, true, true, true, true, app::JOB_SCAN},
        {"repair before anything else", false, true, true, true, false, false, app::JOB_REPAIR},
        {"a page request before a click", false, false, true, true, true, true, app::JOB_PREVIEW_PAGE},
        {"table before view", false, false, false, true, true, true, app::JOB_PREVIEW_TABLE},
        {"view before trigger", false, false, false, false, true, true, app::JOB_VIEW_TEXT},
        {"trigger", false, false, false, false, false, true, app::JOB_TRIGGER_TEXT},
        {"nothing asked", false, false, false, false, false, false, app::JOB_NONE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        theApp().repair().ClearDatabaseInfo();
        if (!c.modelEmpty)
            theApp().repair().m_databases.push_back(std::make_unique<MySqlInfo>());
        theApp().m_bRepair = c.repair;
        theApp().m_bPageRequest = c.pageRequest;
        auto worker = theApp().NewWorker();
        worker->m_bTableJob = c.table;
        worker->m_bViewJob = c.view;
        worker->m_bTriggerJob = c.trigger;
        EXPECT_EQ(worker->ChooseJob(), c.expected);
    }
}

TEST_F(WorkerTest, ScanReportsInOrderAndBuildsTheModel)
{
    ReportRecorder recorder(*theApp().mainFrame());
    scan({"fx_myisam", "fx_objects"});
    ASSERT_NE(database("fx_myisam"), nullptr);
    ASSERT_NE(database("fx_objects"), nullptr);
    EXPECT_EQ(recorder.messages(), (std::vector<unsigned>{WM_RESET_TREE, WM_SCAN_FINISHED}));
    const QStringList log = recorder.log();
    ASSERT_GE(log.size(), 7);
    EXPECT_EQ(log[0], QString());
    EXPECT_TRUE(log[1].startsWith("Scanning process started on ")) << log[1].toStdString();
    EXPECT_EQ(log[2], QString());
    EXPECT_EQ(log[log.size() - 3], QString());
    EXPECT_EQ(log[log.size() - 2], QString());
    EXPECT_TRUE(log.last().startsWith("Scanning completed on "));
    // The scan's bar: begun, stepped and ended, in that order.
    const QStringList progress = recorder.progress();
    ASSERT_GE(progress.size(), 2);
    EXPECT_TRUE(progress.first().startsWith('B'));
    EXPECT_EQ(progress.last(), "E");
    EXPECT_FALSE(theApp().mainFrame()->progress().shown);
    EXPECT_TRUE(recorder.allOnGuiThread());
}

TEST_F(WorkerTest, TheScanSaysOnceWhatIsWrongWithItsIbdata1)
{
    testsupport::TempDir dir;
    QFile intact(shelltest::fixtureData() + "ibdata1");
    ASSERT_TRUE(intact.open(QIODevice::ReadOnly));
    QByteArray damaged = intact.readAll();
    damaged[1000] = static_cast<char>(damaged[1000] ^ 0x40);
    const struct {
        const char* name;
        QString ibdata;
        QString line; // what the one line says; none when empty
        bool innodbFound;
    } cases[] = {
        {"an intact ibdata1", QString(), "", true},
        {"a damaged first page", dir.write("damaged/ibdata1", damaged),
         "The first page of the InnoDB system tablespace " + dir.file("damaged/ibdata1")
             + " is damaged: its checksum does not match. InnoDB tables may be missing or incomplete."
               " A repair of only some of the tables puts this file in the server's place;"
               " a server that refuses it gets its own ibdata1 back.",
         true},
        {"one table's tablespace", shelltest::fixtureData() + "fx_innodb_ibd/composite_pk.ibd",
         "is not an InnoDB system tablespace (ibdata1): it is the tablespace of one table", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        shelltest::resetShell();
        ReportRecorder recorder(*theApp().mainFrame());
        scan({"fx_myisam", "fx_innodb_ibd"}, c.ibdata);
        const QStringList said = recorder.log().filter("InnoDB system tablespace");
        if (c.line.isEmpty()) {
            EXPECT_TRUE(said.isEmpty()) << said.join('\n').toStdString();
        } else {
            ASSERT_EQ(said.size(), 1) << said.join('\n').toStdString();
            EXPECT_TRUE(said[0].contains(c.line)) << said[0].toStdString();
        }
        // The tables are listed all the same; the InnoDB ones are found
        // through the dictionary, which a damaged first page leaves whole.
        ASSERT_NE(table("fx_myisam", "fixed_rows"), nullptr);
        ASSERT_NE(table("fx_innodb_ibd", "composite_pk"), nullptr);
        EXPECT_EQ(table("fx_innodb_ibd", "composite_pk")->m_rootPage != 0, c.innodbFound);
    }
}

TEST_F(WorkerTest, ScanWithARepairPendingBuildsNoTree)
{
    ReportRecorder recorder(*theApp().mainFrame());
    theApp().m_bRepair = true;
    scan({"fx_myisam"});
    EXPECT_EQ(recorder.messages(), (std::vector<unsigned>{WM_RESET_TREE}));
}

TEST_F(WorkerTest, ScanOfAFolderWithoutDatabasesSaysSoInABoxAndTheLog)
{
    testsupport::TempDir empty;
    ReportRecorder recorder(*theApp().mainFrame());
    theApp().m_bManualFolder = true;
    theApp().m_strDataFolder = empty.mkdir("data") + '/';
    runJob(theApp().NewWorker());
    EXPECT_EQ(m_boxes.m_texts, QStringList{"No database present in data folder."});
    EXPECT_TRUE(m_boxes.m_onGuiThread);
    EXPECT_EQ(recorder.log().last(), "No database present in data folder.");
    EXPECT_TRUE(theApp().repair().m_databases.empty());
}

TEST_F(WorkerTest, AFolderWithoutDatabasesLeavesNothingForTheNextScansSelection)
{
    testsupport::TempDir empty;
    theApp().m_bManualFolder = true;
    theApp().m_strDataFolder = empty.mkdir("data") + '/';
    runJob(theApp().NewWorker());
    EXPECT_EQ(m_boxes.m_texts, QStringList{"No database present in data folder."});
    EXPECT_TRUE(theApp().m_dataFolders.empty());

    // The next scan's dialog, the real one, offers the fixture's databases at once.
    QStringList listed;
    bool okAfterSelectAll = false;
    theApp().mainFrame()->m_databaseListDialog = [&] {
        app::CDatabaseListDlg dialog(theApp(), theApp().repair(), theApp().mainFrame());
        dialog.show();
        for (int i = 0; i < dialog.m_lstDatabases->topLevelItemCount(); ++i)
            listed << QDir(dialog.m_lstDatabases->topLevelItem(i)->text(0)).dirName();
        dialog.m_btnSelectAll->click();
        okAfterSelectAll = dialog.m_btnOK->isEnabled();
        dialog.m_btnUnselectAll->click();
        for (int i = 0; i < dialog.m_lstDatabases->topLevelItemCount(); ++i)
            if (listed.value(i) == "fx_myisam")
                dialog.m_lstDatabases->topLevelItem(i)->setCheckState(0, Qt::Checked);
        dialog.m_btnOK->click();
        return dialog.result() == QDialog::Accepted;
    };
    theApp().m_strDataFolder = shelltest::fixtureData();
    theApp().m_strIbdataPath = shelltest::fixtureData() + "ibdata1";
    runJob(theApp().NewWorker());
    EXPECT_TRUE(listed.contains("fx_myisam")) << listed.join(' ').toStdString();
    EXPECT_FALSE(listed.contains("mysql"));
    EXPECT_TRUE(okAfterSelectAll);
    EXPECT_NE(database("fx_myisam"), nullptr);
}

TEST_F(WorkerTest, CancelledDatabaseSelectionEndsTheScanQuietly)
{
    ReportRecorder recorder(*theApp().mainFrame());
    theApp().m_bManualFolder = true;
    theApp().m_strDataFolder = shelltest::fixtureData();
    theApp().mainFrame()->m_databaseListDialog = [] { return false; };
    runJob(theApp().NewWorker());
    EXPECT_TRUE(theApp().repair().m_databases.empty());
    EXPECT_EQ(recorder.log().size(), 3);
}

TEST_F(WorkerTest, StopEndsAScanEarlyAndIsClearedAtItsEnd)
{
    theApp().m_bManualFolder = true;
    theApp().m_strDataFolder = shelltest::fixtureData();
    ReportRecorder recorder(*theApp().mainFrame());
    // Stop as soon as the scan's bar appears.
    QObject::connect(theApp().mainFrame(), &app::CMainFrame::reportHandled, theApp().mainFrame(),
                     [](unsigned message, quintptr w, qintptr) {
                         if (message == WM_STATUS_PROGRESS && w == PROGRESS_BEGIN)
                             theApp().RequestStop();
                     });
    runJob(theApp().NewWorker());
    QObject::disconnect(theApp().mainFrame(), &app::CMainFrame::reportHandled, theApp().mainFrame(), nullptr);
    EXPECT_TRUE(theApp().m_bStop == false);
    // Stopped before it read a single table definition.
    std::size_t tables = 0;
    for (const auto& db : theApp().repair().m_databases)
        tables += db->m_tables.size();
    EXPECT_EQ(tables, 0u);
}

TEST_F(WorkerTest, TablePreviewsSendTheirMessagesInTheEnginesOrder)
{
    scan({"fx_myisam", "fx_innodb_ibd"});
    const struct {
        const char* database;
        const char* table;
        std::vector<std::pair<unsigned, qintptr>> expected;
    } cases[] = {
        // MyISAM: the Properties list first, then the columns, then the rows.
        {"fx_myisam", "fixed_rows", {{WM_PREVIEW_TABLE, 1}, {WM_PREVIEW_COLUMNS, 1}, {WM_PREVIEW_TABLE, 0}}},
        // InnoDB: the columns first.
        {"fx_innodb_ibd", "composite_pk", {{WM_PREVIEW_COLUMNS, 1}, {WM_PREVIEW_TABLE, 1}, {WM_PREVIEW_TABLE, 0}}},
        {"fx_innodb_ibd", "empty_table", {{WM_PREVIEW_COLUMNS, 1}, {WM_PREVIEW_TABLE, 1}, {WM_PREVIEW_TABLE, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        TableInformation* t = table(c.database, c.table);
        ASSERT_NE(t, nullptr);
        ReportRecorder recorder(*theApp().mainFrame());
        std::size_t rowsShown = 0;
        QObject::connect(theApp().mainFrame(), &app::CMainFrame::reportHandled, theApp().mainFrame(),
                         [&](unsigned message, quintptr, qintptr l) {
                             // The handler moved the page into the preview's list.
                             if (message == WM_PREVIEW_TABLE && l == 0)
                                 rowsShown += static_cast<std::size_t>(
                                     theApp().mainFrame()->previewView()->m_pDataList->rowCount());
                         });
        // As a click on the table's tree item leaves the preview.
        theApp().mainFrame()->previewView()->SetViewMode(app::CVeltraxMySqlRecoveryView::VIEW_MODE_TABLE);
        theApp().m_nPage = 5;
        auto worker = theApp().NewWorker();
        worker->m_bTableJob = true;
        worker->m_posTable = t;
        runJob(std::move(worker));
        QObject::disconnect(theApp().mainFrame(), &app::CMainFrame::reportHandled, theApp().mainFrame(), nullptr);
        std::vector<std::pair<unsigned, qintptr>> got;
        for (const auto& h : recorder.m_handled)
            if (h.message == WM_PREVIEW_TABLE || h.message == WM_PREVIEW_COLUMNS)
                got.emplace_back(h.message, h.lParam);
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(theApp().m_pPreviewTable, t);
        // The paging state was reset for the new table.
        EXPECT_EQ(theApp().m_nPage, 0);
        if (QString(c.table) != "empty_table") {
            EXPECT_GT(rowsShown, 0u);
        }
    }
}

TEST_F(WorkerTest, APageRequestOutsideThePagesSendsNothing)
{
    scan({"fx_myisam"});
    TableInformation* t = table("fx_myisam", "fixed_rows");
    ASSERT_NE(t, nullptr);
    ReportRecorder recorder(*theApp().mainFrame());
    theApp().m_pPreviewTable = t;
    theApp().repair().m_dataPages = {0};
    for (const std::int32_t page : {-1, 1, 7}) {
        theApp().m_nPage = page;
        theApp().m_bPageRequest = true;
        runJob(theApp().NewWorker());
        EXPECT_FALSE(theApp().m_bPageRequest);
    }
    EXPECT_TRUE(recorder.messages().empty());
    // A page inside: its rows are shown.
    theApp().m_nPage = 0;
    theApp().m_nPageRecords = 100;
    theApp().m_bPageRequest = true;
    runJob(theApp().NewWorker());
    EXPECT_EQ(recorder.messages(), (std::vector<unsigned>{WM_PREVIEW_TABLE}));
}

// The thread checker's case: the click's reset must not meet the page job's
// reads and writes of the paging fields.
TEST_F(WorkerTest, ATreeClickDuringAPageJobLeavesThePagingToTheWorkerUntilItEnds)
{
    scan({"fx_myisam"});
    app::CMainFrame& frame = *theApp().mainFrame();
    frame.show();
    app::CLeftView& tree = *frame.leftView();
    app::CVeltraxMySqlRecoveryView& view = *frame.previewView();
    const auto clickLabel = [&tree](const QString& text) {
        const QList<QTreeWidgetItem*> items = tree.findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(items.size(), 1) << text.toStdString();
        tree.scrollToItem(items[0]);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.labelRect(items[0]).center());
    };
    clickLabel(QStringLiteral("paged_rows"));
    ASSERT_TRUE(theApp().WaitForJob(60000));
    ASSERT_TRUE(view.m_btnNext->isEnabled());

    view.m_btnNext->click();
    ASSERT_FALSE(theApp().m_bIdle) << "the page job runs";
    clickLabel(QStringLiteral("fixed_rows"));
    EXPECT_TRUE(view.resetPending());
    ASSERT_TRUE(theApp().WaitForJob(60000));
    QCoreApplication::processEvents();
    // The second page was read and shown; the click's reset came after it.
    EXPECT_EQ(view.m_pDataList->rowCount(), 100);
    EXPECT_FALSE(view.resetPending());
    EXPECT_EQ(theApp().m_nPage, 0);
    EXPECT_EQ(theApp().m_nRecordsLeft, 0);
    EXPECT_EQ(theApp().m_nPageRecords, 0);
    EXPECT_FALSE(view.m_btnNext->isEnabled());
    EXPECT_FALSE(view.m_btnPrevious->isEnabled());
}

TEST_F(WorkerTest, ViewAndTriggerTextsAreShown)
{
    scan({"fx_objects"});
    const MySqlInfo* db = database("fx_objects");
    ASSERT_NE(db, nullptr);
    ASSERT_FALSE(db->m_viewFiles.isEmpty());
    ASSERT_FALSE(db->m_triggerFiles.isEmpty());

    ReportRecorder views(*theApp().mainFrame());
    QString shown;
    QObject::connect(theApp().mainFrame(), &app::CMainFrame::reportHandled, theApp().mainFrame(),
                     [&](unsigned message, quintptr, qintptr) {
                         if (message == WM_SHOW_OBJECT_TEXT)
                             shown += theApp().repair().m_objectText;
                     });
    auto viewJob = theApp().NewWorker();
    viewJob->m_bViewJob = true;
    viewJob->m_strObjectPath = db->m_viewFiles.first();
    runJob(std::move(viewJob));
    EXPECT_EQ(views.messages(), (std::vector<unsigned>{WM_SHOW_OBJECT_TEXT}));
    EXPECT_TRUE(shown.contains("select", Qt::CaseInsensitive)) << shown.toStdString();

    ReportRecorder triggers(*theApp().mainFrame());
    shown.clear();
    auto triggerJob = theApp().NewWorker();
    triggerJob->m_bTriggerJob = true;
    triggerJob->m_strObjectPath = db->m_triggerFiles.first();
    runJob(std::move(triggerJob));
    QObject::disconnect(theApp().mainFrame(), &app::CMainFrame::reportHandled, theApp().mainFrame(), nullptr);
    ASSERT_FALSE(triggers.messages().empty());
    for (unsigned m : triggers.messages())
        EXPECT_EQ(m, WM_SHOW_OBJECT_TEXT);
    EXPECT_TRUE(shown.contains("TRIGGER", Qt::CaseInsensitive));
}

TEST_F(WorkerTest, ARepairWithoutALoginTouchesNothingAndNeverClaimsSuccess)
{
    scan({"fx_myisam"});
    ReportRecorder recorder(*theApp().mainFrame());
    int logins = 0;
    theApp().mainFrame()->m_loginDialog = [&](QString&, QString&, QString&) {
        ++logins;
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        return false;
    };
    theApp().m_bRepair = true;
    theApp().m_bAllSelected = true;
    runJob(theApp().NewWorker());
    EXPECT_EQ(logins, 1);
    EXPECT_FALSE(theApp().m_bRepair);
    EXPECT_TRUE(theApp().m_bTablesFound);
    // A repair that did not run keeps the selection for the next try.
    EXPECT_TRUE(theApp().m_bAllSelected);
    EXPECT_FALSE(recorder.log().contains("Repair process finished successfully."));
    // A cancelled login logs the one line of a repair that did not run.
    EXPECT_EQ(recorder.log().last(), "Unable to create connection. Please verify login information.");
    EXPECT_FALSE(recorder.log().contains("Repair process finished unsuccessfully."));
    EXPECT_FALSE(m_boxes.m_texts.contains("Repair process finished successfully."));
    EXPECT_FALSE(theApp().m_bConnected);
}

TEST_F(WorkerTest, StartingWhileAJobRunsIsRefused)
{
    theApp().m_bManualFolder = true;
    theApp().m_strDataFolder = shelltest::fixtureData();
    bool refused = false;
    theApp().mainFrame()->m_databaseListDialog = [&] {
        // Asked on the GUI thread while the scan waits for the answer.
        refused = !theApp().StartJob(theApp().NewWorker());
        return false;
    };
    runJob(theApp().NewWorker());
    EXPECT_TRUE(refused);
}

} // namespace
