#include "updater/CAutoUpdater.h"

#include "platform/Registry.h"
#include "updater/DownloadListener.h"
#include "updater/FormatByteSize.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkInformation>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <array>
#include <climits>
#include <memory>
#include <optional>

using platform::Registry;

namespace updater {

namespace {

constexpr char kBaseUrlValue[] = "UPDATE_BASE_URL";
constexpr char kDownloadHostValue[] = "UPDATE_DOWNLOAD_HOST";
constexpr char kUserAgent[] = "AutoUpdateAgent";
constexpr char kUpgradeFolder[] = "/upgrade/";
// Only the first two lines of the version file matter; more is not read.
constexpr qsizetype kVersionFileLimit = 4096;
constexpr qint64 kChunkSize = 4096;
constexpr int kVersionParts = 4;
// How often a wait looks at the cancel flag.
constexpr int kCancelPollMs = 50;

// ExeName becomes a path segment on the server and a file name here: a
// separator or a dot-only name would step out of either folder.
bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && !name.contains(QChar(0));
}

bool isHttp(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty()
        && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

// base + exe + "/" + exe + extension; invalid when either part is unusable.
QUrl serverFileUrl(const QString& base, const QString& exe, const QString& extension)
{
    QUrl url(base.trimmed(), QUrl::StrictMode);
    if (!isHttp(url) || !isPlainFileName(exe))
        return {};
    QString path = url.path(QUrl::FullyDecoded);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path + exe + QLatin1Char('/') + exe + extension, QUrl::DecodedMode);
    return url;
}

// http://host[:port]/upgrade/exe/exe.exe; the port defaults to 80.
QUrl installerUrlOn(const QString& host, const QString& exe)
{
    QUrl url(QLatin1String("http://") + host.trimmed(), QUrl::StrictMode);
    if (!isHttp(url) || !url.path().isEmpty() || url.hasQuery() || url.hasFragment()
        || !url.userInfo().isEmpty() || !isPlainFileName(exe))
        return {};
    url.setPath(QLatin1String(kUpgradeFolder) + exe + QLatin1Char('/') + exe + QLatin1String(".exe"),
                QUrl::DecodedMode);
    return url;
}

QNetworkRequest makeRequest(const QUrl& url, int transferTimeoutMs)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUserAgent));
    request.setTransferTimeout(transferTimeoutMs);
    return request;
}

bool isHttpSuccess(const QNetworkReply& reply)
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() && status.toInt() >= 200 && status.toInt() < 300;
}

// Runs an event loop until reply finishes; a cancel aborts it.
void waitForReply(QNetworkReply& reply, const std::atomic<bool>& cancelled)
{
    if (reply.isFinished())
        return;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &reply, [&reply, &cancelled] {
        if (cancelled)
            reply.abort();
    });
    QObject::connect(&reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    poll.start(kCancelPollMs);
    if (!reply.isFinished())
        loop.exec();
}

// What a download's body has come to so far.
struct Transfer {
    qint64 total = 0;
    bool refused = false;     // the server answered with an error page
    bool writeFailed = false; // the local file took fewer bytes than given
};

// Moves what the reply holds into file, 4096 bytes at a time. False when
// nothing more is to be read: an error status or a failed write (the
// reply is then aborted).
bool readBody(QNetworkReply& reply, QSaveFile& file, Transfer& transfer)
{
    if (transfer.refused || transfer.writeFailed)
        return false;
    if (!isHttpSuccess(reply)) {
        transfer.refused = true; // an error page is not an installer
        reply.abort();
        return false;
    }
    char buffer[kChunkSize];
    qint64 read = 0;
    while ((read = reply.read(buffer, kChunkSize)) > 0) {
        if (file.write(buffer, read) != read) {
            transfer.writeFailed = true;
            reply.abort();
            return false;
        }
        transfer.total += read;
    }
    return true;
}

// What a finished, uncancelled transfer amounts to: done only for a whole
// body whose size the server stated (by the size probe, its Content-Length
// or both) and every stated size agrees with.
UpdateResult transferVerdict(const QNetworkReply& reply, const Transfer& transfer, qint64 probedSize)
{
    // A status of 0 means no answer at all: a transfer failure, below.
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (transfer.refused || (status != 0 && (status < 200 || status >= 300)))
        return UPDATE_FILE_NOT_OPENED;
    if (transfer.writeFailed || reply.error() != QNetworkReply::NoError)
        return UPDATE_TRANSFER_FAILED;
    bool lengthKnown = false;
    const qint64 length = reply.header(QNetworkRequest::ContentLengthHeader).toLongLong(&lengthKnown);
    if ((!lengthKnown && probedSize == 0) || (lengthKnown && length != transfer.total)
        || (probedSize != 0 && probedSize != transfer.total))
        return UPDATE_TRANSFER_FAILED;
    return UPDATE_DOWNLOAD_DONE;
}

