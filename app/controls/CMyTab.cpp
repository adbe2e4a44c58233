#include "app/controls/CMyTab.h"

#include <QTabBar>

namespace app {

CMyTab::CMyTab(QWidget* parent) : QTabWidget(parent)
{
    tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { min-width: 120px; }"));
    connect(this, &QTabWidget::currentChanged, this, [this](int tab) {
        m_nCurTab = tab;
        emit tabChanged(tab);
    });
}

} // namespace app
