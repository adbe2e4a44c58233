#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;

namespace app {

class CColorButton;
class CSxGroupBox;
class CSymbolEdit;

// The find bar over the database tree. Its button reads "Find" (search from
// the top) until pressed, then "Find Next" (go on after the item selected).
class CFindTreeItem : public QWidget {
    Q_OBJECT
public:
    explicit CFindTreeItem(QWidget* parent = nullptr);

    void OnChangeFindText();
    void OnFind();

    QString FindText() const;
    // Empties the text box, which puts the button back to a disabled "Find".
    void ClearFindText();

    CSxGroupBox* m_grpSearch = nullptr;
    QLabel* m_stcFindItems = nullptr;
    CSymbolEdit* m_editFind = nullptr;
    QCheckBox* m_chkMatchCase = nullptr;
    CColorButton* m_btnFind = nullptr;
    // The button's caption when it was last pressed.
    QString m_strLastCaption;
    // Whether "Match case" was ticked at the last press.
    bool m_bMatchCase = false;

signals:
    // WM_FIND_NEXT: the frame searches the tree (TreeSearch::OnFindNext).
    void findNext();
};

} // namespace app
