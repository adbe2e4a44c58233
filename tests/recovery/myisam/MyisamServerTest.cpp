// MyISAM rows against a real server: a repair fills fresh tables whose
// checksums must equal the originals', and tables written by MySQL 5.x
// servers must read as MariaDB reads them.
#include "tests/recovery/myisam/MyisamTestSupport.h"
#include "tests/support/ScratchServer.h"
#include "tests/support/SharedFixtures.h"
#include "tests/support/TempDir.h"

#include "engine/RowWriter.h"
#include "platform/OdbcConnection.h"
#include "platform/OdbcError.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using myisamtest::ScannedEngine;

QString readText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

// ---- Repair mode: our INSERTs rebuild each fixture table exactly.

struct RepairCase {
    const char* folder;
    const char* database;
    const char* table;
};

const RepairCase kRepairCases[] = {
    {"fx_myisam", "fx_myisam", "all_types"}, {"fx_myisam", "fx_myisam", "fixed_rows"},
    {"fx_myisam", "fx_myisam", "dyn_rows"},  {"fx_myisam", "fx_myisam", "blobs"},
    {"fx_myisam", "fx_myisam", "defaults"},
    {"fx_myisam", "fx_myisam", "value_forms"},
    {"fx@0020names", "fx names", "tab with space"}, {"fx@0020names", "fx names", "slash/name"},
    {"fx_objects", "fx_objects", "orders"},
    {"fx_mariadb", "fx_mariadb", "compressed_myisam"},
};

class MyisamRepair : public ::testing::TestWithParam<const char*> {};

TEST_P(MyisamRepair, InsertedRowsGiveTheOriginalChecksum)
{
    const QString set = GetParam();
    if (!QFileInfo::exists(myisamtest::fixturesFolder(set)))
        GTEST_SKIP() << "fixtures not built";
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    ScannedEngine scanned(myisamtest::fixturesFolder(set), {"fx_myisam", "fx@0020names", "fx_objects", "fx_mariadb"});
    auto& repair = scanned.repair;
    scanned.app.m_bRepair = true;
    scanned.app.m_service.m_port = server.port;
    repair.m_login = {server.host, server.user, server.password};
    repair.OpenConnection();
    // A database of our own, named with a quote and a backtick.
    const QString database = QStringLiteral("myisam `rep' ") + set;
    const QString quotedDb = engine::RowWriter::QuoteName(database);
    repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + quotedDb);
    repair.RunStatement(QStringLiteral("CREATE DATABASE ") + quotedDb);
    repair.m_strUseStatement = QStringLiteral("use ") + quotedDb;
    repair.RunStatement(repair.m_strUseStatement);
    for (const auto& c : kRepairCases) {
        SCOPED_TRACE(std::string(c.database) + "." + c.table);
        engine::TableInformation* table = scanned.table(c.database, c.table);
        ASSERT_NE(table, nullptr);
        const QString base = testsupport::ExpectedRows::setFolder(set) + "/expected/" + QString(c.database) + "/"
            + QString(c.table).replace('/', "@002f");
        repair.RunStatement(readText(base + ".create.sql"));
        const QString name = QString::fromUtf8(c.table);
        table->m_name = name; // as the server names it
        repair.m_rowsWritten = 0;
        repair.RecoverMyIsamTable(*table);
        EXPECT_EQ(repair.m_rowsFailed, 0u) << scanned.report.log().join('\n').toStdString();
        EXPECT_EQ(static_cast<std::int64_t>(repair.m_rowsWritten), scanned.app.m_nTotalRecords);
        // The server's own SELECT of the fixture, run on our copy, gives the same rows.
        QString select = readText(base + ".rows.sql");
        select.replace(engine::RowWriter::QuoteName(QString::fromUtf8(c.database)) + QLatin1Char('.'), quotedDb + QLatin1Char('.'));
        const auto got = repair.m_connection->query(select);
        const auto expected = testsupport::ExpectedRows::load(set, c.database, c.table);
        ASSERT_EQ(got.size(), expected.rows().size());
        for (std::size_t r = 0; r < got.size(); ++r)
            EXPECT_EQ(got[r], expected.rows()[r]) << "row " << r;
        // Read to its end, the table says once what it got, and no word of damage.
        const QString summary = QStringLiteral("Table %1: %2 rows recovered.").arg(name).arg(expected.rows().size());
        EXPECT_TRUE(scanned.report.log().contains(summary)) << scanned.report.log().join('\n').toStdString();
        // The default set's server stores temporal columns as this one does,
        // so even the checksum over the stored bytes must agree.
        if (set == QLatin1String("default")) {
            const auto rows = repair.m_connection->query(QStringLiteral("CHECKSUM TABLE ") + engine::RowWriter::QuoteName(name));
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(rows[0][1].value_or(QString()), readText(base + ".checksum"));
        }
    }
    if (!HasFailure())
        repair.RunStatement(QStringLiteral("DROP DATABASE ") + quotedDb);
}

