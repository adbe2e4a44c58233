#include "app/controls/CProgressBar.h"

#include <QLabel>
#include <QStatusBar>

#include <limits>

namespace app {

const QString CProgressBar::kIdleText = QStringLiteral("Ready");

CProgressBar::CProgressBar(QStatusBar* statusBar) : m_statusBar(statusBar)
{
    QProgressBar::setRange(0, kShownSteps);
    hide();
}

CProgressBar::CProgressBar(QStatusBar* statusBar, const QString& label) : CProgressBar(statusBar)
{
    Create(label);
}

CProgressBar::~CProgressBar()
{
    Clear();
    delete m_label;
}

bool CProgressBar::Create(const QString& label)
{
    if (!m_statusBar)
        return false;
    m_strLabel = label;
    if (!m_label)
        m_label = new QLabel(m_statusBar);
    m_label->setText(label);
    // A temporary message ("Ready", a command's prompt) would hide the pane's widgets.
    m_statusBar->clearMessage();
    if (!m_bCreated) {
        m_statusBar->insertWidget(0, m_label);
        m_statusBar->insertWidget(1, this, 1);
    }
    m_bCreated = true;
    SetRange(0, 100);
    m_label->setVisible(!label.isEmpty());
    QProgressBar::show();
    return true;
}

bool CProgressBar::SetRange(std::int64_t lower, std::int64_t upper)
{
    if (!m_bCreated)
        return false;
    m_lower = lower;
    m_upper = std::max(lower, upper);
    m_position = lower;
    m_bStepped = false;
    show();
    return true;
}

void CProgressBar::Advance(std::int64_t count)
{
    if (!m_bCreated)
        return;
    m_bStepped = m_bStepped || count > 0;
    // Saturating: a count of steps past the end, however large, leaves the bar full.
    const long double next = static_cast<long double>(m_position) + static_cast<long double>(count);
    if (next >= static_cast<long double>(m_upper))
        m_position = m_upper;
    else if (next <= static_cast<long double>(m_lower))
        m_position = m_lower;
    else
        m_position = static_cast<std::int64_t>(next);
    show();
}

void CProgressBar::show()
{
    const std::int64_t span = m_upper - m_lower;
    int shown = 0;
    if (span > 0)
        shown = static_cast<int>(static_cast<long double>(m_position - m_lower) * kShownSteps / span);
    else if (m_bStepped)
        shown = kShownSteps; // an empty range: full once stepped past
    if (shown != value())
        setValue(shown);
    if (isHidden())
        QProgressBar::show();
}

void CProgressBar::Clear()
{
    if (!m_bCreated)
        return;
    m_bCreated = false;
    hide();
    if (m_statusBar) {
        m_statusBar->removeWidget(this);
        if (m_label)
            m_statusBar->removeWidget(m_label);
        m_statusBar->showMessage(kIdleText);
        m_statusBar->repaint();
    }
}

} // namespace app
