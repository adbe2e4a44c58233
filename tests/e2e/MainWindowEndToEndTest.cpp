// The program driven through its main window, offscreen, against a real
// MariaDB server registered as a service: the start-up dialog with its
// pickers, the database selection, the tree, a preview, Repair with the
// login dialog, Stop - every dialog answered as a user would.
#include "tests/app/ShellTestSupport.h"

#include "app/CLeftView.h"
#include "app/CVeltraxMySqlRecoveryView.h"
#include "app/FileDialogs.h"
#include "app/controls/CMyListCtrl.h"
#include "app/dialogs/CConDlg.h"
#include "app/dialogs/CDatabaseListDlg.h"
#include "app/dialogs/CDlgIbdataFilePath.h"
#include "app/dialogs/CMyExitStopDialog.h"
#include "app/dialogs/CVersionThreeMsg.h"
#include "app/dialogs/StartUpDialog.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"
#include "tests/support/EnvironmentServer.h"
#include "tests/support/ExpectedRows.h"
#include "tests/updater/UpdateServer.h"
#include "updater/CAutoUpdater.h"
#include "updater/CUpdatePropertySheet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

using app::CMainFrame;
using app::theApp;
using platform::ServiceControl;
using platform::ServiceState;
using testsupport::TestMachine;
using testsupport::TestServer;

namespace {

using testsupport::kServerWait;

CMainFrame& frame()
{
    return *theApp().mainFrame();
}

// The pickers, answered as the user would: this folder, this file.
class AnsweredFileDialogs : public app::FileDialogs {
public:
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString existingDirectory(QWidget*, const QString&) override { return m_folder; }
    QString openFileName(QWidget*, const QString&) override { return m_before.isEmpty() ? m_file : m_before.takeFirst(); }
    QString m_folder;
    QString m_file;
    // Files offered before m_file, one per showing of the file dialog.
    QStringList m_before;
};

void clickLater(QAbstractButton* button)
{
    // Queued: a click that opens a dialog must not run inside this timer's slot.
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

// Answers every dialog the road through the window opens, records each.
class User {
public:
    User()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); });
        m_timer.start();
    }
    bool m_stopYes = true;
    // The start-up dialog's choice: the service's own data folder, or a
    // folder picked through Browse.
    bool m_defaultLocation = false;
    QStringList m_seen;

private:
    void answer()
    {
        QWidget* modal = QApplication::activeModalWidget();
        // A dialog still open a while after its answer is answered again
        // (its next step: the start-up dialog's OK after its pickers).
        if (!modal || (modal == m_last && m_since.elapsed() < 700))
            return;
        const bool again = modal == m_last;
        m_last = modal;
        m_since.start();
        if (auto* start = qobject_cast<app::StartUpDialog*>(modal)) {
            if (m_defaultLocation) {
                m_seen << "start-up";
                start->m_radDefault->setChecked(true);
                start->OnDefaultLocation();
                clickLater(start->m_btnOK);
                return;
            }
            if (start->m_btnOK->isEnabled() && start->m_radManual->isChecked()) {
                clickLater(start->m_btnOK);
                return;
            }
            m_seen << "start-up";
            start->m_radManual->setChecked(true);
            start->OnManualSelection();
            clickLater(start->m_btnBrowse);
        } else if (auto* ibdata = qobject_cast<app::CDlgIbdataFilePath*>(modal)) {
            if (ibdata->m_btnOK->isEnabled() && !ibdata->m_edtPath->text().isEmpty()) {
                clickLater(ibdata->m_btnOK);
                return;
            }
            m_seen << "ibdata1";
            clickLater(ibdata->m_btnBrowse);
        } else if (auto* list = qobject_cast<app::CDatabaseListDlg*>(modal)) {
            if (!again)
                m_seen << "databases";
            if (!list->m_btnOK->isEnabled())
                list->m_btnSelectAll->click();
            clickLater(list->m_btnOK);
        } else if (auto* login = qobject_cast<app::CConDlg*>(modal)) {
            m_seen << "login";
            login->m_edtUser->setText("root");
            login->m_edtHost->setText("127.0.0.1");
            clickLater(login->m_btnOK);
        } else if (auto* question = qobject_cast<app::CMyExitStopDialog*>(modal)) {
            m_seen << "question:" + question->text();
            clickLater(m_stopYes ? question->yesButton() : question->noButton());
        } else if (auto* box = qobject_cast<app::UserMessage*>(modal)) {
            m_seen << "box:" + box->text();
            clickLater(box->okButton());
        } else if (auto* notice = qobject_cast<app::CVersionThreeMsg*>(modal)) {
            m_seen << "version-three";
            notice->accept();
        } else if (auto* wizard = qobject_cast<updater::CUpdatePropertySheet*>(modal)) {
            // Next while it is offered, then Finish; asked again until one is.
            m_last = nullptr;
            if (wizard->finishButton()->isVisible() && wizard->finishButton()->isEnabled()) {
                m_seen << "wizard:finish";
                m_last = modal;
                clickLater(wizard->finishButton());
            } else if (wizard->nextButton()->isVisible() && wizard->nextButton()->isEnabled()) {
                m_seen << "wizard:next";
                m_last = modal;
                clickLater(wizard->nextButton());
            }
        } else if (auto* message = qobject_cast<QMessageBox*>(modal)) {
            m_seen << "message:" + message->text();
            clickLater(message->button(QMessageBox::Ok));
        } else {
            m_last = nullptr;
        }
    }
    QTimer m_timer;
    QPointer<QWidget> m_last;
    QElapsedTimer m_since;
};

