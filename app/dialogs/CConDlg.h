#pragma once

#include "app/dialogs/MessageSink.h"

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

// The login dialog of a repair: user name, host and password of the server.
// Every opening starts with empty boxes; the members keep the values of the
// last accepted showing.
class CConDlg : public QDialog {
    Q_OBJECT
public:
    explicit CConDlg(QWidget* parent = nullptr);

    // The help file in the program folder (registry value "Path").
    static QString HelpFilePath();
    // Opens the help file with the desktop's handler; a missing file or a
    // failed open is told through `tell` (a box owned by `owner`). False then.
    static bool OnHelp(QWidget* owner, const MessageSink& tell = defaultMessageSink());

    QString m_strHost;
    QString m_strPassword;
    QString m_strUser;

    QLineEdit* m_edtUser = nullptr;
    QLineEdit* m_edtHost = nullptr;
    QLineEdit* m_edtPassword = nullptr;
    QPushButton* m_btnOK = nullptr;
    QPushButton* m_btnCancel = nullptr;
    QPushButton* m_btnHelp = nullptr;
    QLabel* m_picture = nullptr;
    static constexpr int kPictureWidth = 77;
    static constexpr int kPictureHeight = 113;
    // Where the Help button tells a missing help file.
    MessageSink m_tell = defaultMessageSink();

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnChangeUserOrHost();
};

} // namespace app
