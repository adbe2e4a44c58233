#include "app/dialogs/StartUpDialog.h"

#include "app/controls/CColorButton.h"
#include "app/FileDialogs.h"
#include "app/dialogs/CConDlg.h"
#include "app/dialogs/CDlgIbdataFilePath.h"
#include "app/dialogs/OwnDialogLook.h"
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"

#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace app {

namespace {

QLabel* makeBanner(QWidget* parent)
{
    auto* banner = new QLabel(QStringLiteral("Grisolt"), parent);
    banner->setObjectName(QStringLiteral("banner"));
    banner->setMinimumHeight(64);
    banner->setIndent(16);
    QFont font = banner->font();
    font.setPointSize(font.pointSize() * 2);
    font.setBold(true);
    banner->setFont(font);
    banner->setStyleSheet(QStringLiteral(
        "QLabel#banner { color: white; background: qlineargradient(x1:0, y1:0, x2:1, y2:0,"
        " stop:0 #1f4e8c, stop:1 #6f9fd8); }"));
    return banner;
}

} // namespace

StartUpDialog::StartUpDialog(engine::AppState& app, engine::MySqlRepair* repair, FileDialogs& files,
                             QWidget* parent)
    : CDragDialog(parent), m_app(app), m_repair(repair), m_files(files)
{
    setWindowTitle(QString());
    applyOwnDialogLook(this);

    auto* group = new QGroupBox(this);
    m_radDefault = new QRadioButton(QStringLiteral("Repair corrupt database(s) stored at default location of MySQL."),
                                    group);
    m_radManual = new QRadioButton(QStringLiteral("Manual selection of database(s) to repair."), group);
    auto* separator = new QFrame(group);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    m_edtFolder = new QLineEdit(group);
    m_edtFolder->setReadOnly(true);
    m_btnBrowse = new CColorButton(QStringLiteral("Browse"), group);
    m_btnOK = new CColorButton(QStringLiteral("OK"), group);
    m_btnCancel = new CColorButton(QStringLiteral("Cancel"), group);
    m_btnHelp = new CColorButton(QStringLiteral("Help"), group);
    m_btnOK->setDefault(true);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_edtFolder, 1);
    folderRow->addWidget(m_btnBrowse);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_btnOK);
    buttonRow->addWidget(m_btnCancel);
    buttonRow->addStretch();
    buttonRow->addWidget(m_btnHelp);
    auto* inner = new QVBoxLayout(group);
    inner->addWidget(m_radDefault);
    inner->addWidget(separator);
    inner->addWidget(m_radManual);
    inner->addLayout(folderRow);
    inner->addSpacing(8);
    inner->addLayout(buttonRow);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 8);
    layout->addWidget(makeBanner(this));
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 8, 0);
    body->addWidget(group);
    layout->addLayout(body);
    setMinimumWidth(460);

    connect(m_radDefault, &QRadioButton::clicked, this, &StartUpDialog::OnDefaultLocation);
    connect(m_radManual, &QRadioButton::clicked, this, &StartUpDialog::OnManualSelection);
    connect(m_btnBrowse, &QPushButton::clicked, this, &StartUpDialog::OnBrowse);
    connect(m_btnOK, &QPushButton::clicked, this, &StartUpDialog::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &StartUpDialog::reject);
    connect(m_btnHelp, &QPushButton::clicked, this, [this] { CConDlg::OnHelp(this, m_tell); });
}

void StartUpDialog::showEvent(QShowEvent* event)
{
    // Every opening starts afresh, the folder box empty; the window system
    // showing it again (restored after a minimise) keeps the user's choice.
    if (!event->spontaneous())
        SetUpControls();
    CDragDialog::showEvent(event);
}

void StartUpDialog::SetUpControls()
{
    m_edtFolder->clear();
    m_edtFolder->setEnabled(false);
    if (m_app.m_bServiceFound) {
        m_radDefault->setEnabled(true);
        m_radDefault->setChecked(true);
        m_btnBrowse->setEnabled(false);
        m_btnOK->setEnabled(true);
    } else {
        m_radDefault->setEnabled(false);
        m_radManual->setChecked(true);
        m_btnBrowse->setEnabled(true);
        m_btnOK->setEnabled(false);
        m_edtFolder->setEnabled(true);
    }
}

void StartUpDialog::OnDefaultLocation()
{
    if (!m_app.m_bServiceFound)
        return;
    m_app.m_bDefaultLocation = true;
    m_app.m_bManualFolder = false;
    m_btnBrowse->setEnabled(false);
    m_btnOK->setEnabled(true);
    m_edtFolder->clear();
    m_edtFolder->setEnabled(false);
}

void StartUpDialog::OnManualSelection()
{
    m_btnBrowse->setEnabled(true);
    m_btnOK->setEnabled(false);
    m_edtFolder->setEnabled(true);
}

void StartUpDialog::OnBrowse()
{
    m_app.m_strDataFolder.clear();
    m_app.m_bManualFolder = false;
    const QString folder = m_files.existingDirectory(this, QStringLiteral("Select a Folder"));
    if (folder.isEmpty()) {
        m_radManual->setChecked(true);
        m_btnBrowse->setEnabled(true);
        m_btnOK->setEnabled(false);
        return;
    }
    m_app.m_strIbdataPath.clear();
    m_app.m_bDefaultLocation = false;
    m_app.m_bManualFolder = true;
    m_edtFolder->setText(QDir::toNativeSeparators(folder));
    QString dataFolder = QDir::fromNativeSeparators(folder);
    if (!dataFolder.endsWith(QLatin1Char('/')))
        dataFolder += QLatin1Char('/');
    m_app.m_strDataFolder = dataFolder;
    m_app.m_strIbdataPath = dataFolder + QStringLiteral("ibdata1");
    if (ChooseIbdataFile()) {
        m_btnOK->setEnabled(true);
        return;
    }
    m_btnOK->setEnabled(false);
    m_app.m_strDataFolder.clear();
    m_edtFolder->clear();
}

bool StartUpDialog::ChooseIbdataFile()
{
    // The folder's own file is taken whatever its state: a damaged one still
    // holds most InnoDB rows, and the scan's log says what is wrong with it.
    const QString own = m_app.m_strIbdataPath;
    if (m_diskObject.FileExists(own))
        return true;
    CDlgIbdataFilePath ask(m_app, m_files, this);
    ask.m_tell = m_tell;
    if (ask.exec() == QDialog::Accepted)
        return true;
    // The picker leaves the path alone when cancelled.
    m_app.m_strIbdataPath = own;
    return false;
}

void StartUpDialog::accept()
{
    if (!m_btnOK->isEnabled())
        return;
    // The coming scan builds its model from nothing.
    if (m_repair)
        m_repair->m_databases.clear();
    m_app.m_bDefaultLocation = m_radDefault->isChecked();
    m_app.m_bManualFolder = m_radManual->isChecked();
    CDragDialog::accept();
}

} // namespace app
