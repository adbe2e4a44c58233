#pragma once

#include <QPlainTextEdit>

namespace app {

// The text box of a view's definition or a trigger script: read-only, black
// on white, lines never wrapped, no context menu.
class CReadOnlyEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CReadOnlyEdit(QWidget* parent = nullptr);

    void SetColours(const QColor& text, const QColor& background);
};

} // namespace app