std::optional<std::array<int, kVersionParts>> parseVersion(const QString& version)
{
    const QStringList parts = version.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.size() > kVersionParts)
        return std::nullopt;
    std::array<int, kVersionParts> numbers{};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (!CAutoUpdater::IsNumeric(parts[i]))
            return std::nullopt;
        qint64 value = 0;
        for (const QChar c : parts[i])
            value = std::min<qint64>(value * 10 + (c.unicode() - u'0'), INT_MAX);
        numbers[static_cast<std::size_t>(i)] = static_cast<int>(value);
    }
    return numbers;
}

// A line's version is all of its text before the first blank (a carriage
// return of a CR LF file included), however long. A version of the line's
// seven characters or more may also be followed by another separator
// ("3.0.0.2-beta"): it ends where its digits and dots do.
QString versionOfLine(const QByteArray& line)
{
    const QString text = QString::fromLatin1(line);
    qsizetype end = 0;
    while (end < text.size() && !text.at(end).isSpace())
        ++end;
    qsizetype digits = 0;
    while (digits < end && (text.at(digits).isDigit() || text.at(digits) == QLatin1Char('.')))
        ++digits;
    constexpr qsizetype kVersionWidth = 7;
    if (digits < end && digits >= kVersionWidth)
        end = digits;
    return text.left(end);
}

} // namespace

CAutoUpdater::CAutoUpdater(QObject* parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this))
{
}

CAutoUpdater::~CAutoUpdater()
{
    CancelCheck();
}

QString CAutoUpdater::GetProductKeyPath()
{
    return QStringLiteral("SOFTWARE\\Veltrax\\Grisolt");
}

QString CAutoUpdater::GetInstalledVersion(const QString& keyPath)
{
    return Registry::value(keyPath, QStringLiteral("Version"));
}

