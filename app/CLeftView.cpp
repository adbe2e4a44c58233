#include "app/CLeftView.h"

#include "engine/AppState.h"
#include "engine/FileNameCodec.h"
#include "engine/MySqlRepair.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSet>
#include <QStyle>

#include <algorithm>

namespace app {

const QString CLeftView::kRootText = QStringLiteral("Grisolt");
const QString CLeftView::kTablesFolder = QStringLiteral("Table(s)");
const QString CLeftView::kViewsFolder = QStringLiteral("View(s)");
const QString CLeftView::kTriggersFolder = QStringLiteral("Trigger(s)");

namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kIdentityRole = Qt::UserRole + 1;

const QString kViewSuffix = QStringLiteral(".frm");
const QString kTriggerSuffix = QStringLiteral(".TRG");

// The build's log texts.
const QString kTotalDatabases = QStringLiteral("Total Database(s) Present:");
const QString kDatabase = QStringLiteral("Database : ");
const QString kTotalTables = QStringLiteral("Total table(s) present:");
const QString kTotalViews = QStringLiteral("Total view(s) present:");
const QString kTotalTriggers = QStringLiteral("Total trigger(s) present:");

QString countLine(const QString& text, qsizetype count)
{
    return QStringLiteral("  ") + text + QStringLiteral("  ") + QStringLiteral(" %1").arg(count);
}

Qt::CheckState toQt(TreeCheckState state)
{
    switch (state) {
    case TREE_CHECKED:
        return Qt::Checked;
    case TREE_PARTIAL:
        return Qt::PartiallyChecked;
    case TREE_UNCHECKED:
        break;
    }
    return Qt::Unchecked;
}

QIcon kindIcon(const QStyle* style, CLeftView::ItemKind kind)
{
    switch (kind) {
    case CLeftView::ITEM_ROOT:
        return style->standardIcon(QStyle::SP_ComputerIcon);
    case CLeftView::ITEM_DATABASE:
        return style->standardIcon(QStyle::SP_DriveHDIcon);
    case CLeftView::ITEM_FOLDER:
        return style->standardIcon(QStyle::SP_DirIcon);
    default:
        return style->standardIcon(QStyle::SP_FileIcon);
    }
}

// The state an ancestor takes from its children.
TreeCheckState derived(const QTreeWidgetItem* item)
{
    bool anyChecked = false;
    bool anyUnchecked = false;
    bool anyPartial = false;
    for (int i = 0; i < item->childCount(); ++i) {
        switch (CLeftView::checkState(item->child(i))) {
        case TREE_CHECKED:
            anyChecked = true;
            break;
        case TREE_UNCHECKED:
            anyUnchecked = true;
            break;
        case TREE_PARTIAL:
            anyPartial = true;
            break;
        }
    }
    if (!anyChecked && !anyPartial)
        return TREE_UNCHECKED;
    if (!anyUnchecked && !anyPartial)
        return TREE_CHECKED;
    return TREE_PARTIAL;
}

} // namespace

CLeftView::CLeftView(engine::AppState& app, engine::MySqlRepair& repair, QWidget* parent)
    : QTreeWidget(parent), m_app(app), m_repair(repair)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (const ItemKind kind : {ITEM_ROOT, ITEM_DATABASE, ITEM_FOLDER, ITEM_TABLE})
        m_icons[kind] = kindIcon(style(), kind);
    m_hRoot = makeItem(ITEM_ROOT, kRootText, QString());
    setCheckState(m_hRoot, TREE_UNCHECKED);
    addTopLevelItem(m_hRoot);
}

TreeCheckState CLeftView::checkState(const QTreeWidgetItem* item)
{
    switch (item->checkState(0)) {
    case Qt::Checked:
        return TREE_CHECKED;
    case Qt::PartiallyChecked:
        return TREE_PARTIAL;
    case Qt::Unchecked:
        break;
    }
    return TREE_UNCHECKED;
}

