#include "updater/CUpdateFinalPage.h"

#include "updater/CAutoUpdater.h"
#include "updater/CUpdatePropertySheet.h"
#include "updater/CUpdateThread.h"
#include "updater/UpdaterHost.h"
#include "updater/WizardLayout.h"

#include <QLabel>
#include <QProgressBar>

#include <climits>

namespace updater {

namespace {

constexpr int kDownloadDelayMs = 1000;

const char kNoConnection[] = "Connection to server could not be established. Please try later.";
const char kNotFound[] = "The update could not be found on the server.";
const char kFailed[] = "The download failed. Please try later.";

} // namespace

CUpdateFinalPage::CUpdateFinalPage(CUpdatePropertySheet& sheet, CAutoUpdater& updater, UpdaterHost& host)
    : m_sheet(sheet), m_updater(updater), m_host(host)
{
    addSidePanel(this, dialogUnits(10, 9, 100, 95), dialogUnits(12, 29, 88, 48), dialogUnits(5, 100, 99, 102));
    makeStatic(this, QStringLiteral("Downloading files..."), dialogUnits(128, 30, 130, 11))
        ->setFont(headlineFont(font()));
    m_staticStatus = makeStatic(this, QStringLiteral("Saving file:"), dialogUnits(128, 77, 160, 11));
    makeStatic(this, QStringLiteral("Time elapsed:"), dialogUnits(128, 145, 60, 8))->setWordWrap(false);
    makeStatic(this, QStringLiteral("Transfer rate:"), dialogUnits(128, 175, 60, 8))->setWordWrap(false);
    m_progress = new QProgressBar(this);
    m_progress->setGeometry(dialogUnits(128, 117, 176, 14));
    m_progress->setTextVisible(false);
    m_staticSource = makeStatic(this, QString(), dialogUnits(125, 53, 180, 8));
    m_staticSource->setWordWrap(false);
    m_staticRate = makeStatic(this, QString(), dialogUnits(189, 175, 125, 8));
    m_staticRate->setWordWrap(false);
    // Two lines: "12 sec(1.50 MB of 20.00 MB copied)" is wider than the box.
    m_staticElapsed = makeStatic(this, QString(), dialogUnits(189, 145, 125, 16));

    m_timer.setSingleShot(true);
    m_timer.setInterval(kDownloadDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &CUpdateFinalPage::onTimer);
}

CUpdateFinalPage::~CUpdateFinalPage()
{
    cancel();
}

void CUpdateFinalPage::onSetActive()
{
    // There is no way back from here.
    m_sheet.setBackVisible(false);
    m_sheet.setNextEnabled(false);
    m_progress->setValue(0);
    m_timer.start();
}

void CUpdateFinalPage::cancel()
{
    m_timer.stop();
    if (m_thread) {
        m_thread->cancel();
        m_thread->wait();
    }
}

void CUpdateFinalPage::onTimer()
{
    if (m_thread)
        return; // one download per wizard
    m_thread = std::make_unique<CUpdateThread>(m_updater, m_host.tempFolder());
    CUpdateThread* thread = m_thread.get();
    connect(thread, &CUpdateThread::statusText, m_staticStatus, &QLabel::setText, Qt::QueuedConnection);
    connect(thread, &CUpdateThread::sourceText, m_staticSource, &QLabel::setText, Qt::QueuedConnection);
    connect(thread, &CUpdateThread::elapsedText, m_staticElapsed, &QLabel::setText, Qt::QueuedConnection);
    connect(thread, &CUpdateThread::rateText, m_staticRate, &QLabel::setText, Qt::QueuedConnection);
    connect(thread, &CUpdateThread::progressRange, this, &CUpdateFinalPage::setProgressRange,
            Qt::QueuedConnection);
    connect(thread, &CUpdateThread::progressValue, this, &CUpdateFinalPage::setProgressValue,
            Qt::QueuedConnection);
    connect(thread, &CUpdateThread::downloadFinished, this, &CUpdateFinalPage::onDownloadFinished,
            Qt::QueuedConnection);
    thread->start();
}

void CUpdateFinalPage::onDownloadFinished(int result)
{
    m_bFinished = true;
    m_result = result;
    m_thread->wait();
    if (result == UPDATE_DOWNLOAD_DONE && !m_thread->isCancelled()) {
        m_setupPath = m_updater.setupPath();
        if (m_progress->maximum() == 0)
            m_progress->setRange(0, 1); // the size became known only at the end
        m_progress->setValue(m_progress->maximum());
        m_sheet.showFinish();
    } else if (result == UPDATE_NO_CONNECTION) {
        m_staticStatus->setText(QLatin1String(kNoConnection));
    } else if (result == UPDATE_FILE_NOT_OPENED) {
        m_staticStatus->setText(QLatin1String(kNotFound));
    } else if (result == UPDATE_TRANSFER_FAILED) {
        m_staticStatus->setText(QLatin1String(kFailed));
    }
    emit downloadFinished(result);
}

void CUpdateFinalPage::setProgressRange(qint64 maximum)
{
    m_progressScale = maximum / INT_MAX + 1;
    m_progress->setRange(0, static_cast<int>(maximum / m_progressScale));
}

void CUpdateFinalPage::setProgressValue(qint64 value)
{
    if (m_progress->maximum() > 0)
        m_progress->setValue(static_cast<int>(std::min(value / m_progressScale, qint64{m_progress->maximum()})));
}

} // namespace updater
