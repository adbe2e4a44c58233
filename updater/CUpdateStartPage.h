#pragma once

#include <QWidget>

namespace updater {

class CUpdatePropertySheet;

// The wizard's welcome page.
class CUpdateStartPage : public QWidget {
    Q_OBJECT
public:
    explicit CUpdateStartPage(CUpdatePropertySheet& sheet);

    void onSetActive();
    void onWizardNext();

private:
    CUpdatePropertySheet& m_sheet;
};

} // namespace updater
