#include "app/controls/StatusBarProgress.h"

namespace app {

StatusBarProgress::~StatusBarProgress()
{
    End();
}

void StatusBarProgress::Begin(const QString& label, std::int64_t total)
{
    End();
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
    m_pProgressBar->Clear();
    delete m_pProgressBar.data();
    m_pProgressBar = nullptr;
}

} // namespace app
