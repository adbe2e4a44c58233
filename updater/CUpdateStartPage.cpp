#include "updater/CUpdateStartPage.h"

#include "updater/CUpdatePropertySheet.h"
#include "updater/WizardLayout.h"

#include <QLabel>

namespace updater {

CUpdateStartPage::CUpdateStartPage(CUpdatePropertySheet& sheet) : m_sheet(sheet)
{
    addSidePanel(this, dialogUnits(5, 0, 100, 74), dialogUnits(12, 22, 88, 48), dialogUnits(5, 78, 99, 102));
    QLabel* headline = makeStatic(this, QStringLiteral("Welcome to the Grisolt update wizard"),
                                  dialogUnits(125, 22, 148, 29));
    headline->setFont(headlineFont(font()));
    makeStatic(this,
               QStringLiteral("Update wizard checks for the latest updates available and updates product "
                              "if a newer version is available online."),
               dialogUnits(125, 62, 178, 25));
    makeStatic(this,
               QStringLiteral("It is strongly recommended that you close all other running applications "
                              "before clicking 'Next'. This will help prevent any conflict during the "
                              "update process."),
               dialogUnits(125, 102, 178, 25));
    makeStatic(this, QStringLiteral("Click Next to continue..."), dialogUnits(125, 161, 110, 8))
        ->setWordWrap(false);
}

void CUpdateStartPage::onSetActive()
{
    m_sheet.setBackEnabled(false);
}

void CUpdateStartPage::onWizardNext()
{
    m_sheet.setBackEnabled(true);
    m_sheet.goNext();
}

} // namespace updater
