#pragma once

#include "updater/UpdateResult.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <mutex>

class QNetworkAccessManager;
class QNetworkReply;

namespace updater {

class DownloadListener;

// The online updater: asks the update server whether a newer version
// exists and downloads the new installer.
//
// Where the server is comes from the product key: "UPDATE_BASE_URL" (an
// http URL whose path ends in "/upgrade/"; the version file and the size
// probe lie under it) and "UPDATE_DOWNLOAD_HOST" (host[:port], port 80 by
// default; the installer is fetched from it). "ExeName" names the files.
//
// The check runs on the thread that owns the object (the GUI thread)
// without blocking it; DownloadUpdate blocks and belongs on a worker thread.
class CAutoUpdater : public QObject {
    Q_OBJECT
public:
    // Answers whether the machine can reach url at all; the default asks the
    // system's network information and never calls loopback unreachable.
    using OnlineProbe = std::function<bool(const QUrl& url)>;

    explicit CAutoUpdater(QObject* parent = nullptr);
    ~CAutoUpdater() override;

    // Starts a check; checkFinished follows on this object's thread, also
    // when the result is known at once. A check still running is dropped.
    void CheckForUpdate();
    // Drops the running check: no checkFinished for it.
    void CancelCheck();
    bool isChecking() const;

    // Fetches the installer into a private folder made under tempFolder,
    // reporting to page. Returns UPDATE_DOWNLOAD_DONE only for a complete
    // transfer whose size matches the server's; on any other outcome the
    // partial file and its folder are gone. Blocks; safe on any thread.
    UpdateResult DownloadUpdate(DownloadListener& page, const std::atomic<bool>& cancelled,
                                const QString& tempFolder);

    static QString GetProductKeyPath();
    // The value "Version" of keyPath, or empty text.
    static QString GetInstalledVersion(const QString& keyPath);
    // Compares two versions of one to four dot-separated decimal numbers.
    static VersionCompareResult CompareVersions(QString a, QString b);
    // True when every character is '0' to '9'; true for empty text.
    static bool IsNumeric(const QString& s);
    // The check's verdict on a version file's body against the installed
    // version; newVersion is the version to offer, line2Version line 2's.
    static UpdateResult EvaluateVersionFile(const QByteArray& body, const QString& installed,
                                            QString& newVersion, QString& line2Version);
    // The download page's time-elapsed and transfer-rate texts.
    static QString ElapsedText(qint64 secs, qint64 total, qint64 size);
    static QString RateText(qint64 total, qint64 secs);

    void setOnlineProbe(OnlineProbe probe) { m_onlineProbe = std::move(probe); }
    // A transfer that moves no byte for this long fails.
    void setTransferTimeout(int msecs) { m_transferTimeoutMs = msecs; }

    // Results of the last check.
    QString m_szExeName;
    QString m_strKeyPath;
    QString m_szNewVersion;
    QString m_szLine2Version;
    // The upgrade web page (registry value "Update"), as the last check read it.
    QString m_strUpdateUrl;

    // The installer's size from the last size probe, 0 when unknown.
    std::atomic<qint64> m_dwInstallerSize{0};
    // The last completely downloaded installer, or empty text.
    QString setupPath() const;

signals:
    // Queued: emitted from the event loop, never inside CheckForUpdate.
    void checkFinished(int result);

private:
    void finishCheck(UpdateResult result);
    void onCheckReplyFinished();
    UpdateResult DownloadLoop(QNetworkAccessManager& network, const QUrl& url, DownloadListener& page,
                              const std::atomic<bool>& cancelled, const QString& path);
    qint64 probeSize(QNetworkAccessManager& network, const QUrl& url,
                     const std::atomic<bool>& cancelled) const;
    bool isOnline(const QUrl& url) const;

    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_checkReply;
    QByteArray m_checkBody;
    // The head of a longer version file is all the check reads of it.
    bool m_checkBodyFull = false;
    QString m_checkInstalled;
    int m_checkGeneration = 0;
    OnlineProbe m_onlineProbe;
    int m_transferTimeoutMs = 30000;

    mutable std::mutex m_setupMutex;
    QString m_strSetupPath;
};

} // namespace updater
