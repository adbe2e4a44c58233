#include "app/controls/MainRibbonLayout.h"

#include "app/controls/ProgramPicture.h"
#include "app/controls/RibbonBar.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QToolButton>

namespace app {

namespace {

void giveIcon(QAction* action, QStyle::StandardPixmap pixmap)
{
    if (action && action->icon().isNull())
        action->setIcon(QApplication::style()->standardIcon(pixmap));
}

// A menu entry with its own text that runs the action and follows its enabling.
void addMenuEntry(QMenu* menu, QAction* action, const QString& text)
{
    if (!action)
        return;
    auto* entry = menu->addAction(action->icon(), text);
    entry->setEnabled(action->isEnabled());
    entry->setStatusTip(action->statusTip());
    QObject::connect(entry, &QAction::triggered, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, entry, [entry, action] { entry->setEnabled(action->isEnabled()); });
}

void addLarge(RibbonBar& ribbon, QWidget* panel, QAction* action)
{
    if (action)
        ribbon.addLargeButton(panel, action);
}

} // namespace

void BuildMainRibbon(RibbonBar& ribbon, const MainRibbonActions& a)
{
    giveIcon(a.open, QStyle::SP_DialogOpenButton);
    giveIcon(a.startRepair, QStyle::SP_BrowserReload);
    giveIcon(a.stop, QStyle::SP_BrowserStop);
    giveIcon(a.exit, QStyle::SP_DialogCloseButton);
    giveIcon(a.saveLog, QStyle::SP_DialogSaveButton);
    giveIcon(a.clearLog, QStyle::SP_DialogResetButton);
    giveIcon(a.update, QStyle::SP_ArrowDown);
    giveIcon(a.helpEnquiry, QStyle::SP_MessageBoxQuestion);
    giveIcon(a.helpKnowledge, QStyle::SP_FileDialogInfoView);
    giveIcon(a.helpHelp, QStyle::SP_DialogHelpButton);
    giveIcon(a.helpAbout, QStyle::SP_MessageBoxInformation);

    ribbon.applicationButton()->setIcon(ProgramPicture::Icon());
    for (QAction* action : {a.open, a.startRepair})
        if (action)
            ribbon.addQuickAccessAction(action);

    QMenu* menu = ribbon.applicationMenu();
    addMenuEntry(menu, a.open, QStringLiteral("&Select"));
    addMenuEntry(menu, a.startRepair, QStringLiteral("&Repair..."));
    if (a.exit) {
        menu->addSeparator();
        menu->addAction(a.exit);
    }
    // The document never opens files, so the list stays empty.
    ribbon.addRecentDocuments(QStringLiteral("Recent Documents"), 300);

    const int file = ribbon.addCategory(QStringLiteral("File"));
    ribbon.setCategoryKeyTip(file, QStringLiteral("F"));
    QWidget* database = ribbon.addPanel(file, QStringLiteral("Database"));
    for (QAction* action : {a.open, a.startRepair, a.stop, a.exit})
        addLarge(ribbon, database, action);
    QWidget* view = ribbon.addPanel(file, QStringLiteral("View"));
    for (QAction* action : {a.viewStatusBar, a.viewMessageWindow})
        if (action)
            ribbon.addCheckBox(view, action);

    const int tools = ribbon.addCategory(QStringLiteral("Tools"));
    ribbon.setCategoryKeyTip(tools, QStringLiteral("T"));
    QWidget* log = ribbon.addPanel(tools, QStringLiteral("Log"));
    addLarge(ribbon, log, a.saveLog);
    addLarge(ribbon, log, a.clearLog);
    addLarge(ribbon, ribbon.addPanel(tools, QStringLiteral("Update")), a.update);

    const int help = ribbon.addCategory(QStringLiteral("Help"));
    ribbon.setCategoryKeyTip(help, QStringLiteral("H"));
    addLarge(ribbon, ribbon.addPanel(help, QStringLiteral("Support")), a.helpEnquiry);
    QWidget* manuals = ribbon.addPanel(help, QStringLiteral("Help Manuals"));
    addLarge(ribbon, manuals, a.helpKnowledge);
    addLarge(ribbon, manuals, a.helpHelp);
    addLarge(ribbon, ribbon.addPanel(help, QStringLiteral("About")), a.helpAbout);
    ribbon.setCurrentCategory(file);
}

} // namespace app
