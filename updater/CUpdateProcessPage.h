#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class QPushButton;

namespace updater {

class BusyAnimation;
class CAutoUpdater;
class CUpdatePropertySheet;
class UpdaterHost;

// The wizard's check page: one second after it becomes current it asks the
// update server for a newer version and shows what it found.
class CUpdateProcessPage : public QWidget {
    Q_OBJECT
public:
    CUpdateProcessPage(CUpdatePropertySheet& sheet, CAutoUpdater& updater, UpdaterHost& host);
    ~CUpdateProcessPage() override;

    void onSetActive();
    void onWizardBack();
    void onWizardNext();
    // Drops a check that is due or running.
    void cancel();
    bool isChecking() const { return m_bChecking; }

    BusyAnimation* m_animate = nullptr;
    QLabel* m_staticStatus = nullptr;    // "Checking for updates..."
    QLabel* m_staticMessage = nullptr;   // what the check found
    QLabel* m_staticMajorNote = nullptr; // a paid major release exists
    QPushButton* m_staticLink = nullptr; // "Visit upgrade page"

private:
    void onTimer();
    void showOutcome(int result);
    void onUpgradePageLink();

    CUpdatePropertySheet& m_sheet;
    CAutoUpdater& m_updater;
    UpdaterHost& m_host;
    QTimer m_timer;
    bool m_bChecking = false;
};

} // namespace updater
