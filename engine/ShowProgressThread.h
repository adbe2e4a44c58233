#pragma once

#include <QThread>

#include <condition_variable>
#include <mutex>

namespace engine {

class ReportWindow;

// Steps the status-bar progress bar every 100 ms while it runs, for work
// that cannot count its own steps (a service stopping, a file synced to
// disk), then ends the bar. Stop() or the destructor ends it; the destructor
// joins it: the ticker never outlives its job.
class ShowProgressThread : public QThread {
public:
    explicit ShowProgressThread(ReportWindow& report);
    ~ShowProgressThread() override;

    static constexpr int kTickMs = 100;

    // Clears the running flag and wakes the ticker, which sends the end
    // message and ends; it does not wait, so any thread may call it.
    void Stop();
    bool running() const;

protected:
    void run() override;

private:
    ReportWindow& m_report;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bRunning = true;
};

} // namespace engine
