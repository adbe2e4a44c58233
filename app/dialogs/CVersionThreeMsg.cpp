#include "app/dialogs/CVersionThreeMsg.h"

#include "app/controls/CColorButton.h"
#include "app/dialogs/DialogLook.h"

#include <QLabel>

namespace app {

CVersionThreeMsg::CVersionThreeMsg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CVersionThreeMsg"));
    DialogLook look(*this);
    look.setSize(316, 127);
    m_pOk = new CColorButton(QStringLiteral("OK"), this);
    m_pOk->setObjectName(QStringLiteral("ok"));
    m_pOk->setDefault(true);
    look.place(m_pOk, 133, 106, 50, 14);
    look.picture(7, 19, 55, 51);
    look.text(QStringLiteral("text"), 79, 11, 229, 85)->setText(noticeText());
    connect(m_pOk, &QAbstractButton::clicked, this, &QDialog::accept);
    m_pOk->setFocus();
}

QString CVersionThreeMsg::noticeText()
{
    return QStringLiteral("This database contains some table(s) from non supported version (MySQL 3.x).\n\n"
                          "Please contect support@veltrax.example for free recovery of these tables.\n\n"
                          "Recovery result depends on many parameters and can't be guaranted.");
}

} // namespace app
