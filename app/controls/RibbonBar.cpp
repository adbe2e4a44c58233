#include "app/controls/RibbonBar.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace app {

namespace {

constexpr int kSmallPerColumn = 3;
const char* const kContentName = "ribbonPanelContent";
const char* const kColumnProperty = "ribbonSmallColumn";
const char* const kActionProperty = "ribbonAction";
const char* const kKeyTipProperty = "keyTip";

// The key a key tip names: "CTRL+O" is run by O, "F1" by F1, "F" by F.
int keyTipKey(const QString& text)
{
    const QKeySequence sequence = QKeySequence::fromString(text, QKeySequence::PortableText);
    return sequence.isEmpty() ? 0 : sequence[0].key();
}

} // namespace

RibbonBar::RibbonBar(QWidget* parent)
    : QWidget(parent),
      m_quickAccess(new QHBoxLayout),
      m_appButton(new QToolButton(this)),
      m_appMenu(new QMenu(this)),
      m_tabs(new QTabBar(this)),
      m_pages(new QStackedWidget(this))
{
    setObjectName(QStringLiteral("RibbonBar"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);

    m_quickAccess->setContentsMargins(0, 0, 0, 0);
    m_quickAccess->setSpacing(1);
    m_quickAccess->addStretch(1);
    layout->addLayout(m_quickAccess);

    auto* tabRow = new QHBoxLayout;
    tabRow->setContentsMargins(0, 0, 0, 0);
    m_appButton->setObjectName(QStringLiteral("RibbonApplicationButton"));
    // The caller gives it the application's image.
    m_appButton->setIconSize(QSize(kSmallIconSize, kSmallIconSize));
    m_appButton->setMenu(m_appMenu);
    m_appButton->setPopupMode(QToolButton::InstantPopup);
    m_appButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tabRow->addWidget(m_appButton);
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    tabRow->addWidget(m_tabs);
    tabRow->addStretch(1);
    layout->addLayout(tabRow);

    m_pages->setFrameShape(QFrame::StyledPanel);
    layout->addWidget(m_pages);
    connect(m_tabs, &QTabBar::currentChanged, m_pages, &QStackedWidget::setCurrentIndex);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The keys of the whole window, for the key tips.
    qApp->installEventFilter(this);
}

QToolButton* RibbonBar::addQuickAccessAction(QAction* action)
{
    auto* button = new QToolButton(this);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIconSize(QSize(kSmallIconSize, kSmallIconSize));
    m_quickAccess->insertWidget(m_quickAccess->count() - 1, button);
    return button;
}

int RibbonBar::addCategory(const QString& name)
{
    auto* page = new QWidget(m_pages);
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    row->addStretch(1);
    m_pages->addWidget(page);
    return m_tabs->addTab(name);
}

int RibbonBar::categoryCount() const
{
    return m_tabs->count();
}

QString RibbonBar::categoryName(int category) const
{
    return m_tabs->tabText(category);
}

int RibbonBar::currentCategory() const
{
    return m_tabs->currentIndex();
}

void RibbonBar::setCurrentCategory(int category)
{
    m_tabs->setCurrentIndex(category);
}

QWidget* RibbonBar::addPanel(int category, const QString& title)
{
    QWidget* page = m_pages->widget(category);
    if (!page)
        return nullptr;
    auto* row = static_cast<QHBoxLayout*>(page->layout());
    const bool first = row->count() == 1;

    auto* panel = new QFrame(page);
    panel->setObjectName(title);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(4, 2, 4, 0);
    layout->setSpacing(0);
    auto* content = new QWidget(panel);
    content->setObjectName(QLatin1String(kContentName));
    auto* contentRow = new QHBoxLayout(content);
    contentRow->setContentsMargins(0, 0, 0, 0);
    contentRow->setSpacing(2);
    contentRow->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    layout->addWidget(content, 1);
    auto* caption = new QLabel(title, panel);
    caption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    caption->setEnabled(false); // drawn greyed, as panel captions are
    layout->addWidget(caption);

    if (!first) {
        auto* line = new QFrame(page);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Sunken);
        row->insertWidget(row->count() - 1, line);
    }
    row->insertWidget(row->count() - 1, panel);
    return panel;
}

QWidget* RibbonBar::panelContent(QWidget* panel) const
{
    return panel ? panel->findChild<QWidget*>(QLatin1String(kContentName), Qt::FindDirectChildrenOnly) : nullptr;
}

QToolButton* RibbonBar::addLargeButton(QWidget* panel, QAction* action)
{
    QWidget* content = panelContent(panel);
    if (!content)
        return nullptr;
    auto* button = new QToolButton(content);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(QSize(kLargeIconSize, kLargeIconSize));
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    button->setMinimumWidth(56);
    content->layout()->addWidget(button);
    content->setProperty(kColumnProperty, QVariant());
    return button;
}

