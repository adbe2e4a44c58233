#pragma once

#include <QString>

// Renders the update wizard's three pages to PNG files in outDir: the
// welcome page, the check page that found an update, and the download page
// in the middle of a download from a local HTTP server. Needs a
// QApplication. Returns the number of pictures written.
int renderUpdaterScreens(const QString& outDir);
