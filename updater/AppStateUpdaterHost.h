#pragma once

#include "updater/UpdaterHost.h"

namespace engine {
class AppState;
}

namespace updater {

// The updater's view of the running program: its shared state for the job
// flags and the temporary folder, the desktop for links, a message box, and
// the application's event loop.
class AppStateUpdaterHost : public UpdaterHost {
public:
    explicit AppStateUpdaterHost(const engine::AppState& state) : m_state(state) {}

    bool isJobRunning() const override;
    QString tempFolder() const override;
    void openUrl(const QUrl& url) override;
    void showMessage(QWidget* parent, const QString& text) override;
    void quitProgram() override;

private:
    const engine::AppState& m_state;
};

} // namespace updater
