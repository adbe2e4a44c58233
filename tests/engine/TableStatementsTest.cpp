#include "engine/TableStatements.h"

#include "engine/AppState.h"
#include "engine/FrmReader.h"
#include "engine/MySqlRepair.h"
#include "engine/RowWriter.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/ScratchServer.h"

#include <QFile>
#include <QRegularExpression>

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
                        {9, 1, QStringLiteral("Key"), 0},          {2, 1, QStringLiteral("Foreign Key"), 10}};
    table.m_keyNames = QStringList{QStringLiteral("k_b"), QStringLiteral("u_ab"), QStringLiteral("PRIMARY"),
                                   QStringLiteral("k_bad"), QStringLiteral("fk_b")};
    const QString sql = TableStatements::CreateTable(table);
    EXPECT_TRUE(sql.endsWith(QStringLiteral(",Primary key(`a`),Unique key `u_ab`(`a`,`b`(5)),Key `k_b`(`b`(10)),"
                                            "Key `fk_b`(`b`(10)))engine=myisam;")))
        << sql.toStdString();
}

// Every key of the definition takes its own name, the index the server made
// for a foreign key included; a key whose name the definition lost is left
// for the server to name.
// The options go with the statement that makes the final table: the CREATE
// of a MyISAM table, the ALTER that turns an InnoDB one back into InnoDB
// (MyISAM refuses e.g. TRANSACTIONAL).
TEST(TableStatements, TableAndKeyOptionsGoWithTheFinalEngine)
{
    TableInformation table;
    table.m_name = QStringLiteral("t");
    addColumn(table, "a", "int", engine::TYPE_INT, 11, "not null");
    addColumn(table, "b", "int", engine::TYPE_INT, 11);
    engine::KeysInformation primary{1, 1, QStringLiteral("Primary Key"), 0};
    primary.m_descending = true;
    primary.m_comment = QStringLiteral("it's");
    engine::KeysInformation first{1, 2, QStringLiteral("Key"), 0};
    first.m_ignored = true;
    first.m_blockSize = 1024;
    engine::KeysInformation second = first;
    second.m_column = 2;
    second.m_descending = true;
    table.m_keyParts = {primary, first, second};
    table.m_keyNames = QStringList{QStringLiteral("PRIMARY"), QStringLiteral("kab")};
    engine::TableOptions& o = table.m_options;
    o.m_rowType = 4;
    o.m_maxRows = 1000;
    o.m_minRows = 10;
    o.m_avgRowLength = 50;
    o.m_keyBlockSize = 2;
    o.m_noPackKeys = true;
    o.m_checksum = true;
    o.m_delayKeyWrite = true;
    o.m_noStatsPersistent = true;
    o.m_statsAutoRecalc = engine::StatsRecalc::Off;
    o.m_statsSamplePages = 25;
    o.m_transactional = engine::OptionChoice::No;
    o.m_pageChecksum = engine::OptionChoice::Yes;
    o.m_comment = QStringLiteral("people's \\ names");
    o.m_connection = QStringLiteral("x");
    o.m_engineOptions = {{QStringLiteral("ENCRYPTED"), QStringLiteral("NO")}};
    const QString options = QStringLiteral(
        " MIN_ROWS=10 MAX_ROWS=1000 AVG_ROW_LENGTH=50 PACK_KEYS=0 STATS_PERSISTENT=0 STATS_AUTO_RECALC=0"
        " STATS_SAMPLE_PAGES=25 CHECKSUM=1 PAGE_CHECKSUM=1 DELAY_KEY_WRITE=1 ROW_FORMAT=REDUNDANT TRANSACTIONAL=0"
        " KEY_BLOCK_SIZE=2 COMMENT='people''s \\\\ names' CONNECTION='x' `ENCRYPTED`='NO'");
    EXPECT_EQ(TableStatements::TableOptionsClause(table), options);
    const QString keys = QStringLiteral(",Primary key(`a` desc) comment 'it''s',"
                                        "Key `kab`(`a`,`b` desc) key_block_size=1024 ignored)");

    table.m_engine = QStringLiteral("myisam");
    EXPECT_EQ(TableStatements::CreateTable(table),
              QStringLiteral("create table `t`(`a` int(11) not null ,`b` int(11) null ") + keys + "engine=myisam"
                  + options + ";");
    // The keys carry block sizes: the ALTER makes every key again, so that
    // none keeps the one the MyISAM table gave it.
    const QString keysAgain = QStringLiteral(", drop primary key, drop key `kab`, add Primary key(`a` desc) comment "
                                             "'it''s', add Key `kab`(`a`,`b` desc) key_block_size=1024 ignored");
    EXPECT_EQ(TableStatements::AlterToInnodb(table), QStringLiteral("alter table  `t` engine=innodb") + keysAgain);

    table.m_engine = QStringLiteral("innodb");
    EXPECT_EQ(TableStatements::CreateTable(table),
              QStringLiteral("create table `t`(`a` int(11) not null ,`b` int(11) null ") + keys + "engine=myisam;");
    EXPECT_EQ(TableStatements::AlterToInnodb(table),
              QStringLiteral("alter table  `t` engine=innodb") + options + keysAgain);
    EXPECT_EQ(TableStatements::AlterToInnodb(table, false), QStringLiteral("alter table  `t` engine=innodb") + keysAgain);

    // Without any block size the keys stay as the MyISAM table has them.
    table.m_options.m_keyBlockSize = 0;
    for (engine::KeysInformation& part : table.m_keyParts)
        part.m_blockSize = 0;
    EXPECT_EQ(TableStatements::AlterToInnodb(table, false), QStringLiteral("alter table  `t` engine=innodb"));
}

