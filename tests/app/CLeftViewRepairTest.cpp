// The tree's choice carried through a repair on the scratch server: what is
// checked is re-created, nothing else, even with an unreadable table among
// the readable ones.
#include "app/CLeftView.h"

#include "engine/AppState.h"
#include "engine/FileNameCodec.h"
#include "engine/MySqlRepair.h"
#include "engine/RowWriter.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/ScratchServer.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QTreeWidgetItem* child(QTreeWidgetItem* parent, const QString& text)
{
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == text)
            return parent->child(i);
    ADD_FAILURE() << "no item " << text.toStdString();
    return parent;
}

QStringList column(const std::vector<platform::OdbcConnection::Row>& rows)
{
    QStringList values;
    for (const auto& row : rows)
        values << row.at(0).value_or(QString());
    values.sort();
    return values;
}

TEST(CLeftViewRepair, OnlyTheCheckedTablesViewsAndTriggersAreRecreated)
{
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    const QString fixture = testsupport::ExpectedRows::setFolder("default") + "/data/";
    ASSERT_TRUE(QFile::exists(fixture + "ibdata1"));

    // Copies of two databases, one with a definition that cannot be read.
    testsupport::TempDir dir;
    const QString data = dir.path() + "/data/";
    for (const QString& database : {QStringLiteral("fx_myisam"), QStringLiteral("fx_objects")}) {
        QDir().mkpath(data + database);
        for (const QString& name : QDir(fixture + database).entryList(QDir::Files))
            ASSERT_TRUE(QFile::copy(fixture + database + "/" + name, data + database + "/" + name));
    }
    dir.write("data/fx_myisam/c_broken.frm", QByteArray("\xFE\x01\x0A\x09garbage", 11));

    engine::AppState app;
    app.m_bIdle = true;
    engine::MySqlRepair repair(app);
    testsupport::RecordingReportWindow report(app);
    repair.m_hWndReport = &report;
    app.m_bManualFolder = true;
    app.m_strIbdataPath = fixture + "ibdata1";
    app.m_selectedDatabases = {data + "fx_myisam/", data + "fx_objects/"};
    repair.ScanDataFolder();
    ASSERT_EQ(repair.m_databases.size(), 2u);

    app::CLeftView tree(app, repair);
    tree.BuildTree();
    QTreeWidgetItem* myisam = child(child(tree.root(), "fx_myisam"), "Table(s)");
    QTreeWidgetItem* objects = child(tree.root(), "fx_objects");
    for (QTreeWidgetItem* item : {child(myisam, "defaults"), child(myisam, "all_types"),
                                  child(child(objects, "Table(s)"), "order_log"),
                                  child(child(objects, "View(s)"), "v_order_totals"),
                                  child(child(objects, "Trigger(s)"), "orders")})
        tree.ToggleCheck(item);
    tree.ReadTreeChecks();
    tree.ResetTree();

    // The repair itself, into the scratch server; nothing of its files is exchanged.
    app.m_bManualFolder = false;
    app.m_bRepair = true;
    app.m_service.m_port = server.port;
    repair.m_login = {server.host, server.user, server.password};
    repair.m_strDataFolder = server.dataFolder;
    repair.OpenConnection();
    repair.RepairDatabases();
    ASSERT_EQ(repair.m_createdDatabases.size(), 2u) << report.log().join('\n').toStdString();
    EXPECT_EQ(repair.m_statementsFailed, 0u) << report.log().join('\n').toStdString();

    const QString recoveredMyisam = engine::RowWriter::QuoteName(repair.m_createdDatabases[0]);
    const QString recoveredObjects = engine::RowWriter::QuoteName(repair.m_createdDatabases[1]);
    repair.OpenConnection();
    auto& sql = *repair.m_connection;
    EXPECT_EQ(column(sql.query("SHOW FULL TABLES FROM " + recoveredMyisam + " WHERE Table_type = 'BASE TABLE'")),
              (QStringList{"blobs", "checksum_fixed", "checksum_rows", "dyn_rows", "empty_table", "fixed_rows", "paged_rows",
                           "value_forms"}));
    for (const char* table : {"blobs", "dyn_rows", "fixed_rows"}) {
        const auto expected = testsupport::ExpectedRows::load("default", "fx_myisam", table);
        const auto count = sql.query("SELECT COUNT(*) FROM " + recoveredMyisam + "." + table);
        ASSERT_EQ(count.size(), 1u);
        EXPECT_EQ(count[0][0].value_or(QString()).toULongLong(), expected.rows().size()) << table;
    }
    EXPECT_EQ(column(sql.query("SHOW FULL TABLES FROM " + recoveredObjects + " WHERE Table_type = 'BASE TABLE'")),
              (QStringList{"customers", "orders"}));
    EXPECT_EQ(column(sql.query("SHOW FULL TABLES FROM " + recoveredObjects + " WHERE Table_type = 'VIEW'")),
              QStringList{"v_customers"});
    EXPECT_TRUE(sql.query("SHOW TRIGGERS FROM " + recoveredObjects).empty());

    for (const QString& name : repair.m_createdDatabases) {
        QDir folder(server.dataFolder + engine::FileNameCodec::Encode(name));
        for (const QString& file : folder.entryList({"*.sql"}))
            folder.remove(file);
        repair.RunStatement("DROP DATABASE " + engine::RowWriter::QuoteName(name));
    }
}

} // namespace
