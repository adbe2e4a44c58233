#include "app/dialogs/CDatabaseListDlg.h"

#include "app/controls/CToolTipListCtrl.h"
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using app::CDatabaseListDlg;

namespace {

class CDatabaseListDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine::DataFolderRecord& record = m_app.AddDataFolderRecord();
        record.m_folder = QStringLiteral("/srv/data/");
        record.m_databaseFolders = {QStringLiteral("/srv/data/mysql/"), QStringLiteral("/srv/data/shop/"),
                                    QStringLiteral("/srv/data/test/")};
    }
    void check(int row, bool on)
    {
        m_dialog.m_lstDatabases->topLevelItem(row)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
    void expectButtons(bool selectAll, bool unselectAll, bool ok, const char* when)
    {
        SCOPED_TRACE(when);
        EXPECT_EQ(m_dialog.m_btnSelectAll->isEnabled(), selectAll);
        EXPECT_EQ(m_dialog.m_btnUnselectAll->isEnabled(), unselectAll);
        EXPECT_EQ(m_dialog.m_btnOK->isEnabled(), ok);
    }

    engine::AppState m_app;
    engine::MySqlRepair m_repair{m_app};
    CDatabaseListDlg m_dialog{m_app, m_repair};
};

TEST_F(CDatabaseListDlgTest, ChecksDriveTheButtonsAndOkHandsTheSelectionOver)
{
    m_dialog.show();
    auto& list = *m_dialog.m_lstDatabases;
    ASSERT_EQ(list.topLevelItemCount(), 2) << "mysql is never offered";
    EXPECT_EQ(list.topLevelItem(0)->text(0), QStringLiteral("/srv/data/shop/"));
    EXPECT_EQ(list.topLevelItem(1)->text(0), QStringLiteral("/srv/data/test/"));
    EXPECT_FALSE(m_dialog.m_cmbDataFolders->isVisible()) << "one service: no folder choice";
    expectButtons(true, false, false, "open");

    const struct {
        bool first, second;
        bool selectAll, unselectAll, ok;
    } steps[] = {
        {true, false, true, true, true},
        {true, true, false, true, true},
        {false, true, true, true, true},
        {false, false, true, false, false},
    };
    for (const auto& s : steps) {
        check(0, s.first);
        check(1, s.second);
        expectButtons(s.selectAll, s.unselectAll, s.ok, s.first ? (s.second ? "both" : "first") : (s.second ? "second" : "none"));
    }
    m_dialog.m_btnSelectAll->click();
    expectButtons(false, true, true, "Select All");
    m_dialog.m_btnUnselectAll->click();
    expectButtons(true, false, false, "Unselect All");

    check(1, true);
    m_dialog.m_btnOK->click();
    EXPECT_EQ(m_dialog.result(), QDialog::Accepted);
    EXPECT_EQ(m_app.m_selectedDatabases, QStringList{QStringLiteral("/srv/data/test/")});
    EXPECT_TRUE(m_app.m_bSomeSelected);
    EXPECT_FALSE(m_app.m_bAllSelected);
    EXPECT_TRUE(m_app.m_dataFolders.empty()) << "OK frees the data-folder list";
}

TEST_F(CDatabaseListDlgTest, AllCheckedSetsTheAllFlagAndCancelChangesNothing)
{
    m_dialog.show();
    m_dialog.m_btnSelectAll->click();
    m_dialog.m_btnOK->click();
    EXPECT_EQ(m_app.m_selectedDatabases,
              (QStringList{QStringLiteral("/srv/data/shop/"), QStringLiteral("/srv/data/test/")}));
    EXPECT_TRUE(m_app.m_bAllSelected);
    EXPECT_FALSE(m_app.m_bSomeSelected);

    engine::DataFolderRecord& record = m_app.AddDataFolderRecord();
    record.m_folder = QStringLiteral("/srv/other/");
    record.m_databaseFolders = {QStringLiteral("/srv/other/crm/")};
    m_dialog.show();
    m_dialog.m_btnSelectAll->click();
    m_dialog.m_btnCancel->click();
    EXPECT_EQ(m_dialog.result(), QDialog::Rejected);
    EXPECT_EQ(m_app.m_selectedDatabases.size(), 2);
    EXPECT_TRUE(m_app.m_bAllSelected);
    EXPECT_TRUE(m_app.m_dataFolders.empty()) << "Cancel frees the data-folder list too";
}

TEST_F(CDatabaseListDlgTest, TheFolderChoiceTakesTheIbdata1OfItsOwnService)
{
    // The data folder listed belongs to the second service, not the first.
    engine::MYSQL_SERVICE first, second;
    first.m_dataFolder = QStringLiteral("/var/lib/first/");
    first.m_ibdataPath = QStringLiteral("/var/lib/first/ibdata1");
    second.m_dataFolder = QStringLiteral("/srv/data");
    second.m_ibdataPath = QStringLiteral("/srv/data/ibdata1");
    m_app.m_services = {first, second};
    m_dialog.m_nServiceCount = 2;
    m_dialog.show();
    EXPECT_TRUE(m_dialog.m_cmbDataFolders->isVisible());
    EXPECT_TRUE(m_dialog.m_stcPathLabel->isVisible());
    EXPECT_EQ(m_dialog.m_cmbDataFolders->count(), 1);
    EXPECT_EQ(m_repair.m_strIbdataPath, QStringLiteral("/srv/data/ibdata1"));

    // Choosing the entry again refills the list, not doubles it.
    m_dialog.OnSelChangePath(0);
    EXPECT_EQ(m_dialog.m_lstDatabases->topLevelItemCount(), 2);
    EXPECT_EQ(m_repair.m_strIbdataPath, QStringLiteral("/srv/data/ibdata1"));

    // No service of that folder: the path is left as it was.
    m_app.m_services = {first};
    m_repair.m_strIbdataPath = QStringLiteral("/chosen/ibdata1");
    m_dialog.OnSelChangePath(0);
    EXPECT_EQ(m_repair.m_strIbdataPath, QStringLiteral("/chosen/ibdata1"));
}

TEST_F(CDatabaseListDlgTest, EachRowShowsItsWholePathAsTooltip)
{
    const QString longPath = QStringLiteral("/srv/data/") + QString(100, QLatin1Char('d')) + QLatin1Char('/');
    m_app.m_dataFolders[0].m_databaseFolders << longPath;
    m_dialog.show();
    auto& list = *m_dialog.m_lstDatabases;
    ASSERT_EQ(list.topLevelItemCount(), 3);
    for (int row = 0; row < 3; ++row) {
        const QRect cell = list.visualItemRect(list.topLevelItem(row));
        EXPECT_EQ(list.ToolTipAt(cell.center()), list.topLevelItem(row)->text(0));
        EXPECT_EQ(list.GetItemToolTipText(row, 0), list.topLevelItem(row)->text(0));
    }
    EXPECT_EQ(list.GetItemToolTipText(2, 0), longPath);
    EXPECT_EQ(list.ToolTipAt(QPoint(5, list.viewport()->height() - 2)), QString()) << "below the rows";
    list.SetItemToolTipText(1, 3, QStringLiteral("other cell"));
    EXPECT_EQ(list.GetItemToolTipText(1, 3), QStringLiteral("other cell"));
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(list.GetItemToolTipText(0, 0), QString());
    EXPECT_EQ(list.GetItemToolTipText(1, 3), QStringLiteral("other cell")) << "the rows below keep their keys";
    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemToolTipText(1, 3), QString());
}

} // namespace