TEST(TableStatements, EveryKeyTakesItsOwnName)
{
    const struct {
        const char* name;
        std::vector<engine::KeysInformation> parts;
        QStringList names;
        const char* keys;
    } cases[] = {
        {"foreign key before a key",
         {{1, 1, "Primary Key", 0}, {2, 1, "Foreign Key", 0}, {3, 1, "Key", 0}},
         {"PRIMARY", "fk_c_p", "kx"},
         ",Primary key(`id`),Key `fk_c_p`(`a`),Key `kx`(`b`)"},
        {"foreign key between keys",
         {{1, 1, "Primary Key", 0}, {2, 1, "Key", 0}, {3, 1, "Foreign Key", 0}, {2, 2, "Key", 0}, {3, 2, "Key", 0}},
         {"PRIMARY", "ka", "b", "kab"},
         ",Primary key(`id`),Key `ka`(`a`),Key `b`(`b`),Key `kab`(`a`,`b`)"},
        {"foreign key of two columns, last",
         {{1, 1, "Primary Key", 0}, {4, 1, "Key", 5}, {2, 2, "Foreign Key", 0}, {4, 2, "Foreign Key", 7}},
         {"PRIMARY", "kt", "fk_at"},
         ",Primary key(`id`),Key `kt`(`t`(5)),Key `fk_at`(`a`,`t`(7))"},
        {"names cut short",
         {{1, 1, "Primary Key", 0}, {2, 1, "Unique Key", 0}, {3, 1, "Key", 0}, {2, 2, "Foreign Key", 0},
          {3, 2, "Foreign Key", 0}, {4, 1, "FULLTEXT Key", 0}},
         {"PRIMARY", "u"},
         ",Primary key(`id`),Unique key `u`(`a`),Key (`b`),Key (`a`,`b`),Fulltext Key (`t`)"},
        {"no names at all",
         {{1, 1, "Primary Key", 0}, {2, 1, "Key", 0}},
         {},
         ",Primary key(`id`),Key (`a`)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TableInformation table;
        table.m_name = QStringLiteral("t");
        addColumn(table, "id", "int", engine::TYPE_INT, 11, "not null");
        addColumn(table, "a", "int", engine::TYPE_INT, 11);
        addColumn(table, "b", "int", engine::TYPE_INT, 11);
        addColumn(table, "t", "text", engine::TYPE_TEXT, 10).m_charset = 8;
        table.m_keyParts = c.parts;
        table.m_keyNames = c.names;
        const QString sql = TableStatements::CreateTable(table);
        EXPECT_TRUE(sql.endsWith(QString::fromLatin1(c.keys) + QStringLiteral(")engine=myisam;"))) << sql.toStdString();
    }
}

// A key part keeps what the definition says it takes: a prefix of a string
// column shorter than the column, counted in characters (bytes for binary
// strings); a whole column without one; a spatial key as such.
TEST(TableStatements, KeyPartsKeepTheirKindAndPrefix)
{
    const struct {
        const char* name;
        std::vector<engine::KeysInformation> parts;
        const char* keys;
    } cases[] = {
        {"spatial key", {{6, 1, "SPATIAL Key", 32}}, ",Spatial Key `k`(`g`)"},
        {"primary key on a CHAR prefix", {{2, 1, "Primary Key", 4}}, ",Primary key(`c`(4))"},
        {"unique key on a utf8mb4 VARCHAR prefix", {{3, 1, "Unique Key", 40}}, ",Unique key `k`(`v`(10))"},
        {"key of two prefixes", {{2, 2, "Key", 5}, {3, 2, "Key", 12}}, ",Key `k`(`c`(5),`v`(3))"},
        {"foreign key index on a CHAR prefix", {{2, 1, "Foreign Key", 3}}, ",Key `k`(`c`(3))"},
        {"VARBINARY prefix in bytes", {{4, 1, "Key", 8}}, ",Key `k`(`b`(8))"},
        {"whole CHAR column", {{2, 1, "Key", 10}}, ",Key `k`(`c`)"},
        {"whole utf8mb4 VARCHAR column", {{3, 1, "Unique Key", 80}}, ",Unique key `k`(`v`)"},
        {"whole VARBINARY column", {{4, 1, "Key", 16}}, ",Key `k`(`b`)"},
        {"text prefix", {{5, 1, "Key", 7}}, ",Key `k`(`t`(7))"},
        {"full-text key on whole columns", {{2, 2, "FULLTEXT Key", 0}, {5, 2, "FULLTEXT Key", 0}},
         ",Fulltext Key `k`(`c`,`t`)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TableInformation table;
        table.m_name = QStringLiteral("t");
        addColumn(table, "id", "int", engine::TYPE_INT, 11, "not null");
        addColumn(table, "c", "char", engine::TYPE_CHAR, 10).m_charset = 8; // latin1
        addColumn(table, "v", "varchar", engine::TYPE_VARCHAR, 80).m_charset = 45; // utf8mb4: 4 bytes a character
        addColumn(table, "b", "varbinary", engine::TYPE_VARBINARY, 16).m_charset = engine::kBinaryCollation;
        addColumn(table, "t", "text", engine::TYPE_TEXT, 10).m_charset = 8;
        addColumn(table, "g", "geometry", engine::TYPE_GEOMETRY, 12, "not null");
        table.m_keyParts = c.parts;
        table.m_keyNames = QStringList{QStringLiteral("k")};
        const QString sql = TableStatements::CreateTable(table);
        EXPECT_TRUE(sql.endsWith(QString::fromLatin1(c.keys) + QStringLiteral(")engine=myisam;"))) << sql.toStdString();
    }
}

// The server refuses partitions of another engine than the table's: an
// InnoDB table, created as MyISAM first, gets MyISAM partitions until the
// ALTER. Only the partitions' ENGINE options change, never quoted text.
TEST(TableStatements, PartitionsAreCreatedAsMyisam)
{
    struct Case {
        const char* clause;
        const char* created;
    };
    const Case cases[] = {
        {" PARTITION BY HASH (`id`)\nPARTITIONS 3", " PARTITION BY HASH (`id`)\nPARTITIONS 3"},
        {" PARTITION BY RANGE (`id`)\n(PARTITION `p0` VALUES LESS THAN (10) ENGINE = InnoDB,\n PARTITION `p1` VALUES "
         "LESS THAN MAXVALUE ENGINE = InnoDB)",
         " PARTITION BY RANGE (`id`)\n(PARTITION `p0` VALUES LESS THAN (10) ENGINE = MyISAM,\n PARTITION `p1` VALUES "
         "LESS THAN MAXVALUE ENGINE = MyISAM)"},
        {" PARTITION BY LIST (`grp`)\nSUBPARTITION BY KEY (`id`)\n(PARTITION `pa` VALUES IN (1)\n (SUBPARTITION `s0` "
         "ENGINE = InnoDB))",
         " PARTITION BY LIST (`grp`)\nSUBPARTITION BY KEY (`id`)\n(PARTITION `pa` VALUES IN (1)\n (SUBPARTITION `s0` "
         "ENGINE = MyISAM))"},
        // Names, literals and comments keep the words.
        {" PARTITION BY LIST COLUMNS(`c`)\n(PARTITION `a ENGINE = InnoDB` VALUES IN (' ENGINE = InnoDB','it''s "
         "ENGINE = InnoDB') COMMENT = 'x\\' ENGINE = InnoDB' ENGINE = InnoDB)",
         " PARTITION BY LIST COLUMNS(`c`)\n(PARTITION `a ENGINE = InnoDB` VALUES IN (' ENGINE = InnoDB','it''s "
         "ENGINE = InnoDB') COMMENT = 'x\\' ENGINE = InnoDB' ENGINE = MyISAM)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TableStatements::MyisamPartitionClause(QString::fromUtf8(c.clause)).toStdString(), c.created);

    TableInformation table;
    table.m_name = QStringLiteral("t");
    addColumn(table, "id", "int", engine::TYPE_INT, 11, "not null");
    table.m_partitionClause = QString::fromUtf8(cases[1].clause);
    EXPECT_TRUE(TableStatements::CreateTable(table).endsWith(QStringLiteral("engine=myisam") + cases[1].created
                                                             + QLatin1Char(';')))
        << TableStatements::CreateTable(table).toStdString();
    EXPECT_TRUE(TableStatements::CreateTable(table, true, false).endsWith(QStringLiteral("engine=myisam;")));
}

TEST(TableStatements, ExpressionsGoInAsTheServerPrintedThem)
{
    TableInformation table;
    table.m_name = QStringLiteral("t");
    table.m_frmVersion = 11;
    addColumn(table, "a", "int", engine::TYPE_INT, 11, "not null", "5").m_checkExpression = QStringLiteral("`a` > 0");
    auto& v = addColumn(table, "v", "int", engine::TYPE_INT, 11, "null", "NULL");
    v.m_generated = engine::Generated::Virtual;
    v.m_generationExpression = QStringLiteral("`a` + 1");
    v.m_comment = QStringLiteral("computed");
    auto& s = addColumn(table, "s", "varchar", engine::TYPE_VARCHAR, 10);
    s.m_charset = 8;
    s.m_generated = engine::Generated::Stored;
    s.m_generationExpression = QStringLiteral("concat(`a`,')')");
    addColumn(table, "e", "int", engine::TYPE_INT, 11).m_defaultExpression = QStringLiteral("`a` * 2");
    auto& ts = addColumn(table, "ts", "timestamp", engine::TYPE_TIMESTAMP2, 19, "not null");
    ts.m_defaultExpression = QStringLiteral("current_timestamp()");
    ts.m_onUpdateExpression = QStringLiteral("current_timestamp()");
    addColumn(table, "u", "datetime", engine::TYPE_DATETIME2, 23, "null", "NULL").m_onUpdateExpression =
        QStringLiteral("current_timestamp(3)");
    table.m_checkConstraints = {{QStringLiteral("CONSTRAINT_1"), QStringLiteral("`a` < 10")},
                                {QStringLiteral("we`ird"), QStringLiteral("`e` <> 3")},
                                {QString(), QStringLiteral("`e` > 0")}};

    EXPECT_EQ(TableStatements::CreateTable(table),
              QStringLiteral("create table `t`(`a` int(11) not null  default 5 check (`a` > 0),"
                             "`v` int(11) generated always as (`a` + 1) virtual COMMENT 'computed',"
                             "`s` varchar(10) character set latin1 collate latin1_swedish_ci "
                             "generated always as (concat(`a`,')')) stored,"
                             "`e` int(11) null  default (`a` * 2),"
                             "`ts` timestamp not null  default current_timestamp() on update current_timestamp(),"
                             "`u` datetime(3) null  default NULL on update current_timestamp(3),"
                             "constraint `CONSTRAINT_1` check (`a` < 10),constraint `we``ird` check (`e` <> 3),check (`e` > 0))"
                             "engine=myisam;"));
}

// Tables made on the server, read back from their own definition files and
// made again in a second database.
class TableStatementsRoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.running());
        m_repair.m_login = {m_server.host, m_server.user, m_server.password};
        m_app.m_service.m_port = m_server.port;
        m_repair.OpenConnection();
        // The tests run side by side on one server: each has databases of its own.
        const QString test = QString::fromUtf8(testing::UnitTest::GetInstance()->current_test_info()->name());
        const QString tag = QString::number(qHash(test), 16);
        m_original = QStringLiteral("expr_original_") + tag;
        m_again = QStringLiteral("expr_again_") + tag;
        for (const QString& db : {m_original, m_again}) {
            m_repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(db));
            m_repair.RunStatement(QStringLiteral("CREATE DATABASE %1 CHARACTER SET latin1").arg(db));
        }
    }
    void TearDown() override
    {
        if (!m_server.running())
            return;
        for (const QString& db : {m_original, m_again})
            m_repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(db));
    }
    // The server's SHOW CREATE TABLE of db.table; empty when it has none.
    QString showCreate(const QString& db, const QString& table)
    {
        const auto rows = m_repair.m_connection->query(QStringLiteral("SHOW CREATE TABLE %1.%2").arg(db, table));
        return rows.size() == 1 ? rows[0][1].value_or(QString()) : QString();
    }
    // The statement that made m_again.<table> from m_original's definition.
    QString recreate(const QString& table)
    {
        const QString path = m_server.dataFolder + m_original + QLatin1Char('/') + table + QStringLiteral(".frm");
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << path.toStdString();
            return {};
        }
        const QByteArray all = file.readAll();
        const std::vector<std::uint8_t> bytes(all.begin(), all.end());
        auto read = engine::FrmReader::read(bytes, path);
        if (!read.ok()) {
            ADD_FAILURE() << read.error().what;
            return {};
        }
        EXPECT_FALSE(read->m_damage.has_value()) << read->m_damage->what;
        m_repair.RunStatement(QStringLiteral("USE ") + m_again);
        const QString sql = TableStatements::CreateTable(*read->m_table);
        m_repair.RunStatement(sql);
        return sql;
    }

    const testsupport::ScratchServer m_server = testsupport::ScratchServer::fromEnvironment();
    engine::AppState m_app;
    engine::MySqlRepair m_repair{m_app};
    QString m_original;
    QString m_again;
};

