#include "app/dialogs/CMyExitStopDialog.h"

#include "app/CVeltraxMySqlRecoveryApp.h"
#include "app/controls/CColorButton.h"
#include "app/dialogs/DialogLook.h"

#include <QLabel>

namespace app {

CMyExitStopDialog::CMyExitStopDialog(const CVeltraxMySqlRecoveryApp& app, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CMyExitStopDialog"));
    DialogLook look(*this);
    look.setSize(275, 90);
    m_pYes = new CColorButton(QStringLiteral("&Yes"), this);
    m_pYes->setObjectName(QStringLiteral("yes"));
    look.place(m_pYes, 79, 68, 50, 14);
    m_pNo = new CColorButton(QStringLiteral("&No"), this);
    m_pNo->setObjectName(QStringLiteral("no"));
    look.place(m_pNo, 145, 68, 50, 14);
    look.picture(6, 10, 55, 51);
    m_pText = look.text(QStringLiteral("text"), 69, 12, 195, 45);
    m_pText->setText(app.messageText());
    // Neither is a default button: Enter presses the one with the focus.
    m_pYes->setAutoDefault(true);
    m_pNo->setAutoDefault(true);
    connect(m_pYes, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(m_pNo, &QAbstractButton::clicked, this, &QDialog::reject);
    setTabOrder(m_pYes, m_pNo);
    m_pYes->setFocus();
}

QString CMyExitStopDialog::text() const
{
    return m_pText->text();
}

} // namespace app
