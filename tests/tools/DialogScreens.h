#pragma once

#include <QString>

namespace screens {

// Renders every dialog of the program, the find bar and the preview view
// (Table Data, Properties, text) as PNG files into outDir, with sample
// contents, at the default font. Returns the files written.
QStringList renderDialogScreens(const QString& outDir);

} // namespace screens