// Every kind of expression: the server shows the same table.
TEST_F(TableStatementsRoundTrip, ServerMadeExpressionsComeBackTheSame)
{
    engine::MySqlRepair& repair = m_repair;
    repair.RunStatement(QStringLiteral("CREATE TABLE %1.t ").arg(m_original) + QString::fromUtf8(
        "(a INT NOT NULL CHECK (a > 0), "
        "b VARCHAR(10) DEFAULT (concat('é', 'x')) COMMENT 'b''s' CHECK (b <> 'no'), "
        "c INT AS (a * 2) STORED, d DATETIME DEFAULT current_timestamp ON UPDATE current_timestamp, "
        "e TIMESTAMP(6) NULL DEFAULT NULL ON UPDATE current_timestamp(6), f INT AS (-(-a) + 1) VIRTUAL, "
        "g DOUBLE DEFAULT (rand()), h TIMESTAMP NULL DEFAULT (now() + interval 1 day), "
        "i VARCHAR(300) CHARACTER SET utf8mb4 AS (concat(b, repeat('€', 250))) VIRTUAL, "
        "CONSTRAINT positive CHECK (a < c), CHECK (b IS NOT NULL)) ENGINE=MyISAM"));

    const QString sql = recreate(QStringLiteral("t"));

    const QString original = showCreate(m_original, QStringLiteral("t"));
    EXPECT_TRUE(original.contains(QStringLiteral("CONSTRAINT `CONSTRAINT_1` CHECK"))) << original.toStdString();
    EXPECT_EQ(showCreate(m_again, QStringLiteral("t")), original) << sql.toStdString();
}

