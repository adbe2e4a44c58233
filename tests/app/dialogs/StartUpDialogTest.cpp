#include "app/dialogs/StartUpDialog.h"

#include "app/dialogs/CDlgIbdataFilePath.h"
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "tests/app/WidgetTestSupport.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

using app::CDlgIbdataFilePath;
using app::StartUpDialog;

namespace {

QString fixtureIbdata()
{
    return testsupport::ExpectedRows::setFolder(QStringLiteral("default")) + QStringLiteral("/data/ibdata1");
}

QByteArray ibdataBytes()
{
    QFile file(fixtureIbdata());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fixture's ibdata1 with one byte of its first page changed.
QByteArray damagedIbdata(int offset = 1000)
{
    QByteArray bytes = ibdataBytes();
    if (bytes.size() > offset)
        bytes[offset] = static_cast<char>(bytes[offset] ^ 0x40);
    return bytes;
}

class StartUpDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(fixtureIbdata())) << "fixture data folders missing";
        m_dialog.m_tell = m_told.sink();
    }
    // A folder holding an ibdata1 that links to `target` (none when empty).
    QString folderWith(const QString& name, const QString& target)
    {
        const QString folder = m_dir.mkdir(name);
        if (!target.isEmpty())
            QFile::link(target, folder + QStringLiteral("/ibdata1"));
        return folder;
    }
    struct Controls {
        bool defaultChecked, defaultEnabled, manualChecked, browseEnabled, okEnabled, folderEnabled;
        const char* folderText;
    };
    void expectControls(const Controls& c, const char* when)
    {
        SCOPED_TRACE(when);
        EXPECT_EQ(m_dialog.m_radDefault->isChecked(), c.defaultChecked);
        EXPECT_EQ(m_dialog.m_radDefault->isEnabled(), c.defaultEnabled);
        EXPECT_EQ(m_dialog.m_radManual->isChecked(), c.manualChecked);
        EXPECT_EQ(m_dialog.m_btnBrowse->isEnabled(), c.browseEnabled);
        EXPECT_EQ(m_dialog.m_btnOK->isEnabled(), c.okEnabled);
        EXPECT_EQ(m_dialog.m_edtFolder->isEnabled(), c.folderEnabled);
        if (c.folderText) {
            EXPECT_EQ(m_dialog.m_edtFolder->text(), QString::fromUtf8(c.folderText));
        }
    }

    testsupport::TempDir m_dir;
    engine::AppState m_app;
    engine::MySqlRepair m_repair{m_app};
    widgettest::FakeFileDialogs m_files;
    widgettest::MessageRecorder m_told;
    StartUpDialog m_dialog{m_app, &m_repair, m_files};
};

