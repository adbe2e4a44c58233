#include "app/TreeSearch.h"

#include "app/dialogs/CFindTreeItem.h"

#include <QTreeWidget>

namespace app {

bool TreeSearch::Matches(const QString& label, const QString& text, bool matchCase)
{
    return label.contains(text, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

QTreeWidgetItem* TreeSearch::Find(QTreeWidgetItem* start, const QString& text, bool matchCase)
{
    if (!start)
        return nullptr;
    QTreeWidget* tree = start->treeWidget();
    for (QTreeWidgetItem* item = start; item; item = tree ? tree->itemBelow(item) : nullptr)
        if (Matches(item->text(0), text, matchCase))
            return item;
    return nullptr;
}

QTreeWidgetItem* TreeSearch::OnFindNext(QTreeWidget& tree, CFindTreeItem& bar, const MessageSink& tell)
{
    const QString text = bar.FindText();
    QTreeWidgetItem* start = tree.topLevelItemCount() > 0 ? tree.topLevelItem(0) : nullptr;
    if (bar.m_strLastCaption.compare(QLatin1String("Find Next"), Qt::CaseInsensitive) == 0) {
        // After the selected item; with none selected there is nowhere to go on from.
        QTreeWidgetItem* selected = tree.currentItem();
        start = selected && selected->isSelected() ? tree.itemBelow(selected) : nullptr;
    }
    QTreeWidgetItem* hit = text.isEmpty() ? nullptr : Find(start, text, bar.m_bMatchCase);
    if (hit) {
        // Selected straight through the selection model, also while a job
        // runs (the tree refuses the user's own moves then): a hit starts
        // nothing, and the next press must go on after it.
        tree.setCurrentItem(hit, 0, QItemSelectionModel::ClearAndSelect);
        tree.scrollToItem(hit);
        return hit;
    }
    tell(bar.window(), QStringLiteral("\nItem '") + text + QStringLiteral("' not found try again."));
    bar.ClearFindText();
    return nullptr;
}

} // namespace app
