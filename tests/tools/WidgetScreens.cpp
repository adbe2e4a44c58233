#include "tests/tools/WidgetScreens.h"

#include "app/CLeftView.h"
#include "app/CLogWindow.h"
#include "app/controls/MainRibbonLayout.h"
#include "app/controls/RibbonBar.h"
#include "app/controls/StatusBarProgress.h"
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/ReportWindow.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>
#include <vector>

namespace widgetscreens {

namespace {

// Collects the scan's log lines.
class LogCollector : public engine::ReportWindow {
public:
    explicit LogCollector(const engine::AppState& app) : m_app(app) {}
    long SendMessage(unsigned message, std::uintptr_t, std::intptr_t) override
    {
        if (message == engine::WM_APPEND_LOG)
            m_lines << m_app.message();
        return 0;
    }
    void ShowUserMessage(const QString& text) override { m_lines << text; }
    QStringList m_lines;

private:
    const engine::AppState& m_app;
};

// A scan of a data folder as the scan job runs it, over every database.
struct Scan {
    engine::AppState app;
    engine::MySqlRepair repair{app};
    LogCollector log{app};

    explicit Scan(const QString& dataFolder)
    {
        repair.m_hWndReport = &log;
        app.m_bIdle = true;
        app.m_bManualFolder = true;
        app.m_strDataFolder = dataFolder.endsWith('/') ? dataFolder : dataFolder + '/';
        app.m_strIbdataPath = app.m_strDataFolder + QStringLiteral("ibdata1");
        repair.ListDatabaseFolders();
        for (const auto& record : app.m_dataFolders)
            app.m_selectedDatabases << record.m_databaseFolders;
        repair.ScanDataFolder();
    }
};

QString save(QWidget& widget, const QString& outDir, const QString& name)
{
    widget.show();
    QApplication::processEvents();
    const QString path = outDir + QLatin1Char('/') + name + QStringLiteral(".png");
    return widget.grab().save(path) ? path : QString();
}

// Clears a few items so that the picture shows every check state.
void clearSome(app::CLeftView& tree)
{
    int cleared = 0;
    for (int d = 0; d < tree.root()->childCount() && cleared < 2; ++d) {
        QTreeWidgetItem* database = tree.root()->child(d);
        if (database->childCount() == 0)
            continue;
        QTreeWidgetItem* folder = database->child(0);
        if (cleared == 0 && folder->childCount() > 1)
            tree.ToggleCheck(folder->child(1)); // one table: partly checked above it
        else
            tree.ToggleCheck(database); // a whole database
        ++cleared;
    }
}

void fillLog(app::CLogWindow& log, const Scan& scan, app::CLeftView& tree)
{
    log.AppendLine(app::CLogWindow::kProductTitle);
    log.AppendLine(QString());
    for (const QString& line : scan.log.m_lines)
        log.AppendLine(line);
    QObject::connect(&tree, &app::CLeftView::logLine, &log, &app::CLogWindow::AppendLine);
    tree.BuildTree();
}

std::vector<std::unique_ptr<QAction>> makeActions(app::MainRibbonActions& actions)
{
    std::vector<std::unique_ptr<QAction>> owned;
    const std::pair<QAction**, const char*> texts[] = {
        {&actions.open, "Select"},
        {&actions.startRepair, "&Repair"},
        {&actions.stop, "S&top"},
        {&actions.exit, "&Exit"},
        {&actions.viewStatusBar, "Status &Bar"},
        {&actions.viewMessageWindow, "&MessageLog"},
        {&actions.saveLog, "&Save log"},
        {&actions.clearLog, "C&lear log"},
        {&actions.update, "&Update"},
        {&actions.helpEnquiry, "Submit an &Enquiry"},
        {&actions.helpKnowledge, "&Knowledgebase"},
        {&actions.helpHelp, "Help"},
        {&actions.helpAbout, "&About"},
    };
    for (const auto& [slot, text] : texts) {
        owned.push_back(std::make_unique<QAction>(QString::fromUtf8(text)));
        *slot = owned.back().get();
    }
    const std::pair<QAction*, const char*> keyTips[] = {
        {actions.open, "CTRL+O"},   {actions.startRepair, "CTRL+R"}, {actions.stop, "CTRL+T"},
        {actions.exit, "CTRL+X"},   {actions.saveLog, "CTRL+S"},     {actions.clearLog, "CTRL+L"},
        {actions.update, "CTRL+U"}, {actions.helpEnquiry, "CTRL+E"}, {actions.helpKnowledge, "CTRL+K"},
        {actions.helpHelp, "F1"},   {actions.helpAbout, "CTRL+A"},
    };
    for (const auto& [action, tip] : keyTips)
        action->setProperty("keyTip", QString::fromLatin1(tip));
    actions.viewStatusBar->setCheckable(true);
    actions.viewStatusBar->setChecked(true);
    actions.viewMessageWindow->setCheckable(true);
    actions.viewMessageWindow->setChecked(true);
    actions.stop->setEnabled(false); // no job runs
    return owned;
}

} // namespace

QString renderTree(const QString& outDir, const QString& dataFolder)
{
    Scan scan(dataFolder);
    app::CLeftView tree(scan.app, scan.repair);
    tree.BuildTree();
    clearSome(tree);
    tree.resize(320, 760);
    return save(tree, outDir, QStringLiteral("tree"));
}

QString renderLogPane(const QString& outDir, const QString& dataFolder)
{
    Scan scan(dataFolder);
    app::CLeftView tree(scan.app, scan.repair);
    app::CLogWindow log;
    fillLog(log, scan, tree);
    log.resize(900, 320);
    return save(log, outDir, QStringLiteral("log-pane"));
}

QString renderProgressBar(const QString& outDir)
{
    QMainWindow window;
    window.setCentralWidget(new QWidget);
    window.statusBar()->addPermanentWidget(new QLabel(QStringLiteral("fx_myisam")));
    window.statusBar()->addPermanentWidget(new QLabel(QStringLiteral("dyn_rows")));
    app::StatusBarProgress progress(window.statusBar());
    progress.Begin(QStringLiteral("Repairing Database(s)..."), 40);
    progress.Step(15);
    window.resize(900, 60);
    return save(window, outDir, QStringLiteral("progress-bar"));
}

QStringList renderRibbon(const QString& outDir)
{
    app::MainRibbonActions actions;
    const auto owned = makeActions(actions);
    app::RibbonBar ribbon;
    app::BuildMainRibbon(ribbon, actions);
    ribbon.resize(1000, ribbon.sizeHint().height());
    QStringList paths;
    for (int category = 0; category < ribbon.categoryCount(); ++category) {
        ribbon.setCurrentCategory(category);
        paths << save(ribbon, outDir, QStringLiteral("ribbon-%1").arg(ribbon.categoryName(category).toLower()));
    }
    // The key tips as Alt shows them, then those of the File category.
    ribbon.setCurrentCategory(0);
    ribbon.showCategoryKeyTips();
    paths << save(ribbon, outDir, QStringLiteral("ribbon-key-tips"));
    ribbon.showCommandKeyTips();
    paths << save(ribbon, outDir, QStringLiteral("ribbon-key-tips-file"));
    ribbon.hideKeyTips();
    // The application menu, open.
    QMenu* menu = ribbon.applicationMenu();
    menu->popup(ribbon.mapToGlobal(QPoint(0, ribbon.applicationButton()->height())));
    paths << save(*menu, outDir, QStringLiteral("ribbon-application-menu"));
    menu->close();
    return paths;
}

QString renderMainWindow(const QString& outDir, const QString& dataFolder)
{
    Scan scan(dataFolder);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("  Grisolt"));
    app::MainRibbonActions actions;
    const auto owned = makeActions(actions);
    auto* ribbon = new app::RibbonBar;
    app::BuildMainRibbon(*ribbon, actions);
    auto* logo = new QLabel(QStringLiteral("Grisolt"));
    logo->setStyleSheet(QStringLiteral("font: bold 20px; color: #2a5599; padding: 8px"));
    ribbon->setLogo(logo);
    window.setMenuWidget(ribbon);

    auto* splitter = new QSplitter;
    auto* tree = new app::CLeftView(scan.app, scan.repair, splitter);
    auto* preview = new QLabel;
    preview->setAutoFillBackground(true);
    preview->setStyleSheet(QStringLiteral("background: white"));
    splitter->addWidget(preview);
    splitter->setSizes({300, 700});
    window.setCentralWidget(splitter);

    auto* log = new app::CLogWindow(&window);
    window.addDockWidget(Qt::BottomDockWidgetArea, log);
    fillLog(*log, scan, *tree);
    clearSome(*tree);

    window.statusBar()->addPermanentWidget(new QLabel(QStringLiteral("fx_objects")));
    window.statusBar()->addPermanentWidget(new QLabel(QStringLiteral("orders")));
    app::StatusBarProgress progress(window.statusBar());
    progress.Begin(QStringLiteral("Scanning Database(s)..."), 10);
    progress.Step(6);
    window.resize(1200, 900);
    return save(window, outDir, QStringLiteral("main-window"));
}

} // namespace widgetscreens
