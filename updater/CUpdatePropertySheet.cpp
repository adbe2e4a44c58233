#include "updater/CUpdatePropertySheet.h"

#include "updater/CUpdateFinalPage.h"
#include "updater/CUpdateProcessPage.h"
#include "updater/CUpdateStartPage.h"
#include "updater/WizardLayout.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace updater {

namespace {

constexpr int kPageWidthDlu = 316;
constexpr int kPageHeightDlu = 210;

} // namespace

CUpdatePropertySheet::CUpdatePropertySheet(CAutoUpdater& updater, UpdaterHost& host, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Update Wizard"));
    setModal(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    m_stack = new QStackedWidget(this);
    m_stack->setFixedSize(dialogUnits(0, 0, kPageWidthDlu, kPageHeightDlu).size());
    m_pageStart = new CUpdateStartPage(*this);
    m_pageProcess = new CUpdateProcessPage(*this, updater, host);
    m_pageFinal = new CUpdateFinalPage(*this, updater, host);
    m_stack->addWidget(m_pageStart);
    m_stack->addWidget(m_pageProcess);
    m_stack->addWidget(m_pageFinal);

    // The wizard's own buttons keep the standard look.
    m_btnBack = new QPushButton(QStringLiteral("< &Back"), this);
    m_btnNext = new QPushButton(QStringLiteral("&Next >"), this);
    m_btnFinish = new QPushButton(QStringLiteral("Finish"), this);
    m_btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_btnNext->setDefault(true);
    m_btnFinish->hide();
    connect(m_btnBack, &QPushButton::clicked, this, &CUpdatePropertySheet::onBack);
    connect(m_btnNext, &QPushButton::clicked, this, &CUpdatePropertySheet::onNext);
    connect(m_btnFinish, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &CUpdatePropertySheet::reject);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnBack);
    buttons->addWidget(m_btnNext);
    buttons->addWidget(m_btnFinish);
    buttons->addSpacing(8);
    buttons->addWidget(m_btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_stack);
    layout->addWidget(line);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    activate(0);
}

CUpdatePropertySheet::~CUpdatePropertySheet() = default;

QWidget* CUpdatePropertySheet::currentPage() const
{
    return m_stack->currentWidget();
}

void CUpdatePropertySheet::setBackEnabled(bool enabled)
{
    m_btnBack->setEnabled(enabled);
}

void CUpdatePropertySheet::setBackVisible(bool visible)
{
    m_btnBack->setVisible(visible);
}

void CUpdatePropertySheet::setNextEnabled(bool enabled)
{
    m_btnNext->setEnabled(enabled);
}

void CUpdatePropertySheet::showFinish()
{
    m_btnNext->hide();
    m_btnFinish->show();
    m_btnFinish->setEnabled(true);
    m_btnFinish->setDefault(true);
}

void CUpdatePropertySheet::goNext()
{
    if (m_stack->currentIndex() + 1 < m_stack->count())
        activate(m_stack->currentIndex() + 1);
}

void CUpdatePropertySheet::goBack()
{
    if (m_stack->currentIndex() > 0)
        activate(m_stack->currentIndex() - 1);
}

QString CUpdatePropertySheet::setupPath() const
{
    return m_pageFinal->setupPath();
}

void CUpdatePropertySheet::reject()
{
    m_bUpdateCancelled = true;
    m_pageProcess->cancel();
    m_pageFinal->cancel();
    QDialog::reject();
}

void CUpdatePropertySheet::activate(int index)
{
    m_stack->setCurrentIndex(index);
    if (index == 0)
        m_pageStart->onSetActive();
    else if (index == 1)
        m_pageProcess->onSetActive();
    else
        m_pageFinal->onSetActive();
}

void CUpdatePropertySheet::onNext()
{
    if (!m_btnNext->isEnabled())
        return;
    if (currentPage() == m_pageStart)
        m_pageStart->onWizardNext();
    else if (currentPage() == m_pageProcess)
        m_pageProcess->onWizardNext();
}

void CUpdatePropertySheet::onBack()
{
    if (m_btnBack->isEnabled() && currentPage() == m_pageProcess)
        m_pageProcess->onWizardBack();
}

} // namespace updater
