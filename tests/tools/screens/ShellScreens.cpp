#include "tests/tools/screens/Screens.h"

#include "app/CMainFrame.h"
#include "app/CVeltraxMySqlRecoveryApp.h"
#include "app/controls/CColorButton.h"
#include "app/dialogs/CMessageDialog.h"
#include "app/dialogs/CMyExitStopDialog.h"
#include "app/dialogs/CVersionThreeMsg.h"
#include "app/dialogs/UserMessage.h"

#include <QApplication>
#include <QEnterEvent>
#include <QHBoxLayout>

namespace screens {

using app::theApp;

void addMainWindowScreens(ScreenTable& table)
{
    table.push_back({QStringLiteral("main-window-empty"), [] {
                         auto frame = std::make_unique<app::CMainFrame>(theApp(), theApp().repair());
                         frame->resize(1024, 700);
                         return std::unique_ptr<QWidget>(std::move(frame));
                     }});
}

namespace {

std::unique_ptr<QWidget> userMessage(const QString& text)
{
    theApp().setMessage(text);
    return std::make_unique<app::UserMessage>(theApp());
}

std::unique_ptr<QWidget> question(const QString& text)
{
    theApp().setMessageText(text);
    return std::make_unique<app::CMyExitStopDialog>(theApp());
}

void hover(QWidget* button)
{
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
    QApplication::sendEvent(button, &enter);
}

} // namespace

void addMessageDialogScreens(ScreenTable& table)
{
    table.push_back({QStringLiteral("user-message"), [] { return userMessage(QStringLiteral("Repair process finished successfully.")); }});
    table.push_back({QStringLiteral("user-message-long"), [] {
                         return userMessage(QStringLiteral("Either incorrect path or table(s) in database(s) not present..."));
                     }});
    table.push_back({QStringLiteral("user-message-empty"), [] { return userMessage(QString()); }});
    table.push_back({QStringLiteral("message-dialog-cannot-exit"), [] {
                         theApp().m_strMessageTitle = QStringLiteral("Can not exit!");
                         theApp().setMessageText(QStringLiteral("Please first stop the current process before exiting Grisolt."));
                         return std::unique_ptr<QWidget>(std::make_unique<app::CMessageDialog>(theApp()));
                     }});
    table.push_back({QStringLiteral("exit-stop-dialog-stop-repair"),
                     [] { return question(QStringLiteral("Do you want to stop current repair process ?")); }});
    table.push_back({QStringLiteral("exit-stop-dialog-exit"), [] { return question(QStringLiteral("Exit-Grisolt?")); }});
    table.push_back({QStringLiteral("version-three-notice"),
                     [] { return std::unique_ptr<QWidget>(std::make_unique<app::CVersionThreeMsg>()); }});
    table.push_back({QStringLiteral("color-button-states"), [] {
                         auto strip = std::make_unique<QWidget>();
                         strip->setAutoFillBackground(true);
                         QPalette palette = strip->palette();
                         palette.setColor(QPalette::Window, Qt::white);
                         strip->setPalette(palette);
                         auto* layout = new QHBoxLayout(strip.get());
                         const char* names[] = {"Normal", "&Hover", "Pressed", "Disabled", ""};
                         for (const char* name : names) {
                             auto* button = new app::CColorButton(QString::fromLatin1(name), strip.get());
                             button->setFixedSize(90, 26);
                             layout->addWidget(button);
                         }
                         const auto buttons = strip->findChildren<app::CColorButton*>();
                         hover(buttons[1]);
                         hover(buttons[2]);
                         buttons[2]->setDown(true);
                         buttons[3]->setEnabled(false);
                         return strip;
                     }});
}

} // namespace screens