bool CAutoUpdater::IsNumeric(const QString& s)
{
    for (const QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

VersionCompareResult CAutoUpdater::CompareVersions(QString a, QString b)
{
    const auto first = parseVersion(a);
    if (!first)
        return VERSION_BAD_FIRST;
    const auto second = parseVersion(b);
    if (!second)
        return VERSION_BAD_SECOND;
    if ((*first)[0] != (*second)[0])
        return (*first)[0] > (*second)[0] ? VERSION_MAJOR_NEWER : VERSION_OLDER;
    for (std::size_t i = 1; i < kVersionParts; ++i)
        if ((*first)[i] != (*second)[i])
            return (*first)[i] > (*second)[i] ? VERSION_NEWER : VERSION_OLDER;
    return VERSION_EQUAL;
}

UpdateResult CAutoUpdater::EvaluateVersionFile(const QByteArray& body, const QString& installed,
                                               QString& newVersion, QString& line2Version)
{
    newVersion.clear();
    line2Version.clear();
    QList<QByteArray> lines = body.left(kVersionFileLimit).split('\n');
    if (lines.last().isEmpty())
        lines.removeLast(); // nothing after the last line feed: no further line
    int result = VERSION_EQUAL;
    int r1 = VERSION_EQUAL;
    if (!lines.isEmpty()) {
        newVersion = versionOfLine(lines[0]);
        r1 = CompareVersions(newVersion, installed);
        result = r1;
    }
    if (lines.size() >= 2) {
        line2Version = versionOfLine(lines[1]);
        const int r2 = CompareVersions(line2Version, installed);
        result = r1 == VERSION_NEWER ? UPDATE_AVAILABLE_AND_MAJOR_RELEASE : r2;
        // Line 2 is offered only when it is newer than what is installed.
        if (r2 == VERSION_NEWER)
            newVersion = line2Version;
    }
    switch (result) {
    case VERSION_EQUAL:
    case VERSION_OLDER:
        return UPDATE_UP_TO_DATE;
    case UPDATE_AVAILABLE:
    case UPDATE_MAJOR_RELEASE_ONLY:
    case UPDATE_AVAILABLE_AND_MAJOR_RELEASE:
        return result;
    default:
        return UPDATE_INVALID_VERSION;
    }
}

QString CAutoUpdater::ElapsedText(qint64 secs, qint64 total, qint64 size)
{
    if (size != 0)
        return QStringLiteral("%1 sec(%2 of %3 copied)")
            .arg(secs)
            .arg(FormatByteSize(total), FormatByteSize(size));
    return QStringLiteral("%1 Ko in %2 sec").arg(total / 1024).arg(secs);
}

QString CAutoUpdater::RateText(qint64 total, qint64 secs)
{
    return FormatByteSize(total / std::max<qint64>(secs, 1)) + QStringLiteral("/sec");
}

QString CAutoUpdater::setupPath() const
{
    std::lock_guard lock(m_setupMutex);
    return m_strSetupPath;
}

bool CAutoUpdater::isOnline(const QUrl& url) const
{
    if (m_onlineProbe)
        return m_onlineProbe(url);
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0
        || QHostAddress(host).isLoopback())
        return true;
    // The system's own view, where it has one; only the GUI thread may load it.
    if (!QNetworkInformation::instance() && QCoreApplication::instance()
        && QThread::currentThread() == QCoreApplication::instance()->thread())
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    const QNetworkInformation* info = QNetworkInformation::instance();
    return !info || info->reachability() != QNetworkInformation::Reachability::Disconnected;
}

void CAutoUpdater::CheckForUpdate()
{
    CancelCheck();
    const QString key = GetProductKeyPath();
    if (!isOnline(QUrl(Registry::value(key, QLatin1String(kBaseUrlValue)).trimmed())))
        return finishCheck(UPDATE_NO_CONNECTION);

    m_strKeyPath = key;
    const QString installed = GetInstalledVersion(m_strKeyPath);
    if (installed.isEmpty())
        return finishCheck(UPDATE_NO_INSTALLED_VERSION);

    m_szExeName.clear();
    if (Registry::keyExists(m_strKeyPath)) {
        m_strUpdateUrl = Registry::value(m_strKeyPath, QStringLiteral("Update"));
        m_szExeName = Registry::value(m_strKeyPath, QStringLiteral("ExeName"));
    }
    const QUrl url = serverFileUrl(Registry::value(key, QLatin1String(kBaseUrlValue)), m_szExeName,
                                   QStringLiteral(".txt"));
    if (!url.isValid())
        return finishCheck(UPDATE_FILE_NOT_OPENED);

    m_checkInstalled = installed;
    m_checkBody.clear();
    m_checkBodyFull = false;
    QNetworkReply* reply = m_network->get(makeRequest(url, m_transferTimeoutMs));
    m_checkReply = reply;
    // The version file is read in memory, and only its head.
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        m_checkBody.append(reply->read(kVersionFileLimit - m_checkBody.size()));
        if (m_checkBody.size() >= kVersionFileLimit && isHttpSuccess(*reply)) {
            m_checkBodyFull = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, &CAutoUpdater::onCheckReplyFinished);
}

bool CAutoUpdater::isChecking() const
{
    return !m_checkReply.isNull();
}

void CAutoUpdater::CancelCheck()
{
    ++m_checkGeneration;
    if (QNetworkReply* reply = m_checkReply) {
        m_checkReply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void CAutoUpdater::onCheckReplyFinished()
{
    QNetworkReply* reply = m_checkReply;
    if (!reply)
        return;
    m_checkReply = nullptr;
    reply->deleteLater();
    // An error page (404, 500) is not a version file.
    if (!m_checkBodyFull && (reply->error() != QNetworkReply::NoError || !isHttpSuccess(*reply)))
        return finishCheck(UPDATE_FILE_NOT_OPENED);
    if (!m_checkBodyFull)
        m_checkBody.append(reply->read(kVersionFileLimit - m_checkBody.size()));
    finishCheck(EvaluateVersionFile(m_checkBody, m_checkInstalled, m_szNewVersion, m_szLine2Version));
}

void CAutoUpdater::finishCheck(UpdateResult result)
{
    const int generation = m_checkGeneration;
    QTimer::singleShot(0, this, [this, generation, result] {
        if (generation == m_checkGeneration)
            emit checkFinished(result);
    });
}

qint64 CAutoUpdater::probeSize(QNetworkAccessManager& network, const QUrl& url,
                               const std::atomic<bool>& cancelled) const
{
    std::unique_ptr<QNetworkReply> reply(network.head(makeRequest(url, m_transferTimeoutMs)));
    waitForReply(*reply, cancelled);
    if (reply->error() != QNetworkReply::NoError || !isHttpSuccess(*reply))
        return 0;
    bool ok = false;
    const qint64 size = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
    return ok && size > 0 ? size : 0;
}

UpdateResult CAutoUpdater::DownloadUpdate(DownloadListener& page, const std::atomic<bool>& cancelled,
                                          const QString& tempFolder)
{
    const QString key = GetProductKeyPath();
    const QString exe = Registry::value(key, QStringLiteral("ExeName"));
    const QString host = Registry::value(key, QLatin1String(kDownloadHostValue)).trimmed();
    const QUrl installerUrl = installerUrlOn(host, exe);
    if (!isOnline(installerUrl.isValid() ? installerUrl : QUrl(QLatin1String("http://") + host)))
        return UPDATE_NO_CONNECTION;

    page.setStatusText(QStringLiteral("Getting Internet Session"));
    QNetworkAccessManager network;
    const QUrl probeUrl =
        serverFileUrl(Registry::value(key, QLatin1String(kBaseUrlValue)), exe, QStringLiteral(".exe"));
    m_dwInstallerSize = probeUrl.isValid() ? probeSize(network, probeUrl, cancelled) : 0;
    if (cancelled || !installerUrl.isValid())
        return UPDATE_FILE_NOT_OPENED;

    page.setProgressRange(m_dwInstallerSize);
    page.setStatusText(QStringLiteral("Downloading files..."));
    page.setSourceText(exe + QStringLiteral(".exe from ") + host);

    // A folder of our own (mode 0700), kept after success: the user runs
    // the installer from it once the program has ended.
    QDir().mkpath(tempFolder);
    QTemporaryDir folder(QDir(tempFolder).filePath(QStringLiteral("grisolt-update-XXXXXX")));
    if (!folder.isValid())
        return UPDATE_TRANSFER_FAILED;
    folder.setAutoRemove(false);
    const QString path = folder.filePath(exe + QStringLiteral(".exe"));

    UpdateResult result = DownloadLoop(network, installerUrl, page, cancelled, path);
    if (result == UPDATE_DOWNLOAD_DONE && cancelled)
        result = UPDATE_DOWNLOAD_CANCELLED;
    if (result != UPDATE_DOWNLOAD_DONE) {
        QDir(folder.path()).removeRecursively();
        return result;
    }
    page.setProgressValue(m_dwInstallerSize);
    page.setStatusText(QStringLiteral("Download completed"));
    std::lock_guard lock(m_setupMutex);
    m_strSetupPath = path;
    return UPDATE_DOWNLOAD_DONE;
}

UpdateResult CAutoUpdater::DownloadLoop(QNetworkAccessManager& network, const QUrl& url,
                                        DownloadListener& page, const std::atomic<bool>& cancelled,
                                        const QString& path)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 1;
    const qint64 size = m_dwInstallerSize;
    Transfer transfer;

    // Written under a temporary name and renamed only when whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return UPDATE_TRANSFER_FAILED;
    std::unique_ptr<QNetworkReply> reply(network.get(makeRequest(url, m_transferTimeoutMs)));

    const auto readChunks = [&] {
        if (cancelled || !readBody(*reply, file, transfer))
            return;
        const qint64 secs = (clock.elapsed() + 500) / 1000;
        const QString elapsed = ElapsedText(secs, transfer.total, size);
        // The shown time may read 0 sec; the rate divides by the last
        // whole second instead.
        if (secs != 0)
            last = secs;
        if (cancelled)
            return;
        page.setElapsedText(elapsed);
        page.setRateText(RateText(transfer.total, last));
        page.setProgressValue(transfer.total);
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), readChunks);
    waitForReply(*reply, cancelled);
    if (!cancelled && reply->error() == QNetworkReply::NoError)
        readChunks();

    const UpdateResult verdict = cancelled ? UPDATE_DOWNLOAD_CANCELLED : transferVerdict(*reply, transfer, size);
    if (verdict != UPDATE_DOWNLOAD_DONE) {
        file.cancelWriting();
        return verdict;
    }
    if (!file.commit())
        return UPDATE_TRANSFER_FAILED;
    if (size == 0)
        m_dwInstallerSize = transfer.total;
    return UPDATE_DOWNLOAD_DONE;
}

} // namespace updater
