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

protected:
    // Taken and dropped: the box shows no menu, and the view around it
    // must not show its own either.
    void contextMenuEvent(QContextMenuEvent* event) override;
};

} // namespace app
