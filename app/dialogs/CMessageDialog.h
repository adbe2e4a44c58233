#pragma once

#include <QDialog>

class QLabel;

namespace app {

class CColorButton;
class CVeltraxMySqlRecoveryApp;

// A notice of two parts: the application's message title and message text
// as they stood when it opened. OK and Esc both close it.
class CMessageDialog : public QDialog {
    Q_OBJECT
public:
    explicit CMessageDialog(const CVeltraxMySqlRecoveryApp& app, QWidget* parent = nullptr);

    CColorButton* okButton() const { return m_pOk; }
    QString title() const;
    QString text() const;

private:
    QLabel* m_pTitle = nullptr;
    QLabel* m_pText = nullptr;
    CColorButton* m_pOk = nullptr;
};

} // namespace app
