#pragma once

#include <QHash>
#include <QTreeWidget>

namespace app {

// A report list that keeps a tooltip text per cell and shows it while the
// mouse rests over that cell.
class CToolTipListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CToolTipListCtrl(QWidget* parent = nullptr);

    bool SetItemToolTipText(int row, int column, const QString& text);
    QString GetItemToolTipText(int row, int column) const;
    void DeleteAllToolTips() { m_mapToolTips.clear(); }
    // Rows and their tooltip texts; the rows below a deleted one keep their keys.
    void DeleteAllItems();
    bool DeleteItem(int row);
    // The tooltip text for a point of the viewport, or "" off any cell.
    QString ToolTipAt(const QPoint& viewportPos) const;

protected:
    bool viewportEvent(QEvent* event) override;

private:
    // The key of a cell: row x 100 + column.
    static int Key(int row, int column) { return row * 100 + column; }

    QHash<int, QString> m_mapToolTips;
};

} // namespace app
