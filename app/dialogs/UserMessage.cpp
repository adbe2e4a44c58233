#include "app/dialogs/UserMessage.h"

#include "app/CVeltraxMySqlRecoveryApp.h"
#include "app/controls/CColorButton.h"
#include "app/dialogs/DialogLook.h"

#include <QLabel>

namespace app {

UserMessage::UserMessage(const CVeltraxMySqlRecoveryApp& app, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("UserMessage"));
    DialogLook look(*this, QFont(QStringLiteral("Arial"), 10));
    look.setSize(193, 72);
    look.picture(2, 6, 47, 42);
    m_pText = look.text(QStringLiteral("text"), 58, 10, 127, 32);
    m_pText->setText(app.message());
    m_pOk = new CColorButton(QStringLiteral("OK"), this);
    m_pOk->setObjectName(QStringLiteral("ok"));
    m_pOk->setDefault(true);
    look.place(m_pOk, 74, 54, 45, 12);
    connect(m_pOk, &QAbstractButton::clicked, this, &QDialog::accept);
    m_pOk->setFocus();
}

QString UserMessage::text() const
{
    return m_pText->text();
}

} // namespace app
