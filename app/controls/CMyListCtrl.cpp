#include "app/controls/CMyListCtrl.h"

#include <QHeaderView>
#include <QStyledItemDelegate>

namespace app {

namespace {

// Paints every cell's background by its row: even rows light blue, odd
// rows white; the list's empty area below the rows stays white.
class RowColourDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->backgroundBrush = CMyListCtrl::RowColour(index.row());
    }
};

} // namespace

CMyListCtrl::CMyListCtrl(QWidget* parent) : QTableWidget(parent)
{
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    setPalette(colours);
    setItemDelegate(new RowColourDelegate(this));
}

QColor CMyListCtrl::RowColour(int row)
{
    return row % 2 == 0 ? EvenRowColour() : QColor(Qt::white);
}

} // namespace app
