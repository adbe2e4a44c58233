#include "app/CVeltraxMySqlRecoveryView.h"

#include "app/controls/CColorButton.h"
#include "app/controls/CMyListCtrl.h"
#include "app/controls/CMyTab.h"
#include "app/controls/CReadOnlyEdit.h"
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

using app::CVeltraxMySqlRecoveryView;

namespace {

// The title of the menu a context-menu request on target opens, or "" when
// none opens. The menu is closed at once.
// The entries of the menu that opens, each followed by '>' when it opens a
// further menu; empty when none opens.
QStringList menuOpenedBy(QWidget* target, QContextMenuEvent::Reason reason)
{
    QStringList entries;
    QTimer closer;
    closer.setInterval(5);
    QObject::connect(&closer, &QTimer::timeout, [&entries] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (const QAction* action : menu->actions())
                entries << action->text() + (action->menu() ? QStringLiteral(">") : QString());
            menu->close();
        }
    });
    closer.start();
    const QPoint point(target->width() / 2, target->height() / 2);
    QContextMenuEvent event(reason, point, target->mapToGlobal(point));
    QApplication::sendEvent(target, &event);
    QApplication::processEvents();
    return entries;
}

class PreviewViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_view.resize(900, 600);
        m_view.show();
        m_app.m_bIdle = true;
    }
    static std::vector<engine::tempColInfo> columns(int n)
    {
        std::vector<engine::tempColInfo> out(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            out[static_cast<std::size_t>(i)].m_name = QStringLiteral("c%1").arg(i);
        return out;
    }
    QStringList textLines() const { return m_view.m_edtText->toPlainText().split(QLatin1Char('\n')); }

    engine::AppState m_app;
    engine::MySqlRepair m_repair{m_app};
    CVeltraxMySqlRecoveryView m_view{m_app, m_repair};
};

TEST_F(PreviewViewTest, ModesBuildAndRemoveTheirControls)
{
    EXPECT_EQ(m_view.m_pTab, nullptr);
    EXPECT_FALSE(m_view.isTableShown());
    m_view.SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_TABLE);
    ASSERT_NE(m_view.m_pTab, nullptr);
    ASSERT_NE(m_view.m_pDataList, nullptr);
    ASSERT_NE(m_view.m_pPropertiesList, nullptr);
    EXPECT_TRUE(m_view.isTableShown());
    EXPECT_EQ(m_view.m_pTab->tabText(0), QStringLiteral("Table Data"));
    EXPECT_EQ(m_view.m_pTab->tabText(1), QStringLiteral("Properties"));
    EXPECT_TRUE(m_view.m_btnNext->isVisible());
    EXPECT_FALSE(m_view.m_btnNext->isEnabled());
    EXPECT_EQ(m_view.m_btnPrevious->geometry(), QRect(0, 570, 450, 30));
    EXPECT_EQ(m_view.m_btnNext->geometry(), QRect(450, 570, 450, 30));
    EXPECT_EQ(m_view.m_pPropertiesList->horizontalHeaderItem(4)->text(), QStringLiteral("Key Name"));

    // Properties hides the buttons, Table Data brings them back as they were.
    m_view.m_btnNext->setEnabled(true);
    m_view.m_pTab->setCurrentIndex(1);
    EXPECT_FALSE(m_view.m_btnNext->isVisible());
    m_view.resize(800, 500);
    EXPECT_FALSE(m_view.m_btnNext->isVisible()) << "a resize keeps them off the screen";
    m_view.m_pTab->setCurrentIndex(0);
    EXPECT_TRUE(m_view.m_btnNext->isVisible());
    EXPECT_TRUE(m_view.m_btnNext->isEnabled());

    m_view.SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_TEXT);
    EXPECT_EQ(m_view.m_pTab, nullptr);
    EXPECT_EQ(m_view.m_pDataList, nullptr);
    EXPECT_TRUE(m_view.m_bTextShown);
    EXPECT_TRUE(m_view.m_edtText->isVisible());
    EXPECT_FALSE(m_view.m_btnNext->isVisible());

    m_view.SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_EMPTY);
    EXPECT_FALSE(m_view.m_bTextShown);
    EXPECT_FALSE(m_view.isTableShown());
    EXPECT_FALSE(m_view.m_edtText->isVisible());
}

