#include "app/controls/CMyListCtrl.h"

#include <QHeaderView>

namespace app {

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
    // Row 0 takes Base, row 1 AlternateBase: the even rows are the blue ones.
    QPalette colours = palette();
    colours.setColor(QPalette::Base, EvenRowColour());
    colours.setColor(QPalette::AlternateBase, Qt::white);
    setPalette(colours);
    setAlternatingRowColors(true);
}

} // namespace app