QTreeWidgetItem* findItem(QTreeWidgetItem* under, const QString& text)
{
    for (int i = 0; i < under->childCount(); ++i) {
        QTreeWidgetItem* child = under->child(i);
        if (child->text(0) == text)
            return child;
        if (QTreeWidgetItem* found = findItem(child, text))
            return found;
    }
    return nullptr;
}

QTreeWidgetItem* tableItem(const QString& database, const QString& table)
{
    QTreeWidgetItem* db = findItem(frame().leftView()->root(), database);
    return db ? findItem(db, table) : nullptr;
}

// Clicks a table in the tree and waits for its preview: the rows shown.
int shownRows(QTreeWidgetItem* table)
{
    app::CLeftView& tree = *frame().leftView();
    tree.scrollToItem(table);
    const QPoint at = tree.labelRect(table).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, tree.viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &press);
    if (!theApp().WaitForJob(60000))
        return -1;
    const app::CMyListCtrl* rows = frame().previewView()->m_pDataList;
    return rows ? rows->rowCount() : -1;
}

// The rows the server returned when the fixture was made, as the client prints them.
QStringList expectedRows(const QString& database, const QString& table)
{
    QStringList rows;
    const QString file = testsupport::ExpectedRows::setFolder("default") + "/expected/" + database + "/" + table;
    for (const QString& line : QString::fromUtf8(testsupport::readAll(file + ".rows.tsv")).split('\n', Qt::SkipEmptyParts)) {
        QStringList fields = line.split('\t');
        for (QString& field : fields)
            if (field == "\\N")
                field = "NULL";
        rows << fields.join('\t');
    }
    return rows;
}

QStringList recoveredRows(const TestServer& server, const QString& database, const QString& table)
{
    const QString file = testsupport::ExpectedRows::setFolder("default") + "/expected/" + database + "/" + table;
    QString select = QString::fromUtf8(testsupport::readAll(file + ".rows.sql"));
    select.replace("FROM `" + database + "`.", "FROM `recovered_" + database + "`.");
    const auto result = server.sql(("SET NAMES utf8mb4; SET time_zone = '+00:00'; " + select).toStdString());
    EXPECT_EQ(result.status, 0) << result.output;
    return QString::fromStdString(result.output).split('\n', Qt::SkipEmptyParts);
}

