#include "app/dialogs/CDragDialog.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace app {

CDragDialog::CDragDialog(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

void CDragDialog::mousePressEvent(QMouseEvent* event)
{
    if ((event->button() == Qt::LeftButton && m_bDragLeft) || (event->button() == Qt::RightButton && m_bDragRight))
        BeginDrag(event->globalPosition().toPoint());
    QDialog::mousePressEvent(event);
}

void CDragDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (m_bDragging) {
        const QPoint cursor = event->globalPosition().toPoint();
        QPoint topLeft = pos() + (cursor - m_ptLast);
        if (m_bClipToScreen) {
            if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
                const QRect area = screen->geometry();
                topLeft.setX(std::max(area.left(), std::min(topLeft.x(), area.right() + 1 - width())));
                topLeft.setY(std::max(area.top(), std::min(topLeft.y(), area.bottom() + 1 - height())));
            }
        }
        m_ptLast = cursor;
        move(topLeft);
    }
    QDialog::mouseMoveEvent(event);
}

void CDragDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_bDragging && ((event->button() == Qt::LeftButton && m_bDragLeft)
                        || (event->button() == Qt::RightButton && m_bDragRight)))
        EndDrag();
    QDialog::mouseReleaseEvent(event);
}

void CDragDialog::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CDragDialog::BeginDrag(const QPoint& globalPos)
{
    m_ptLast = globalPos;
    m_bDragging = true;
}

void CDragDialog::EndDrag()
{
    m_bDragging = false;
}

} // namespace app
