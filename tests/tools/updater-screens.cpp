// updater-screens OUTDIR: renders the update wizard's pages to PNG files.
#include "tests/tools/UpdaterScreens.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: updater-screens OUTDIR\n");
        return 2;
    }
    const int written = renderUpdaterScreens(QString::fromLocal8Bit(argv[1]));
    std::printf("%d pictures written\n", written);
    return written == 3 ? 0 : 1;
}