// The column that the next small item goes into: the last one while it has room.
QWidget* RibbonBar::smallColumn(QWidget* panel)
{
    QWidget* content = panelContent(panel);
    if (!content)
        return nullptr;
    auto* column = content->property(kColumnProperty).value<QWidget*>();
    if (!column || column->layout()->count() >= kSmallPerColumn) {
        column = new QWidget(content);
        auto* layout = new QVBoxLayout(column);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(1);
        layout->setAlignment(Qt::AlignTop);
        content->layout()->addWidget(column);
        content->setProperty(kColumnProperty, QVariant::fromValue(column));
    }
    return column;
}

QToolButton* RibbonBar::addSmallButton(QWidget* panel, QAction* action)
{
    QWidget* column = smallColumn(panel);
    if (!column)
        return nullptr;
    auto* button = new QToolButton(column);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setIconSize(QSize(kSmallIconSize, kSmallIconSize));
    column->layout()->addWidget(button);
    return button;
}

QCheckBox* RibbonBar::addCheckBox(QWidget* panel, QAction* action)
{
    QWidget* column = smallColumn(panel);
    if (!column)
        return nullptr;
    action->setCheckable(true);
    auto* box = new QCheckBox(action->text(), column);
    box->setProperty(kActionProperty, QVariant::fromValue(action));
    box->setChecked(action->isChecked());
    box->setEnabled(action->isEnabled());
    box->setToolTip(action->toolTip());
    box->setStatusTip(action->statusTip());
    // A click triggers the action (its handler decides); the action's state
    // is what the box shows.
    connect(box, &QCheckBox::clicked, action, [action, box](bool) {
        box->setChecked(action->isChecked());
        action->trigger();
    });
    connect(action, &QAction::toggled, box, &QCheckBox::setChecked);
    connect(action, &QAction::changed, box, [action, box] {
        box->setText(action->text());
        box->setEnabled(action->isEnabled());
        box->setChecked(action->isChecked());
    });
    column->layout()->addWidget(box);
    return box;
}

void RibbonBar::setFindBar(QWidget* findBar)
{
    m_findBar = findBar;
    if (findBar)
        findBar->setParent(this);
    placeOverlays();
}

void RibbonBar::setLogo(QWidget* logo)
{
    m_logo = logo;
    if (logo)
        logo->setParent(this);
    placeOverlays();
}

void RibbonBar::placeOverlays()
{
    if (m_findBar) {
        m_findBar->adjustSize();
        m_findBar->move(kFindBarX, height() - m_findBar->height());
        m_findBar->raise();
    }
    if (m_logo) {
        m_logo->adjustSize();
        m_logo->move(std::max(width() - m_logo->width(), kLogoMinX), height() - m_logo->height());
        m_logo->raise();
    }
}

void RibbonBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The tips follow their elements (a category of another height moves them).
    if (m_keyTipLevel == CategoryKeyTips)
        showCategoryKeyTips();
    else if (m_keyTipLevel == CommandKeyTips)
        showCommandKeyTips();
    placeOverlays();
}

// ---- The application menu's recent documents ----

QWidget* RibbonBar::addRecentDocuments(const QString& label, int width)
{
    auto* pane = new QFrame(m_appMenu);
    pane->setObjectName(QStringLiteral("RibbonRecentDocuments"));
    pane->setFixedWidth(width);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(8, 4, 4, 4);
    layout->setSpacing(2);
    auto* heading = new QLabel(label, pane);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    auto* line = new QFrame(pane);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);
    // The document opens no files: the list stays empty.
    auto* list = new QListWidget(pane);
    list->setObjectName(QStringLiteral("RibbonRecentList"));
    list->setFrameShape(QFrame::NoFrame);
    list->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(list, 1);
    // The commands keep their column on the left; the pane takes the room
    // the menu leaves at its right.
    QMargins margins = m_appMenu->contentsMargins();
    margins.setRight(margins.right() + width);
    m_appMenu->setContentsMargins(margins);
    m_appMenu->setMinimumHeight(std::max(m_appMenu->minimumHeight(), 4 * heading->sizeHint().height()));
    m_appMenu->installEventFilter(this);
    m_recentPane = pane;
    return pane;
}

void RibbonBar::placeRecentDocuments()
{
    if (!m_recentPane)
        return;
    const int frame = m_appMenu->style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, m_appMenu);
    m_recentPane->setGeometry(m_appMenu->width() - frame - m_recentPane->width(), frame, m_recentPane->width(),
                              m_appMenu->height() - 2 * frame);
}

