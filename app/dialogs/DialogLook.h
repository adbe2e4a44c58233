#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

class QDialog;
class QLabel;
class QWidget;

namespace app {

// The one look of the program's own dialogs: the product title as caption,
// no close box, a white background, a picture at the left, and controls
// placed in dialog units of the dialog's font (a quarter of the average
// character width across, an eighth of the line height down).
class DialogLook {
public:
    explicit DialogLook(QDialog& dialog, const QFont& font = QFont());

    // Sizes the dialog to width x height dialog units.
    void setSize(int width, int height);
    // Places a child at x, y with size w x h, all in dialog units.
    void place(QWidget* child, int x, int y, int w, int h) const;
    // A left-aligned, word-wrapped text.
    QLabel* text(const QString& objectName, int x, int y, int w, int h) const;
    // The dialog's picture.
    QLabel* picture(int x, int y, int w, int h) const;

    QRect toPixels(int x, int y, int w, int h) const;

private:
    QDialog& m_dialog;
    double m_unitX = 1.5;
    double m_unitY = 1.625;
};

} // namespace app
