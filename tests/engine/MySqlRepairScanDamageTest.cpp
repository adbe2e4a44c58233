// The scan over real data folders whose files were damaged: each damaged
// file costs its own table and a log line, and the scan goes on.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

QStringList scanTables(const QString& data, const QString& ibdata, QStringList* log, bool* oldVersion = nullptr)
{
    engine::AppState app;
    engine::MySqlRepair repair(app);
    testsupport::RecordingReportWindow report(app);
    repair.m_hWndReport = &report;
    app.m_bManualFolder = true;
    app.m_strDataFolder = data;
    app.m_strIbdataPath = ibdata;
    app.m_selectedDatabases = {data + QStringLiteral("/fx_innodb_sys/"), data + QStringLiteral("/fx_myisam/")};
    app.m_bOldVersionTables = true; // what an earlier scan may have left
    repair.ScanDataFolder();
    if (oldVersion)
        *oldVersion = app.m_bOldVersionTables;
    QStringList tables;
    for (const auto& database : repair.m_databases)
        for (const auto& table : database->m_tables)
            tables << database->m_name + QLatin1Char('/') + table->m_name + QLatin1Char(' ')
                    + QString::number(table->m_rootPage);
    *log = report.log();
    return tables;
}

class ScanDamage : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString source = testsupport::ExpectedRows::setFolder(QStringLiteral("default")) + "/data";
        m_data = m_dir.path() + "/data";
        for (const char* db : {"fx_innodb_sys", "fx_myisam"})
            testsupport::copyFolder(source + "/" + db, m_data + "/" + db);
        ASSERT_TRUE(QFile::copy(source + "/ibdata1", m_data + "/ibdata1"));
        bool oldVersion = true;
        m_clean = scanTables(m_data, m_data + "/ibdata1", &m_log, &oldVersion);
        ASSERT_GT(m_clean.size(), 10);
        ASSERT_EQ(m_log, QStringList{"Scanning Database(s)..."});
        EXPECT_FALSE(oldVersion) << "no definition of MySQL 3.x among them";
    }

    void rewrite(const QString& file, const std::function<void(QByteArray&)>& damage)
    {
        QFile f(m_data + "/" + file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        damage(bytes);
        f.resize(0);
        f.write(bytes);
    }

    testsupport::TempDir m_dir;
    QString m_data;
    QStringList m_clean;
    QStringList m_log;
};

