#include "app/controls/StatusBarProgress.h"

#include <QObject>

namespace app {

StatusBarProgress::StatusBarProgress(QStatusBar* statusBar) : m_statusBar(statusBar)
{
    if (m_statusBar)
        m_messageConnection = QObject::connect(m_statusBar, &QStatusBar::messageChanged, m_statusBar,
                                               [this](const QString& message) { OnMessageChanged(message); });
}

StatusBarProgress::~StatusBarProgress()
{
    QObject::disconnect(m_messageConnection);
    End();
}

void StatusBarProgress::OnMessageChanged(const QString& message)
{
    if (message.isEmpty() && !m_bBarShown && m_statusBar)
        m_statusBar->showMessage(CProgressBar::kIdleText);
}

void StatusBarProgress::Begin(const QString& label, std::int64_t total)
{
    End();
    m_bBarShown = true;
    m_pProgressBar = new CProgressBar(m_statusBar, label);
    m_pProgressBar->SetRange(0, std::max<std::int64_t>(total, 0));
}

void StatusBarProgress::Step(std::int64_t count)
{
    if (m_pProgressBar && m_pProgressBar->hasWindow())
        m_pProgressBar->Advance(count);
}

void StatusBarProgress::End()
{
    if (!m_pProgressBar)
        return;
    m_bBarShown = false;
    m_pProgressBar->Clear();
    delete m_pProgressBar.data();
    m_pProgressBar = nullptr;
}

} // namespace app
