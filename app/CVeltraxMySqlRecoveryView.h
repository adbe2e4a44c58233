#pragma once

#include "app/PreviewPaging.h"

#include <QStringList>
#include <QWidget>

#include <vector>

class QPixmap;

namespace engine {
class AppState;
class MySqlRepair;
class TableInformation;
struct DataInformation;
struct tempColInfo;
}

namespace app {

class CColorButton;
class CMyListCtrl;
class CMyTab;
class CReadOnlyEdit;

// The right-hand pane: nothing (empty mode), a table's rows and properties
// in two tabs (table mode), or a view's or trigger's text (text mode).
// The frame's report handlers fill it through the On... operations; the
// paging buttons ask for a page job through pageRequested.
class CVeltraxMySqlRecoveryView : public QWidget {
    Q_OBJECT
public:
    enum ViewMode { VIEW_MODE_TABLE = 1, VIEW_MODE_EMPTY = 2, VIEW_MODE_TEXT = 3 };
    static constexpr int kButtonRowHeight = 30;
    static constexpr int kMaxPreviewGridColumnsFitted = 15;

    CVeltraxMySqlRecoveryView(engine::AppState& app, engine::MySqlRepair& repair, QWidget* parent = nullptr);
    ~CVeltraxMySqlRecoveryView() override;

    void SetViewMode(int mode);
    // Adds a piece to the text box: on a new line unless bNoNewLine or the
    // box is empty.
    void AppendObjectText(const QString& text, bool bNoNewLine);

    // WM_PREVIEW_COLUMNS: the Table Data list's columns, one per value the
    // engine delivers, in that order; frameWidth is the main window's width.
    void OnPreviewColumns(const std::vector<engine::tempColInfo>& columns, int frameWidth);
    // WM_PREVIEW_TABLE (0, 0): lays the page's values into the Table Data
    // list, empties them and sets the paging buttons.
    void OnPreviewTable(std::vector<engine::DataInformation>& pageRows);
    // WM_PREVIEW_TABLE (0, 1): the Properties list; returns the two log lines.
    QStringList FillPropertiesList(const engine::TableInformation& table);
    // WM_SHOW_OBJECT_TEXT: the text as the files store it, "\n" escaped.
    void OnShowObjectText(const QString& text);

    // A tree click: both buttons off, page 0. While a job runs the worker
    // reads and writes the paging fields, so they are reset only when it has
    // ended (OnJobEnded), and its page comes with both buttons left off.
    void ResetPaging();
    // A worker has ended: a reset asked for during its job is done now.
    void OnJobEnded();
    bool resetPending() const { return m_bResetPending; }
    void OnNextPage();
    void OnPreviousPage();
    void OnTabChanged(int tab);

    bool isTableShown() const { return m_bTableShown; }
    // The picture of the empty mode, 1440 x 900, drawn unscaled from the
    // view's top-left corner.
    static const QPixmap& EmptyPicture();
    PreviewPaging& paging() { return m_paging; }

    CMyListCtrl* m_pDataList = nullptr;
    CMyListCtrl* m_pPropertiesList = nullptr;
    bool m_bTextShown = false;
    CMyTab* m_pTab = nullptr;
    CReadOnlyEdit* m_edtText = nullptr;
    bool m_bButtonsShown = true;
    CColorButton* m_btnPrevious = nullptr;
    CColorButton* m_btnNext = nullptr;

signals:
    // A page job is to read the page the paging fields now name.
    void pageRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void RemoveTablePanes();
    void CreateTablePanes();
    void ShowEmptyPane();
    void ShowTextPane();
    void PlaceButtons();
    void LayOut();

    engine::AppState& m_app;
    engine::MySqlRepair& m_repair;
    PreviewPaging m_paging;
    bool m_bTableShown = false;
    bool m_bResetPending = false;
};

} // namespace app
