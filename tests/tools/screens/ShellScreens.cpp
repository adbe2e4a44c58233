#include "tests/tools/screens/Screens.h"

#include "app/CLeftView.h"
#include "app/CMainFrame.h"
#include "app/CRecoveryThread.h"
#include "app/CVeltraxMySqlRecoveryApp.h"
#include "app/CVeltraxMySqlRecoveryView.h"
#include "app/controls/CColorButton.h"
#include "app/dialogs/CMessageDialog.h"
#include "app/dialogs/CMyExitStopDialog.h"
#include "app/dialogs/CVersionThreeMsg.h"
#include "app/dialogs/UserMessage.h"

#include "engine/MySqlRepair.h"
#include "engine/ReportWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QTimer>
#include <QLabel>
#include <QLayout>
#include <QStatusBar>

#include <stdexcept>

namespace screens {

using app::theApp;

namespace {

void pumpEvents(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

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

// The fixture folder the main window's screen scans; GRISOLT_SCREENS_DATA
// names another.
QString dataFolder()
{
    QString folder = qEnvironmentVariable("GRISOLT_SCREENS_DATA", QStringLiteral(GRISOLT_FIXTURES_DIR "/default/data"));
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// The main window after a scan of the fixture folder: the tree with a few
// items cleared, one table previewed, the scan's log and a progress bar.
// Throws std::runtime_error when the folder is missing or holds no database.
std::unique_ptr<QWidget> scannedMainWindow()
{
    app::CVeltraxMySqlRecoveryApp& a = theApp();
    auto frame = std::make_unique<app::CMainFrame>(a, a.repair());
    frame->resize(1280, 860);
    frame->show();
    engine::MySqlRepair& repair = a.repair();
    repair.m_hWndReport = frame.get();
    repair.m_hWndScanProgress = frame.get();
    const QString data = dataFolder();
    if (!QFileInfo(data).isDir())
        throw std::runtime_error("the fixture data folder " + data.toStdString()
                                 + " is missing (the fixtures are built by ctest -R fixtures.build)");
    // A folder without databases would stop the scan at its message box.
    if (QDir(data).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty())
        throw std::runtime_error("the fixture data folder " + data.toStdString() + " holds no database");
    a.m_bManualFolder = true;
    a.m_strDataFolder = data;
    a.m_strIbdataPath = a.m_strDataFolder + QStringLiteral("ibdata1");
    // The program's own scan job, reporting to this window: its log lines,
    // every listed database chosen.
    if (!a.StartJob(std::make_unique<app::CRecoveryThread>(a, repair, *frame)) || !a.WaitForJob(120000))
        throw std::runtime_error("the scan of " + data.toStdString() + " did not end");
    if (!frame->leftView()->hasDatabases())
        throw std::runtime_error("the scan of the fixture data folder " + data.toStdString() + " found no database");

    app::CLeftView& tree = *frame->leftView();
    // Every check state shows: one database cleared, one table of another.
    for (const char* name : {"fx_myisam", "composite_pk"})
        if (QTreeWidgetItem* item = findItem(tree.root(), QString::fromLatin1(name)))
            tree.ToggleCheck(item);
    // One table previewed, as a click on its item does.
    QTreeWidgetItem* previewed = findItem(tree.root(), QStringLiteral("fixed_rows"));
    if (previewed) {
        const QRect label = tree.labelRect(previewed);
        tree.scrollToItem(previewed);
        QMouseEvent press(QEvent::MouseButtonPress, tree.labelRect(previewed).center(),
                          tree.viewport()->mapToGlobal(label.center()), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(tree.viewport(), &press);
        a.WaitForJob(20000);
    }
    a.setStatusPane1(QStringLiteral("fx_innodb_ibd"));
    a.setStatusPane2(QStringLiteral("composite_pk"));
    a.setStatusText(QStringLiteral("Repairing table(s)..."));
    frame->SendMessage(engine::WM_STATUS_PROGRESS, engine::PROGRESS_BEGIN, 10);
    for (int i = 0; i < 6; ++i)
        frame->SendMessage(engine::WM_STATUS_PROGRESS, engine::PROGRESS_STEP, 0);
    pumpEvents(400);
    frame->statusBar()->layout()->activate();
    QApplication::processEvents();
    return std::unique_ptr<QWidget>(std::move(frame));
}

} // namespace

void addMainWindowScreens(ScreenTable& table)
{
    table.push_back({QStringLiteral("main-window-empty"), [] {
                         auto frame = std::make_unique<app::CMainFrame>(theApp(), theApp().repair());
                         frame->resize(1024, 700);
                         return std::unique_ptr<QWidget>(std::move(frame));
                     }});
    table.push_back({QStringLiteral("main-window-scanned"), [] { return scannedMainWindow(); }});
}

namespace {

std::unique_ptr<QWidget> userMessage(const QString& text)
{
    theApp().setMessage(text);
    return std::make_unique<app::UserMessage>(theApp());
}

std::unique_ptr<QWidget> question(const QString& text)
{
    theApp().setMessageText(text);
    return std::make_unique<app::CMyExitStopDialog>(theApp());
}

void hover(QWidget* button)
{
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
    QApplication::sendEvent(button, &enter);
}

} // namespace

void addMessageDialogScreens(ScreenTable& table)
{
    table.push_back({QStringLiteral("user-message"), [] { return userMessage(QStringLiteral("Repair process finished successfully.")); }});
    table.push_back({QStringLiteral("user-message-long"), [] {
                         return userMessage(QStringLiteral("Either incorrect path or table(s) in database(s) not present..."));
                     }});
    table.push_back({QStringLiteral("user-message-empty"), [] { return userMessage(QString()); }});
    table.push_back({QStringLiteral("message-dialog-cannot-exit"), [] {
                         theApp().m_strMessageTitle = QStringLiteral("Can not exit!");
                         theApp().setMessageText(QStringLiteral("Please first stop the current process before exiting Grisolt."));
                         return std::unique_ptr<QWidget>(std::make_unique<app::CMessageDialog>(theApp()));
                     }});
    table.push_back({QStringLiteral("exit-stop-dialog-stop-repair"),
                     [] { return question(QStringLiteral("Do you want to stop current repair process ?")); }});
    table.push_back({QStringLiteral("exit-stop-dialog-exit"), [] { return question(QStringLiteral("Exit-Grisolt?")); }});
    table.push_back({QStringLiteral("version-three-notice"),
                     [] { return std::unique_ptr<QWidget>(std::make_unique<app::CVersionThreeMsg>()); }});
    table.push_back({QStringLiteral("color-button-states"), [] {
                         auto strip = std::make_unique<QWidget>();
                         strip->setAutoFillBackground(true);
                         QPalette palette = strip->palette();
                         palette.setColor(QPalette::Window, Qt::white);
                         strip->setPalette(palette);
                         auto* layout = new QHBoxLayout(strip.get());
                         const char* names[] = {"Normal", "&Hover", "Pressed", "Disabled", ""};
                         for (const char* name : names) {
                             auto* button = new app::CColorButton(QString::fromLatin1(name), strip.get());
                             button->setFixedSize(90, 26);
                             layout->addWidget(button);
                         }
                         const auto buttons = strip->findChildren<app::CColorButton*>();
                         hover(buttons[1]);
                         hover(buttons[2]);
                         buttons[2]->setDown(true);
                         buttons[3]->setEnabled(false);
                         return strip;
                     }});
}

} // namespace screens