void CLeftView::setCheckState(QTreeWidgetItem* item, TreeCheckState state)
{
    item->setCheckState(0, toQt(state));
}

CLeftView::ItemKind CLeftView::kind(const QTreeWidgetItem* item)
{
    return static_cast<ItemKind>(item->data(0, kKindRole).toInt());
}

QString CLeftView::identity(const QTreeWidgetItem* item)
{
    return item->data(0, kIdentityRole).toString();
}

QTreeWidgetItem* CLeftView::makeItem(ItemKind kind, const QString& text, const QString& identity) const
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    item->setIcon(0, m_icons[kind == ITEM_VIEW || kind == ITEM_TRIGGER ? ITEM_TABLE : kind]);
    item->setData(0, kKindRole, kind);
    if (!identity.isNull())
        item->setData(0, kIdentityRole, identity);
    // The view toggles and propagates the check boxes itself, by its own rule.
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

// ---- Check rules ----

bool CLeftView::AllSiblingsUnchecked(const QTreeWidgetItem* item)
{
    const QTreeWidgetItem* parent = item->parent();
    if (!parent)
        return checkState(item) == TREE_UNCHECKED;
    for (int i = 0; i < parent->childCount(); ++i)
        if (checkState(parent->child(i)) != TREE_UNCHECKED)
            return false;
    return true;
}

bool CLeftView::AllSiblingsChecked(const QTreeWidgetItem* item)
{
    const QTreeWidgetItem* parent = item->parent();
    if (!parent)
        return checkState(item) == TREE_CHECKED;
    for (int i = 0; i < parent->childCount(); ++i)
        if (checkState(parent->child(i)) != TREE_CHECKED)
            return false;
    return true;
}

void CLeftView::UpdateParentCheckStates(QTreeWidgetItem* item)
{
    for (QTreeWidgetItem* ancestor = item->parent(); ancestor; ancestor = ancestor->parent())
        setCheckState(ancestor, derived(ancestor));
}

void CLeftView::SetChildrenCheckState(QTreeWidgetItem* item)
{
    const TreeCheckState state = checkState(item);
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        setCheckState(child, state);
        SetChildrenCheckState(child);
    }
}

void CLeftView::ToggleCheck(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const TreeCheckState state = checkState(item) == TREE_UNCHECKED ? TREE_CHECKED : TREE_UNCHECKED;
    setCheckState(item, state);
    if (QTreeWidgetItem* parent = item->parent()) {
        if (state == TREE_UNCHECKED && AllSiblingsUnchecked(item)) {
            setCheckState(parent, TREE_UNCHECKED);
            UpdateParentCheckStates(parent);
        } else if (state == TREE_CHECKED && AllSiblingsChecked(item)) {
            setCheckState(parent, TREE_CHECKED);
            UpdateParentCheckStates(parent);
        } else {
            UpdateParentCheckStates(item);
        }
    }
    if (item->childCount() > 0)
        SetChildrenCheckState(item);
}

// ---- Clicks and selection ----

bool CLeftView::jobRuns() const
{
    return !m_app.m_bIdle.load();
}

QStyleOptionViewItem CLeftView::itemOption(const QTreeWidgetItem* item) const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex index = indexFromItem(item);
    option.index = index;
    option.rect = visualRect(index);
    option.text = item->text(0);
    option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasCheckIndicator;
    option.checkState = item->checkState(0);
    const QIcon icon = item->icon(0);
    if (!icon.isNull()) {
        option.features |= QStyleOptionViewItem::HasDecoration;
        option.icon = icon;
        option.decorationSize = icon.actualSize(option.decorationSize);
    }
    return option;
}