// The key lines of SHOW CREATE TABLE, in their order; foreign-key
// constraints are not among them.
QStringList keyLines(const QString& createSql)
{
    static const QRegularExpression key(QStringLiteral("^  (PRIMARY|UNIQUE|FULLTEXT|SPATIAL)? ?KEY "));
    QStringList keys;
    for (QString line : createSql.split(QLatin1Char('\n'))) {
        if (!key.match(line).hasMatch())
            continue;
        if (line.endsWith(QLatin1Char(',')))
            line.chop(1);
        keys << line.trimmed();
    }
    return keys;
}

// The server makes an index of its own for a foreign key that has none and
// lists it among the keys of the definition, InnoDB and MyISAM alike: the
// table comes back with that index and every key keeps its own name.
TEST_F(TableStatementsRoundTrip, ServerMadeForeignKeyIndexesComeBackWithEveryName)
{
    const QStringList tables = {
        QStringLiteral("c (id INT PRIMARY KEY, pid INT, x INT, "
                       "CONSTRAINT fk_c_p FOREIGN KEY (pid) REFERENCES p(id), KEY kx(x))"),
        QStringLiteral("c2 (id INT PRIMARY KEY, a INT, b INT, KEY ka(a), FOREIGN KEY (b) REFERENCES p(id), "
                       "KEY kab(a,b))"),
        QStringLiteral("c3 (id INT PRIMARY KEY, note TEXT, a INT, b INT, UNIQUE KEY un(note(10)), KEY kn(note(5), a), "
                       "CONSTRAINT fk_ab FOREIGN KEY (a, b) REFERENCES p(x, y))"),
    };
    for (const char* engineName : {"InnoDB", "MyISAM"}) {
        SCOPED_TRACE(engineName);
        const QString engine = QStringLiteral(" ENGINE=") + QString::fromLatin1(engineName);
        for (const QString& db : {m_original, m_again}) {
            m_repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(db));
            m_repair.RunStatement(QStringLiteral("CREATE DATABASE %1 CHARACTER SET latin1").arg(db));
        }
        m_repair.RunStatement(QStringLiteral("CREATE TABLE %1.p (id INT PRIMARY KEY, x INT, y INT, "
                                             "UNIQUE KEY uxy (x, y))").arg(m_original) + engine);
        m_repair.RunStatement(QStringLiteral("USE ") + m_original);
        for (const QString& table : tables)
            m_repair.RunStatement(QStringLiteral("CREATE TABLE ") + table + engine);
        const QStringList made = keyLines(showCreate(m_original, QStringLiteral("c")));
        ASSERT_TRUE(made.contains(QStringLiteral("KEY `fk_c_p` (`pid`)"))) << made.join('\n').toStdString();
        for (const char* table : {"c", "c2", "c3"}) {
            SCOPED_TRACE(table);
            const QString name = QString::fromLatin1(table);
            const QString sql = recreate(name);
            EXPECT_EQ(keyLines(showCreate(m_again, name)).join('\n').toStdString(),
                      keyLines(showCreate(m_original, name)).join('\n').toStdString())
                << sql.toStdString();
        }
    }
}

