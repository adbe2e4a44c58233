#pragma once

#include "engine/AppState.h"

#include <QApplication>

#include <memory>

namespace engine {
class MySqlRepair;
}

namespace app {

// The application object: the Qt application, the state every part shares,
// and the owner of the one engine.
class CVeltraxMySqlRecoveryApp : public QApplication, public engine::AppState {
    Q_OBJECT
public:
    CVeltraxMySqlRecoveryApp(int& argc, char** argv);
    ~CVeltraxMySqlRecoveryApp() override;

    engine::MySqlRepair& repair() const { return *m_pRepair; }

private:
    std::unique_ptr<engine::MySqlRepair> m_pRepair;
};

// The one application object, valid while it exists.
CVeltraxMySqlRecoveryApp& theApp();

} // namespace app