// A server of the test machine with a database of its own, running.
struct OwnServer {
    explicit OwnServer(const QString& copyOf = {}) : server(machine, QStringLiteral("MySQLWindow"), {}, copyOf) {}
    TestMachine machine;
    TestServer server;

    bool begin()
    {
        if (!server.installed())
            return false;
        if (ServiceControl::query(server.name()) == ServiceState::Stopped && !ServiceControl::start(server.name()))
            return false;
        return ServiceControl::waitFor(server.name(), ServiceState::Running, kServerWait)
            && server.sql("CREATE DATABASE own; CREATE TABLE own.t (a INT PRIMARY KEY) ENGINE=InnoDB;"
                          "INSERT INTO own.t VALUES (1),(2),(3)")
                       .status
            == 0;
    }
    bool ownDataReadable() const { return server.sql("SELECT COUNT(*) FROM own.t").output == "3\n"; }
};

class MainWindowEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        shelltest::resetShell();
        frame().showNormal();
        frame().resize(1000, 700);
        theApp().UseStandardDialogs();
        frame().setFileDialogs(&m_files);
    }
    void TearDown() override
    {
        frame().setFileDialogs(nullptr);
        theApp().m_startUpDialog = nullptr;
        shelltest::resetShell();
    }

    // Select, answered through the start-up dialog's pickers and the
    // database selection.
    void select(const QString& folder, const QString& ibdata)
    {
        m_files.m_folder = folder;
        m_files.m_file = ibdata;
        ASSERT_TRUE(theApp().FindMySqlServices());
        // The enabling follows the last job at once, not at idle pace.
        frame().UpdateCommandUI();
        ASSERT_TRUE(frame().action(CMainFrame::ID_OPEN)->isEnabled());
        frame().action(CMainFrame::ID_OPEN)->trigger();
        ASSERT_TRUE(theApp().WaitForJob(180000));
        ASSERT_TRUE(frame().leftView()->hasDatabases()) << frame().logLines().join('\n').toStdString();
    }

    void repairAndWait()
    {
        frame().UpdateCommandUI();
        ASSERT_TRUE(frame().action(CMainFrame::ID_STARTREPAIR)->isEnabled());
        frame().action(CMainFrame::ID_STARTREPAIR)->trigger();
        EXPECT_FALSE(theApp().m_bIdle);
        ASSERT_TRUE(theApp().WaitForJob(300000));
    }

    AnsweredFileDialogs m_files;
};

TEST_F(MainWindowEndToEnd, TwoCheckedTablesOfTwoDatabasesOfTheServicesFolderComeBackAlone)
{
    // The fixture folder is the service's own data folder.
    OwnServer own(testsupport::ExpectedRows::setFolder("default") + "/data");
    ASSERT_TRUE(own.begin()) << own.server.log();
    User user;
    user.m_defaultLocation = true;
    select(QString(), QString());
    EXPECT_EQ(user.m_seen.mid(0, 2), (QStringList{"start-up", "databases"}));
    EXPECT_TRUE(theApp().m_bDefaultLocation);

    app::CLeftView& tree = *frame().leftView();
    tree.ToggleCheck(tree.root());
    ASSERT_EQ(tree.rootCheckState(), app::TREE_UNCHECKED);
    QTreeWidgetItem* myisam = tableItem("fx_myisam", "fixed_rows");
    QTreeWidgetItem* innodb = tableItem("fx_innodb_ibd", "composite_pk");
    ASSERT_TRUE(myisam && innodb);
    tree.ToggleCheck(myisam);
    tree.ToggleCheck(innodb);
    EXPECT_EQ(tree.rootCheckState(), app::TREE_PARTIAL);

    user.m_seen.clear();
    repairAndWait();
    EXPECT_EQ(user.m_seen.value(0), "login");
    EXPECT_TRUE(user.m_seen.contains("box:Repair process finished successfully."))
        << user.m_seen.join('\n').toStdString() << frame().logLines().join('\n').toStdString() << own.server.log();
    EXPECT_TRUE(own.ownDataReadable()) << own.server.log();
    EXPECT_EQ(recoveredRows(own.server, "fx_myisam", "fixed_rows"), expectedRows("fx_myisam", "fixed_rows"));
    EXPECT_EQ(recoveredRows(own.server, "fx_innodb_ibd", "composite_pk"), expectedRows("fx_innodb_ibd", "composite_pk"));
    const auto tables = own.server.sql("SELECT TABLE_SCHEMA, TABLE_NAME FROM information_schema.TABLES "
                                       "WHERE TABLE_SCHEMA LIKE 'recovered\\_%' ORDER BY 1, 2");
    EXPECT_EQ(tables.output, "recovered_fx_innodb_ibd\tcomposite_pk\nrecovered_fx_myisam\tfixed_rows\n");
}

