#include "app/CVeltraxMySqlRecoveryView.h"

#include "app/controls/CColorButton.h"
#include "app/controls/CMyListCtrl.h"
#include "app/controls/CMyTab.h"
#include "app/controls/CReadOnlyEdit.h"
#include "engine/AppState.h"
#include "model/DataInformation.h"
#include "engine/MySqlRepair.h"
#include "model/TableInformation.h"
#include "model/tempColInfo.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace app {

namespace {

constexpr int kFixedColumnWidth = 80;
constexpr int kLastColumnMinimum = 50;

QString sizeText(const engine::ColumnInformation& column)
{
    QString text = QString::number(column.m_length);
    if (column.m_scale != 0)
        text += QLatin1Char(',') + QString::number(column.m_scale);
    return text;
}

QString dataTypeText(const engine::ColumnInformation& column)
{
    if (column.m_typeName == QLatin1String("enum") || column.m_typeName == QLatin1String("set"))
        return column.m_typeName + QLatin1Char('(') + column.m_members.join(QLatin1Char(',')) + QLatin1Char(')');
    return column.m_typeName;
}

// The text cut at every "\n" escape. Other escapes stay as they are, each
// taken as a pair, so an escaped backslash before an n is no line break.
QStringList objectTextLines(const QString& text)
{
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
            if (text[i + 1] == QLatin1Char('n')) {
                lines << line;
                line.clear();
            } else {
                line += text[i];
                line += text[i + 1];
            }
            ++i;
            continue;
        }
        line += text[i];
    }
    lines << line;
    return lines;
}

} // namespace

CVeltraxMySqlRecoveryView::CVeltraxMySqlRecoveryView(engine::AppState& app, engine::MySqlRepair& repair,
                                                     QWidget* parent)
    : QWidget(parent), m_app(app), m_repair(repair), m_paging(app, repair)
{
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);

    m_edtText = new CReadOnlyEdit(this);
    m_edtText->hide();
    QFont bold(QStringLiteral("Arial Black"));
    bold.setPixelSize(12);
    bold.setBold(true);
    m_btnPrevious = new CColorButton(QStringLiteral("Previous"), this);
    m_btnNext = new CColorButton(QStringLiteral("Next"), this);
    for (CColorButton* button : {m_btnPrevious, m_btnNext}) {
        button->setFont(bold);
        button->setEnabled(false);
        button->hide();
    }
    connect(m_btnPrevious, &QPushButton::clicked, this, &CVeltraxMySqlRecoveryView::OnPreviousPage);
    connect(m_btnNext, &QPushButton::clicked, this, &CVeltraxMySqlRecoveryView::OnNextPage);
    SetViewMode(VIEW_MODE_EMPTY);
}

CVeltraxMySqlRecoveryView::~CVeltraxMySqlRecoveryView() = default;

void CVeltraxMySqlRecoveryView::SetViewMode(int mode)
{
    m_bTextShown = false;
    RemoveTablePanes();
    if (mode == VIEW_MODE_TABLE)
        CreateTablePanes();
    else if (mode == VIEW_MODE_EMPTY)
        ShowEmptyPane();
    else if (mode == VIEW_MODE_TEXT)
        ShowTextPane();
}

void CVeltraxMySqlRecoveryView::RemoveTablePanes()
{
    // The lists live inside the tab control and go with it.
    delete m_pTab;
    m_pTab = nullptr;
    m_pDataList = nullptr;
    m_pPropertiesList = nullptr;
}

void CVeltraxMySqlRecoveryView::CreateTablePanes()
{
    m_bTableShown = true;
    m_bTextShown = false;
    m_edtText->hide();

    m_pTab = new CMyTab(this);
    auto* dataPage = new QWidget(m_pTab);
    auto* dataLayout = new QVBoxLayout(dataPage);
    // The paging buttons take the bottom row of the view.
    dataLayout->setContentsMargins(0, 0, 0, kButtonRowHeight);
    m_pDataList = new CMyListCtrl(dataPage);
    QFont header(QStringLiteral("Times New Roman"));
    header.setPointSize(12);
    m_pDataList->horizontalHeader()->setFont(header);
    dataLayout->addWidget(m_pDataList);
    m_pPropertiesList = new CMyListCtrl(m_pTab);
    m_pPropertiesList->setColumnCount(5);
    m_pPropertiesList->setHorizontalHeaderLabels({QStringLiteral("Column Name"), QStringLiteral("Data Type"),
                                                  QStringLiteral("Size"), QStringLiteral("Allow Nulls"),
                                                  QStringLiteral("Key Name")});
    // Five columns sharing the list's width, whatever it becomes.
    m_pPropertiesList->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_pTab->addTab(dataPage, QStringLiteral("Table Data"));
    m_pTab->addTab(m_pPropertiesList, QStringLiteral("Properties"));
    m_pTab->setCurrentIndex(0);
    connect(m_pTab, &CMyTab::tabChanged, this, &CVeltraxMySqlRecoveryView::OnTabChanged);

    m_btnPrevious->setEnabled(false);
    m_btnNext->setEnabled(false);
    m_bButtonsShown = true;
    LayOut();
    m_pTab->show();
}

