#include "app/dialogs/CDatabaseListDlg.h"

#include "app/controls/CColorButton.h"
#include "app/controls/CToolTipListCtrl.h"
#include "app/dialogs/OwnDialogLook.h"
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace app {

namespace {

// The folder's own name: the path less its trailing slashes and its parents.
QString lastComponent(QString path)
{
    while (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(slash + 1);
}

QString comparablePath(const QString& path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

} // namespace

CDatabaseListDlg::CDatabaseListDlg(engine::AppState& app, engine::MySqlRepair& repair, QWidget* parent)
    : QDialog(parent), m_app(app), m_repair(repair)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Grisolt"));
    applyOwnDialogLook(this);

    auto* group = new QGroupBox(this);
    m_stcNote = new QLabel(QStringLiteral("Note: Please select corrupted database(s) from list below:"), group);
    QFont note(QStringLiteral("Arial Black"));
    note.setPixelSize(11);
    note.setBold(true);
    m_stcNote->setFont(note);
    m_stcPathLabel = new QLabel(QStringLiteral("Select a database path from here..."), group);
    m_cmbDataFolders = new QComboBox(group);
    m_lstDatabases = new CToolTipListCtrl(group);
    m_lstDatabases->setHeaderLabels({QStringLiteral("Database(s) List")});
    m_lstDatabases->setMinimumSize(440, 220);
    m_btnSelectAll = new CColorButton(QStringLiteral("Select All"), group);
    m_btnUnselectAll = new CColorButton(QStringLiteral("Unselect All"), group);
    m_btnOK = new CColorButton(QStringLiteral("OK"), group);
    m_btnCancel = new CColorButton(QStringLiteral("Cancel"), group);
    m_btnOK->setDefault(true);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_stcPathLabel);
    pathRow->addWidget(m_cmbDataFolders, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_btnSelectAll);
    buttons->addWidget(m_btnUnselectAll);
    buttons->addStretch();
    buttons->addWidget(m_btnOK);
    buttons->addWidget(m_btnCancel);
    auto* inner = new QVBoxLayout(group);
    inner->addWidget(m_stcNote);
    inner->addLayout(pathRow);
    inner->addWidget(m_lstDatabases, 1);
    inner->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);

    connect(m_btnSelectAll, &QPushButton::clicked, this, &CDatabaseListDlg::OnSelectAll);
    connect(m_btnUnselectAll, &QPushButton::clicked, this, &CDatabaseListDlg::OnUnselectAll);
    connect(m_btnOK, &QPushButton::clicked, this, &CDatabaseListDlg::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &CDatabaseListDlg::reject);
    connect(m_lstDatabases, &QTreeWidget::itemChanged, this, &CDatabaseListDlg::OnItemChangedList);
    connect(m_cmbDataFolders, &QComboBox::activated, this, &CDatabaseListDlg::OnSelChangePath);
}

void CDatabaseListDlg::showEvent(QShowEvent* event)
{
    // Each showing lists the data folders of this scan afresh.
    m_lstDatabases->DeleteAllItems();
    m_btnOK->setEnabled(false);
    m_btnUnselectAll->setEnabled(false);
    m_btnSelectAll->setEnabled(false);
    m_cmbDataFolders->clear();
    const bool choice = m_nServiceCount >= 2;
    m_cmbDataFolders->setVisible(choice);
    m_stcPathLabel->setVisible(choice);
    if (choice) {
        for (const engine::DataFolderRecord& record : m_app.m_dataFolders)
            m_cmbDataFolders->addItem(QDir::toNativeSeparators(record.m_folder));
        m_cmbDataFolders->setCurrentIndex(0);
    }
    FillDatabaseList(0);
    QDialog::showEvent(event);
}

void CDatabaseListDlg::FillDatabaseList(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_app.m_dataFolders.size())
        return;
    const engine::DataFolderRecord& record = m_app.m_dataFolders[static_cast<std::size_t>(index)];
    {
        const QSignalBlocker quiet(m_lstDatabases);
        for (const QString& folder : record.m_databaseFolders) {
            // The server's own system database is never offered.
            if (lastComponent(folder) == QLatin1String("mysql"))
                continue;
            auto* item = new QTreeWidgetItem(m_lstDatabases, {folder});
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, Qt::Unchecked);
            m_lstDatabases->SetItemToolTipText(m_lstDatabases->topLevelItemCount() - 1, 0, folder);
        }
    }
    // The ibdata1 that goes with the data folder shown is that of the service
    // whose data folder it is, wherever that service stands in the list.
    for (const engine::MYSQL_SERVICE& service : m_app.m_services) {
        if (!service.m_dataFolder.isEmpty() && comparablePath(service.m_dataFolder) == comparablePath(record.m_folder)) {
            m_repair.m_strIbdataPath = service.m_ibdataPath;
            break;
        }
    }
    m_btnSelectAll->setEnabled(m_lstDatabases->topLevelItemCount() > 0);
    OnItemChangedList();
}

void CDatabaseListDlg::OnItemChangedList()
{
    const int n = m_lstDatabases->topLevelItemCount();
    int k = 0;
    for (int row = 0; row < n; ++row)
        k += m_lstDatabases->topLevelItem(row)->checkState(0) == Qt::Checked ? 1 : 0;
    m_btnSelectAll->setEnabled(n > 0 && k < n);
    m_btnUnselectAll->setEnabled(k > 0);
    m_btnOK->setEnabled(k > 0);
}

void CDatabaseListDlg::SetAllChecks(Qt::CheckState state)
{
    {
        const QSignalBlocker quiet(m_lstDatabases);
        for (int row = 0; row < m_lstDatabases->topLevelItemCount(); ++row)
            m_lstDatabases->topLevelItem(row)->setCheckState(0, state);
    }
    OnItemChangedList();
}

void CDatabaseListDlg::OnSelectAll()
{
    SetAllChecks(Qt::Checked);
}

void CDatabaseListDlg::OnUnselectAll()
{
    SetAllChecks(Qt::Unchecked);
}

void CDatabaseListDlg::OnSelChangePath(int index)
{
    if (m_lstDatabases->topLevelItemCount() > 0)
        m_lstDatabases->DeleteAllItems();
    FillDatabaseList(index);
}

void CDatabaseListDlg::accept()
{
    if (!m_btnOK->isEnabled())
        return;
    m_app.m_selectedDatabases.clear();
    const int rows = m_lstDatabases->topLevelItemCount();
    for (int row = 0; row < rows; ++row) {
        const QTreeWidgetItem* item = m_lstDatabases->topLevelItem(row);
        if (item->checkState(0) == Qt::Checked)
            m_app.m_selectedDatabases << item->text(0);
    }
    m_app.FreeDataFolderRecords();
    const bool all = m_app.m_selectedDatabases.size() == rows;
    m_app.m_bAllSelected = all;
    m_app.m_bSomeSelected = !all;
    QDialog::accept();
}

void CDatabaseListDlg::reject()
{
    m_app.FreeDataFolderRecords();
    QDialog::reject();
}

} // namespace app