TEST_F(MainWindowEndToEnd, TheWholeRoadFromAChosenFolderToTheRecoveredRows)
{
    OwnServer own;
    ASSERT_TRUE(own.begin()) << own.server.log();
    // The user's folder: two databases; its ibdata1 lies elsewhere.
    const QString data = testsupport::ExpectedRows::setFolder("default") + "/data";
    const QString chosen = own.machine.dir().mkdir("chosen");
    const QString spare = own.machine.dir().mkdir("spare");
    const auto copied = testsupport::runCommand("cp -a " + TestServer::quoted(data + "/fx_myisam") + " "
                                                + TestServer::quoted(data + "/fx_innodb_ibd") + " "
                                                + TestServer::quoted(chosen) + " && cp -a "
                                                + TestServer::quoted(data + "/ibdata1") + " " + TestServer::quoted(spare));
    ASSERT_EQ(copied.status, 0) << copied.output;

    User user;
    select(chosen, spare + "/ibdata1");
    EXPECT_EQ(user.m_seen.mid(0, 3), (QStringList{"start-up", "ibdata1", "databases"}));
    EXPECT_TRUE(theApp().m_bManualFolder);
    EXPECT_EQ(theApp().m_strIbdataPath, spare + "/ibdata1");

    // The whole folder stays checked.
    app::CLeftView& tree = *frame().leftView();
    EXPECT_EQ(tree.rootCheckState(), app::TREE_CHECKED);
    QTreeWidgetItem* myisam = tableItem("fx_myisam", "fixed_rows");
    ASSERT_NE(myisam, nullptr);

    // A click on one shows its rows.
    tree.scrollToItem(myisam);
    const QPoint at = tree.labelRect(myisam).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, tree.viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &press);
    ASSERT_TRUE(theApp().WaitForJob(60000));
    app::CMyListCtrl* rows = frame().previewView()->m_pDataList;
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows->rowCount(), std::min<qsizetype>(100, expectedRows("fx_myisam", "fixed_rows").size()));

    // Before the server gets its own ibdata1 back (the restore's progress
    // begins), the recovered tables are on it: their rows then.
    QStringList myisamRows, innodbRows;
    auto connection = QObject::connect(&frame(), &CMainFrame::reportHandled, &frame(), [&](unsigned message, quintptr w, qintptr l) {
        if (message == engine::WM_STATUS_PROGRESS && w == engine::PROGRESS_BEGIN && l == 1000 && myisamRows.isEmpty()) {
            myisamRows = recoveredRows(own.server, "fx_myisam", "fixed_rows");
            innodbRows = recoveredRows(own.server, "fx_innodb_ibd", "composite_pk");
        }
    });
    user.m_seen.clear();
    repairAndWait();
    QObject::disconnect(connection);
    EXPECT_EQ(user.m_seen.value(0), "login");
    EXPECT_TRUE(user.m_seen.contains("box:Repair process finished successfully."))
        << user.m_seen.join('\n').toStdString() << frame().logLines().join('\n').toStdString() << own.server.log();

    // The tables hold the original rows.
    EXPECT_TRUE(own.ownDataReadable()) << own.server.log();
    EXPECT_EQ(myisamRows, expectedRows("fx_myisam", "fixed_rows"));
    EXPECT_EQ(innodbRows, expectedRows("fx_innodb_ibd", "composite_pk"));
    // Then they wait in the dated folder, and the server runs on its own data.
    const QStringList recovered = QDir(own.server.dataDir()).entryList({"Recovered_Data_*"}, QDir::Dirs);
    ASSERT_EQ(recovered.size(), 1);
    EXPECT_TRUE(QFileInfo(own.server.dataDir() + "/" + recovered.front() + "/recovered_fx_myisam/fixed_rows.MYD").isFile());
    // The user's own files are as they were.
    EXPECT_TRUE(testsupport::readAll(spare + "/ibdata1") == testsupport::readAll(data + "/ibdata1"));
}

