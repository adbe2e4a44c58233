#pragma once

#include <QIcon>
#include <QString>
#include <QTreeWidget>

namespace engine {
class AppState;
class MySqlRepair;
}

namespace app {

// Check state of a tree item.
enum TreeCheckState { TREE_UNCHECKED = 1, TREE_CHECKED = 2, TREE_PARTIAL = 3 };

// The database tree: the top item, the scanned databases, per database the
// folders "Table(s)", "View(s)" and "Trigger(s)" and their leaves, each with
// a three-state check box that chooses what a repair re-creates.
//
// Items hold no pointers into the engine's model. Each carries its identity
// (database folder name, table name, or the full path of a view or trigger
// file), and everything that ties the tree to the model goes by it, so that
// a database or table the scan passed over cannot shift the pairing.
//
// GUI thread only. The engine's model is read and pruned here while no job
// changes it: between jobs, or while the worker waits in a report.
class CLeftView : public QTreeWidget {
    Q_OBJECT
public:
    enum ItemKind { ITEM_ROOT, ITEM_DATABASE, ITEM_FOLDER, ITEM_TABLE, ITEM_VIEW, ITEM_TRIGGER };
    // Where a point falls on the tree.
    enum HitArea { HIT_NOWHERE, HIT_STATE_ICON, HIT_LABEL, HIT_ICON, HIT_ELSEWHERE };
    enum class PreviewMode { Empty, Table, Text };

    CLeftView(engine::AppState& app, engine::MySqlRepair& repair, QWidget* parent = nullptr);

    QTreeWidgetItem* root() const { return m_hRoot; }
    // The item under the last left click; null when it hit none.
    QTreeWidgetItem* hitItem() const { return m_hHitItem; }
    bool hasDatabases() const { return m_hRoot->childCount() > 0; }
    TreeCheckState rootCheckState() const { return checkState(m_hRoot); }

    static TreeCheckState checkState(const QTreeWidgetItem* item);
    static void setCheckState(QTreeWidgetItem* item, TreeCheckState state);
    static ItemKind kind(const QTreeWidgetItem* item);
    // The database folder name, the table name, or the view or trigger
    // file's full path; empty for the top item and the folders.
    static QString identity(const QTreeWidgetItem* item);

    // The check rules.
    static bool AllSiblingsUnchecked(const QTreeWidgetItem* item);
    static bool AllSiblingsChecked(const QTreeWidgetItem* item);
    // Re-derives every ancestor of item, nearest first.
    static void UpdateParentCheckStates(QTreeWidgetItem* item);
    // Gives every descendant of item the item's state.
    static void SetChildrenCheckState(QTreeWidgetItem* item);
    // A click on the check box: unchecked becomes checked, checked or partly
    // checked becomes unchecked; the ancestors and the subtree follow.
    void ToggleCheck(QTreeWidgetItem* item);

    // What lies under a point of the viewport, and the item there.
    HitArea hitTest(const QPoint& point, QTreeWidgetItem** item = nullptr) const;
    // The check box and the label of an item, in viewport coordinates.
    QRect checkBoxRect(const QTreeWidgetItem* item) const;
    QRect labelRect(const QTreeWidgetItem* item) const;

    // Makes item the selected one (null clears the selection); refused, and
    // false, while a job runs.
    bool SelectItem(QTreeWidgetItem* item);

    // Fills the tree from the engine's finished scan, fully expanded and
    // checked, and logs the counts. Names are shown decoded from the
    // server's file-name encoding ("fx@0020names" shows as "fx names"). Returns the number of databases in the
    // model (the frame shows the find bar when it is not 0).
    int BuildTree();
    // Back to the top item alone, unchecked.
    void ResetTree();
    // Drops from the engine's model what is not checked: databases, and in
    // a partly checked database its tables, views and triggers.
    void ReadTreeChecks();

    // A view or trigger file's label: its name less the folder and less the
    // suffix when it ends with it (exact case).
    static QString ObjectLabel(const QString& path, const QString& suffix);

    static const QString kRootText;
    static const QString kTablesFolder;
    static const QString kViewsFolder;
    static const QString kTriggersFolder;

signals:
    // All signals are emitted on the GUI thread; connect them directly.
    //
    // A log line of the tree build.
    void logLine(const QString& line);
    // Any left click on the tree: the preview's paging was reset, so its
    // Previous and Next buttons go off.
    void clicked();
    // The preview pane's mode for the clicked item.
    void previewModeRequested(app::CLeftView::PreviewMode mode);
    // Start the table preview job: positions in the engine's m_databases and
    // in that database's m_tables, valid until the model next changes.
    void tablePreviewRequested(int database, int table);
    // Start the view text or trigger script job for that file.
    void viewTextRequested(const QString& path);
    void triggerTextRequested(const QString& path);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;

private:
    bool jobRuns() const;
    void ResetPaging();
    void LabelAction(QTreeWidgetItem* item);
    QStyleOptionViewItem itemOption(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* makeItem(ItemKind kind, const QString& text, const QString& identity) const;
    void addFolder(QTreeWidgetItem* database, const QString& name, ItemKind kind, const QStringList& texts,
                   const QStringList& identities) const;
    // The position in the engine's m_databases of a database item; -1 when
    // the model has no database of that identity.
    int modelDatabaseIndex(const QTreeWidgetItem* databaseItem) const;
    static QTreeWidgetItem* folder(const QTreeWidgetItem* databaseItem, ItemKind leafKind);

    engine::AppState& m_app;
    engine::MySqlRepair& m_repair;
    QTreeWidgetItem* m_hRoot = nullptr;
    QTreeWidgetItem* m_hHitItem = nullptr;
    QIcon m_icons[ITEM_TABLE + 1]; // by kind; views and triggers look like tables
};

} // namespace app
