#include "app/controls/RibbonBar.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace app {

namespace {

constexpr int kSmallPerColumn = 3;
const char* const kContentName = "ribbonPanelContent";
const char* const kColumnProperty = "ribbonSmallColumn";

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
    m_appButton->setIcon(style()->standardIcon(QStyle::SP_DriveHDIcon));
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
    placeOverlays();
}

} // namespace app
