#pragma once

#include <QDialog>

class QLabel;

namespace app {

class CColorButton;
class CVeltraxMySqlRecoveryApp;

// The program's message box: the pending message text of the application,
// as it stood when the box opened, and OK. Runs on the GUI thread only; a
// worker asks the main window to show it.
class UserMessage : public QDialog {
    Q_OBJECT
public:
    explicit UserMessage(const CVeltraxMySqlRecoveryApp& app, QWidget* parent = nullptr);

    CColorButton* okButton() const { return m_pOk; }
    QString text() const;

private:
    QLabel* m_pText = nullptr;
    CColorButton* m_pOk = nullptr;
};

} // namespace app