// Defaults that text would bend: binary bytes that are no character, blanks
// of a VARCHAR, the empty string, decimals beyond a double, the zero YEAR
// ('00' would read as 2000). A row of defaults alone reads the same from
// both tables (and a NOT NULL column without its default would refuse the
// row).
TEST_F(TableStatementsRoundTrip, DefaultsComeBackByteForByte)
{
    m_repair.RunStatement(QStringLiteral("CREATE TABLE %1.d ").arg(m_original) + QStringLiteral(
        "(j VARBINARY(4) DEFAULT x'00FF61', k BINARY(3) NOT NULL DEFAULT x'FE', "
        "l VARCHAR(5) DEFAULT '  ', m VARCHAR(5) NOT NULL DEFAULT '', "
        "n DECIMAL(30,10) DEFAULT -12345678901234567890.0000000001, o DECIMAL(5,2) UNSIGNED NOT NULL DEFAULT 0.5, "
        "p CHAR(3) DEFAULT x'E9', q YEAR DEFAULT 0) ENGINE=MyISAM"));
    const QString sql = recreate(QStringLiteral("d"));
    const auto defaults = [&](const QString& db) {
        m_repair.RunStatement(QStringLiteral("INSERT INTO %1.d () VALUES ()").arg(db));
        const auto rows = m_repair.m_connection->query(
            QStringLiteral("SELECT HEX(j), HEX(k), HEX(l), HEX(m), n, o, HEX(p), HEX(q) FROM %1.d").arg(db));
        QStringList values;
        for (const auto& row : rows)
            for (const auto& value : row)
                values << value.value_or(QStringLiteral("NULL"));
        return values.join(QLatin1Char(' ')).toStdString();
    };
    const std::string original = defaults(m_original);
    EXPECT_EQ(original, "00FF61 FE0000 2020  -12345678901234567890.0000000001 0.50 E9 0");
    EXPECT_EQ(defaults(m_again), original) << sql.toStdString();
}

