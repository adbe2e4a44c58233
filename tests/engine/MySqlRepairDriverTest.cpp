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
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QFile>

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

    scanned.repairIntoServer();

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

// A definition whose key-name block was cut short after two names: the
// table is made with all its keys, the server naming those that lost their
// names, and gets every row.
TEST(RepairDriver, KeysWhoseNamesWereCutOffCostNoRow)
{
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    const QString source = testsupport::ExpectedRows::setFolder(QStringLiteral("default")) + "/data/fx_myisam/";
    testsupport::TempDir dir;
    for (const char* extension : {".frm", ".MYD", ".MYI"}) {
        QFile file(source + "all_types" + extension);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        QByteArray bytes = file.readAll();
        if (QLatin1String(extension) == QLatin1String(".frm")) {
            // The block is FF PRIMARY FF uk_i FF k_vc FF k_multi FF k_txt FF:
            // its length (key area + 4) is made to end after uk_i.
            const auto keyArea = static_cast<qsizetype>(static_cast<std::uint8_t>(bytes[6]) | static_cast<std::uint8_t>(bytes[7]) << 8);
            ASSERT_EQ(static_cast<std::uint8_t>(bytes[keyArea]), 5u) << "five keys";
            const qsizetype names = bytes.indexOf(QByteArray("\xffPRIMARY\xffuk_i\xffk_vc\xff"), keyArea);
            ASSERT_GT(names, keyArea);
            bytes[keyArea + 4] = 14;
            bytes[keyArea + 5] = 0;
        }
        dir.write(QStringLiteral("data/fx_cut_names/all_types") + extension, bytes);
    }
    testsupport::ScannedEngine scanned(dir.path() + "/data", {QStringLiteral("fx_cut_names")});
    engine::MySqlRepair& repair = scanned.repair;
    const engine::TableInformation* table = scanned.table(QStringLiteral("fx_cut_names"), QStringLiteral("all_types"));
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->m_keyNames, (QStringList{"PRIMARY", "uk_i"}));
    EXPECT_TRUE(scanned.report.log().join('\n').contains(QStringLiteral("key names cut short")))
        << scanned.report.log().join('\n').toStdString();

    scanned.connectTo(server);
    const QString target = QStringLiteral("recovered_fx_cut_names");
    repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + target);
    scanned.repairIntoServer();

    ASSERT_EQ(repair.m_createdDatabases, QStringList{target});
    repair.OpenConnection();
    const auto count = repair.m_connection->query(QStringLiteral("SELECT COUNT(*) FROM %1.all_types").arg(target));
    ASSERT_EQ(count.size(), 1u);
    const auto expected = testsupport::ExpectedRows::load(QStringLiteral("default"), QStringLiteral("fx_myisam"),
                                                          QStringLiteral("all_types"));
    ASSERT_GT(expected.rows().size(), 0u);
    EXPECT_EQ(count[0][0].value_or(QString()), QString::number(expected.rows().size()));
    const auto keys = repair.m_connection->query(QStringLiteral(
        "SELECT INDEX_NAME, GROUP_CONCAT(COLUMN_NAME ORDER BY SEQ_IN_INDEX) FROM information_schema.STATISTICS "
        "WHERE TABLE_SCHEMA = '%1' AND TABLE_NAME = 'all_types' GROUP BY INDEX_NAME ORDER BY INDEX_NAME").arg(target));
    QStringList shown;
    for (const auto& key : keys)
        shown << key[0].value_or(QString()) + QLatin1Char(' ') + key[1].value_or(QString());
    EXPECT_EQ(shown.join(" | ").toStdString(), "PRIMARY id | si si,dt_datetime | txt txt | uk_i i | vc vc");
    repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + target);
}


// Options this server refuses (an option no engine knows, encryption without
// its plugin) cost the options: the tables are made, get their rows, and
// the InnoDB one is InnoDB again; the log names the options left out.
TEST(RepairDriver, RefusedOptionsCostTheOptionsNotTheTable)
{
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    testsupport::ScannedEngine scanned(testsupport::ExpectedRows::setFolder(QStringLiteral("default")) + "/data",
                                       {QStringLiteral("fx_mariadb")});
    engine::MySqlRepair& repair = scanned.repair;
    ASSERT_EQ(repair.m_databases.size(), 1u);
    engine::MySqlInfo& database = *repair.m_databases[0];
    database.m_name = QStringLiteral("drv_options");
    auto& tables = database.m_tables;
    tables.erase(std::remove_if(tables.begin(), tables.end(),
                                [](const auto& t) {
                                    return t->m_name != QLatin1String("opt_myisam")
                                        && t->m_name != QLatin1String("opt_innodb_dynamic");
                                }),
                 tables.end());
    ASSERT_EQ(tables.size(), 2u);
    for (const auto& table : tables) {
        auto& options = table->m_options.m_engineOptions;
        if (table->m_engine == QLatin1String("myisam"))
            options = {{QStringLiteral("no_such_option"), QStringLiteral("1")}};
        else
            options = {{QStringLiteral("ENCRYPTED"), QStringLiteral("YES")}};
    }

    scanned.connectTo(server);
    const QString target = QStringLiteral("recovered_drv_options");
    repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + target);
    scanned.repairIntoServer();

    const QString log = scanned.report.log().join('\n');
    EXPECT_TRUE(log.contains(QStringLiteral("Table opt_myisam is created without its options:")
                             + QStringLiteral(" MIN_ROWS=10 MAX_ROWS=1000")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Table opt_innodb_dynamic is turned back into InnoDB without its options:")
                             + QStringLiteral(" ROW_FORMAT=DYNAMIC")))
        << log.toStdString();
    repair.OpenConnection();
    const auto got = repair.m_connection->query(QStringLiteral(
        "SELECT TABLE_NAME, ENGINE, TABLE_ROWS FROM information_schema.TABLES WHERE TABLE_SCHEMA = '%1' "
        "ORDER BY TABLE_NAME").arg(target));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0][1].value_or(QString()), QStringLiteral("InnoDB"));
    EXPECT_EQ(got[1][1].value_or(QString()), QStringLiteral("MyISAM"));
    EXPECT_EQ(got[1][2].value_or(QString()), QStringLiteral("4"));
    const auto innodbRows = repair.m_connection->query(QStringLiteral("SELECT COUNT(*) FROM %1.opt_innodb_dynamic").arg(target));
    ASSERT_EQ(innodbRows.size(), 1u);
    EXPECT_EQ(innodbRows[0][0].value_or(QString()), QStringLiteral("3"));
    repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + target);
}

} // namespace
