#pragma once

#include "app/dialogs/MessageSink.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace engine {
class AppState;
}

namespace app {

class FileDialogs;

// Asks for the ibdata1 of a chosen folder that holds none. A file that is
// plainly no InnoDB system tablespace (too short, one table's tablespace) is
// refused with its reason; one whose first page is damaged is taken. OK
// leaves it in m_strIbdataPath.
class CDlgIbdataFilePath : public QDialog {
    Q_OBJECT
public:
    CDlgIbdataFilePath(engine::AppState& app, FileDialogs& files, QWidget* parent = nullptr);

    void OnBrowse();
    void accept() override;

    QLabel* m_stcPrompt = nullptr;
    QLineEdit* m_edtPath = nullptr;
    QPushButton* m_btnBrowse = nullptr;
    QPushButton* m_btnOK = nullptr;
    QPushButton* m_btnCancel = nullptr;
    MessageSink m_tell = defaultMessageSink();

private:
    engine::AppState& m_app;
    FileDialogs& m_files;
};

} // namespace app