TEST_F(PreviewViewTest, ColumnWidthsFollowTheFrameWidth)
{
    m_view.SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_TABLE);
    const struct {
        int columns, frameWidth, width, last;
    } cases[] = {{14, 1400, 75, 425}, {20, 1400, 80, 50}, {1, 1000, 750, 1000}, {3, 900, 225, 450}};
    for (const auto& c : cases) {
        m_view.OnPreviewColumns(columns(c.columns), c.frameWidth);
        ASSERT_EQ(m_view.m_pDataList->columnCount(), c.columns);
        for (int i = 0; i + 1 < c.columns; ++i)
            EXPECT_EQ(m_view.m_pDataList->columnWidth(i), c.width) << c.columns << " columns";
        EXPECT_EQ(m_view.m_pDataList->columnWidth(c.columns - 1), c.last) << c.columns << " columns";
        EXPECT_EQ(m_view.m_pDataList->horizontalHeaderItem(0)->text(), QStringLiteral("c0"));
    }
    m_view.OnPreviewColumns({}, 1400);
    EXPECT_EQ(m_view.m_pDataList->columnCount(), 0);
}

TEST_F(PreviewViewTest, APageLaysItsValuesOutRowByRow)
{
    m_view.SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_TABLE);
    m_view.OnPreviewColumns(columns(3), 1200);
    std::vector<engine::DataInformation> pairs;
    for (int i = 0; i < 250; ++i)
        pairs.push_back({QStringLiteral("c%1").arg(i % 3), QString::number(i)});
    m_view.OnPreviewTable(pairs);
    EXPECT_TRUE(pairs.empty()) << "the page's values are handed back empty";
    ASSERT_EQ(m_view.m_pDataList->rowCount(), 84);
    EXPECT_EQ(m_view.m_pDataList->item(1, 2)->text(), QStringLiteral("5"));
    EXPECT_EQ(m_view.m_pDataList->item(83, 0)->text(), QStringLiteral("249"));
    EXPECT_EQ(m_view.m_pDataList->item(83, 1), nullptr);

    // Even rows are painted light blue, odd rows white.
    const QImage shot = m_view.m_pDataList->viewport()->grab().toImage();
    for (int row : {0, 1, 2, 3}) {
        const QRect cell = m_view.m_pDataList->visualRect(m_view.m_pDataList->model()->index(row, 0));
        const QColor seen = shot.pixelColor(cell.right() - 4, cell.center().y());
        EXPECT_EQ(seen, row % 2 == 0 ? QColor(220, 230, 244) : QColor(255, 255, 255)) << "row " << row;
    }

    // A stop during the page job: the rows show, both buttons stay off.
    m_app.m_bStop = true;
    m_app.m_nPage = 1;
    m_app.m_nPageCount = 5;
    pairs = {{QStringLiteral("c0"), QStringLiteral("x")}};
    m_view.OnPreviewTable(pairs);
    EXPECT_EQ(m_view.m_pDataList->rowCount(), 1);
    EXPECT_FALSE(m_view.m_btnNext->isEnabled());
    EXPECT_FALSE(m_view.m_btnPrevious->isEnabled());
}