INSTANTIATE_TEST_SUITE_P(Sets, MyisamRepair, ::testing::Values("legacy", "default"));

// ---- Tables written by MySQL 5.x: our rows equal the server's rows.

const char* const kForeignTables[] = {"help_topic", "help_keyword", "help_category", "help_relation",
                                      "user", "db", "proc", "time_zone_name"};

class ForeignServer {
public:
    ForeignServer()
    {
        m_script = QStringLiteral(GRISOLT_SOURCE_DIR) + QStringLiteral("/scripts/scratch-mariadb");
        m_ok = QProcess::execute(m_script, {QStringLiteral("start"), m_dir.path() + QStringLiteral("/srv")}) == 0;
        if (!m_ok)
            return;
        const QStringList env = readText(m_dir.path() + QStringLiteral("/srv/env")).split('\n');
        for (const QString& line : env) {
            if (line.startsWith(QLatin1String("PORT=")))
                m_server.port = line.mid(5);
            if (line.startsWith(QLatin1String("DATADIR=")))
                m_dataDir = line.mid(8);
        }
        m_connection.open(m_server.connectionString());
        m_connection.execute(QStringLiteral("SET time_zone = '+00:00'"));
    }
    ~ForeignServer()
    {
        if (m_ok)
            QProcess::execute(m_script, {QStringLiteral("stop"), m_dir.path() + QStringLiteral("/srv")});
    }

    testsupport::TempDir m_dir;
    QString m_script;
    bool m_ok = false;
    testsupport::ScratchServer m_server;
    QString m_dataDir;
    platform::OdbcConnection m_connection;
};

bool isHexColumn(const engine::tempColInfo& c)
{
    return engine::RowWriter::SendsStoredBytes(c.m_typeCode)
        && (c.m_typeCode == engine::TYPE_BIT || c.m_charset == 63 || (c.m_typeCode >= engine::TYPE_BINARY && c.m_typeCode <= engine::TYPE_GEOMETRYCOLLECTION));
}

QString ourCell(const engine::tempColInfo& c, const engine::RowValue& v)
{
    if (v.m_isNull)
        return QStringLiteral("\\N");
    if (!isHexColumn(c))
        return v.text();
    QString hex = QString::fromLatin1(v.bytes().toHex().toUpper());
    if (c.m_typeCode == engine::TYPE_BIT) {
        while (hex.size() > 1 && hex.startsWith('0'))
            hex.remove(0, 1);
    }
    return hex;
}

