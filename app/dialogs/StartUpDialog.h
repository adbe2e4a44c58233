#pragma once

#include "app/dialogs/CDragDialog.h"
#include "app/dialogs/MessageSink.h"
#include "engine/CDiskObject.h"

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace engine {
class AppState;
class MySqlRepair;
}

namespace app {

class FileDialogs;

// Where the databases to rescue lie: the server's default location, or a
// folder chosen by hand with its ibdata1. The choice is left in the shared
// state (m_bDefaultLocation, m_bManualFolder, m_strDataFolder ending in '/',
// m_strIbdataPath) as the handlers go, and completed on OK.
class StartUpDialog : public CDragDialog {
    Q_OBJECT
public:
    // repair may be null (no model to empty on OK).
    StartUpDialog(engine::AppState& app, engine::MySqlRepair* repair, FileDialogs& files,
                  QWidget* parent = nullptr);

    void OnDefaultLocation();
    void OnManualSelection();
    void OnBrowse();
    void accept() override;

    QRadioButton* m_radDefault = nullptr;
    QRadioButton* m_radManual = nullptr;
    QLineEdit* m_edtFolder = nullptr;
    QPushButton* m_btnBrowse = nullptr;
    QPushButton* m_btnOK = nullptr;
    QPushButton* m_btnCancel = nullptr;
    QPushButton* m_btnHelp = nullptr;
    MessageSink m_tell = defaultMessageSink();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetUpControls();
    // The folder's ibdata1 when it exists and can be read, else the file the
    // user picks instead; false when none was given.
    bool ChooseIbdataFile();

    engine::AppState& m_app;
    engine::MySqlRepair* m_repair;
    FileDialogs& m_files;
    engine::CDiskObject m_diskObject;
};

} // namespace app
