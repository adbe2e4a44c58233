// The log pane after the shell's scan job on the folder of a server killed
// during writes, and on one shut down cleanly, with a plain and with an
// encrypted redo log.
#include "tests/app/ShellTestSupport.h"

namespace {

QString crashFixture(const QString& set)
{
    return QStringLiteral(GRISOLT_CRASH_FIXTURES_DIR) + QLatin1Char('/') + set + QStringLiteral("/data/");
}

// The log pane's lines that the scan of fx_crash in the set's folder added.
QStringList scanLines(const QString& set)
{
    return shelltest::scanLogLines(crashFixture(set), QStringLiteral("fx_crash"));
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
