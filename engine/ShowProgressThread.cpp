#include "engine/ShowProgressThread.h"

#include "engine/ReportWindow.h"

#include <chrono>

namespace engine {

ShowProgressThread::ShowProgressThread(ReportWindow& report) : m_report(report) {}

ShowProgressThread::~ShowProgressThread()
{
    Stop();
    wait();
}

bool ShowProgressThread::running() const
{
    std::lock_guard lock(m_mutex);
    return m_bRunning;
}

void ShowProgressThread::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_bRunning = false;
    }
    m_wake.notify_all();
}

void ShowProgressThread::run()
{
    std::unique_lock lock(m_mutex);
    while (m_bRunning) {
        // A stop wakes the wait at once: the job does not wait out the tick.
        if (m_wake.wait_for(lock, std::chrono::milliseconds(kTickMs), [this] { return !m_bRunning; }))
            break;
        lock.unlock();
        m_report.SendMessage(WM_STATUS_PROGRESS, PROGRESS_STEP);
        lock.lock();
    }
    lock.unlock();
    m_report.SendMessage(WM_STATUS_PROGRESS, PROGRESS_END);
}

} // namespace engine
