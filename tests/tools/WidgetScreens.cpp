#include "tests/tools/WidgetScreens.h"

#include "app/controls/MainRibbonLayout.h"
#include "app/controls/RibbonBar.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QToolButton>

#include <memory>
#include <vector>

namespace widgetscreens {

namespace {

QString save(QWidget& widget, const QString& outDir, const QString& name)
{
    widget.show();
    QApplication::processEvents();
    const QString path = outDir + QLatin1Char('/') + name + QStringLiteral(".png");
    return widget.grab().save(path) ? path : QString();
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

} // namespace widgetscreens