QRect CLeftView::checkBoxRect(const QTreeWidgetItem* item) const
{
    const QStyleOptionViewItem option = itemOption(item);
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

QRect CLeftView::labelRect(const QTreeWidgetItem* item) const
{
    const QStyleOptionViewItem option = itemOption(item);
    QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    // The label is the text itself, not the rest of the row.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    text.setWidth(std::min(text.width(), option.fontMetrics.horizontalAdvance(option.text) + 2 * margin));
    return text;
}

CLeftView::HitArea CLeftView::hitTest(const QPoint& point, QTreeWidgetItem** hit) const
{
    const QModelIndex index = indexAt(point);
    QTreeWidgetItem* item = index.isValid() ? itemFromIndex(index) : nullptr;
    if (hit)
        *hit = item;
    if (!item)
        return HIT_NOWHERE;
    const QStyleOptionViewItem option = itemOption(item);
    if (!option.rect.contains(point))
        return HIT_ELSEWHERE; // the indent and the expand button
    if (checkBoxRect(item).contains(point))
        return HIT_STATE_ICON;
    if (labelRect(item).contains(point))
        return HIT_LABEL;
    if (style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this).contains(point))
        return HIT_ICON;
    return HIT_ELSEWHERE;
}

bool CLeftView::SelectItem(QTreeWidgetItem* item)
{
    if (jobRuns())
        return false;
    if (item) {
        setCurrentItem(item);
    } else {
        clearSelection();
    }
    return true;
}

QItemSelectionModel::SelectionFlags CLeftView::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    if (jobRuns())
        return QItemSelectionModel::NoUpdate;
    return QTreeWidget::selectionCommand(index, event);
}

QModelIndex CLeftView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    // While a job runs the selection stays where it is, keyboard included.
    if (jobRuns())
        return currentIndex();
    return QTreeWidget::moveCursor(cursorAction, modifiers);
}

void CLeftView::ResetPaging()
{
    // A page job reads these when it starts; they are reset only between
    // jobs (the preview resets them when the job has ended).
    if (!jobRuns()) {
        m_app.m_bPageRequest = false;
        m_app.m_nPage = 0;
        m_app.m_nRecordsLeft = 0;
        m_app.m_nPageRecords = 0;
    }
    emit clicked();
}

void CLeftView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QTreeWidget::mousePressEvent(event);
        return;
    }
    ResetPaging();
    QTreeWidgetItem* item = nullptr;
    const HitArea area = hitTest(event->position().toPoint(), &item);
    m_hHitItem = item;
    SelectItem(item);
    if (area == HIT_STATE_ICON || area == HIT_LABEL) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        if (area == HIT_STATE_ICON)
            ToggleCheck(item);
        else
            LabelAction(item);
        return;
    }
    if (jobRuns() && area == HIT_ICON)
        return; // nothing moves while a job runs
    QTreeWidget::mousePressEvent(event);
}