// The expression of a generated column in the server's SHOW CREATE TABLE;
// empty for any other column.
QString generationExpression(const QString& createSql, const QString& column)
{
    const QString start = QStringLiteral("  ") + engine::RowWriter::QuoteName(column) + QLatin1Char(' ');
    static const QRegularExpression generated(QStringLiteral(" GENERATED ALWAYS AS \\((.*)\\) (VIRTUAL|STORED)"));
    for (const QString& line : createSql.split(QLatin1Char('\n')))
        if (line.startsWith(start))
            return generated.match(line).captured(1);
    return {};
}

// The value after DEFAULT on a column's line of SHOW CREATE TABLE: a quoted
// string, a parenthesised expression or a bare word; empty without one.
QString defaultValue(const QString& createSql, const QString& column)
{
    const QString start = QStringLiteral("  ") + engine::RowWriter::QuoteName(column) + QLatin1Char(' ');
    for (const QString& line : createSql.split(QLatin1Char('\n'))) {
        if (!line.startsWith(start))
            continue;
        const qsizetype at = line.indexOf(QLatin1String(" DEFAULT "), start.size());
        if (at < 0)
            return {};
        const qsizetype from = at + 9;
        qsizetype i = from;
        int depth = 0;
        bool quoted = false;
        for (; i < line.size(); ++i) {
            const QChar c = line[i];
            if (quoted) {
                if (c == QLatin1Char('\\'))
                    ++i;
                else if (c == QLatin1Char('\''))
                    quoted = false; // a doubled quote opens again at once
            } else if (c == QLatin1Char('\'')) {
                quoted = true;
            } else if (c == QLatin1Char('(')) {
                ++depth;
            } else if (c == QLatin1Char(')')) {
                --depth;
            } else if (depth == 0 && (c == QLatin1Char(' ') || c == QLatin1Char(','))) {
                break;
            }
        }
        return line.mid(from, i - from);
    }
    return {};
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
    for (const char* db : {"fx_myisam", "fx_innodb_sys", "fx_innodb_ibd", "fx_objects", "fx@0020names", "fx_mariadb", "fx_storage"})
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
    int defaults = 0;
    for (const auto& database : repair.m_databases) {
        for (const auto& table : database->m_tables) {
            const QString name = TableStatements::SqlName(table->m_name);
            // A system-versioned table or a sequence comes back a plain table,
            // other than the server reported it (RecoveredTablesRoundTrip).
            if (testsupport::FixtureSet::tableType(set, TableStatements::SqlName(database->m_name), name)
                != QLatin1String("BASE TABLE"))
                continue;
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
                QStringLiteral("SELECT COLUMN_NAME, COLUMN_TYPE, IS_NULLABLE, COLLATION_NAME, EXTRA, COLUMN_DEFAULT, "
                               "GENERATION_EXPRESSION FROM "
                               "information_schema.COLUMNS WHERE TABLE_SCHEMA = '%1' AND TABLE_NAME = %2 "
                               "ORDER BY ORDINAL_POSITION")
                    .arg(target, TableStatements::Literal(name)));
            const QString expected = testsupport::ExpectedRows::setFolder(set) + QStringLiteral("/expected/")
                + TableStatements::SqlName(database->m_name) + QLatin1Char('/')
                + QString(name).replace(QLatin1Char('/'), QStringLiteral("@002f"));
            QFile file(expected + QStringLiteral(".columns.tsv"));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
            QFile createFile(expected + QStringLiteral(".create.sql"));
            ASSERT_TRUE(createFile.open(QIODevice::ReadOnly)) << createFile.fileName().toStdString();
            const QString createSql = QString::fromUtf8(createFile.readAll());
            const auto shown = repair.m_connection->query(QStringLiteral("SHOW CREATE TABLE ")
                                                          + engine::RowWriter::QuoteName(name));
            ASSERT_EQ(shown.size(), 1u) << name.toStdString();
            const QString recreated = shown[0][1].value_or(QString());
            // The same keys; the statement lists single-column keys before
            // wider ones, so their order may differ.
            QStringList gotKeys = keyLines(recreated), wantKeys = keyLines(createSql);
            gotKeys.sort();
            wantKeys.sort();
            EXPECT_EQ(gotKeys.join('\n').toStdString(), wantKeys.join('\n').toStdString())
                << name.toStdString() << "\n" << sql.toStdString();
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
                EXPECT_EQ(columns[i][4].value_or(QString()), want.value(11))
                    << name.toStdString() << "." << columns[i][0]->toStdString();
                EXPECT_EQ(columns[i][6].value_or(QString()), generationExpression(createSql, *columns[i][0]))
                    << name.toStdString() << "." << columns[i][0]->toStdString();
                EXPECT_EQ(columns[i][5].value_or(QStringLiteral("\\N")), want.value(4))
                    << name.toStdString() << "." << columns[i][0]->toStdString();
                const QString originalDefault = defaultValue(createSql, *columns[i][0]);
                defaults += originalDefault.isEmpty() ? 0 : 1;
                EXPECT_EQ(defaultValue(recreated, *columns[i][0]).toStdString(), originalDefault.toStdString())
                    << name.toStdString() << "." << columns[i][0]->toStdString() << "\n" << sql.toStdString();
            }
        }
    }
    EXPECT_GT(created, 20);
    EXPECT_GT(defaults, 100);
    repair.RunStatement(QStringLiteral("DROP DATABASE ") + target);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, TableStatementsOnServer, ::testing::Values("legacy", "default"));

} // namespace