TEST_F(PreviewViewTest, PropertiesListOneRowPerColumn)
{
    engine::TableInformation table;
    table.m_name = QStringLiteral("orders");
    const struct {
        const char* name;
        const char* type;
        std::uint32_t length;
        std::uint16_t scale;
        const char* nullText;
        QStringList members;
    } defs[] = {
        {"id", "int", 11, 0, "not null", {}},
        {"price", "decimal", 10, 2, "NULL", {}},
        {"state", "enum", 1, 0, "Null", {QStringLiteral("'a'"), QStringLiteral("'b'")}},
        {"note", "varchar", 40, 0, "null", {}},
    };
    for (const auto& d : defs) {
        engine::ColumnInformation& c = table.AddColumn();
        c.m_name = QString::fromLatin1(d.name);
        c.m_typeName = QString::fromLatin1(d.type);
        c.m_length = d.length;
        c.m_scale = d.scale;
        c.m_nullText = QString::fromLatin1(d.nullText);
        c.m_members = d.members;
    }
    // id is in the primary key and a second key: the first part counts.
    table.m_keyParts = {{1, 1, QStringLiteral("Primary Key"), 0}, {4, 2, QStringLiteral("Key"), 0},
                        {1, 2, QStringLiteral("Key"), 0}};
    m_view.SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_TABLE);
    const QStringList log = m_view.FillPropertiesList(table);
    EXPECT_EQ(log, (QStringList{QStringLiteral("Selected table :   orders"), QStringLiteral("Total Columns present : 4")}));
    const QStringList expected[] = {
        {"id", "int", "11", "No", "Primary Key"},
        {"price", "decimal", "10,2", "Yes", ""},
        {"state", "enum('a','b')", "1", "Yes", ""},
        {"note", "varchar", "40", "Yes", "Key"},
    };
    ASSERT_EQ(m_view.m_pPropertiesList->rowCount(), 4);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(m_view.m_pPropertiesList->item(r, c)->text(), expected[r][c]) << r << "," << c;

    engine::TableInformation empty;
    EXPECT_EQ(m_view.FillPropertiesList(empty).last(), QStringLiteral("Total Columns present : 0"));
    EXPECT_EQ(m_view.m_pPropertiesList->rowCount(), 0);
}

TEST_F(PreviewViewTest, ObjectTextsShowLineByLineAndWhole)
{
    const struct {
        QStringList texts;
        QStringList lines;
    } cases[] = {
        {{QStringLiteral("select 1")}, {QStringLiteral("select 1")}},
        {{QStringLiteral("select\\nfrom t")}, {QStringLiteral("select"), QStringLiteral("from t"), QString()}},
        {{QStringLiteral("a\\n\\nb")}, {QStringLiteral("a"), QString(), QStringLiteral("b"), QString()}},
        // An escaped backslash before an n is no line break.
        {{QStringLiteral("x = 'c:\\\\new'")}, {QStringLiteral("x = 'c:\\\\new'"), QString()}},
        // Two trigger scripts follow each other.
        {{QStringLiteral("one"), QStringLiteral("two")}, {QStringLiteral("one"), QStringLiteral("two")}},
    };
    for (const auto& c : cases) {
        m_view.SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_TEXT);
        for (const QString& text : c.texts)
            m_view.OnShowObjectText(text);
        EXPECT_EQ(textLines(), c.lines) << c.texts.join(QLatin1Char('|')).toStdString();
    }
    // However long, the text is there whole.
    m_view.SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_TEXT);
    const QString longLine(200000, QLatin1Char('v'));
    m_view.OnShowObjectText(QStringLiteral("head\\n") + longLine);
    EXPECT_EQ(textLines().value(1), longLine);
}

TEST_F(PreviewViewTest, TheTextBoxHasNoContextMenuAndKeepsTheViewsOwnAway)
{
    const QStringList editEntries{"Cu&t\tCtrl+X", "&Copy\tCtrl+C", "&Paste\tCtrl+V"};
    enum Target { TextBox, View, DataList };
    const struct {
        const char* name;
        int mode;
        Target target;
        QContextMenuEvent::Reason reason;
        QStringList menu;
    } cases[] = {
        {"right-click on the text box", CVeltraxMySqlRecoveryView::VIEW_MODE_TEXT, TextBox, QContextMenuEvent::Mouse, {}},
        {"menu key in the text box", CVeltraxMySqlRecoveryView::VIEW_MODE_TEXT, TextBox, QContextMenuEvent::Keyboard, {}},
        // The popup's entries themselves, not a menu that opens them.
        {"right-click on the empty view", CVeltraxMySqlRecoveryView::VIEW_MODE_EMPTY, View, QContextMenuEvent::Mouse,
         editEntries},
        {"right-click on the rows", CVeltraxMySqlRecoveryView::VIEW_MODE_TABLE, DataList, QContextMenuEvent::Mouse,
         editEntries},
    };
    for (const auto& c : cases) {
        m_view.SetViewMode(c.mode);
        if (c.mode == CVeltraxMySqlRecoveryView::VIEW_MODE_TEXT)
            m_view.OnShowObjectText(QStringLiteral("select 1"));
        QWidget* target = &m_view;
        if (c.target == TextBox)
            target = c.reason == QContextMenuEvent::Keyboard ? static_cast<QWidget*>(m_view.m_edtText)
                                                             : m_view.m_edtText->viewport();
        else if (c.target == DataList)
            target = m_view.m_pDataList->viewport();
        EXPECT_EQ(menuOpenedBy(target, c.reason), c.menu) << c.name;
    }
}

