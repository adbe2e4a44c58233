#include "app/dialogs/CConDlg.h"

#include "app/controls/CColorButton.h"
#include "app/controls/ProgramPicture.h"
#include "app/dialogs/OwnDialogLook.h"
#include "engine/MySqlRepair.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>

namespace app {

namespace {
// HTML under a name that says so: desktops pick the viewer by the name.
const QString kHelpFileName = QStringLiteral("MySqlRecovery.html");
}

CConDlg::CConDlg(QWidget* parent) : QDialog(parent)
{
    // A caption without a close box: the dialog ends by OK, Cancel or Escape.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Grisolt"));
    applyOwnDialogLook(this);

    auto* group = new QGroupBox(QStringLiteral("User Login Information"), this);
    auto* grid = new QGridLayout(group);
    m_edtUser = new QLineEdit(group);
    m_edtHost = new QLineEdit(group);
    // Echo mode Password: the characters never show, and the box scrolls, so
    // a password longer than the box can be typed.
    m_edtPassword = new QLineEdit(group);
    m_edtPassword->setEchoMode(QLineEdit::Password);
    auto* hostLabel = new QLabel(QStringLiteral("Host Name\\\nServer IP"), group);
    // The program's picture, left of the fields.
    m_picture = new QLabel(group);
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setFixedSize(kPictureWidth, kPictureHeight);
    m_picture->setPixmap(ProgramPicture::Draw(QSize(kPictureWidth, kPictureHeight)));
    grid->addWidget(m_picture, 0, 0, 3, 1, Qt::AlignCenter);
    grid->setColumnMinimumWidth(0, kPictureWidth + 24);
    grid->addWidget(new QLabel(QStringLiteral("User Name"), group), 0, 1);
    grid->addWidget(m_edtUser, 0, 2);
    grid->addWidget(hostLabel, 1, 1);
    grid->addWidget(m_edtHost, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Password"), group), 2, 1);
    grid->addWidget(m_edtPassword, 2, 2);
    grid->setColumnMinimumWidth(2, 180);

    m_btnOK = new CColorButton(QStringLiteral("OK"), this);
    m_btnHelp = new CColorButton(QStringLiteral("Help"), this);
    m_btnCancel = new CColorButton(QStringLiteral("Cancel"), this);
    m_btnOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnOK);
    buttons->addWidget(m_btnHelp);
    buttons->addWidget(m_btnCancel);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    setTabOrder(m_edtUser, m_edtHost);
    setTabOrder(m_edtHost, m_edtPassword);
    setTabOrder(m_edtPassword, m_btnOK);

    connect(m_edtUser, &QLineEdit::textChanged, this, &CConDlg::OnChangeUserOrHost);
    connect(m_edtHost, &QLineEdit::textChanged, this, &CConDlg::OnChangeUserOrHost);
    connect(m_btnOK, &QPushButton::clicked, this, &CConDlg::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &CConDlg::reject);
    connect(m_btnHelp, &QPushButton::clicked, this, [this] { OnHelp(this, m_tell); });
}

void CConDlg::showEvent(QShowEvent* event)
{
    // Every opening asks anew, whatever was typed the last time. The window
    // system showing it again (restored after a minimise) keeps what is typed.
    if (!event->spontaneous()) {
        m_edtUser->clear();
        m_edtHost->clear();
        m_edtPassword->clear();
        m_btnOK->setEnabled(false);
        m_edtUser->setFocus();
    }
    QDialog::showEvent(event);
}

void CConDlg::OnChangeUserOrHost()
{
    m_btnOK->setEnabled(!m_edtUser->text().isEmpty() && !m_edtHost->text().isEmpty());
}

void CConDlg::accept()
{
    // Enter reaches the default button even while it is disabled.
    if (!m_btnOK->isEnabled())
        return;
    m_strHost = m_edtHost->text();
    m_strPassword = m_edtPassword->text();
    m_strUser = m_edtUser->text();
    QDialog::accept();
}

QString CConDlg::HelpFilePath()
{
    const QString folder = engine::MySqlRepair::ReadProgramFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(kHelpFileName);
}

bool CConDlg::OnHelp(QWidget* owner, const MessageSink& tell)
{
    const QString path = HelpFilePath();
    QString problem;
    if (path.isEmpty())
        problem = QStringLiteral("The help file cannot be found: the program folder is not set.");
    else if (!QFileInfo(path).isFile())
        problem = QStringLiteral("The help file %1 is missing.").arg(QDir::toNativeSeparators(path));
    else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        problem = QStringLiteral("The help file %1 cannot be opened: no program to show it was found.")
                      .arg(QDir::toNativeSeparators(path));
    if (problem.isEmpty())
        return true;
    tell(owner, problem);
    return false;
}

} // namespace app