void CLeftView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click comes as this event alone: on a
    // check box it is one more click, and the branch stays as it is.
    if (event->button() == Qt::LeftButton) {
        QTreeWidgetItem* item = nullptr;
        if (hitTest(event->position().toPoint(), &item) == HIT_STATE_ICON) {
            event->accept();
            ToggleCheck(item);
            return;
        }
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void CLeftView::LabelAction(QTreeWidgetItem* item)
{
    if (!item || m_app.m_bRepair || jobRuns())
        return;
    if (!hasDatabases())
        return;
    // A stop asked for a job that has already ended is dropped.
    m_app.m_bStop = false;
    if (item->childCount() > 0) {
        emit previewModeRequested(PreviewMode::Empty);
        return;
    }
    const ItemKind itemKind = kind(item);
    if (itemKind != ITEM_TABLE && itemKind != ITEM_VIEW && itemKind != ITEM_TRIGGER)
        return;
    const QTreeWidgetItem* databaseItem = item->parent() ? item->parent()->parent() : nullptr;
    const int database = databaseItem ? modelDatabaseIndex(databaseItem) : -1;
    const engine::MySqlInfo* info =
        database >= 0 ? m_repair.m_databases[static_cast<std::size_t>(database)].get() : nullptr;
    const QString id = identity(item);
    if (itemKind == ITEM_TABLE) {
        if (!info)
            return;
        const auto& tables = info->m_tables;
        const auto found = std::find_if(tables.begin(), tables.end(),
                                        [&id](const auto& table) { return table->m_name == id; });
        if (found == tables.end())
            return;
        emit previewModeRequested(PreviewMode::Table);
        emit tablePreviewRequested(database, static_cast<int>(found - tables.begin()));
        return;
    }
    emit previewModeRequested(PreviewMode::Text);
    if (!info)
        return;
    // The item's own file: labels that differ only in case are different files here.
    if (itemKind == ITEM_VIEW && info->m_viewFiles.contains(id))
        emit viewTextRequested(id);
    else if (itemKind == ITEM_TRIGGER && info->m_triggerFiles.contains(id))
        emit triggerTextRequested(id);
}

// ---- Build, reset and pruning ----

QString CLeftView::ObjectLabel(const QString& path, const QString& suffix)
{
    QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.endsWith(suffix))
        name.chop(suffix.size());
    return name;
}

void CLeftView::addFolder(QTreeWidgetItem* database, const QString& name, ItemKind kind, const QStringList& texts,
                          const QStringList& identities) const
{
    if (texts.isEmpty())
        return;
    QTreeWidgetItem* folderItem = makeItem(ITEM_FOLDER, name, QString());
    setCheckState(folderItem, TREE_CHECKED);
    QList<QTreeWidgetItem*> leaves;
    leaves.reserve(texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        QTreeWidgetItem* leaf = makeItem(kind, texts[i], identities[i]);
        setCheckState(leaf, TREE_CHECKED);
        leaves << leaf;
    }
    folderItem->addChildren(leaves);
    database->addChild(folderItem);
}

int CLeftView::BuildTree()
{
    ResetTree();
    const auto count = m_repair.m_databases.size();
    setCheckState(m_hRoot, count != 0 ? TREE_CHECKED : TREE_UNCHECKED);
    emit logLine(kTotalDatabases + QStringLiteral("  ") + QString::number(count));
    // Items are made apart from the view and handed over in one go: a scan
    // can bring thousands of tables.
    QList<QTreeWidgetItem*> items;
    for (const auto& database : m_repair.m_databases) {
        if (database->m_name.isEmpty())
            continue;
        // Shown as the server shows the names; the identities stay the file names.
        const QString name = engine::FileNameCodec::Decode(database->m_name);
        QTreeWidgetItem* item = makeItem(ITEM_DATABASE, name, database->m_name);
        emit logLine(kDatabase + QLatin1Char(' ') + name);
        emit logLine(countLine(kTotalTables, database->m_tableNames.size()));
        emit logLine(countLine(kTotalViews, database->m_viewFiles.size()));
        emit logLine(countLine(kTotalTriggers, database->m_triggerFiles.size()));
        setCheckState(item, TREE_CHECKED);
        QStringList labels;
        for (const QString& table : database->m_tableNames)
            labels << engine::FileNameCodec::Decode(table);
        addFolder(item, kTablesFolder, ITEM_TABLE, labels, database->m_tableNames);
        labels.clear();
        for (const QString& path : database->m_viewFiles)
            labels << engine::FileNameCodec::Decode(ObjectLabel(path, kViewSuffix));
        addFolder(item, kViewsFolder, ITEM_VIEW, labels, database->m_viewFiles);
        labels.clear();
        for (const QString& path : database->m_triggerFiles)
            labels << engine::FileNameCodec::Decode(ObjectLabel(path, kTriggerSuffix));
        addFolder(item, kTriggersFolder, ITEM_TRIGGER, labels, database->m_triggerFiles);
        items << item;
    }
    m_hRoot->addChildren(items);
    // Fully expanded: the whole scan is in view, chosen for repair.
    expandAll();
    return static_cast<int>(count);
}