void CVeltraxMySqlRecoveryView::ShowEmptyPane()
{
    m_bTableShown = false;
    m_btnPrevious->hide();
    m_btnNext->hide();
    m_edtText->hide();
    update();
}

void CVeltraxMySqlRecoveryView::ShowTextPane()
{
    m_bTextShown = true;
    m_edtText->SetColours(Qt::black, Qt::white);
    m_edtText->clear();
    m_btnNext->hide();
    m_btnPrevious->hide();
    m_edtText->setGeometry(rect());
    m_edtText->show();
}

void CVeltraxMySqlRecoveryView::PlaceButtons()
{
    const int w = width();
    const int h = height();
    if (m_bButtonsShown && m_pTab) {
        m_btnPrevious->setGeometry(0, h - kButtonRowHeight, w / 2, kButtonRowHeight);
        m_btnNext->setGeometry(w / 2, h - kButtonRowHeight, w - w / 2, kButtonRowHeight);
        m_btnPrevious->show();
        m_btnNext->show();
        m_btnPrevious->raise();
        m_btnNext->raise();
    } else {
        m_btnPrevious->hide();
        m_btnNext->hide();
    }
}

void CVeltraxMySqlRecoveryView::LayOut()
{
    if (m_pTab)
        m_pTab->setGeometry(rect());
    m_edtText->setGeometry(rect());
    m_edtText->setVisible(m_bTextShown);
    PlaceButtons();
}

void CVeltraxMySqlRecoveryView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayOut();
}

const QPixmap& CVeltraxMySqlRecoveryView::EmptyPicture()
{
    static const QPixmap picture = [] {
        QPixmap pixmap(1440, 900);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient sky(0, 0, 0, pixmap.height());
        sky.setColorAt(0, Qt::white);
        sky.setColorAt(1, QColor(220, 230, 244));
        painter.fillRect(pixmap.rect(), sky);
        // The program's mark, a drum of three discs, faint, where the pane
        // of a usual window shows it. Opaque strokes: the overlaps stay even.
        const QPointF centre(400, 190);
        const QRectF disc(centre.x() - 100, centre.y() - 100, 200, 60);
        painter.setPen(QPen(QColor(196, 212, 228), 9, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        for (int i = 1; i < 3; ++i)
            painter.drawArc(disc.translated(0, i * 60), 180 * 16, 180 * 16);
        painter.drawEllipse(disc);
        painter.drawLine(QPointF(disc.left(), disc.center().y()), QPointF(disc.left(), disc.center().y() + 120));
        painter.drawLine(QPointF(disc.right(), disc.center().y()), QPointF(disc.right(), disc.center().y() + 120));
        QFont font(QStringLiteral("Arial Black"));
        font.setPixelSize(44);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(QColor(176, 196, 218));
        painter.drawText(QRectF(centre.x() - 300, centre.y() + 120, 600, 64), Qt::AlignCenter,
                         QStringLiteral("Grisolt"));
        return pixmap;
    }();
    return picture;
}

void CVeltraxMySqlRecoveryView::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    // The table and text modes are painted by their own controls.
    if (m_pTab || m_bTextShown)
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, EmptyPicture());
}

void CVeltraxMySqlRecoveryView::contextMenuEvent(QContextMenuEvent* event)
{
    // The entries of the menu's one popup, shown as that popup itself; no
    // command of the view handles them, so they are disabled.
    QMenu menu(this);
    for (const char* entry : {"Cu&t\tCtrl+X", "&Copy\tCtrl+C", "&Paste\tCtrl+V"})
        menu.addAction(QString::fromLatin1(entry))->setEnabled(false);
    menu.exec(event->globalPos());
}

void CVeltraxMySqlRecoveryView::OnTabChanged(int tab)
{
    m_bButtonsShown = tab == 0;
    PlaceButtons();
}

void CVeltraxMySqlRecoveryView::AppendObjectText(const QString& text, bool bNoNewLine)
{
    // Texts are shown whole, however long: the box sets no limit.
    if (m_edtText->document()->isEmpty() || bNoNewLine) {
        QTextCursor cursor(m_edtText->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text);
    } else {
        m_edtText->appendPlainText(text);
    }
    m_edtText->moveCursor(QTextCursor::End);
    m_edtText->ensureCursorVisible();
}

void CVeltraxMySqlRecoveryView::ResetPaging()
{
    m_btnPrevious->setEnabled(false);
    m_btnNext->setEnabled(false);
    if (!m_app.m_bIdle) {
        m_bResetPending = true;
        return;
    }
    m_bResetPending = false;
    m_paging.Reset();
}

void CVeltraxMySqlRecoveryView::OnJobEnded()
{
    // A job started since then keeps the reset waiting for its own end.
    if (m_bResetPending && m_app.m_bIdle)
        ResetPaging();
}

