#pragma once

#include <QDialog>

class QLabel;

namespace app {

class CColorButton;
class CVeltraxMySqlRecoveryApp;

// A Yes/No question: the application's message text as it stood when it
// opened. Accepted for Yes; rejected for No and Esc. Yes has the focus, so
// Enter at once answers Yes.
class CMyExitStopDialog : public QDialog {
    Q_OBJECT
public:
    explicit CMyExitStopDialog(const CVeltraxMySqlRecoveryApp& app, QWidget* parent = nullptr);

    CColorButton* yesButton() const { return m_pYes; }
    CColorButton* noButton() const { return m_pNo; }
    QString text() const;

private:
    CColorButton* m_pNo = nullptr;
    CColorButton* m_pYes = nullptr;
    QLabel* m_pText = nullptr;
};

} // namespace app
