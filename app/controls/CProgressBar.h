#pragma once

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QStatusBar>
#include <QString>

#include <cstdint>

namespace app {

// A progress bar inside the first pane of the main window's status bar, with
// its label in front of it. Positions are 64-bit: a step count can be a
// table's record count. Many steps are cheap: the widget is touched only
// when the shown value changes.
class CProgressBar : public QProgressBar {
    Q_OBJECT
public:
    // Without a label: no place in the status bar until Create.
    explicit CProgressBar(QStatusBar* statusBar);
    CProgressBar(QStatusBar* statusBar, const QString& label);
    ~CProgressBar() override;

    // Puts the label and the bar into the status bar's first pane, range 0
    // to 100. False when there is no status bar.
    bool Create(const QString& label);
    // Range lower..upper, the position at lower. False before Create.
    bool SetRange(std::int64_t lower, std::int64_t upper);
    // `count` steps of one. A step past the upper end leaves the bar full.
    // Nothing happens before Create or after Clear.
    void Advance(std::int64_t count);
    // Hides the bar and its label and gives the pane back its idle text "Ready".
    void Clear();

    bool hasWindow() const { return m_bCreated; }
    std::int64_t position() const { return m_position; }
    std::int64_t lower() const { return m_lower; }
    std::int64_t upper() const { return m_upper; }
    bool isFull() const { return m_upper > m_lower ? m_position >= m_upper : m_bStepped; }
    const QString& label() const { return m_strLabel; }
    QLabel* labelWidget() const { return m_label; }

    static const QString kIdleText; // "Ready"
    // The shown range: fine enough for any bar's width.
    static constexpr int kShownSteps = 10000;

private:
    void show();

    QPointer<QStatusBar> m_statusBar;
    QPointer<QLabel> m_label;
    QString m_strLabel;
    std::int64_t m_lower = 0;
    std::int64_t m_upper = 100;
    std::int64_t m_position = 0;
    bool m_bCreated = false;
    bool m_bStepped = false;
};

} // namespace app
