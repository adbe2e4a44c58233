#pragma once

#include <QTimer>
#include <QWidget>

namespace updater {

// The check page's small "working" animation: eight frames, 150 ms each,
// played on the GUI thread's timer.
class BusyAnimation : public QWidget {
    Q_OBJECT
public:
    explicit BusyAnimation(QWidget* parent = nullptr);

    void play();
    void stop();
    bool isPlaying() const { return m_timer.isActive(); }
    int frame() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_timer;
    int m_frame = 0;
};

} // namespace updater
