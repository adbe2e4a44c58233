#pragma once

#include <QDialog>
#include <QPoint>

namespace app {

// A dialog without a caption bar that the user moves by dragging its body.
// Labels and group boxes pass their clicks on, so they drag it too.
class CDragDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDragDialog(QWidget* parent = nullptr);

    bool m_bDragLeft = true;
    bool m_bDragRight = false;
    bool m_bClipToScreen = false;
    bool isDragging() const { return m_bDragging; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // A thin frame stands in for the missing caption bar's border.
    void paintEvent(QPaintEvent* event) override;

    void BeginDrag(const QPoint& globalPos);
    void EndDrag();

private:
    bool m_bDragging = false;
    QPoint m_ptLast;
};

} // namespace app