// ---- Key tips ----

void RibbonBar::setCategoryKeyTip(int category, const QString& keyTip)
{
    if (category < 0)
        return;
    while (m_categoryKeyTips.size() <= category)
        m_categoryKeyTips << QString();
    m_categoryKeyTips[category] = keyTip;
}

QStringList RibbonBar::shownKeyTips() const
{
    QStringList texts;
    for (const KeyTip& tip : m_keyTips)
        texts << tip.label->text();
    return texts;
}

void RibbonBar::addKeyTip(const QString& text, const QRect& anchor, int category, QAction* action)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("RibbonKeyTip"));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("QLabel { background: #ffffe1; color: black; border: 1px solid #767676;"
                                        " padding: 0px 2px; } QLabel:disabled { color: #8d8d8d; }"));
    label->setEnabled(!action || action->isEnabled());
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    label->adjustSize();
    // Centred on the element's lower edge, inside the ribbon.
    QPoint at(anchor.center().x() - label->width() / 2, anchor.bottom() - label->height() / 2);
    at.setX(std::clamp(at.x(), 0, std::max(0, width() - label->width())));
    at.setY(std::clamp(at.y(), 0, std::max(0, height() - label->height())));
    label->move(at);
    label->show();
    label->raise();
    m_keyTips.push_back({label, keyTipKey(text), category, action});
}

void RibbonBar::hideKeyTips()
{
    for (const KeyTip& tip : m_keyTips)
        delete tip.label;
    m_keyTips.clear();
    m_keyTipLevel = NoKeyTips;
}

void RibbonBar::showCategoryKeyTips()
{
    hideKeyTips();
    for (int category = 0; category < m_tabs->count(); ++category) {
        const QString text = m_categoryKeyTips.value(category);
        if (text.isEmpty())
            continue;
        const QRect tab = m_tabs->tabRect(category);
        addKeyTip(text, QRect(m_tabs->mapTo(this, tab.topLeft()), tab.size()), category, nullptr);
    }
    m_keyTipLevel = CategoryKeyTips;
    // The keys go to the tips before the window's own shortcuts.
    qApp->installEventFilter(this);
}

void RibbonBar::showCommandKeyTips()
{
    hideKeyTips();
    QWidget* page = m_pages->currentWidget();
    const QList<QWidget*> elements = page ? page->findChildren<QWidget*>() : QList<QWidget*>();
    for (QWidget* element : elements) {
        QAction* action = nullptr;
        if (auto* button = qobject_cast<QToolButton*>(element))
            action = button->defaultAction();
        else
            action = element->property(kActionProperty).value<QAction*>();
        const QString text = action ? action->property(kKeyTipProperty).toString() : QString();
        if (text.isEmpty() || !element->isVisible())
            continue;
        addKeyTip(text, QRect(element->mapTo(this, QPoint(0, 0)), element->size()), -1, action);
    }
    m_keyTipLevel = CommandKeyTips;
    qApp->installEventFilter(this);
}

bool RibbonBar::keyTipKeyPressed(const QKeyEvent& key)
{
    switch (key.key()) {
    case Qt::Key_Escape:
        if (m_keyTipLevel == CommandKeyTips)
            showCategoryKeyTips();
        else
            hideKeyTips();
        return true;
    case Qt::Key_Alt:
        hideKeyTips();
        return true;
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
        return true;
    default:
        break;
    }
    for (const KeyTip& tip : m_keyTips) {
        if (tip.key != key.key())
            continue;
        if (tip.category >= 0) {
            setCurrentCategory(tip.category);
            showCommandKeyTips();
        } else if (tip.action->isEnabled()) {
            QAction* action = tip.action;
            // The command may open a dialog: no tip stays behind it.
            hideKeyTips();
            action->trigger();
        }
        return true;
    }
    // A key no tip names does nothing while the tips show.
    return true;
}

bool RibbonBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_appMenu) {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
            placeRecentDocuments();
        return false;
    }
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::MouseButtonPress
        && type != QEvent::WindowDeactivate)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != window() || !isVisible())
        return false;
    if (type == QEvent::MouseButtonPress || type == QEvent::WindowDeactivate) {
        m_altArmed = false;
        hideKeyTips();
        return false;
    }
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (m_keyTipLevel != NoKeyTips)
        return type == QEvent::KeyRelease || keyTipKeyPressed(key);
    if (type == QEvent::KeyPress) {
        m_altArmed = key.key() == Qt::Key_Alt && !key.isAutoRepeat();
        return false;
    }
    if (key.key() != Qt::Key_Alt || !m_altArmed)
        return false;
    m_altArmed = false;
    showCategoryKeyTips();
    return true;
}

} // namespace app
