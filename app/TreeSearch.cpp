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
    if (bar.m_strLastCaption.compare(QLatin1String("Find Next"), Qt::CaseInsensitive) == 0 && tree.currentItem())
        start = tree.itemBelow(tree.currentItem());
    QTreeWidgetItem* hit = text.isEmpty() ? nullptr : Find(start, text, bar.m_bMatchCase);
    if (hit) {
        tree.setCurrentItem(hit);
        tree.scrollToItem(hit);
        return hit;
    }
    tell(bar.window(), QStringLiteral("\nItem '") + text + QStringLiteral("' not found try again."));
    bar.ClearFindText();
    return nullptr;
}

} // namespace app