TEST(MyisamForeign, TablesOfMySql5ReadAsTheServerReadsThem)
{
    GRISOLT_FOREIGN_FIXTURES(shared);
    const QString foreign = shared + QLatin1Char('/');
    ForeignServer server;
    ASSERT_TRUE(server.m_ok);
    // The 5.0 files need a table rebuild before MariaDB 10.11 reads them.
    for (const char* version : {"mysql-5.1", "mysql-5.5", "mariadb-10.0"}) {
        const QString dbName = QStringLiteral("f") + QString(version).remove('-').remove('.');
        server.m_connection.execute(QStringLiteral("CREATE DATABASE ") + dbName);
        ScannedEngine scanned(foreign + version + QLatin1Char('/'), {"mysqlsys"});
        for (const char* name : kForeignTables) {
            SCOPED_TRACE(std::string(version) + "/" + name);
            for (const char* ext : {".frm", ".MYD", ".MYI"})
                ASSERT_TRUE(myisamtest::copyFile(foreign + version + "/mysqlsys/" + name + ext,
                                                 server.m_dataDir + "/" + dbName + "/" + name + ext));
            engine::TableInformation* table = scanned.table("mysqlsys", name);
            ASSERT_NE(table, nullptr);
            scanned.report.m_sent.clear();
            int pages = 0;
            const auto ours = scanned.previewAllPages(*table, &pages);
            const auto& columns = scanned.repair.m_columns;

            server.m_connection.execute(QStringLiteral("FLUSH TABLES"));
            QStringList select;
            for (const auto& c : columns)
                select << (isHexColumn(c) ? QStringLiteral("HEX(%1)") : QStringLiteral("%1"))
                              .arg(engine::RowWriter::QuoteName(c.m_name));
            const auto theirs = server.m_connection.query(QStringLiteral("SELECT ") + select.join(", ") + " FROM "
                                                          + dbName + "." + engine::RowWriter::QuoteName(name));
            ASSERT_EQ(ours.size(), theirs.size()) << scanned.report.log().join('\n').toStdString();
            // Files the servers wrote whole: every key is used and no row is doubted.
            const QString log = scanned.report.log().join('\n');
            EXPECT_FALSE(log.contains(QStringLiteral("marked as doubtful"))) << log.toStdString();
            EXPECT_FALSE(log.contains(QStringLiteral("not checked against it"))) << log.toStdString();
            // help_topic holds some 500 rows: several preview pages.
            if (QLatin1String(name) == QLatin1String("help_topic")) {
                EXPECT_GT(ours.size(), 300u);
            }
            QStringList a, b;
            for (const auto& row : ours) {
                QStringList cells;
                for (std::size_t i = 0; i < columns.size(); ++i)
                    cells << ourCell(columns[i], row[i]);
                a << cells.join('\t');
            }
            for (const auto& row : theirs) {
                QStringList cells;
                for (const auto& cell : row)
                    cells << cell.value_or(QStringLiteral("\\N"));
                b << cells.join('\t');
            }
            a.sort();
            b.sort();
            for (qsizetype i = 0, shown = 0; i < a.size() && shown < 5; ++i)
                if (a[i] != b[i]) {
                    ADD_FAILURE() << "ours:   " << a[i].left(300).toStdString() << "\nserver: " << b[i].left(300).toStdString();
                    ++shown;
                }
            if (ours.size() > 100) {
                EXPECT_GT(pages, 1);
            }
        }
    }
}

// ---- A MyISAM table of MySQL 4.1 with its VARBINARY and VARCHAR (the types
// 5.0 replaced), from the server's own test data.

// Where the server's test-data package (mariadb-test-data) puts it.
const QString kServerTestData = QStringLiteral("/usr/share/mysql/mysql-test/std_data/");

QList<QStringList> textRows(const std::vector<std::vector<std::optional<QString>>>& rows)
{
    QList<QStringList> out;
    for (const auto& row : rows) {
        QStringList cells;
        for (const auto& cell : row)
            cells << cell.value_or(QStringLiteral("\\N"));
        out << cells;
    }
    return out;
}

