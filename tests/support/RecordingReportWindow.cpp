#include "tests/support/RecordingReportWindow.h"

#include "engine/AppState.h"

namespace testsupport {

long RecordingReportWindow::SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    m_sent.push_back({message, wParam, lParam, m_app.message()});
    if (m_onSend)
        m_onSend(m_sent.back());
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

QStringList RecordingReportWindow::log() const
{
    QStringList lines;
    for (const Sent& sent : m_sent)
        if (sent.message == engine::WM_APPEND_LOG)
            lines.append(sent.text);
    return lines;
}

} // namespace testsupport