TEST_F(StartUpDialogTest, WithAServiceItOpensOnTheDefaultLocation)
{
    m_app.m_bServiceFound = true;
    m_dialog.show();
    expectControls({true, true, false, false, true, false, ""}, "open");
    m_dialog.m_radManual->click();
    expectControls({false, true, true, true, false, true, ""}, "manual clicked");
    m_dialog.m_radDefault->click();
    expectControls({true, true, false, false, true, false, ""}, "default clicked");
    EXPECT_TRUE(m_app.m_bDefaultLocation);
    EXPECT_FALSE(m_app.m_bManualFolder);

    // OK empties the engine's model from an earlier scan.
    m_repair.m_databases.push_back(std::make_unique<engine::MySqlInfo>());
    m_dialog.m_btnOK->click();
    EXPECT_EQ(m_dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(m_repair.m_databases.empty());
    EXPECT_TRUE(m_app.m_bDefaultLocation);
    EXPECT_FALSE(m_app.m_bManualFolder);
}

TEST_F(StartUpDialogTest, AFolderWithItsIbdata1)
{
    const QString folder = folderWith(QStringLiteral("chosen"), fixtureIbdata());
    m_app.m_bServiceFound = false;
    m_dialog.show();
    expectControls({false, false, true, true, false, true, ""}, "open without a service");

    // The browser cancelled: still the manual choice, OK disabled.
    m_files.m_answers = {QString()};
    m_dialog.m_btnBrowse->click();
    expectControls({false, false, true, true, false, true, ""}, "browser cancelled");
    EXPECT_FALSE(m_app.m_bManualFolder);
    EXPECT_TRUE(m_app.m_strDataFolder.isEmpty());

    m_files.m_answers = {folder};
    m_dialog.m_btnBrowse->click();
    expectControls({false, false, true, true, true, true, qPrintable(folder)}, "folder chosen");
    EXPECT_EQ(m_files.m_captions.last(), QStringLiteral("Select a Folder"));
    EXPECT_EQ(m_app.m_strDataFolder, folder + QLatin1Char('/'));
    EXPECT_EQ(m_app.m_strIbdataPath, folder + QStringLiteral("/ibdata1"));
    EXPECT_FALSE(m_app.m_bDefaultLocation);
    EXPECT_TRUE(m_app.m_bManualFolder);
    EXPECT_TRUE(m_told.m_texts.isEmpty());

    m_dialog.m_btnOK->click();
    EXPECT_EQ(m_dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(m_app.m_bManualFolder);

    // A second showing starts again with an empty folder box; the choice stays.
    m_dialog.show();
    EXPECT_TRUE(m_dialog.m_edtFolder->text().isEmpty());
    EXPECT_EQ(m_app.m_strDataFolder, folder + QLatin1Char('/'));
}

TEST_F(StartUpDialogTest, TheFoldersOwnIbdata1IsTakenWhateverItsState)
{
    const struct {
        const char* name;
        QByteArray ibdata1;
    } cases[] = {
        {"a damaged first page", damagedIbdata()},
        {"no tablespace at all", QByteArray(20000, 'x')},
    };
    m_app.m_bServiceFound = false;
    int pickerShown = 0;
    widgettest::answerModal<CDlgIbdataFilePath>([&](CDlgIbdataFilePath& picker) {
        ++pickerShown;
        picker.m_btnCancel->click();
    });
    for (const auto& c : cases) {
        const QString folder = m_dir.mkdir(QString::fromLatin1(c.name));
        m_dir.write(QString::fromLatin1(c.name) + QStringLiteral("/ibdata1"), c.ibdata1);
        m_dialog.show();
        m_files.m_answers = {folder};
        m_dialog.m_btnBrowse->click();
        expectControls({false, false, true, true, true, true, qPrintable(folder)}, c.name);
        EXPECT_EQ(m_app.m_strIbdataPath, folder + QStringLiteral("/ibdata1")) << c.name;
    }
    // The answer waits for a picker that never came: let it go here.
    QApplication::processEvents();
    EXPECT_EQ(pickerShown, 0);
    EXPECT_TRUE(m_told.m_texts.isEmpty()) << m_told.m_texts.join(QLatin1Char('\n')).toStdString();
}

TEST_F(StartUpDialogTest, ThePickerRefusesWhatIsPlainlyNoSharedTablespace)
{
    // The fixture's ibdata1 less its first page: a page that verifies and
    // is no tablespace header.
    const QString notATablespace = m_dir.write(QStringLiteral("notes/ibdata1"), ibdataBytes().mid(16384, 32768));
    const QString oneTable = testsupport::ExpectedRows::setFolder(QStringLiteral("default"))
        + QStringLiteral("/data/fx_innodb_ibd/pk_not_first.ibd");
    // One byte of its space id changed: it may name another space, but its
    // checksum fails, so nothing says it is not the shared one.
    const QString damagedElsewhere = m_dir.write(QStringLiteral("elsewhere/shared.space"), damagedIbdata(37));
    // The folder holds no ibdata1: the picker asks for one.
    const QString folder = folderWith(QStringLiteral("without"), QString());
    m_app.m_bServiceFound = true;
    m_dialog.show();
    m_dialog.m_radManual->click();

    int pickerShown = 0;
    widgettest::answerModal<CDlgIbdataFilePath>([&](CDlgIbdataFilePath& picker) {
        ++pickerShown;
        EXPECT_FALSE(picker.m_btnOK->isEnabled());
        // A text file and a one-table tablespace are refused; OK stays off.
        picker.m_btnBrowse->click();
        picker.m_btnBrowse->click();
        EXPECT_FALSE(picker.m_btnOK->isEnabled());
        EXPECT_TRUE(picker.m_edtPath->text().isEmpty());
        // A shared tablespace with a damaged first page is taken.
        picker.m_btnBrowse->click();
        EXPECT_TRUE(picker.m_btnOK->isEnabled());
        picker.m_btnOK->click();
        if (picker.isVisible())
            picker.m_btnCancel->click();
    });
    m_files.m_answers = {folder, notATablespace, oneTable, damagedElsewhere};
    m_dialog.m_btnBrowse->click();
    EXPECT_EQ(pickerShown, 1);
    ASSERT_EQ(m_told.m_texts.size(), 2) << m_told.m_texts.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(m_told.m_texts[0].contains(QStringLiteral("not a tablespace header")));
    EXPECT_TRUE(m_told.m_texts[1].contains(QStringLiteral("tablespace of one table")));
    expectControls({false, true, true, true, true, true, qPrintable(folder)}, "picked by hand");
    EXPECT_EQ(m_app.m_strDataFolder, folder + QLatin1Char('/'));
    EXPECT_EQ(m_app.m_strIbdataPath, damagedElsewhere);

    // Back to the default location: the box empties, the choice stays until OK.
    m_dialog.m_radDefault->click();
    expectControls({true, true, false, false, true, false, ""}, "default again");
    EXPECT_EQ(m_app.m_strDataFolder, folder + QLatin1Char('/'));
    m_dialog.m_btnOK->click();
    EXPECT_TRUE(m_app.m_bDefaultLocation);
    EXPECT_FALSE(m_app.m_bManualFolder);
}

TEST_F(StartUpDialogTest, NoIbdataAndThePickerCancelledForgetsTheFolder)
{
    const QString folder = folderWith(QStringLiteral("empty"), QString());
    m_app.m_bServiceFound = false;
    m_dialog.show();
    widgettest::answerModal<CDlgIbdataFilePath>([](CDlgIbdataFilePath& picker) { picker.m_btnCancel->click(); });
    m_files.m_answers = {folder};
    m_dialog.m_btnBrowse->click();
    expectControls({false, false, true, true, false, true, ""}, "picker cancelled");
    EXPECT_TRUE(m_app.m_strDataFolder.isEmpty());
    EXPECT_EQ(m_app.m_strIbdataPath, folder + QStringLiteral("/ibdata1"));
    // Cancel: nothing more is written.
    m_dialog.m_btnCancel->click();
    EXPECT_EQ(m_dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(m_app.m_bManualFolder);
}

TEST_F(StartUpDialogTest, DraggingTheBodyMovesTheDialog)
{
    m_dialog.show();
    m_dialog.move(100, 100);
    QLabel* banner = m_dialog.findChild<QLabel*>(QStringLiteral("banner"));
    ASSERT_NE(banner, nullptr);
    const QPoint start = banner->mapToGlobal(QPoint(10, 10));
    const auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(banner->mapFromGlobal(global)), QPointF(global), Qt::LeftButton,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(banner, &event);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    EXPECT_TRUE(m_dialog.isDragging());
    send(QEvent::MouseMove, start + QPoint(30, 12), Qt::LeftButton);
    send(QEvent::MouseMove, start + QPoint(45, 20), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, start + QPoint(45, 20), Qt::NoButton);
    EXPECT_FALSE(m_dialog.isDragging());
    EXPECT_EQ(m_dialog.pos(), QPoint(145, 120));
}

} // namespace
