// widget-screens OUTDIR [DATADIR]
// Renders the main window's widgets to PNG files in OUTDIR: the database
// tree and the log pane after a scan of DATADIR (by default the fixture
// folder the tests use), the status-bar progress bar, the ribbon's
// categories, and all of them together. Runs offscreen.
#include "tests/tools/WidgetScreens.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: widget-screens OUTDIR [DATADIR]\n");
        return 2;
    }
    const QString outDir = args[1];
    const QString data = args.size() == 3 ? args[2] : QStringLiteral(GRISOLT_FIXTURES_DIR "/default/data");
    QDir().mkpath(outDir);
    QStringList written{widgetscreens::renderTree(outDir, data), widgetscreens::renderLogPane(outDir, data),
                        widgetscreens::renderProgressBar(outDir)};
    written << widgetscreens::renderRibbon(outDir) << widgetscreens::renderMainWindow(outDir, data);
    int failed = 0;
    for (const QString& path : written) {
        if (path.isEmpty())
            ++failed;
        else
            std::printf("%s\n", qPrintable(path));
    }
    return failed == 0 ? 0 : 1;
}
