#pragma once

// The screens grisolt-screens renders: each a name and a function that builds
// a top-level widget in one state from fixture data. The tool shows it
// offscreen, grabs it into OUTDIR/<name>.png and deletes it. A part of the
// shell adds its screens with one add...Screens function, listed in
// grisolt-screens.cpp.

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace screens {

struct Screen {
    QString name;
    // Throws std::runtime_error when the screen cannot be built (its
    // fixture data is missing); the tool then stops with that error.
    std::function<std::unique_ptr<QWidget>()> build;
};
using ScreenTable = std::vector<Screen>;

// The main window, empty as the program starts.
void addMainWindowScreens(ScreenTable& table);
// The message box, the notice, the Yes/No question, the MySQL 3.x notice and
// the colour button's states.
void addMessageDialogScreens(ScreenTable& table);

} // namespace screens
