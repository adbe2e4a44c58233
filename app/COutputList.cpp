#include "app/COutputList.h"

namespace app {

COutputList::COutputList(QWidget* parent) : QListWidget(parent)
{
    setSortingEnabled(false);
    // A repair logs thousands of lines: one height for all keeps appending cheap.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void COutputList::appendLine(const QString& line)
{
    // Added at the end; the view stays where the user left it.
    addItem(line);
}

QStringList COutputList::lines() const
{
    QStringList all;
    all.reserve(count());
    for (int i = 0; i < count(); ++i)
        all << item(i)->text();
    return all;
}

} // namespace app
