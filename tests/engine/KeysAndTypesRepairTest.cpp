// Tables with spatial and prefix keys and with UUID, INET6 and INET4 columns,
// made by the server (fx_mariadb), recovered as a repair does it: our CREATE
// TABLE, our rows, then InnoDB where the original was. The server must show
// the original's table and rows; the preview must show the server's values.
#include "engine/RowWriter.h"
#include "engine/TableStatements.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/ScannedEngine.h"
#include "tests/support/ScratchServer.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using engine::TableStatements;
using testsupport::ExpectedRows;
using testsupport::FixtureSet;

const char* const kDatabase = "fx_mariadb";
const char* const kTables[] = {"keys_innodb", "keys_myisam", "net_types_innodb", "net_types_myisam"};

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

bool isKeyLine(const QString& line)
{
    static const QRegularExpression key(QStringLiteral("^  (PRIMARY|UNIQUE|FULLTEXT|SPATIAL)? ?KEY "));
    return key.match(line).hasMatch();
}

// SHOW CREATE TABLE with its key lines sorted (the statement lists keys in an
// order of its own) and without their trailing commas.
QStringList comparableLines(const QString& createSql)
{
    QStringList lines;
    QStringList keys;
    for (QString line : createSql.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char(',')))
            line.chop(1);
        (isKeyLine(line) ? keys : lines) << line;
    }
    keys.sort();
    const qsizetype closing = lines.isEmpty() ? 0 : lines.size() - 1;
    for (const QString& key : keys)
        lines.insert(closing, key);
    return lines;
}

class KeysAndTypesRepair : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        m_set = QString::fromLatin1(GetParam());
        ASSERT_TRUE(FixtureSet::built(m_set));
        ASSERT_TRUE(m_server.running());
    }

    QString expectedFile(const char* table, const char* suffix) const
    {
        return FixtureSet::expectedFile(m_set, QLatin1String(kDatabase), QLatin1String(table), QLatin1String(suffix));
    }

    // Reads the table's rows as the engine does for the preview or a repair.
    void readRows(testsupport::ScannedEngine& scanned, engine::TableInformation& table)
    {
        auto& repair = scanned.repair;
        if (table.m_engine == QLatin1String("myisam")) {
            repair.RecoverMyIsamTable(table);
            return;
        }
        repair.LocateInnoDbTableData(table);
        for (std::uint64_t page : repair.m_dataPages)
            repair.RecoverInnoDbRows(page, table);
    }

    const testsupport::ScratchServer m_server = testsupport::ScratchServer::fromEnvironment();
    QString m_set;
};

TEST_P(KeysAndTypesRepair, RecoveredTablesShowTheOriginalsKeysTypesAndRows)
{
    testsupport::ScannedEngine scanned(FixtureSet::dataFolder(m_set), {QLatin1String(kDatabase)});
    auto& repair = scanned.repair;
    scanned.app.m_bRepair = true;
    scanned.app.m_service.m_port = m_server.port;
    repair.m_login = {m_server.host, m_server.user, m_server.password};
    repair.OpenConnection();
    // The tables take the database's character set, as the originals took
    // their server's: the column lines then read the same.
    static const QRegularExpression tableCharset(QStringLiteral("DEFAULT CHARSET=(\\w+) COLLATE=(\\w+)"));
    const auto charset = tableCharset.match(readText(expectedFile("net_types_myisam", ".create.sql")));
    ASSERT_TRUE(charset.hasMatch());
    const QString target = QStringLiteral("keys_types_") + m_set;
    repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + target);
    repair.RunStatement(QStringLiteral("CREATE DATABASE %1 CHARACTER SET %2 COLLATE %3")
                            .arg(target, charset.captured(1), charset.captured(2)));
    repair.m_strUseStatement = QStringLiteral("use ") + target;
    repair.RunStatement(repair.m_strUseStatement);

    for (const char* name : kTables) {
        SCOPED_TRACE(name);
        engine::TableInformation* table = scanned.table(QLatin1String(kDatabase), QLatin1String(name));
        ASSERT_NE(table, nullptr);
        const QString sql = TableStatements::CreateTable(*table);
        repair.RunStatement(sql);
        repair.m_rowsWritten = 0;
        readRows(scanned, *table);
        if (table->m_engine == QLatin1String("innodb"))
            repair.RunStatement(TableStatements::AlterToInnodb(*table));
        EXPECT_EQ(repair.m_rowsFailed, 0u) << scanned.report.log().join('\n').toStdString();

        const auto shown = repair.m_connection->query(QStringLiteral("SHOW CREATE TABLE ")
                                                      + engine::RowWriter::QuoteName(QLatin1String(name)));
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(comparableLines(shown[0][1].value_or(QString())).join('\n').toStdString(),
                  comparableLines(readText(expectedFile(name, ".create.sql"))).join('\n').toStdString())
            << sql.toStdString();

        QString select = readText(expectedFile(name, ".rows.sql"));
        select.replace(QStringLiteral("`%1`.").arg(QLatin1String(kDatabase)), QString());
        const auto got = repair.m_connection->query(select);
        const ExpectedRows expected = ExpectedRows::load(m_set, QLatin1String(kDatabase), QLatin1String(name));
        ASSERT_FALSE(expected.rows().empty());
        ASSERT_EQ(got.size(), expected.rows().size()) << scanned.report.log().join('\n').toStdString();
        for (std::size_t r = 0; r < got.size(); ++r)
            EXPECT_EQ(got[r], expected.rows()[r]) << "row " << r;
    }
    if (!HasFailure())
        repair.RunStatement(QStringLiteral("DROP DATABASE ") + target);
}

