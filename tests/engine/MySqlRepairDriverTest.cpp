// The repair driver on a real server, without the ibdata1 exchange: the
// name it gives a database whose "recovered_" names are taken, and a table
// the server refuses.
#include "engine/AppState.h"
#include "engine/FileNameCodec.h"
#include "engine/MySqlRepair.h"
#include "engine/RowWriter.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/ScannedEngine.h"
#include "tests/support/ScratchServer.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

using engine::RowWriter;

TEST(RepairDriver, TakenNamesAreSkippedAndARefusedTableIsCorrupted)
{
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    testsupport::ScannedEngine scanned(testsupport::ExpectedRows::setFolder(QStringLiteral("default")) + "/data",
                                       {QStringLiteral("fx_myisam")});
    engine::AppState& app = scanned.app;
    engine::MySqlRepair& repair = scanned.repair;
    testsupport::RecordingReportWindow& report = scanned.report;
    ASSERT_EQ(repair.m_databases.size(), 1u);
    // A name the server encodes in its folder name, whose first two
    // "recovered_" names are taken: one by a database, one by a folder alone.
    engine::MySqlInfo& database = *repair.m_databases[0];
    database.m_name = engine::FileNameCodec::Encode(QStringLiteral("drv test"));
    engine::TableInformation* refused = nullptr;
    for (const auto& table : database.m_tables)
        if (table->m_name == QLatin1String("fixed_rows"))
            refused = table.get();
    ASSERT_NE(refused, nullptr);
    refused->firstColumn()->m_typeName = QStringLiteral("no_such_type");

    repair.m_login = {server.host, server.user, server.password};
    app.m_service.m_port = server.port;
    repair.m_strDataFolder = server.dataFolder;
    const QStringList names = {QStringLiteral("recovered_drv test"), QStringLiteral("recovered_1_drv test"),
                               QStringLiteral("recovered_2_drv test")};
    repair.OpenConnection();
    for (const QString& name : names)
        repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + RowWriter::QuoteName(name));
    repair.RunStatement(QStringLiteral("CREATE DATABASE ") + RowWriter::QuoteName(names[0]));
    const QString strayFolder = server.dataFolder + engine::FileNameCodec::Encode(names[1]);
    ASSERT_TRUE(QDir().mkpath(strayFolder));

    app.m_bManualFolder = false; // no restore: this server's files are not ours
    app.m_bRepair = true;
    repair.RepairDatabases();
    app.m_bRepair = false;

    EXPECT_EQ(repair.m_createdDatabases, QStringList{names[2]});
    EXPECT_TRUE(QDir(server.dataFolder + QStringLiteral("recovered_2_drv@0020test")).exists());
    const QStringList log = report.log();
    const qsizetype at = log.indexOf(QStringLiteral("Table in process.. fixed_rows"));
    ASSERT_GE(at, 0) << log.join('\n').toStdString();
    ASSERT_LT(at + 2, log.size());
    EXPECT_TRUE(log[at + 1].startsWith(QStringLiteral("Total column(s) persent : ")));
    EXPECT_EQ(log[at + 2], QStringLiteral("Corrupted Table"));
    EXPECT_TRUE(at + 3 == log.size() || !log[at + 3].startsWith(QStringLiteral("Total records recovered")))
        << "a refused table gets no rows and no count";
    EXPECT_TRUE(log.join('\n').contains(QStringLiteral("Table fixed_rows could not be created:")))
        << log.join('\n').toStdString();
    EXPECT_GE(repair.m_statementsFailed, 1u);
    // The other tables of the database came with their rows.
    repair.OpenConnection();
    const auto rows = repair.m_connection->query(QStringLiteral("SELECT COUNT(*) FROM `recovered_2_drv test`.`dyn_rows`"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NE(*rows[0][0], QStringLiteral("0"));

    for (const QString& name : names)
        repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + RowWriter::QuoteName(name));
    QDir().rmdir(strayFolder);
}

} // namespace
