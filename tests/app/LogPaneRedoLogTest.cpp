// The log pane after the shell's scan job on the folder of a server killed
// during writes, and on one shut down cleanly, with a plain and with an
// encrypted redo log.
#include "tests/app/ShellTestSupport.h"

#include "app/CLeftView.h"

#include <QDir>

using app::theApp;

namespace {

QString crashFixture(const QString& set)
{
    return QStringLiteral(GRISOLT_CRASH_FIXTURES_DIR) + QLatin1Char('/') + set + QStringLiteral("/data/");
}

// The log pane's lines that the scan of fx_crash in the set's folder added.
QStringList scanLines(const QString& set)
{
    shelltest::resetShell();
    app::CMainFrame& frame = *theApp().mainFrame();
    frame.leftView()->ResetTree();
    const qsizetype before = frame.logLines().size();
    theApp().m_bManualFolder = true;
    theApp().m_strDataFolder = crashFixture(set);
    theApp().m_strIbdataPath = crashFixture(set) + QStringLiteral("ibdata1");
    frame.m_databaseListDialog = [] {
        for (const auto& record : theApp().m_dataFolders)
            for (const QString& folder : record.m_databaseFolders)
                if (QDir(folder).dirName() == QLatin1String("fx_crash"))
                    theApp().m_selectedDatabases << folder;
        theApp().FreeDataFolderRecords();
        return true;
    };
    EXPECT_TRUE(theApp().StartJob(theApp().NewWorker()));
    EXPECT_TRUE(theApp().WaitForJob(120000));
    const QStringList lines = frame.logLines().mid(before);
    shelltest::resetShell();
    frame.leftView()->ResetTree();
    return lines;
}

TEST(LogPaneRedoLog, TheScanSaysTheRedoLogHoldsChangesNotRead)
{
    // A server with an encrypted redo log leaves the same two folders.
    for (const QString& prefix : {QString(), QStringLiteral("encrypted-")}) {
        const QStringList crashed = scanLines(prefix + QStringLiteral("crashed"));
        EXPECT_EQ(crashed.filter(QStringLiteral("The server did not shut down cleanly: its redo log ")).size(), 1)
            << crashed.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(crashed.filter(QStringLiteral("Table born_late in database fx_crash is not in the InnoDB data "
                                                "dictionary"))
                      .size(),
                  1)
            << crashed.join(QLatin1Char('\n')).toStdString();

        const QStringList clean = scanLines(prefix + QStringLiteral("clean"));
        EXPECT_TRUE(clean.contains(QStringLiteral("Scanning Database(s)...")));
        EXPECT_TRUE(clean.filter(QStringLiteral("shut down cleanly")).isEmpty())
            << clean.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(clean.filter(QStringLiteral("data dictionary")).isEmpty())
            << clean.join(QLatin1Char('\n')).toStdString();
    }
}

} // namespace
