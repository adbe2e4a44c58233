#pragma once

#include <functional>

class QWidget;

namespace engine {
class AppState;
}

namespace updater {

class CAutoUpdater;
class UpdaterHost;

// The Update command: runs the wizard modally. After Finish it shows the
// user the downloaded installer (its folder opened, its path in a message)
// and ends the program, unless a job is running, which is never cut short:
// then the program goes on and the message says to run the installer later.
// Nothing is executed. Returns true when the program was asked to end.
bool runUpdateCommand(CAutoUpdater& updater, UpdaterHost& host, QWidget* parent);
// The same over the program's shared state (job flags, temporary folder);
// endProgram ends the program (see AppStateUpdaterHost).
bool runUpdateCommand(CAutoUpdater& updater, const engine::AppState& state, QWidget* parent,
                      std::function<void()> endProgram = {});

} // namespace updater