TEST_F(MainWindowEndToEnd, AFolderWhoseIbdata1HasADamagedFirstPageIsChosenScannedAndShown)
{
    // A service is installed (so the start-up dialog offers both choices);
    // a scan of a chosen folder does not need it running.
    OwnServer own;
    ASSERT_TRUE(own.server.installed()) << own.server.log();
    const QString data = testsupport::ExpectedRows::setFolder("default") + "/data";
    const QString chosen = own.machine.dir().mkdir("chosen");
    const QString without = own.machine.dir().mkdir("without");
    const auto copied = testsupport::runCommand(
        "cp -a " + TestServer::quoted(data + "/fx_myisam") + " " + TestServer::quoted(data + "/fx_innodb_ibd") + " "
        + TestServer::quoted(chosen) + " && cp -a " + TestServer::quoted(data + "/fx_myisam") + " "
        + TestServer::quoted(data + "/fx_innodb_ibd") + " " + TestServer::quoted(without));
    ASSERT_EQ(copied.status, 0) << copied.output;
    // One byte of the first page changed: its checksum fails.
    QByteArray ibdata1 = testsupport::readAll(data + "/ibdata1");
    ASSERT_GT(ibdata1.size(), 16384);
    ibdata1[1000] = static_cast<char>(ibdata1[1000] ^ 0x40);
    const QString damaged = own.machine.dir().write("chosen/ibdata1", ibdata1);
    const auto linesNaming = [](const QStringList& log, const QString& file) {
        return log.filter(file).filter("is damaged").size();
    };
    const auto expectScannedAndShown = [&] {
        QTreeWidgetItem* myisam = tableItem("fx_myisam", "fixed_rows");
        QTreeWidgetItem* innodb = tableItem("fx_innodb_ibd", "composite_pk");
        ASSERT_TRUE(myisam && innodb);
        EXPECT_EQ(shownRows(myisam), expectedRows("fx_myisam", "fixed_rows").size());
        EXPECT_EQ(shownRows(innodb), expectedRows("fx_innodb_ibd", "composite_pk").size());
    };

    // The folder's own ibdata1, damaged, is taken as it is: no picker.
    {
        User user;
        const qsizetype before = frame().logLines().size();
        select(chosen, QString());
        EXPECT_EQ(user.m_seen.mid(0, 2), (QStringList{"start-up", "databases"}));
        EXPECT_EQ(theApp().m_strIbdataPath, damaged);
        expectScannedAndShown();
        EXPECT_EQ(linesNaming(frame().logLines().mid(before), damaged), 1) << frame().logLines().join('\n').toStdString();
    }

    // A folder without one: the picker refuses a table's own .ibd with its
    // reason, then takes the damaged ibdata1.
    {
        User user;
        const qsizetype before = frame().logLines().size();
        m_files.m_before = {without + "/fx_innodb_ibd/composite_pk.ibd"};
        select(without, damaged);
        EXPECT_EQ(user.m_seen.mid(0, 2), (QStringList{"start-up", "ibdata1"}));
        const QStringList boxes = user.m_seen.filter("box:");
        ASSERT_EQ(boxes.size(), 1) << user.m_seen.join('\n').toStdString();
        EXPECT_TRUE(boxes[0].contains("composite_pk.ibd is not an InnoDB system tablespace (ibdata1): it is the "
                                      "tablespace of one table"))
            << boxes[0].toStdString();
        EXPECT_TRUE(user.m_seen.contains("databases"));
        EXPECT_EQ(theApp().m_strDataFolder, without + "/");
        EXPECT_EQ(theApp().m_strIbdataPath, damaged);
        expectScannedAndShown();
        EXPECT_EQ(linesNaming(frame().logLines().mid(before), damaged), 1) << frame().logLines().join('\n').toStdString();
    }
    // The user's files are only read.
    EXPECT_EQ(testsupport::readAll(damaged), ibdata1);
}