TEST(MyisamForeign, VarcharTableOfMySql41ComesBackWithTheServersRows)
{
    if (!QFileInfo::exists(kServerTestData + QStringLiteral("bug19371.frm"))) {
        if (testsupport::SharedFixtures::underCi())
            FAIL() << "the server's test data (mariadb-test-data) is not installed";
        GTEST_SKIP() << "the server's test data (mariadb-test-data) is not installed";
    }
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    platform::OdbcConnection connection;
    connection.open(server.connectionString());

    // The server's rows: it reads the files as they are, then upgrades the
    // table with REPAIR TABLE, as CHECK TABLE ... FOR UPGRADE asks.
    const QString serverDb = QStringLiteral("old41_server");
    connection.execute(QStringLiteral("DROP DATABASE IF EXISTS ") + serverDb);
    connection.execute(QStringLiteral("CREATE DATABASE ") + serverDb);
    // Our own copy to scan: the files are only ever read.
    testsupport::TempDir scanDir;
    QDir(scanDir.path()).mkdir(QStringLiteral("old41"));
    for (const char* ext : {".frm", ".MYD", ".MYI"}) {
        ASSERT_TRUE(myisamtest::copyFile(kServerTestData + "bug19371" + ext, server.dataFolder + serverDb + "/t1" + ext));
        ASSERT_TRUE(myisamtest::copyFile(kServerTestData + "bug19371" + ext, scanDir.path() + "/old41/t1" + ext));
    }
    const QString select = QStringLiteral("SELECT HEX(a), b FROM %1.t1 ORDER BY a, b");
    connection.execute(QStringLiteral("FLUSH TABLES"));
    const auto asStored = textRows(connection.query(select.arg(serverDb)));
    ASSERT_EQ(asStored.size(), 2);
    // Before the upgrade the old VARBINARY reads padded to its full width.
    EXPECT_EQ(asStored[0][0], QStringLiteral("616161") + QStringLiteral("20").repeated(252));
    // Through the server's own client: the ODBC driver loses its cursor on
    // the answer of REPAIR TABLE.
    QProcess client;
    client.start(QStringLiteral("mariadb"),
                 {QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + server.socket,
                  QStringLiteral("--user=") + server.user, QStringLiteral("-N"), QStringLiteral("-e"),
                  QStringLiteral("REPAIR TABLE ") + serverDb + QStringLiteral(".t1")});
    ASSERT_TRUE(client.waitForFinished(60000));
    const QByteArray answer = client.readAllStandardOutput();
    EXPECT_TRUE(answer.contains("\tstatus\tOK")) << answer.toStdString() << client.readAllStandardError().toStdString();
    const auto expected = textRows(connection.query(select.arg(serverDb)));
    ASSERT_EQ(expected, (QList<QStringList>{{"616161", "ccc"}, {"626262", "ddd"}}));

    ScannedEngine scanned(scanDir.path(), {"old41"});
    ASSERT_EQ(scanned.repair.m_databases.size(), 1u);
    auto& repair = scanned.repair;
    scanned.connectTo(server);
    repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS recovered_old41"));
    scanned.repairIntoServer();
    const QString log = scanned.report.log().join('\n');
    EXPECT_EQ(repair.m_statementsFailed, 0u) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Table t1: 2 rows recovered."))) << log.toStdString();

    EXPECT_EQ(textRows(connection.query(select.arg(QStringLiteral("recovered_old41")))), expected);
    const auto shown = connection.query(QStringLiteral("SHOW CREATE TABLE recovered_old41.t1"));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0][1].value_or(QString()).toStdString(),
              "CREATE TABLE `t1` (\n"
              "  `a` varbinary(255) DEFAULT NULL,\n"
              "  `b` varchar(255) DEFAULT NULL\n"
              ") ENGINE=MyISAM DEFAULT CHARSET=latin1 COLLATE=latin1_swedish_ci");
    if (!HasFailure()) {
        connection.execute(QStringLiteral("DROP DATABASE recovered_old41"));
        connection.execute(QStringLiteral("DROP DATABASE ") + serverDb);
    }
}

} // namespace
