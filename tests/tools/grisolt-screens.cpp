// grisolt-screens OUTDIR [NAME...]
//
// Renders the program's windows and dialogs, each in named states built from
// fixture data, offscreen, to OUTDIR/<name>.png; with NAMEs, only those.
// Without NAMEs also the dialogs, the preview, the update wizard's pages and
// the ribbon's categories.
// Prints each file written. Exit status 0 when every screen was written, 1
// when one could not be (the tool stops at a screen whose fixture data is
// missing), 2 for bad usage or an unknown name. GRISOLT_SCREENS_DATA names
// another data folder for the scanned main window.
#include "app/CVeltraxMySqlRecoveryApp.h"
#include "tests/tools/DialogScreens.h"
#include "tests/tools/UpdaterScreens.h"
#include "tests/tools/WidgetScreens.h"
#include "tests/tools/screens/Screens.h"

#include <QDir>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <stdexcept>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    app::CVeltraxMySqlRecoveryApp application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: grisolt-screens OUTDIR [NAME...]\n");
        return 2;
    }
    const QString outDir = args[1];
    const QStringList wanted = args.mid(2);

    screens::ScreenTable table;
    screens::addMainWindowScreens(table);
    screens::addMessageDialogScreens(table);

    for (const QString& name : wanted) {
        const bool known = std::any_of(table.begin(), table.end(), [&](const screens::Screen& s) { return s.name == name; });
        if (!known) {
            std::fprintf(stderr, "grisolt-screens: no screen named %s\n", qPrintable(name));
            return 2;
        }
    }
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "grisolt-screens: cannot make %s\n", qPrintable(outDir));
        return 1;
    }
    int status = 0;
    for (const screens::Screen& screen : table) {
        if (!wanted.isEmpty() && !wanted.contains(screen.name))
            continue;
        std::unique_ptr<QWidget> widget;
        try {
            widget = screen.build();
        } catch (const std::runtime_error& error) {
            std::fprintf(stderr, "grisolt-screens: %s: %s\n", qPrintable(screen.name), error.what());
            return 1;
        }
        widget->show();
        QApplication::processEvents();
        const QString path = outDir + QLatin1Char('/') + screen.name + QStringLiteral(".png");
        if (widget->grab().save(path)) {
            std::printf("%s\n", qPrintable(path));
        } else {
            std::fprintf(stderr, "grisolt-screens: cannot write %s\n", qPrintable(path));
            status = 1;
        }
        widget->hide();
    }
    if (wanted.isEmpty()) {
        if (renderDialogScreens(outDir) <= 0 || renderUpdaterScreens(outDir) <= 0)
            status = 1;
        for (const QString& path : widgetscreens::renderRibbon(outDir)) {
            if (path.isEmpty())
                status = 1;
            else
                std::printf("%s\n", qPrintable(path));
        }
    }
    return status;
}
