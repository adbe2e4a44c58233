// A repair of folders that hold transactions left open, into the scratch
// server: it holds the keys a server has after it rolled them back (rows an
// active transaction inserted left out, rows whose delete never committed
// written), and its log says which counts mean what.
#include "engine/MySqlRepair.h"
#include "engine/RowWriter.h"
#include "tests/support/ScannedEngine.h"
#include "tests/support/ScratchServer.h"
#include "tests/tools/DumpOutput.h"

#include <gtest/gtest.h>

namespace {

using engine::RowWriter;

QString openFixture(const QString& set)
{
    return QStringLiteral(GRISOLT_OPEN_TRANSACTION_FIXTURES_DIR) + QLatin1Char('/') + set + QStringLiteral("/data");
}

TEST(OpenTransactionRepair, TheRecoveredTableHoldsTheKeysTheServerHasAfterItsRollback)
{
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    const struct {
        const char* set;
        QStringList extraIds;   // keys beyond the server's after the rollback
        const char* logged;     // the table's line on rows of open transactions
    } cases[] = {
        {"open", {},
         "Table t: rows of transactions left open and never committed, as the server's rollback would leave them: "
         "119000 inserted by active transactions were left out (the rollback removes them); 500 changed by them "
         "were written with the values the record holds, which never committed (the committed ones are only in the "
         "undo log); 100 whose delete never committed were written; 0 of prepared (XA) transactions were written "
         "(whether they commit is their coordinator's decision)."},
        {"halted", {}, "Table t: rows of transactions left open and never committed, as the server's rollback"},
        {"xa", {}, "; 160 of prepared (XA) transactions were written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        testsupport::ScannedEngine scanned(openFixture(c.set), {QStringLiteral("fx_open")});
        engine::MySqlRepair& repair = scanned.repair;
        ASSERT_EQ(repair.m_databases.size(), 1u);
        const QString target = scanned.repairAs(server, QStringLiteral("fx_open_") + QLatin1String(c.set));
        const QString log = scanned.report.log().join(QLatin1Char('\n'));
        ASSERT_EQ(repair.m_createdDatabases, QStringList{target}) << log.toStdString();
        EXPECT_TRUE(log.contains(QLatin1String(c.logged))) << log.toStdString();

        repair.OpenConnection();
        QStringList ids;
        for (const auto& row : repair.m_connection->query(
                 QStringLiteral("SELECT id FROM %1.t ORDER BY id").arg(RowWriter::QuoteName(target))))
            ids << row[0].value_or(QString());
        QStringList expected;
        for (const QStringList& row : testsupport::readTsv(openFixture(c.set) + "/../expected/t.tsv"))
            expected << row.value(0);
        if (QLatin1String(c.set) == QLatin1String("xa"))
            for (int id = 1001; id <= 1100; ++id)
                expected << QString::number(id);  // a prepared transaction's rows are written
        EXPECT_EQ(ids, expected);
        const auto count = repair.m_connection->query(
            QStringLiteral("SELECT COUNT(*) FROM %1.nokey").arg(RowWriter::QuoteName(target)));
        ASSERT_EQ(count.size(), 1u);
        EXPECT_EQ(count[0][0].value_or(QString()), "100");  // inserted rows left out, changed ones written
        repair.RunStatement(QStringLiteral("DROP DATABASE ") + RowWriter::QuoteName(target));
    }
}

} // namespace
