#include "app/controls/CToolTipListCtrl.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>

namespace app {

CToolTipListCtrl::CToolTipListCtrl(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
}

bool CToolTipListCtrl::SetItemToolTipText(int row, int column, const QString& text)
{
    m_mapToolTips.insert(Key(row, column), text);
    return true;
}

QString CToolTipListCtrl::GetItemToolTipText(int row, int column) const
{
    return m_mapToolTips.value(Key(row, column));
}

void CToolTipListCtrl::DeleteAllItems()
{
    clear();
    DeleteAllToolTips();
}

bool CToolTipListCtrl::DeleteItem(int row)
{
    QTreeWidgetItem* item = takeTopLevelItem(row);
    if (!item)
        return false;
    delete item;
    for (int column = 0; column < columnCount(); ++column)
        m_mapToolTips.remove(Key(row, column));
    return true;
}

QString CToolTipListCtrl::ToolTipAt(const QPoint& viewportPos) const
{
    const QModelIndex index = indexAt(viewportPos);
    if (!index.isValid() || index.parent().isValid())
        return QString();
    return GetItemToolTipText(index.row(), index.column());
}

bool CToolTipListCtrl::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString text = ToolTipAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // Each cell is a tool of its own, so moving on shows the next text.
            QToolTip::showText(help->globalPos(), text, viewport(), visualRect(indexAt(help->pos())));
        }
        return true;
    }
    return QTreeWidget::viewportEvent(event);
}

} // namespace app
