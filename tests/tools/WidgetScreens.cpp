#include "tests/tools/WidgetScreens.h"

#include "app/controls/MainRibbonLayout.h"
#include "app/controls/RibbonBar.h"

#include <QAction>
#include <QApplication>

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
    return paths;
}

} // namespace widgetscreens
