#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

class QAction;
class QCheckBox;
class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QMenu;
class QStackedWidget;
class QTabBar;
class QToolButton;

namespace app {

// A small ribbon: a quick-access bar, the application button with its menu,
// category tabs, and per category a row of titled panels holding large and
// small buttons and check boxes, each bound to a QAction (text, icon,
// tooltip, enabling and check state all come from the action). Two places
// lie over its lower edge for the caller's widgets: the find bar and the logo.
// It has no commands of its own.
//
// Key tips: Alt pressed and released alone shows each category's key tip on
// its tab; that key opens the category and shows the key tips of its
// commands (the text of each action's "keyTip" property, such as "CTRL+O"
// or "F1"); a command's key (O, F1) then runs it. Esc goes back one level;
// Alt, a click or leaving the window hides the tips.
class RibbonBar : public QWidget {
    Q_OBJECT
public:
    explicit RibbonBar(QWidget* parent = nullptr);

    QToolButton* applicationButton() const { return m_appButton; }
    QMenu* applicationMenu() const { return m_appMenu; }
    QToolButton* addQuickAccessAction(QAction* action);
    // The application menu's list of recent documents beside its commands:
    // a heading and a list of the given width. Returns the list's pane.
    QWidget* addRecentDocuments(const QString& label, int width);
    QWidget* recentDocuments() const { return m_recentPane; }

    // Returns the new category's index.
    int addCategory(const QString& name);
    int categoryCount() const;
    QString categoryName(int category) const;
    int currentCategory() const;
    void setCurrentCategory(int category);
    QTabBar* tabBar() const { return m_tabs; }

    // A panel at the end of the category's row; its title stands below it.
    QWidget* addPanel(int category, const QString& title);
    // A large button: big icon, text under it, as tall as the panel.
    QToolButton* addLargeButton(QWidget* panel, QAction* action);
    // Small buttons and check boxes stack three to a column.
    QToolButton* addSmallButton(QWidget* panel, QAction* action);
    // For a checkable action: the box and the action's check state follow each other.
    QCheckBox* addCheckBox(QWidget* panel, QAction* action);

    // The find bar: its left edge at x = kFindBarX, its foot on the ribbon's
    // foot. The logo: at the right edge, never left of kLogoMinX. The ribbon
    // takes them as children and places them on every resize; showing and
    // hiding them is the caller's.
    void setFindBar(QWidget* findBar);
    void setLogo(QWidget* logo);
    void placeOverlays();

    void setCategoryKeyTip(int category, const QString& keyTip);
    enum KeyTipLevel { NoKeyTips, CategoryKeyTips, CommandKeyTips };
    KeyTipLevel keyTipLevel() const { return m_keyTipLevel; }
    // The key tips on screen, in the order they were placed.
    QStringList shownKeyTips() const;
    void showCategoryKeyTips();
    void showCommandKeyTips();
    void hideKeyTips();

    static constexpr int kFindBarX = 350;
    static constexpr int kLogoMinX = 600;
    static constexpr int kLargeIconSize = 32;
    static constexpr int kSmallIconSize = 16;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One key tip on screen: a category's tab (category >= 0) or a command.
    struct KeyTip {
        QLabel* label;
        int key;
        int category;
        QAction* action;
    };

    QWidget* panelContent(QWidget* panel) const;
    QWidget* smallColumn(QWidget* panel);
    void addKeyTip(const QString& text, const QRect& anchor, int category, QAction* action);
    bool keyTipKeyPressed(const QKeyEvent& key);
    void placeRecentDocuments();

    QHBoxLayout* m_quickAccess;
    QToolButton* m_appButton;
    QMenu* m_appMenu;
    QTabBar* m_tabs;
    QStackedWidget* m_pages;
    QPointer<QWidget> m_findBar;
    QPointer<QWidget> m_logo;
    QWidget* m_recentPane = nullptr;
    QStringList m_categoryKeyTips;
    std::vector<KeyTip> m_keyTips;
    KeyTipLevel m_keyTipLevel = NoKeyTips;
    // Alt went down with no other key since: its release shows the key tips.
    bool m_altArmed = false;
};

} // namespace app
