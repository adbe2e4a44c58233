#include "updater/BusyAnimation.h"

#include <QPainter>

#include <cmath>

namespace updater {

namespace {

constexpr int kFrames = 8;
constexpr int kFrameMs = 150;

} // namespace

BusyAnimation::BusyAnimation(QWidget* parent) : QWidget(parent)
{
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % kFrames;
        update();
    });
}

void BusyAnimation::play()
{
    m_frame = 0;
    m_timer.start();
    update();
}

void BusyAnimation::stop()
{
    m_timer.stop();
    update();
}

void BusyAnimation::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    const double radius = std::min(width(), height()) * 0.35;
    const double dot = std::max(2.0, radius * 0.28);
    for (int i = 0; i < kFrames; ++i) {
        const double angle = 2.0 * M_PI * i / kFrames;
        const QPointF at(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
        // The dot of the current frame is darkest; the trail fades behind it.
        const int age = (m_frame - i + kFrames) % kFrames;
        const int shade = isPlaying() ? 40 + age * 26 : 200;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(shade, shade, std::min(255, shade + 60)));
        painter.drawEllipse(at, dot, dot);
    }
}

} // namespace updater
