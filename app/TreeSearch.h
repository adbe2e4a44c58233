#pragma once

#include "app/dialogs/MessageSink.h"

#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

namespace app {

class CFindTreeItem;

// The find bar's search over the labels of a tree, in visible order
// (children of collapsed items are not searched).
class TreeSearch {
public:
    // Whether a label holds the text; with matchCase, any occurrence counts,
    // not only the first one found ignoring case.
    static bool Matches(const QString& label, const QString& text, bool matchCase);
    // The first item from `start` on (start included) whose label matches;
    // null when none does up to the last visible item.
    static QTreeWidgetItem* Find(QTreeWidgetItem* start, const QString& text, bool matchCase);
    // WM_FIND_NEXT: searches from the top ("Find") or after the selected item
    // ("Find Next", nothing searched when no item is selected) and selects
    // the hit, whether or not a job runs; without one, tells
    // "Item '<text>' not found try again." and empties the bar's text.
    // Returns the item selected, or null.
    static QTreeWidgetItem* OnFindNext(QTreeWidget& tree, CFindTreeItem& bar, const MessageSink& tell);
};

} // namespace app
