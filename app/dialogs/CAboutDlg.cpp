#include "app/dialogs/CAboutDlg.h"

#include "app/controls/CColorButton.h"
#include "app/dialogs/CEulaDlg.h"
#include "app/dialogs/OwnDialogLook.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUrl>
#include <QVBoxLayout>

namespace app {

namespace {

const QColor kLinkColour(0, 0, 255);
const QColor kVisitedColour(128, 0, 128);

QGroupBox* rowsBox(const QString& title, const QList<QPair<QString, QLabel*>>& rows, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    auto* grid = new QGridLayout(box);
    int r = 0;
    for (const auto& [label, value] : rows) {
        grid->addWidget(new QLabel(label, box), r, 0, Qt::AlignTop);
        value->setParent(box);
        value->setWordWrap(true);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(value, r++, 1);
    }
    grid->setColumnStretch(1, 1);
    return box;
}

} // namespace

CAboutDlg::CAboutDlg(ProductValue value, QWidget* parent) : QDialog(parent), m_value(std::move(value))
{
    setWindowTitle(QStringLiteral("About Grisolt"));
    applyOwnDialogLook(this);

    auto* banner = new QLabel(QStringLiteral("Grisolt"), this);
    banner->setObjectName(QStringLiteral("banner"));
    QFont bannerFont = banner->font();
    bannerFont.setPointSize(bannerFont.pointSize() * 2);
    bannerFont.setBold(true);
    banner->setFont(bannerFont);
    banner->setMinimumSize(300, 80);
    banner->setIndent(16);
    banner->setStyleSheet(QStringLiteral("QLabel#banner { color: white; background: qlineargradient("
                                         "x1:0, y1:0, x2:1, y2:0, stop:0 #1f4e8c, stop:1 #6f9fd8); }"));

    auto* visit = new QGroupBox(QStringLiteral("Visit Us"), this);
    auto* links = new QVBoxLayout(visit);
    m_lnkHomePage = MakeLink(m_value(QStringLiteral("HomePageText")), &CAboutDlg::OnHomePageLink);
    m_lnkSupportMail = MakeLink(m_value(QStringLiteral("EmailSupText")), &CAboutDlg::OnSupportMailLink);
    m_lnkSalesMail = MakeLink(m_value(QStringLiteral("SalesText")), &CAboutDlg::OnSalesMailLink);
    for (QLabel* link : {m_lnkHomePage, m_lnkSupportMail, m_lnkSalesMail})
        links->addWidget(link);

    auto* smallPrint = new QLabel(
        QStringLiteral("This program is protected by copyright law. Unauthorised copying or distribution of it, "
                       "or of any part of it, is prohibited."),
        this);
    smallPrint->setWordWrap(true);
    QFont small = smallPrint->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    smallPrint->setFont(small);

    m_stcVersion = new QLabel(m_value(QStringLiteral("Version")));
    m_stcComputer = new QLabel(QSysInfo::machineHostName());
    auto* product = rowsBox(QStringLiteral("Product Information"),
                            {{QStringLiteral("Product Name"), new QLabel(QStringLiteral("Grisolt"))},
                             {QStringLiteral("Product Version"), m_stcVersion},
                             {QStringLiteral("Computer Name"), m_stcComputer}},
                            this);
    m_stcOs = new QLabel(QSysInfo::prettyProductName());
    m_stcOsVersion = new QLabel(VersionText());
    // The system has no service packs: the line stays empty.
    m_stcServicePack = new QLabel(QString());
    auto* system = rowsBox(QStringLiteral("System Information"),
                           {{QStringLiteral("Operating System"), m_stcOs},
                            {QStringLiteral("Version"), m_stcOsVersion},
                            {QStringLiteral("Service Pack"), m_stcServicePack}},
                           this);
    QList<QPair<QString, QLabel*>> contactRows;
    for (const char* name : {"Tel1", "Tel2", "Tel3", "Tel4", "Tel5", "Tel6", "Messenger"}) {
        const QString key = QString::fromLatin1(name);
        auto* valueLabel = new QLabel(m_value(key + QStringLiteral("Val")));
        contactRows.append({m_value(key), valueLabel});
    }
    auto* reach = rowsBox(QStringLiteral("Reach Us"), contactRows, this);
    auto* reachGrid = static_cast<QGridLayout*>(reach->layout());
    for (int r = 0; r < reachGrid->rowCount(); ++r)
        m_contacts.append(qMakePair(qobject_cast<QLabel*>(reachGrid->itemAtPosition(r, 0)->widget()),
                                    qobject_cast<QLabel*>(reachGrid->itemAtPosition(r, 1)->widget())));

    m_btnEula = new CColorButton(QStringLiteral("&EULA"), this);
    m_btnOK = new CColorButton(QStringLiteral("&OK"), this);
    m_btnOK->setDefault(true);

    auto* top = new QHBoxLayout;
    top->addWidget(banner, 1);
    top->addWidget(visit);
    auto* middle = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(product);
    left->addWidget(system);
    middle->addLayout(left, 1);
    middle->addWidget(reach, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnEula);
    buttons->addWidget(m_btnOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(smallPrint);
    layout->addLayout(middle);
    layout->addLayout(buttons);
    setMinimumWidth(640);

    connect(m_btnEula, &QPushButton::clicked, this, &CAboutDlg::OnEula);
    connect(m_btnOK, &QPushButton::clicked, this, &CAboutDlg::accept);
}

QLabel* CAboutDlg::MakeLink(const QString& text, void (CAboutDlg::*handler)())
{
    // A plain text drawn as a link: the click is taken on the label's whole
    // area, so a link whose text is empty still reacts.
    auto* link = new QLabel(text, this);
    link->setTextFormat(Qt::PlainText);
    QFont underlined = link->font();
    underlined.setUnderline(true);
    link->setFont(underlined);
    QPalette colours = link->palette();
    colours.setColor(QPalette::WindowText, kLinkColour);
    link->setPalette(colours);
    link->setCursor(Qt::PointingHandCursor);
    link->setMinimumSize(link->fontMetrics().averageCharWidth() * 20, link->fontMetrics().height());
    link->installEventFilter(this);
    m_links.insert(link, handler);
    return link;
}

bool CAboutDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* link = qobject_cast<QLabel*>(watched);
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (link && m_links.contains(link) && mouse->button() == Qt::LeftButton
            && link->rect().contains(mouse->position().toPoint())) {
            (this->*m_links.value(link))();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CAboutDlg::ShowVisited(QLabel* link)
{
    QPalette colours = link->palette();
    colours.setColor(QPalette::WindowText, kVisitedColour);
    link->setPalette(colours);
    link->update();
}

void CAboutDlg::OnHomePageLink()
{
    QDesktopServices::openUrl(QUrl::fromUserInput(m_value(QStringLiteral("HomePage"))));
    m_bHomePageVisited = true;
    ShowVisited(m_lnkHomePage);
}

void CAboutDlg::OnSupportMailLink()
{
    if (QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + m_value(QStringLiteral("EmailSup"))))) {
        m_bSupportMailVisited = true;
        ShowVisited(m_lnkSupportMail);
    }
}

void CAboutDlg::OnSalesMailLink()
{
    if (QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + m_value(QStringLiteral("Sales"))))) {
        m_bSalesMailVisited = true;
        ShowVisited(m_lnkSalesMail);
    }
}

void CAboutDlg::OnEula()
{
    CEulaDlg eula(this);
    eula.exec();
}

QString CAboutDlg::VersionText()
{
    const QRegularExpressionMatch numbers =
        QRegularExpression(QStringLiteral("^(\\d+)\\.(\\d+)(?:\\.(\\d+))?")).match(QSysInfo::kernelVersion());
    if (!numbers.hasMatch())
        return QSysInfo::kernelVersion();
    const QString patch = numbers.captured(3).isEmpty() ? QStringLiteral("0") : numbers.captured(3);
    return QStringLiteral("%1. %2.%3").arg(numbers.captured(1), numbers.captured(2), patch);
}

} // namespace app
