#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;

namespace app {

// The licence agreement: the lines of "eula.dat" in the program folder, one
// list line per text line. A missing file leaves the list empty.
class CEulaDlg : public QDialog {
    Q_OBJECT
public:
    explicit CEulaDlg(QWidget* parent = nullptr);

    // "eula.dat" in the folder named by the registry value "Path".
    static QString EulaFilePath();

    QListWidget* m_lstText = nullptr;
    QPushButton* m_btnOK = nullptr;

private:
    void LoadText();
};

} // namespace app
