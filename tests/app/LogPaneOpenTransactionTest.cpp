// The log pane after the shell's scan job on a folder whose server was killed
// with a transaction open, and on a clean one.
#include "tests/app/ShellTestSupport.h"

namespace {

QString openFixture(const QString& set)
{
    return QStringLiteral(GRISOLT_OPEN_TRANSACTION_FIXTURES_DIR) + QLatin1Char('/') + set + QStringLiteral("/data/");
}

// The log pane's lines that the scan of fx_open in the set's folder added.
QStringList scanLines(const QString& set)
{
    return shelltest::scanLogLines(openFixture(set), QStringLiteral("fx_open"));
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