TEST_F(PreviewViewTest, TheEmptyModeShowsItsPictureUnscaledFromTheCorner)
{
    const QImage picture = CVeltraxMySqlRecoveryView::EmptyPicture().toImage();
    EXPECT_EQ(picture.size(), QSize(1440, 900));
    // A folder after a table: the tab control goes and the picture returns.
    m_view.SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_TABLE);
    m_view.SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_EMPTY);
    const QImage shot = m_view.grab().toImage();
    ASSERT_EQ(shot.size(), QSize(900, 600));
    int marked = 0;
    for (int y = 0; y < shot.height(); y += 7) {
        for (int x = 0; x < shot.width(); x += 7) {
            ASSERT_EQ(shot.pixel(x, y), picture.pixel(x, y)) << x << "," << y;
            marked += shot.pixel(x, y) != shot.pixel(0, y);
        }
    }
    EXPECT_GT(marked, 100) << "the picture holds more than its gradient";
}

TEST_F(PreviewViewTest, ATreeClickDuringAJobResetsThePagingOnlyOnceTheJobHasEnded)
{
    m_view.SetViewMode(CVeltraxMySqlRecoveryView::VIEW_MODE_TABLE);
    m_view.OnPreviewColumns(columns(2), 900);
    // Page 2 of a MyISAM table of 250 records is being read.
    m_app.m_nPage = 1;
    m_app.m_nRecordsLeft = 150;
    m_app.m_nPageRecords = 100;
    m_app.m_nPageCount = 2;
    m_app.m_bIdle = false;
    m_view.ResetPaging();
    EXPECT_EQ(m_app.m_nPage, 1) << "the worker reads them";
    EXPECT_EQ(m_app.m_nRecordsLeft, 150);
    EXPECT_EQ(m_app.m_nPageRecords, 100);
    EXPECT_TRUE(m_view.resetPending());
    // The page arrives: it shows, and the buttons stay off.
    std::vector<engine::DataInformation> pairs{{QStringLiteral("c0"), QStringLiteral("1")}};
    m_view.OnPreviewTable(pairs);
    EXPECT_EQ(m_view.m_pDataList->rowCount(), 1);
    EXPECT_FALSE(m_view.m_btnNext->isEnabled());
    EXPECT_FALSE(m_view.m_btnPrevious->isEnabled());
    // A job ending while another runs leaves the reset waiting.
    m_view.OnJobEnded();
    EXPECT_EQ(m_app.m_nPage, 1);
    m_app.m_bIdle = true;
    m_view.OnJobEnded();
    EXPECT_EQ(m_app.m_nPage, 0);
    EXPECT_EQ(m_app.m_nRecordsLeft, 0);
    EXPECT_EQ(m_app.m_nPageRecords, 0);
    EXPECT_FALSE(m_view.resetPending());
    EXPECT_FALSE(m_view.m_btnNext->isEnabled());

    // While idle a click resets at once.
    m_app.m_nPage = 3;
    m_view.ResetPaging();
    EXPECT_EQ(m_app.m_nPage, 0);
    EXPECT_FALSE(m_view.resetPending());
}

} // namespace
