#include "engine/TableStatements.h"

#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/RowWriter.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/ScratchServer.h"

#include <QFile>

#include <gtest/gtest.h>

using engine::ColumnInformation;
using engine::TableInformation;
using engine::TableStatements;

namespace {

ColumnInformation& addColumn(TableInformation& table, const char* name, const char* type, engine::ColumnTypeCode code,
                             std::uint32_t length, const char* nullText = "null", const char* defaultText = "")
{
    ColumnInformation& column = table.AddColumn();
    column.m_name = QString::fromUtf8(name);
    column.m_typeName = QString::fromLatin1(type);
    column.m_typeCode = code;
    column.m_length = length;
    column.m_nullText = QString::fromLatin1(nullText);
    column.m_defaultText = QString::fromUtf8(defaultText);
    return column;
}

TEST(TableStatements, NamesMembersAndDefaultsAreQuotedAndEscaped)
{
    TableInformation table;
    table.m_name = QStringLiteral("it@0027s@0020@0060q@0060");
    table.m_frmVersion = 10;
    auto& id = addColumn(table, "id", "int", engine::TYPE_INT, 11, "not null");
    id.m_signText = QStringLiteral("unsigned");
    id.m_autoIncrement = true;
    auto& flag = addColumn(table, "fl`ag", "enum", engine::TYPE_ENUM, 1, "not null", "it's");
    flag.m_members = QStringList{QStringLiteral("it's"), QStringLiteral("back\\slash")};
    flag.m_charset = 8; // latin1_swedish_ci
    auto& name = addColumn(table, "name", "varchar", engine::TYPE_VARCHAR, 160, "null", "NULL");
    name.m_charset = 45; // utf8mb4_general_ci: 4 bytes a character
    name.m_comment = QStringLiteral("o'clock");
    addColumn(table, "bits", "bit", engine::TYPE_BIT, 12, "null", "10");
    addColumn(table, "when", "datetime", engine::TYPE_DATETIME2, 26);
    table.m_keyParts = {{1, 1, QStringLiteral("Primary Key"), 0}, {3, 1, QStringLiteral("Key"), 0}};
    table.m_keyNames = QStringList{QStringLiteral("PRIMARY"), QStringLiteral("idx`name")};

    EXPECT_EQ(TableStatements::CreateTable(table),
              QString::fromUtf8("create table `it's ``q```(`id` int(11) unsigned not null auto_increment  ,"
                                "`fl``ag` enum('it''s','back\\\\slash') character set latin1 collate latin1_swedish_ci not null  default 'it''s',"
                                "`name` varchar(40) character set utf8mb4 collate utf8mb4_general_ci null  default NULL COMMENT 'o''clock',"
                                "`bits` bit(12) null  default 10,"
                                "`when` datetime(6) null ,"
                                "Primary key(`id`),Key `idx``name`(`name`))engine=myisam;"));
    EXPECT_EQ(TableStatements::AlterToInnodb(table), QStringLiteral("alter table  `it's ``q``` engine=innodb"));
}

TEST(TableStatements, KeysComeInTheirFixedOrderAndBadPartsAreLeftOut)
{
    TableInformation table;
    table.m_name = QStringLiteral("t");
    addColumn(table, "a", "int", engine::TYPE_INT, 11, "not null");
    addColumn(table, "b", "text", engine::TYPE_TEXT, 10).m_charset = 8;
    table.m_keyParts = {{2, 1, QStringLiteral("Key"), 10},          {1, 2, QStringLiteral("Unique Key"), 0},
                        {2, 2, QStringLiteral("Unique Key"), 5},   {1, 1, QStringLiteral("Primary Key"), 0},
                        {9, 1, QStringLiteral("Key"), 0},          {2, 1, QStringLiteral("Foreign Key"), 0}};
    table.m_keyNames = QStringList{QStringLiteral("k_b"), QStringLiteral("u_ab"), QStringLiteral("PRIMARY"),
                                   QStringLiteral("k_bad")};
    const QString sql = TableStatements::CreateTable(table);
    EXPECT_TRUE(sql.endsWith(QStringLiteral(",Primary key(`a`),Unique key `u_ab`(`a`,`b`(5)),Key `k_b`(`b`(10)))engine=myisam;")))
        << sql.toStdString();
}

// Every fixture table re-created from our reading of its definition must have
// the columns and keys the server reported for the original.
class TableStatementsOnServer : public ::testing::TestWithParam<const char*> {};

TEST_P(TableStatementsOnServer, FixtureTablesComeBackWithTheirColumns)
{
    const QString set = QString::fromLatin1(GetParam());
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    engine::AppState app;
    engine::MySqlRepair repair(app);
    const QString data = testsupport::ExpectedRows::setFolder(set) + QStringLiteral("/data/");
    app.m_bManualFolder = true;
    app.m_strDataFolder = data;
    app.m_strIbdataPath = data + QStringLiteral("ibdata1");
    for (const char* db : {"fx_myisam", "fx_innodb_sys", "fx_innodb_ibd", "fx_objects", "fx@0020names"})
        app.m_selectedDatabases << data + QString::fromLatin1(db) + QLatin1Char('/');
    repair.ScanDataFolder();

    repair.m_login = {server.host, server.user, server.password};
    app.m_service.m_port = server.port;
    repair.OpenConnection();
    const QString target = QStringLiteral("create_test_") + set;
    repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + target);
    repair.RunStatement(QStringLiteral("CREATE DATABASE ") + target);
    repair.RunStatement(QStringLiteral("USE ") + target);
    int created = 0;
    for (const auto& database : repair.m_databases) {
        for (const auto& table : database->m_tables) {
            const QString name = TableStatements::SqlName(table->m_name);
            const QString sql = TableStatements::CreateTable(*table);
            repair.RunStatement(QStringLiteral("DROP TABLE IF EXISTS ") + engine::RowWriter::QuoteName(name));
            try {
                repair.RunStatement(sql);
                if (table->m_engine == QLatin1String("innodb"))
                    repair.RunStatement(TableStatements::AlterToInnodb(*table));
            } catch (const platform::OdbcError& error) {
                ADD_FAILURE() << name.toStdString() << ": " << error.message().toStdString() << "\n" << sql.toStdString();
                continue;
            }
            ++created;
            const auto columns = repair.m_connection->query(
                QStringLiteral("SELECT COLUMN_NAME, COLUMN_TYPE, IS_NULLABLE, COLLATION_NAME FROM "
                               "information_schema.COLUMNS WHERE TABLE_SCHEMA = '%1' AND TABLE_NAME = %2 "
                               "ORDER BY ORDINAL_POSITION")
                    .arg(target, TableStatements::Literal(name)));
            QFile file(testsupport::ExpectedRows::setFolder(set) + QStringLiteral("/expected/")
                       + TableStatements::SqlName(database->m_name) + QLatin1Char('/')
                       + QString(name).replace(QLatin1Char('/'), QStringLiteral("@002f")) + QStringLiteral(".columns.tsv"));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
            const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            ASSERT_EQ(columns.size(), static_cast<std::size_t>(lines.size())) << name.toStdString();
            for (std::size_t i = 0; i < columns.size(); ++i) {
                const QStringList want = lines[static_cast<qsizetype>(i)].split(QLatin1Char('\t'));
                QString wantType = want.value(1);
                wantType.remove(QStringLiteral(" /* mariadb-5.3 */")); // the old temporal format is not kept
                EXPECT_EQ(*columns[i][0], *testsupport::unescapeTsvField(want.value(0)));
                EXPECT_EQ(*columns[i][1], wantType) << name.toStdString() << "." << columns[i][0]->toStdString();
                EXPECT_EQ(*columns[i][2], want.value(3)) << name.toStdString() << "." << columns[i][0]->toStdString();
                EXPECT_EQ(columns[i][3].value_or(QStringLiteral("\\N")), want.value(10))
                    << name.toStdString() << "." << columns[i][0]->toStdString();
            }
        }
    }
    EXPECT_GT(created, 20);
    repair.RunStatement(QStringLiteral("DROP DATABASE ") + target);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, TableStatementsOnServer, ::testing::Values("legacy", "default"));

} // namespace
