#include "app/dialogs/CFindTreeItem.h"

#include "app/controls/CColorButton.h"
#include "app/controls/CSxGroupBox.h"
#include "app/controls/CSymbolEdit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace app {

namespace {
const QString kFind = QStringLiteral("Find");
const QString kFindNext = QStringLiteral("Find Next");
} // namespace

CFindTreeItem::CFindTreeItem(QWidget* parent) : QWidget(parent)
{
    m_grpSearch = new CSxGroupBox(QStringLiteral("Search Tree Item"), this);
    m_stcFindItems = new QLabel(QStringLiteral("Find Items:"), m_grpSearch);
    m_editFind = new CSymbolEdit(m_grpSearch);
    m_editFind->setMinimumWidth(150);
    m_chkMatchCase = new QCheckBox(QStringLiteral("Match case"), m_grpSearch);
    m_btnFind = new CColorButton(kFind, m_grpSearch);
    m_btnFind->setDefault(true);
    m_btnFind->setAutoDefault(true);

    auto* grid = new QGridLayout(m_grpSearch);
    grid->setContentsMargins(8, 4 + fontMetrics().height() / 2, 8, 8);
    grid->addWidget(m_stcFindItems, 0, 0);
    grid->addWidget(m_editFind, 0, 1);
    grid->addWidget(m_chkMatchCase, 1, 0);
    grid->addWidget(m_btnFind, 1, 1, Qt::AlignLeft);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grpSearch);

    m_btnFind->setEnabled(false);
    m_editFind->SetSymbolIcon();
    connect(m_editFind, &QLineEdit::textChanged, this, &CFindTreeItem::OnChangeFindText);
    connect(m_editFind, &QLineEdit::returnPressed, this, [this] {
        if (m_btnFind->isEnabled())
            OnFind();
    });
    connect(m_btnFind, &CColorButton::clicked, this, &CFindTreeItem::OnFind);
}

void CFindTreeItem::OnChangeFindText()
{
    m_btnFind->setText(kFind);
    m_btnFind->setEnabled(!m_editFind->text().isEmpty());
}

void CFindTreeItem::OnFind()
{
    m_strLastCaption = m_btnFind->text();
    m_bMatchCase = m_chkMatchCase->isChecked();
    if (m_strLastCaption.compare(kFind, Qt::CaseInsensitive) == 0)
        m_btnFind->setText(kFindNext);
    emit findNext();
}

QString CFindTreeItem::FindText() const
{
    return m_editFind->text();
}

void CFindTreeItem::ClearFindText()
{
    m_editFind->clear();
}

} // namespace app
