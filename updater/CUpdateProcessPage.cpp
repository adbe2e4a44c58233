#include "updater/CUpdateProcessPage.h"

#include "updater/BusyAnimation.h"
#include "updater/CAutoUpdater.h"
#include "updater/CUpdatePropertySheet.h"
#include "updater/UpdaterHost.h"
#include "updater/WizardLayout.h"

#include <QLabel>
#include <QPushButton>

namespace updater {

namespace {

// The check waits one second after the page appears, so the page is seen
// before the server is asked.
constexpr int kCheckDelayMs = 1000;

const char kChecking[] = "Checking for updates...";
const char kSearching[] = "Grisolt Update Wizard is searching for latest updates available online.";
const char kNewUpdate[] = "A new update  is available. Click Next to proceed further.";
constexpr int kNewUpdateVersionAt = 13;
const char kAllUpdates[] = "Application has all latest updates. Click cancel to close window.";
const char kUpdated[] = "This application is updated.";
const char kNoConnection[] = "Connection to server could not be established. Please try later.";
const char kSessionFailed[] = "Internet Session failed.";
// Outcomes the page had no text for: the check's end is always told.
const char kInvalidVersion[] = "The version information could not be read. Please try later.";
const char kNoInstalledVersion[] = "The installed version is not known, so no update can be chosen. "
                                   "Please reinstall the application.";
const char kCheckFailed[] = "The update check failed. Please try later.";
const char kMajorNote[] = "A new major release is available.You need to pay to upgrade to new version.";

} // namespace

CUpdateProcessPage::CUpdateProcessPage(CUpdatePropertySheet& sheet, CAutoUpdater& updater, UpdaterHost& host)
    : m_sheet(sheet), m_updater(updater), m_host(host)
{
    addSidePanel(this, dialogUnits(5, 7, 100, 95), dialogUnits(12, 29, 88, 48), dialogUnits(5, 100, 99, 102));
    m_animate = new BusyAnimation(this);
    m_animate->setGeometry(dialogUnits(154, 55, 20, 20));
    m_staticStatus = makeStatic(this, QLatin1String(kChecking), dialogUnits(130, 28, 144, 17));
    m_staticStatus->setFont(headlineFont(font()));
    m_staticMessage = makeStatic(this, QLatin1String(kSearching), dialogUnits(130, 86, 157, 28));
    m_staticMajorNote = makeStatic(this, QLatin1String(kMajorNote), dialogUnits(130, 126, 157, 28));

    m_staticLink = new QPushButton(QStringLiteral("Visit upgrade page"), this);
    m_staticLink->setGeometry(dialogUnits(130, 172, 62, 11));
    m_staticLink->setFlat(true);
    m_staticLink->setCursor(Qt::PointingHandCursor);
    m_staticLink->setStyleSheet(QStringLiteral(
        "QPushButton { color: rgb(0, 0, 255); text-decoration: underline; border: none; "
        "text-align: left; padding: 0; background: transparent; }"));
    connect(m_staticLink, &QPushButton::clicked, this, &CUpdateProcessPage::onUpgradePageLink);

    m_timer.setSingleShot(true);
    m_timer.setInterval(kCheckDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &CUpdateProcessPage::onTimer);
    connect(&m_updater, &CAutoUpdater::checkFinished, this, &CUpdateProcessPage::showOutcome);
}

CUpdateProcessPage::~CUpdateProcessPage()
{
    cancel(); // the updater outlives the wizard
}

void CUpdateProcessPage::onSetActive()
{
    m_staticStatus->setText(QLatin1String(kChecking));
    m_staticMessage->setText(QLatin1String(kSearching));
    m_sheet.setNextEnabled(false);
    m_sheet.setBackEnabled(false);
    m_staticMajorNote->hide();
    m_staticLink->hide();
    m_animate->play();
    m_timer.start();
}

void CUpdateProcessPage::onTimer()
{
    m_animate->play();
    m_bChecking = true;
    m_updater.CheckForUpdate();
}

void CUpdateProcessPage::showOutcome(int result)
{
    if (!m_bChecking)
        return; // a check this page did not start
    m_bChecking = false;
    bool next = false;
    bool majorNote = false;
    switch (result) {
    case UPDATE_AVAILABLE:
    case UPDATE_AVAILABLE_AND_MAJOR_RELEASE:
        m_staticMessage->setText(
            QString::fromLatin1(kNewUpdate).insert(kNewUpdateVersionAt, m_updater.m_szNewVersion));
        next = true;
        majorNote = result == UPDATE_AVAILABLE_AND_MAJOR_RELEASE;
        break;
    case UPDATE_MAJOR_RELEASE_ONLY:
        m_staticMessage->setText(QLatin1String(kAllUpdates));
        majorNote = true;
        break;
    case UPDATE_NO_CONNECTION:
        m_staticMessage->setText(QLatin1String(kNoConnection));
        break;
    case UPDATE_FILE_NOT_OPENED:
        m_staticMessage->setText(QLatin1String(kSessionFailed));
        break;
    case UPDATE_UP_TO_DATE:
        m_staticMessage->setText(QLatin1String(kUpdated));
        m_staticStatus->setText(QLatin1String(kUpdated));
        break;
    case UPDATE_INVALID_VERSION:
        m_staticMessage->setText(QLatin1String(kInvalidVersion));
        break;
    case UPDATE_NO_INSTALLED_VERSION:
        m_staticMessage->setText(QLatin1String(kNoInstalledVersion));
        break;
    default:
        m_staticMessage->setText(QLatin1String(kCheckFailed));
        break;
    }
    m_staticMajorNote->setVisible(majorNote);
    m_staticLink->setVisible(majorNote);
    m_sheet.setNextEnabled(next);
    m_animate->stop();
    m_sheet.setBackEnabled(true);
}

void CUpdateProcessPage::onWizardBack()
{
    cancel();
    m_sheet.setBackEnabled(false);
    m_sheet.setNextEnabled(true);
    m_sheet.goBack();
}

void CUpdateProcessPage::onWizardNext()
{
    m_sheet.goNext();
}

void CUpdateProcessPage::cancel()
{
    m_timer.stop();
    if (m_bChecking) {
        m_bChecking = false;
        m_updater.CancelCheck();
    }
    m_animate->stop();
}

void CUpdateProcessPage::onUpgradePageLink()
{
    if (!m_updater.m_strUpdateUrl.isEmpty())
        m_host.openUrl(QUrl(m_updater.m_strUpdateUrl));
}

} // namespace updater