void CVeltraxMySqlRecoveryView::OnNextPage()
{
    if (!m_app.m_bIdle || !m_paging.Next())
        return;
    m_btnNext->setEnabled(false);
    m_btnPrevious->setEnabled(false);
    emit pageRequested();
}

void CVeltraxMySqlRecoveryView::OnPreviousPage()
{
    if (!m_app.m_bIdle || !m_paging.Previous())
        return;
    m_btnNext->setEnabled(false);
    m_btnPrevious->setEnabled(false);
    emit pageRequested();
}

void CVeltraxMySqlRecoveryView::OnPreviewColumns(const std::vector<engine::tempColInfo>& columns, int frameWidth)
{
    if (m_app.m_nPage == 0) {
        // A new table: no step of the last one may lead Previous astray.
        m_paging.ForgetSteps();
        m_btnNext->setEnabled(false);
        m_btnPrevious->setEnabled(false);
    }
    if (!m_pDataList)
        return;
    m_pDataList->setRowCount(0);
    m_pDataList->setColumnCount(0);
    const int n = static_cast<int>(columns.size());
    if (n == 0)
        return;
    // Each header names the values the engine delivers in its place.
    QStringList headings;
    for (const engine::tempColInfo& column : columns)
        headings << column.m_name;
    m_pDataList->setColumnCount(n);
    m_pDataList->setHorizontalHeaderLabels(headings);
    const int w = n < kMaxPreviewGridColumnsFitted ? (frameWidth - frameWidth / 4) / n : kFixedColumnWidth;
    int given = 0;
    for (int i = 0; i < n - 1; ++i) {
        m_pDataList->setColumnWidth(i, w);
        given += w;
    }
    const int rest = frameWidth - given;
    m_pDataList->setColumnWidth(n - 1, rest > 0 ? rest : kLastColumnMinimum);
}

void CVeltraxMySqlRecoveryView::OnPreviewTable(std::vector<engine::DataInformation>& pageRows)
{
    if (m_pDataList) {
        const int m = m_pDataList->columnCount();
        m_pDataList->setRowCount(0);
        if (m > 0) {
            const int rows = static_cast<int>((pageRows.size() + static_cast<std::size_t>(m) - 1) / static_cast<std::size_t>(m));
            m_pDataList->setUpdatesEnabled(false);
            m_pDataList->setRowCount(rows);
            for (std::size_t i = 0; i < pageRows.size(); ++i) {
                const int r = static_cast<int>(i / static_cast<std::size_t>(m));
                const int c = static_cast<int>(i % static_cast<std::size_t>(m));
                m_pDataList->setItem(r, c, new QTableWidgetItem(pageRows[i].m_value));
            }
            m_pDataList->setUpdatesEnabled(true);
        }
    }
    pageRows.clear();
    const bool next = m_paging.NextEnabled();
    m_btnNext->setEnabled(next);
    if (next)
        m_btnNext->setFocus();
    m_btnPrevious->setEnabled(m_paging.PreviousEnabled());
    if (m_app.m_bStop || m_bResetPending) {
        // A page cut short by Stop leaves no safe place to go on from, and
        // after a tree click the paging starts again from the table.
        m_btnNext->setEnabled(false);
        m_btnPrevious->setEnabled(false);
    }
}

QStringList CVeltraxMySqlRecoveryView::FillPropertiesList(const engine::TableInformation& table)
{
    QStringList log{QStringLiteral("Selected table : ") + QStringLiteral("  ") + table.m_name};
    int k = 0;
    if (m_pPropertiesList) {
        m_pPropertiesList->setRowCount(0);
        // The server's own hidden columns are no columns of the table.
        const auto shown = std::count_if(table.columns().begin(), table.columns().end(),
                                         [](const auto& column) { return column->isTableColumn(); });
        m_pPropertiesList->setRowCount(static_cast<int>(shown));
        int number = 0;
        for (const auto& column : table.columns()) {
            ++number;
            if (!column->isTableColumn())
                continue;
            ++k;
            QString keyName;
            for (const engine::KeysInformation& part : table.m_keyParts) {
                if (part.m_column == number) {
                    keyName = part.m_kind;
                    break;
                }
            }
            const QStringList cells{column->m_name, dataTypeText(*column), sizeText(*column),
                                    column->m_nullText.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0
                                        ? QStringLiteral("Yes")
                                        : QStringLiteral("No"),
                                    keyName};
            for (int c = 0; c < cells.size(); ++c)
                m_pPropertiesList->setItem(k - 1, c, new QTableWidgetItem(cells[c]));
        }
    }
    log << QStringLiteral("Total Columns present : %1").arg(k);
    return log;
}

void CVeltraxMySqlRecoveryView::OnShowObjectText(const QString& text)
{
    if (!text.contains(QLatin1Char('\\'))) {
        AppendObjectText(text, false);
        return;
    }
    for (const QString& line : objectTextLines(text))
        AppendObjectText(line, false);
    AppendObjectText(QString(), false);
}

} // namespace app
