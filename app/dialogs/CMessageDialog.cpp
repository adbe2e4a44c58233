#include "app/dialogs/CMessageDialog.h"

#include "app/CVeltraxMySqlRecoveryApp.h"
#include "app/controls/CColorButton.h"
#include "app/dialogs/DialogLook.h"

#include <QLabel>

namespace app {

CMessageDialog::CMessageDialog(const CVeltraxMySqlRecoveryApp& app, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CMessageDialog"));
    DialogLook look(*this);
    look.setSize(283, 106);
    look.picture(8, 12, 55, 51);
    m_pTitle = look.text(QStringLiteral("title"), 73, 13, 200, 32);
    QFont bold = font();
    bold.setBold(true);
    m_pTitle->setFont(bold);
    m_pTitle->setText(app.m_strMessageTitle);
    m_pText = look.text(QStringLiteral("text"), 74, 38, 200, 29);
    m_pText->setText(app.messageText());
    m_pOk = new CColorButton(QStringLiteral("OK"), this);
    m_pOk->setObjectName(QStringLiteral("ok"));
    m_pOk->setDefault(true);
    look.place(m_pOk, 120, 82, 43, 14);
    // OK closes it as Esc does.
    connect(m_pOk, &QAbstractButton::clicked, this, &QDialog::reject);
    m_pOk->setFocus();
}

QString CMessageDialog::title() const
{
    return m_pTitle->text();
}

QString CMessageDialog::text() const
{
    return m_pText->text();
}

} // namespace app
