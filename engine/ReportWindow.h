#pragma once

#include <QString>

#include <cstdint>

namespace engine {

// Report message numbers, in the WM_USER range of the window system they
// come from; the shell's handlers are keyed by them.
enum ReportMessage : unsigned {
    WM_USER_BASE = 0x0400,
    WM_SCAN_FINISHED = WM_USER_BASE + 101,
    WM_PREVIEW_TABLE = WM_USER_BASE + 103,
    WM_PREVIEW_COLUMNS = WM_USER_BASE + 104,
    WM_STATUS_PROGRESS = WM_USER_BASE + 105,
    WM_APPEND_LOG = WM_USER_BASE + 106,
    WM_RESET_TREE = WM_USER_BASE + 107,
    WM_READ_TREE_CHECKS = WM_USER_BASE + 108,
    WM_FIND_NEXT = WM_USER_BASE + 110,
    WM_TAB_CHANGED = WM_USER_BASE + 111,
    WM_SHOW_OBJECT_TEXT = WM_USER_BASE + 112,
};

// wParam of WM_STATUS_PROGRESS.
enum ProgressAction : std::uintptr_t {
    PROGRESS_BEGIN = 1, // lParam = number of steps
    PROGRESS_STEP = 2,
    PROGRESS_END = 3,
};

// Where the engine and the workers report. The engine never touches a
// widget: it leaves texts in the shared state and calls SendMessage, which
// returns only after the handler has run (on the GUI thread), so the sender
// may overwrite the texts as soon as it returns.
class ReportWindow {
public:
    virtual ~ReportWindow() = default;

    virtual long SendMessage(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) = 0;
    // A modal one-button box showing text; returns when the user closed it.
    virtual void ShowUserMessage(const QString& text) = 0;
    // The login dialog of a repair: host, user and password as the user
    // typed them (the fields come in as the last login left them). False on
    // Cancel; a window that cannot ask cancels.
    virtual bool RunLoginDialog(QString& host, QString& user, QString& password)
    {
        (void)host;
        (void)user;
        (void)password;
        return false;
    }
};

} // namespace engine
