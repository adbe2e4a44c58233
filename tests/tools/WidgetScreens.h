#pragma once

#include <QString>
#include <QStringList>

namespace widgetscreens {

// Pictures of the main window's widgets, for a look by eye. Each function
// writes outDir/<name>.png and returns the path, or an empty text when the
// picture could not be written. A QApplication must exist.

// The ribbon with the main window's commands, one picture per category,
// its key tips (categories, then the File category's commands) and the
// application menu open.
QStringList renderRibbon(const QString& outDir);

} // namespace widgetscreens
