#pragma once

#include "engine/ReportWindow.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace engine {
class AppState;
}

namespace testsupport {

// Records every report the engine sends, with the hand-over texts as they
// stood when the message arrived. The engine's progress ticker sends from a
// thread of its own: recording is locked, and m_onSend runs for one message
// at a time, on the sending thread.
class RecordingReportWindow : public engine::ReportWindow {
public:
    struct Sent {
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
        QString text;   // the pending message text at the time of the send
        QString status; // the progress bar's label at the time of the send
        std::thread::id thread;
    };

    explicit RecordingReportWindow(const engine::AppState& app) : m_app(app) {}

    long SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void ShowUserMessage(const QString& text) override;
    // Answers the login dialog with m_login; Cancel when m_loginAccepted is false.
    bool RunLoginDialog(QString& host, QString& user, QString& password) override;

    // The log lines, in order.
    QStringList log() const;
    // What was sent so far.
    std::vector<Sent> sent() const;

    std::vector<Sent> m_sent;
    QStringList m_boxes;
    // What the login dialog answers, and how often it was shown.
    bool m_loginAccepted = true;
    QString m_loginHost;
    QString m_loginUser;
    QString m_loginPassword;
    int m_loginDialogs = 0;
    // Called after each message is recorded, e.g. to press Stop mid-job.
    std::function<void(const Sent&)> m_onSend;

private:
    const engine::AppState& m_app;
    mutable std::mutex m_mutex;
    std::recursive_mutex m_callbackMutex;
};

} // namespace testsupport
