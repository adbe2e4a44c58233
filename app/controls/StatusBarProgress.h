#pragma once

#include "app/controls/CProgressBar.h"

#include <QPointer>
#include <QString>

#include <cstdint>

namespace app {

// The one progress bar of the main window's status bar, driven by the
// progress reports: begin with a step count, steps, end.
class StatusBarProgress {
public:
    explicit StatusBarProgress(QStatusBar* statusBar) : m_statusBar(statusBar) {}
    ~StatusBarProgress();
    StatusBarProgress(const StatusBarProgress&) = delete;
    StatusBarProgress& operator=(const StatusBarProgress&) = delete;

    // A begin replaces a bar still shown. One step per unit of work; the bar
    // is full after `total` steps and stays full past them.
    void Begin(const QString& label, std::int64_t total);
    // `count` steps at once (coalesced reports); nothing without a bar.
    void Step(std::int64_t count = 1);
    // Removes the bar; the pane shows "Ready". Nothing without a bar.
    void End();

    CProgressBar* bar() const { return m_pProgressBar; }

private:
    QPointer<QStatusBar> m_statusBar;
    QPointer<CProgressBar> m_pProgressBar;
};

} // namespace app
