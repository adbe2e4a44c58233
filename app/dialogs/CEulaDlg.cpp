#include "app/dialogs/CEulaDlg.h"

#include "app/controls/CColorButton.h"
#include "engine/MySqlRepair.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

CEulaDlg::CEulaDlg(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("EULA Dialog"));
    m_lstText = new QListWidget(this);
    m_lstText->setSelectionMode(QAbstractItemView::SingleSelection);
    m_btnOK = new CColorButton(QStringLiteral("OK"), this);
    m_btnOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnOK);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lstText, 1);
    layout->addLayout(buttons);
    resize(760, 460);
    connect(m_btnOK, &QPushButton::clicked, this, &CEulaDlg::accept);
    LoadText();
}

QString CEulaDlg::EulaFilePath()
{
    const QString folder = engine::MySqlRepair::ReadProgramFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("eula.dat"));
}

void CEulaDlg::LoadText()
{
    m_lstText->clear();
    const QString path = EulaFilePath();
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // 8-bit text: each byte one character; Windows line ends lose their CR.
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        m_lstText->addItem(QString::fromLatin1(line));
    }
}

} // namespace app
