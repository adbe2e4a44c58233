// The log pane after the shell's scan job on a folder whose server was killed
// with a transaction open, and on a clean one.
#include "tests/app/ShellTestSupport.h"

#include "app/CLeftView.h"

#include <QDir>

using app::theApp;

namespace {

QString openFixture(const QString& set)
{
    return QStringLiteral(GRISOLT_OPEN_TRANSACTION_FIXTURES_DIR) + QLatin1Char('/') + set + QStringLiteral("/data/");
}

// The log pane's lines that the scan of fx_open in the set's folder added.
QStringList scanLines(const QString& set)
{
    shelltest::resetShell();
    app::CMainFrame& frame = *theApp().mainFrame();
    frame.leftView()->ResetTree();
    const qsizetype before = frame.logLines().size();
    theApp().m_bManualFolder = true;
    theApp().m_strDataFolder = openFixture(set);
    theApp().m_strIbdataPath = openFixture(set) + QStringLiteral("ibdata1");
    frame.m_databaseListDialog = [] {
        for (const auto& record : theApp().m_dataFolders)
            for (const QString& folder : record.m_databaseFolders)
                if (QDir(folder).dirName() == QLatin1String("fx_open"))
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

TEST(LogPaneOpenTransactions, TheScanNamesTransactionsLeftOpen)
{
    const QString line = QStringLiteral("Transactions were left open when the server stopped (");
    const QStringList open = scanLines(QStringLiteral("open"));
    EXPECT_EQ(open.filter(line + QStringLiteral("1 active, 0 prepared (XA))")).size(), 1)
        << open.join(QLatin1Char('\n')).toStdString();

    const QStringList clean = scanLines(QStringLiteral("clean"));
    EXPECT_TRUE(clean.contains(QStringLiteral("Scanning Database(s)...")));
    EXPECT_TRUE(clean.filter(QStringLiteral("left open")).isEmpty()) << clean.join(QLatin1Char('\n')).toStdString();
}

} // namespace
