#pragma once

#include <QString>

// Renders every dialog of the program, the find bar and the preview view
// (Table Data, Properties, text) with sample contents, at the default font,
// to PNG files in outDir. Needs a QApplication. Returns the number of
// pictures written.
int renderDialogScreens(const QString& outDir);