TEST_F(ScanDamage, DamagedDefinitionsCostOnlyTheirOwnTable)
{
    const struct {
        const char* name;
        std::function<void(QByteArray&)> damage;
    } cases[] = {
        {"truncated to its magic", [](QByteArray& b) { b.truncate(4); }},
        {"zeroed", [](QByteArray& b) { b.fill('\0'); }},
        {"random bytes", [](QByteArray& b) {
             QRandomGenerator random(7);
             for (auto& c : b)
                 c = static_cast<char>(random.bounded(256));
         }},
        {"offsets past the end", [](QByteArray& b) {
             for (int at : {4, 6, 64, 66})
                 b[at] = '\xff', b[at + 1] = '\x7f';
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rewrite("fx_myisam/defaults.frm", c.damage);
        QStringList log;
        const QStringList tables = scanTables(m_data, m_data + "/ibdata1", &log);
        for (const QString& table : m_clean) {
            if (!table.startsWith(QLatin1String("fx_myisam/defaults "))) {
                EXPECT_TRUE(tables.contains(table)) << table.toStdString();
            }
        }
        EXPECT_GE(log.size(), 2);
        EXPECT_TRUE(log.join('\n').contains(QStringLiteral("defaults.frm"))) << log.join('\n').toStdString();
        QFile::remove(m_data + "/fx_myisam/defaults.frm");
        ASSERT_TRUE(QFile::copy(testsupport::ExpectedRows::setFolder("default") + "/data/fx_myisam/defaults.frm",
                                m_data + "/fx_myisam/defaults.frm"));
        QFile(m_data + "/fx_myisam/defaults.frm").setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
}

TEST_F(ScanDamage, ADamagedDictionaryMarksInnodbTablesAndTheScanGoesOn)
{
    const struct {
        const char* name;
        std::function<void(QByteArray&)> damage;
    } cases[] = {
        {"dictionary header zeroed", [](QByteArray& b) { b.replace(7 * 16384, 16384, QByteArray(16384, '\0')); }},
        {"missing", [](QByteArray& b) { b.clear(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir copy;
        const QString ibdata = copy.write("ibdata1", QByteArray());
        QFile source(m_data + "/ibdata1");
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        QByteArray bytes = source.readAll();
        c.damage(bytes);
        copy.write("ibdata1", bytes);
        QStringList log;
        const QStringList tables = scanTables(m_data, ibdata, &log);
        EXPECT_EQ(tables.size(), m_clean.size()) << "every definition is still read";
        for (const QString& table : tables) {
            if (table.startsWith(QLatin1String("fx_innodb_sys/"))) {
                EXPECT_TRUE(table.endsWith(QLatin1String(" 0"))) << table.toStdString();
            }
        }
        EXPECT_TRUE(log.join('\n').contains(QStringLiteral("data dictionary"))) << log.join('\n').toStdString();
    }
}

// A definition whose version byte is that of MySQL 3.x marks the scan, for
// the shell's warning.
TEST_F(ScanDamage, AnOldVersionDefinitionSetsTheOldVersionFlag)
{
    for (const char version : {'\x07', '\x05'}) {
        SCOPED_TRACE(int(version));
        rewrite("fx_myisam/defaults.frm", [&](QByteArray& b) { b[2] = version; });
        QStringList log;
        bool oldVersion = false;
        const QStringList tables = scanTables(m_data, m_data + "/ibdata1", &log, &oldVersion);
        ASSERT_EQ(tables.size(), m_clean.size()) << log.join('\n').toStdString();
        EXPECT_TRUE(oldVersion);
    }
}

// A table whose root page the dictionary cannot give is logged as exactly
// that - never as damage of "page 0".
TEST_F(ScanDamage, AnUnknownRootPageIsToldApartFromDamage)
{
    const QString source = testsupport::ExpectedRows::setFolder(QStringLiteral("default")) + "/data/fx_innodb_ibd";
    testsupport::copyFolder(source, m_data + "/fx_innodb_ibd");
    testsupport::copyFolder(source, m_data + "/other_db"); // no dictionary names other_db/...
    QFile real(m_data + "/ibdata1");
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    QByteArray damaged = real.readAll();
    damaged.replace(7 * 16384, 16384, QByteArray(16384, '\0'));
    const QString damagedIbdata = m_dir.write("zeroed/ibdata1", damaged);

    const struct {
        const char* name;
        QString ibdata;
        const char* database;
        QString why;
    } cases[] = {
        {"no ibdata1", m_data + "/missing/ibdata1", "fx_innodb_ibd",
         "no ibdata1 was given, and only its data dictionary names where an InnoDB table's rows start"},
        {"unreadable dictionary", damagedIbdata, "fx_innodb_ibd",
         "the data dictionary of " + damagedIbdata + " could not be read"},
        {"a dictionary without the table", m_data + "/ibdata1", "other_db",
         "the data dictionary of " + m_data + "/ibdata1 does not name the table"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        engine::AppState app;
        engine::MySqlRepair repair(app);
        testsupport::RecordingReportWindow report(app);
        repair.m_hWndReport = &report;
        app.m_bManualFolder = true;
        app.m_strDataFolder = m_data + "/";
        app.m_strIbdataPath = c.ibdata;
        app.m_selectedDatabases = {m_data + "/" + c.database + "/"};
        repair.ScanDataFolder();
        ASSERT_EQ(repair.m_databases.size(), 1u);
        engine::TableInformation* table = nullptr;
        for (const auto& t : repair.m_databases[0]->m_tables)
            if (t->m_name == QLatin1String("composite_pk"))
                table = t.get();
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->m_rootPage, 0u);
        report.m_sent.clear();
        repair.LocateInnoDbTableData(*table);
        const QString log = report.log().join('\n');
        EXPECT_TRUE(log.contains("Table composite_pk: the root page of its rows is unknown: " + c.why + "."))
            << log.toStdString();
        EXPECT_FALSE(log.contains("damaged")) << log.toStdString();
        EXPECT_TRUE(repair.m_dataPages.empty());
    }
}

} // namespace