// The preview shows each value as the server's SELECT gave it (the geometry
// column, shown by a placeholder, aside).
TEST_P(KeysAndTypesRepair, PreviewShowsTheServersValues)
{
    testsupport::ScannedEngine scanned(FixtureSet::dataFolder(m_set), {QLatin1String(kDatabase)});
    auto& repair = scanned.repair;
    for (const char* name : kTables) {
        SCOPED_TRACE(name);
        engine::TableInformation* table = scanned.table(QLatin1String(kDatabase), QLatin1String(name));
        ASSERT_NE(table, nullptr);
        std::vector<ExpectedRows::Row> rows;
        repair.m_bWholeValues = true;
        repair.m_rowObserver = [&](const std::vector<engine::tempColInfo>& columns,
                                   const std::vector<engine::RowValue>& values) {
            ExpectedRows::Row row;
            for (std::size_t c = 0; c < values.size(); ++c) {
                if (engine::isSpatialCode(columns[c].m_typeCode))
                    row.emplace_back(QStringLiteral("(spatial)"));
                else if (values[c].m_isNull)
                    row.emplace_back(std::nullopt);
                else
                    row.emplace_back(values[c].text());
            }
            rows.push_back(row);
        };
        readRows(scanned, *table);
        repair.m_rowObserver = nullptr;

        const ExpectedRows expected = ExpectedRows::load(m_set, QLatin1String(kDatabase), QLatin1String(name));
        ASSERT_EQ(rows.size(), expected.rows().size()) << scanned.report.log().join('\n').toStdString();
        for (std::size_t r = 0; r < rows.size(); ++r) {
            ExpectedRows::Row want = expected.rows()[r];
            for (std::size_t c = 0; c < want.size() && c < rows[r].size(); ++c)
                if (rows[r][c] == QStringLiteral("(spatial)"))
                    want[c] = rows[r][c];
            EXPECT_EQ(rows[r], want) << "row " << r;
        }
    }
}

// Servers before 10.11.5 (and their like) stored every UUID turned around and
// say so by the version in the definition: the server given the fixture's
// files with that version reads every value turned, and so do we.
TEST_P(KeysAndTypesRepair, UuidsOfOlderServersReadAsTheServerReadsThem)
{
    engine::AppState app;
    engine::MySqlRepair server(app);
    app.m_service.m_port = m_server.port;
    server.m_login = {m_server.host, m_server.user, m_server.password};
    server.OpenConnection();
    const QString database = QStringLiteral("uuid_old_") + m_set;
    server.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + database);
    server.RunStatement(QStringLiteral("CREATE DATABASE ") + database);
    const QString from = FixtureSet::dataFolder(m_set) + QStringLiteral("/fx_mariadb/net_types_myisam.");
    const QString to = m_server.dataFolder + database + QStringLiteral("/t.");
    for (const char* ext : {"frm", "MYD", "MYI"}) {
        QFile file(from + QLatin1String(ext));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        if (QLatin1String(ext) == QLatin1String("frm")) {
            constexpr qsizetype kServerVersionPos = 51;
            const std::uint32_t version = 101104;
            for (int i = 0; i < 4; ++i)
                bytes[kServerVersionPos + i] = static_cast<char>(version >> (8 * i));
        }
        QFile copy(to + QLatin1String(ext));
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
        ASSERT_EQ(copy.write(bytes), bytes.size());
    }
    server.RunStatement(QStringLiteral("FLUSH TABLES"));
    const auto theirs = server.m_connection->query(QStringLiteral("SELECT u, un FROM %1.t ORDER BY id").arg(database));
    ASSERT_EQ(theirs.size(), 14u);
    EXPECT_EQ(theirs[4][0].value_or(QString()), QStringLiteral("099a8057-b302-bcce-774b-01890a5dac96"));

    testsupport::ScannedEngine scanned(m_server.dataFolder, {database});
    engine::TableInformation* table = scanned.table(database, QStringLiteral("t"));
    ASSERT_NE(table, nullptr);
    std::vector<ExpectedRows::Row> ours;
    scanned.repair.m_rowObserver = [&](const std::vector<engine::tempColInfo>&, const std::vector<engine::RowValue>& values) {
        ExpectedRows::Row row;
        for (std::size_t c : {1u, 4u})
            row.push_back(values[c].m_isNull ? std::nullopt : std::optional<QString>(values[c].text()));
        ours.push_back(row);
    };
    scanned.repair.RecoverMyIsamTable(*table);
    EXPECT_EQ(ours, theirs);
    server.RunStatement(QStringLiteral("DROP DATABASE ") + database);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, KeysAndTypesRepair, ::testing::Values("legacy", "default"));

} // namespace
