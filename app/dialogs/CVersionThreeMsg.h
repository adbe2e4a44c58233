#pragma once

#include <QDialog>

namespace app {

class CColorButton;

// The notice shown after a scan that met tables of MySQL 3.x; the same
// fixed text whatever the scan found.
class CVersionThreeMsg : public QDialog {
    Q_OBJECT
public:
    explicit CVersionThreeMsg(QWidget* parent = nullptr);

    static QString noticeText();
    CColorButton* okButton() const { return m_pOk; }

private:
    CColorButton* m_pOk = nullptr;
};

} // namespace app
