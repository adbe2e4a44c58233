#include "app/CVeltraxMySqlRecoveryApp.h"

#include "engine/MySqlRepair.h"

#include <QDir>

namespace app {

CVeltraxMySqlRecoveryApp::CVeltraxMySqlRecoveryApp(int& argc, char** argv)
    : QApplication(argc, argv), m_pRepair(std::make_unique<engine::MySqlRepair>(*this))
{
    setApplicationName(QStringLiteral("Grisolt"));
    m_strTempFolder = QDir::tempPath() + QLatin1Char('/');
}

CVeltraxMySqlRecoveryApp::~CVeltraxMySqlRecoveryApp()
{
    m_pRepair.reset();
}

CVeltraxMySqlRecoveryApp& theApp()
{
    return *static_cast<CVeltraxMySqlRecoveryApp*>(QCoreApplication::instance());
}

} // namespace app
