#pragma once

#include <QPixmap>
#include <QRect>
#include <QSize>

class QFont;
class QLabel;
class QWidget;

namespace updater {

// The wizard's pages are laid out in dialog units of an 8-point font.
QRect dialogUnits(int x, int y, int width, int height);
// The side panel's picture under the "Update Wizard" text.
QPixmap wizardPicture(QSize size);
// A static text at a position in dialog units.
QLabel* makeStatic(QWidget* parent, const QString& text, const QRect& where);
// The larger bold face of a page's headline and side-panel texts.
QFont headlineFont(const QFont& base);
// The side panel common to the three pages: white panel, text, picture.
void addSidePanel(QWidget* page, const QRect& panel, const QRect& text, const QRect& picture);

} // namespace updater
