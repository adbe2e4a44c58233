#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace engine {
class AppState;
class MySqlRepair;
}

namespace app {

class CToolTipListCtrl;

// Picks the databases of the listed data folder(s) to scan. OK leaves the
// checked folders in m_selectedDatabases with the all/some flags; OK and
// Cancel both free the data-folder list.
class CDatabaseListDlg : public QDialog {
    Q_OBJECT
public:
    CDatabaseListDlg(engine::AppState& app, engine::MySqlRepair& repair, QWidget* parent = nullptr);

    // Lists the databases of the data-folder record at `index` and takes the
    // ibdata1 of the service whose data folder that is.
    void FillDatabaseList(int index);
    void OnSelectAll();
    void OnUnselectAll();
    void OnItemChangedList();
    void OnSelChangePath(int index);
    void accept() override;
    void reject() override;

    // MySQL services the last service stop went through; the data-folder
    // choice shows from two on.
    int m_nServiceCount = 0;

    QLabel* m_stcNote = nullptr;
    QLabel* m_stcPathLabel = nullptr;
    QComboBox* m_cmbDataFolders = nullptr;
    CToolTipListCtrl* m_lstDatabases = nullptr;
    QPushButton* m_btnSelectAll = nullptr;
    QPushButton* m_btnUnselectAll = nullptr;
    QPushButton* m_btnOK = nullptr;
    QPushButton* m_btnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetAllChecks(Qt::CheckState state);

    engine::AppState& m_app;
    engine::MySqlRepair& m_repair;
};

} // namespace app
