// The test programs of the shell start the real application object, as the
// program does, on a registry file and a runtime folder of their own.
#include "app/CMainFrame.h"
#include "app/CVeltraxMySqlRecoveryApp.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testsupport::TempDir machine;
    qputenv("XDG_RUNTIME_DIR", machine.mkdir(QStringLiteral("run")).toLocal8Bit());
    qputenv("GRISOLT_REGISTRY", machine.file(QStringLiteral("registry.ini")).toLocal8Bit());

    app::CVeltraxMySqlRecoveryApp application(argc, argv);
    if (!application.InitInstance()) {
        std::fprintf(stderr, "the application object did not start\n");
        return 1;
    }
    // A small window: QtGui draws large images on pooled threads of its own,
    // which only add noise to the thread checker's reports.
    application.mainFrame()->showNormal();
    application.mainFrame()->resize(240, 200);
    const int result = RUN_ALL_TESTS();
    application.ExitInstance(result);
    return result;
}
