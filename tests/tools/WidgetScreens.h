#pragma once

#include <QString>
#include <QStringList>

namespace widgetscreens {

// Pictures of the main window's widgets, for a look by eye. Each function
// writes outDir/<name>.png and returns the path, or an empty text when the
// picture could not be written. A QApplication must exist.

// The database tree after a scan of dataFolder (with its ibdata1): fully
// expanded, a few items cleared so that all three check states show.
QString renderTree(const QString& outDir, const QString& dataFolder);
// The log pane holding the lines of that scan and the tree build.
QString renderLogPane(const QString& outDir, const QString& dataFolder);
// A status bar with a labelled progress bar part way.
QString renderProgressBar(const QString& outDir);
// The ribbon with the main window's commands, one picture per category,
// its key tips (categories, then the File category's commands) and the
// application menu open.
QStringList renderRibbon(const QString& outDir);
// All of them in one window as the main frame will arrange them.
QString renderMainWindow(const QString& outDir, const QString& dataFolder);

} // namespace widgetscreens
