#pragma once

#include "updater/UpdaterHost.h"

#include <functional>

namespace engine {
class AppState;
}

namespace updater {

// The updater's view of the running program: its shared state for the job
// flags and the temporary folder, the desktop for links, a message box, and
// the program's end: endProgram when given (the main window's close
// handling), else the application's event loop ends.
class AppStateUpdaterHost : public UpdaterHost {
public:
    explicit AppStateUpdaterHost(const engine::AppState& state, std::function<void()> endProgram = {})
        : m_state(state), m_endProgram(std::move(endProgram))
    {
    }

    bool isJobRunning() const override;
    QString tempFolder() const override;
    void openUrl(const QUrl& url) override;
    void showMessage(QWidget* parent, const QString& text) override;
    void quitProgram() override;

private:
    const engine::AppState& m_state;
    std::function<void()> m_endProgram;
};

} // namespace updater
