#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>

class QLabel;
class QProgressBar;

namespace updater {

class CAutoUpdater;
class CUpdatePropertySheet;
class CUpdateThread;
class UpdaterHost;

// The wizard's download page: one second after it becomes current it starts
// the download thread and shows its progress; Finish is offered only after
// a complete download. The page ends its thread when it goes.
class CUpdateFinalPage : public QWidget {
    Q_OBJECT
public:
    CUpdateFinalPage(CUpdatePropertySheet& sheet, CAutoUpdater& updater, UpdaterHost& host);
    ~CUpdateFinalPage() override;

    void onSetActive();
    // Ends a download that is due or running and waits for its thread.
    void cancel();

    bool isDownloading() const { return m_thread != nullptr && !m_bFinished; }
    // The download's result, or -1 while none has ended.
    int result() const { return m_result; }
    QString setupPath() const { return m_setupPath; }

    QLabel* m_staticStatus = nullptr;  // status line
    QLabel* m_staticSource = nullptr;  // "<name>.exe from <host>"
    QLabel* m_staticElapsed = nullptr; // time elapsed
    QLabel* m_staticRate = nullptr;    // transfer rate
    QProgressBar* m_progress = nullptr;

signals:
    void downloadFinished(int result);

private:
    void onTimer();
    void onDownloadFinished(int result);
    void setProgressRange(qint64 maximum);
    void setProgressValue(qint64 value);

    CUpdatePropertySheet& m_sheet;
    CAutoUpdater& m_updater;
    UpdaterHost& m_host;
    QTimer m_timer;
    std::unique_ptr<CUpdateThread> m_thread;
    bool m_bFinished = false;
    int m_result = -1;
    QString m_setupPath;
    // Bytes per step of the bar, which counts in int.
    qint64 m_progressScale = 1;
};

} // namespace updater
