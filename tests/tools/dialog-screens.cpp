// dialog-screens OUTDIR
// Renders the dialogs, the find bar and the preview view as PNG files, to
// look at the layout at the default font.
#include "tests/tools/DialogScreens.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: dialog-screens OUTDIR\n");
        return 2;
    }
    const int written = renderDialogScreens(QString::fromLocal8Bit(argv[1]));
    std::printf("%d pictures written\n", written);
    return written > 0 ? 0 : 1;
}
