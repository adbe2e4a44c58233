#include "tests/support/RecordingReportWindow.h"

#include "engine/AppState.h"

namespace testsupport {

long RecordingReportWindow::SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    const Sent sent{message, wParam, lParam, m_app.message(), m_app.statusText(), std::this_thread::get_id()};
    {
        std::lock_guard lock(m_mutex);
        m_sent.push_back(sent);
    }
    std::lock_guard callback(m_callbackMutex);
    if (m_onSend)
        m_onSend(sent);
    return 0;
}

void RecordingReportWindow::ShowUserMessage(const QString& text)
{
    m_boxes.append(text);
}

bool RecordingReportWindow::RunLoginDialog(QString& host, QString& user, QString& password)
{
    ++m_loginDialogs;
    if (!m_loginAccepted)
        return false;
    host = m_loginHost;
    user = m_loginUser;
    password = m_loginPassword;
    return true;
}

std::vector<RecordingReportWindow::Sent> RecordingReportWindow::sent() const
{
    std::lock_guard lock(m_mutex);
    return m_sent;
}

QStringList RecordingReportWindow::log() const
{
    std::lock_guard lock(m_mutex);
    QStringList lines;
    for (const Sent& sent : m_sent)
        if (sent.message == engine::WM_APPEND_LOG)
            lines.append(sent.text);
    return lines;
}

} // namespace testsupport
