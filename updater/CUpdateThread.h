#pragma once

#include "updater/DownloadListener.h"
#include "updater/UpdateResult.h"

#include <QString>
#include <QThread>

#include <atomic>

namespace updater {

class CAutoUpdater;

// The download page's worker: runs one download and hands its texts and
// progress over as signals. Its owner's destruction cancels and joins it.
class CUpdateThread : public QThread, public DownloadListener {
    Q_OBJECT
public:
    CUpdateThread(CAutoUpdater& updater, QString tempFolder, QObject* parent = nullptr);
    ~CUpdateThread() override;

    // Asks the download to end; safe from any thread.
    void cancel() { m_bCancelled = true; }
    bool isCancelled() const { return m_bCancelled; }

    void setStatusText(const QString& text) override { emit statusText(text); }
    void setSourceText(const QString& text) override { emit sourceText(text); }
    void setElapsedText(const QString& text) override { emit elapsedText(text); }
    void setRateText(const QString& text) override { emit rateText(text); }
    void setProgressRange(qint64 maximum) override { emit progressRange(maximum); }
    void setProgressValue(qint64 value) override { emit progressValue(value); }

signals:
    // All emitted on the download thread: connect them queued.
    void statusText(const QString& text);
    void sourceText(const QString& text);
    void elapsedText(const QString& text);
    void rateText(const QString& text);
    void progressRange(qint64 maximum);
    void progressValue(qint64 value);
    void downloadFinished(int result);

protected:
    void run() override;

private:
    CAutoUpdater& m_updater;
    const QString m_tempFolder;
    std::atomic<bool> m_bCancelled{false};
};

} // namespace updater
