#pragma once

#include "app/controls/CProgressBar.h"

#include <QPointer>
#include <QString>

#include <cstdint>

namespace app {

// The first pane of the main window's status bar: its one progress bar,
// driven by the progress reports (begin with a step count, steps, end), and
// its idle text "Ready" whenever it shows neither a bar nor a command's
// prompt.
class StatusBarProgress {
public:
    explicit StatusBarProgress(QStatusBar* statusBar);
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
    // A prompt taken away (the mouse has left its command) leaves the pane
    // empty: it gets its idle text back unless a bar is in it.
    void OnMessageChanged(const QString& message);

    QPointer<QStatusBar> m_statusBar;
    QPointer<CProgressBar> m_pProgressBar;
    // From the start of a begin, when the bar clears the pane for itself,
    // to its end.
    bool m_bBarShown = false;
    QMetaObject::Connection m_messageConnection;
};

} // namespace app