void CLeftView::ResetTree()
{
    if (m_hHitItem != m_hRoot)
        m_hHitItem = nullptr;
    const QList<QTreeWidgetItem*> children = m_hRoot->takeChildren();
    qDeleteAll(children);
    setCheckState(m_hRoot, TREE_UNCHECKED);
}

int CLeftView::modelDatabaseIndex(const QTreeWidgetItem* databaseItem) const
{
    const QString name = identity(databaseItem);
    if (name.isEmpty())
        return -1;
    // Two database items of one name (two data folders) pair in their order.
    int occurrence = 0;
    for (int i = 0; i < m_hRoot->childCount() && m_hRoot->child(i) != databaseItem; ++i)
        if (identity(m_hRoot->child(i)) == name)
            ++occurrence;
    const auto& databases = m_repair.m_databases;
    for (std::size_t i = 0; i < databases.size(); ++i)
        if (databases[i]->m_name == name && occurrence-- == 0)
            return static_cast<int>(i);
    return -1;
}

QTreeWidgetItem* CLeftView::folder(const QTreeWidgetItem* databaseItem, ItemKind leafKind)
{
    for (int i = 0; i < databaseItem->childCount(); ++i) {
        QTreeWidgetItem* child = databaseItem->child(i);
        if (child->childCount() > 0 && kind(child->child(0)) == leafKind)
            return child;
    }
    return nullptr;
}

namespace {

// The identities of the checked leaves of a folder (none without one).
QSet<QString> checkedLeaves(const QTreeWidgetItem* folderItem)
{
    QSet<QString> checked;
    if (!folderItem)
        return checked;
    for (int i = 0; i < folderItem->childCount(); ++i)
        if (CLeftView::checkState(folderItem->child(i)) == TREE_CHECKED)
            checked.insert(CLeftView::identity(folderItem->child(i)));
    return checked;
}

} // namespace

void CLeftView::ReadTreeChecks()
{
    auto& databases = m_repair.m_databases;
    std::vector<const QTreeWidgetItem*> itemOf(databases.size(), nullptr);
    for (int i = 0; i < m_hRoot->childCount(); ++i) {
        const int index = modelDatabaseIndex(m_hRoot->child(i));
        if (index >= 0)
            itemOf[static_cast<std::size_t>(index)] = m_hRoot->child(i);
    }
    std::vector<std::unique_ptr<engine::MySqlInfo>> kept;
    for (std::size_t i = 0; i < databases.size(); ++i) {
        const QTreeWidgetItem* item = itemOf[i];
        // A database the tree does not show cannot have been chosen.
        if (!item || checkState(item) == TREE_UNCHECKED)
            continue;
        engine::MySqlInfo& database = *databases[i];
        if (checkState(item) == TREE_PARTIAL) {
            const QSet<QString> tables = checkedLeaves(folder(item, ITEM_TABLE));
            std::erase_if(database.m_tables, [&tables](const auto& table) { return !tables.contains(table->m_name); });
            const QSet<QString> views = checkedLeaves(folder(item, ITEM_VIEW));
            database.m_viewFiles.removeIf([&views](const QString& path) { return !views.contains(path); });
            const QSet<QString> triggers = checkedLeaves(folder(item, ITEM_TRIGGER));
            database.m_triggerFiles.removeIf([&triggers](const QString& path) { return !triggers.contains(path); });
        }
        kept.push_back(std::move(databases[i]));
    }
    databases = std::move(kept);
    // The previewed table may have left the model.
    bool previewKept = false;
    for (const auto& database : databases)
        for (const auto& table : database->m_tables)
            previewKept = previewKept || table.get() == m_app.m_pPreviewTable;
    if (!previewKept)
        m_app.m_pPreviewTable = nullptr;
}

} // namespace app
