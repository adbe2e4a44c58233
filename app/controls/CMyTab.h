#pragma once

#include <QTabWidget>

namespace app {

// The preview's tab control: tells its owner which tab became current.
class CMyTab : public QTabWidget {
    Q_OBJECT
public:
    explicit CMyTab(QWidget* parent = nullptr);

    // The tab current after the last change.
    int m_nCurTab = 0;

signals:
    // WM_TAB_CHANGED: 0 = Table Data, 1 = Properties.
    void tabChanged(int tab);
};

} // namespace app