TEST_F(MainWindowEndToEnd, CloseAfterAScanStartsTheServiceAgainWhileTheWindowPaints)
{
    OwnServer own;
    ASSERT_TRUE(own.begin()) << own.server.log();
    User user;
    user.m_defaultLocation = true;
    select(QString(), QString());
    ASSERT_EQ(ServiceControl::query(own.server.name()), ServiceState::Stopped) << "the scan stopped it";

    // The window's event loop runs while the close waits for the server.
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(20);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start();
    QApplication::setQuitOnLastWindowClosed(false);
    user.m_seen.clear();
    EXPECT_TRUE(frame().close());
    ticker.stop();
    EXPECT_EQ(user.m_seen, QStringList{"question:Exit-Grisolt?"});
    EXPECT_EQ(ServiceControl::query(own.server.name()), ServiceState::Running);
    EXPECT_TRUE(own.ownDataReadable()) << own.server.log();
    EXPECT_GT(ticks, 0);
    EXPECT_TRUE(theApp().repair().m_databases.empty());
}

TEST_F(MainWindowEndToEnd, FinishAfterAnUpdateEndsTheProgramAndTheServiceTheScanStoppedRunsAgain)
{
    OwnServer own;
    ASSERT_TRUE(own.begin()) << own.server.log();
    User user;
    user.m_defaultLocation = true;
    select(QString(), QString());
    ASSERT_EQ(ServiceControl::query(own.server.name()), ServiceState::Stopped) << "the scan stopped it";

    // A newer version on the local update server.
    const QByteArray installer(300 * 1024, 'i');
    own.machine.dir().write("www/upgrade/Grisolt/Grisolt.txt", "3.0.0.9 fixes\n");
    own.machine.dir().write("www/upgrade/Grisolt/Grisolt.exe", installer);
    testsupport::UpdateServer updates(own.machine.dir().file("www"));
    ASSERT_NE(updates.port(), 0);
    const QString product = QStringLiteral("SOFTWARE\\Veltrax\\Grisolt");
    platform::Registry::setValue(product, "Version", "3.0.0.1");
    platform::Registry::setValue(product, "ExeName", "Grisolt");
    platform::Registry::setValue(product, "UPDATE_BASE_URL", updates.baseUrl());
    platform::Registry::setValue(product, "UPDATE_DOWNLOAD_HOST", updates.hostAndPort());

    // The program's own event loop runs until the program ends (or a deadline).
    user.m_seen.clear();
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    deadline.start(120000);
    QTimer::singleShot(0, &frame(), [] { frame().action(CMainFrame::ID_UPDATE)->trigger(); });
    const int exitCode = QApplication::exec();
    deadline.stop();

    EXPECT_EQ(exitCode, 0) << user.m_seen.join('\n').toStdString();
    EXPECT_TRUE(user.m_seen.contains("wizard:finish")) << user.m_seen.join('\n').toStdString();
    EXPECT_FALSE(user.m_seen.contains("question:Exit-Grisolt?")) << "Finish asks nothing more";
    EXPECT_FALSE(frame().isVisible());
    EXPECT_EQ(ServiceControl::query(own.server.name()), ServiceState::Running);
    EXPECT_TRUE(own.ownDataReadable()) << own.server.log();
    EXPECT_TRUE(theApp().repair().m_databases.empty());
    // The installer is there, whole, and was not run.
    const QString setup = theApp().m_pUpdater->setupPath();
    ASSERT_FALSE(setup.isEmpty());
    EXPECT_EQ(testsupport::readAll(setup), installer);
    EXPECT_TRUE(user.m_seen.contains("message:The new installer has been saved as:\n" + QDir::toNativeSeparators(setup)
                                     + "\n\nGrisolt will now close. Run the installer to update it."))
        << user.m_seen.join('\n').toStdString();
}

