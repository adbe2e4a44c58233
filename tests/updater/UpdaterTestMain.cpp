#include <QApplication>

#include <gtest/gtest.h>

// The updater needs an application object: network replies and the wizard
// run on its event loop.
int main(int argc, char** argv)
{
    // Also when the test discovery lists the tests without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
