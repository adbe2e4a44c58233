#include "app/dialogs/CDlgIbdataFilePath.h"

#include "app/controls/CColorButton.h"
#include "app/FileDialogs.h"
#include "app/SystemTablespaceCheck.h"
#include "app/dialogs/OwnDialogLook.h"
#include "engine/AppState.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

CDlgIbdataFilePath::CDlgIbdataFilePath(engine::AppState& app, FileDialogs& files, QWidget* parent)
    : QDialog(parent), m_app(app), m_files(files)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Grisolt"));
    applyOwnDialogLook(this);

    m_stcPrompt = new QLabel(QStringLiteral("Please provide ibdata file path.."), this);
    QFont prompt(QStringLiteral("Arial Black"));
    prompt.setPixelSize(11);
    prompt.setBold(true);
    m_stcPrompt->setFont(prompt);
    m_edtPath = new QLineEdit(this);
    m_edtPath->setReadOnly(true);
    m_edtPath->setMinimumWidth(320);
    m_btnBrowse = new CColorButton(QStringLiteral("Browse"), this);
    m_btnOK = new CColorButton(QStringLiteral("OK"), this);
    m_btnCancel = new CColorButton(QStringLiteral("Cancel"), this);
    m_btnOK->setDefault(true);
    m_btnOK->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_btnBrowse);
    buttons->addStretch();
    buttons->addWidget(m_btnOK);
    buttons->addWidget(m_btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_stcPrompt);
    layout->addWidget(m_edtPath);
    layout->addLayout(buttons);

    connect(m_btnBrowse, &QPushButton::clicked, this, &CDlgIbdataFilePath::OnBrowse);
    connect(m_btnOK, &QPushButton::clicked, this, &CDlgIbdataFilePath::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &CDlgIbdataFilePath::reject);
}

void CDlgIbdataFilePath::OnBrowse()
{
    const QString file = m_files.openFileName(this, QStringLiteral("Select the ibdata1 file"));
    if (file.isEmpty())
        return;
    // A file that is plainly no shared tablespace is a slip: it holds none
    // of the folder's InnoDB rows. A damaged one is taken; the scan says so.
    const SystemTablespaceCheck check(file);
    if (check.refusedByPicker()) {
        m_tell(this, check.problem());
        return;
    }
    m_edtPath->setText(QDir::toNativeSeparators(file));
    m_btnOK->setEnabled(true);
}

void CDlgIbdataFilePath::accept()
{
    if (!m_btnOK->isEnabled())
        return;
    m_app.m_strIbdataPath = QDir::fromNativeSeparators(m_edtPath->text());
    QDialog::accept();
}

} // namespace app