TEST_F(MainWindowEndToEnd, StopDuringALongRepairEndsItAndTheServerKeepsItsData)
{
    OwnServer own;
    ASSERT_TRUE(own.begin()) << own.server.log();
    ASSERT_EQ(own.server
                  .sql("CREATE DATABASE big; CREATE TABLE big.a_big (id INT PRIMARY KEY, v VARCHAR(200)) ENGINE=InnoDB;"
                       "SET SESSION max_recursive_iterations = 10000; INSERT INTO big.a_big WITH RECURSIVE s(n) AS "
                       "(SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < 3000) SELECT n, REPEAT('x', 150) FROM s;"
                       "CREATE TABLE big.b_after (id INT) ENGINE=MyISAM; INSERT INTO big.b_after VALUES (1), (2)")
                  .status,
              0);
    ASSERT_TRUE(ServiceControl::stop(own.server.name(), kServerWait));
    const QString chosen = own.machine.dir().mkdir("chosen");
    const auto copied = testsupport::runCommand("cp -a " + TestServer::quoted(own.server.dataDir() + "/ibdata1") + " "
                                                + TestServer::quoted(own.server.dataDir() + "/big") + " "
                                                + TestServer::quoted(chosen));
    ASSERT_EQ(copied.status, 0) << copied.output;
    ASSERT_TRUE(ServiceControl::start(own.server.name()));
    ASSERT_TRUE(ServiceControl::waitFor(own.server.name(), ServiceState::Running, kServerWait));

    User user;
    select(chosen, chosen + "/ibdata1");

    // Stop pressed while the big table's rows are written.
    bool pressed = false;
    auto connection = QObject::connect(&frame(), &CMainFrame::reportHandled, &frame(), [&](unsigned message, quintptr, qintptr) {
        if (pressed || message != engine::WM_APPEND_LOG || theApp().message() != "Table in process.. a_big")
            return;
        pressed = true;
        EXPECT_TRUE(frame().action(CMainFrame::ID_STOP)->isEnabled());
        frame().action(CMainFrame::ID_STOP)->trigger();
    });
    user.m_seen.clear();
    repairAndWait();
    QObject::disconnect(connection);
    ASSERT_TRUE(pressed) << frame().logLines().join('\n').toStdString();
    const QString log = frame().logLines().join('\n');
    EXPECT_TRUE(user.m_seen.contains("question:Do you want to stop current repair process ?"))
        << user.m_seen.join('\n').toStdString();
    EXPECT_TRUE(user.m_seen.contains("box:Process stopped by user. "));
    EXPECT_TRUE(log.contains("Process stopped by user on ")) << log.toStdString();
    EXPECT_TRUE(log.contains("The repair was stopped by the user")) << log.toStdString();
    EXPECT_FALSE(log.contains("Table in process.. b_after")) << "no table after the stop";
    EXPECT_FALSE(user.m_seen.contains("box:Repair process finished successfully."));
    EXPECT_TRUE(theApp().m_bIdle);

    // The server runs on its own ibdata1, none waits in a backup folder.
    EXPECT_TRUE(own.ownDataReadable()) << own.server.log();
    EXPECT_TRUE(QDir(own.server.dataDir()).entryList({"old_ibdata1_*"}, QDir::Dirs).isEmpty()
                || QDir(own.server.dataDir() + "/" + QDir(own.server.dataDir()).entryList({"old_ibdata1_*"}, QDir::Dirs).value(0))
                       .entryList(QDir::Files)
                       .isEmpty());
    EXPECT_EQ(ServiceControl::query(own.server.name()), ServiceState::Running);
}

} // namespace
