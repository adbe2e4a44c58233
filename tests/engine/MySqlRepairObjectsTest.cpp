#include "engine/AppState.h"
#include "engine/FileNameCodec.h"
#include "engine/MySqlRepair.h"
#include "engine/ObjectDefinitionFile.h"
#include "engine/ReportWindow.h"
#include "engine/RowWriter.h"
#include "engine/TableStatements.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/ScratchServer.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using engine::ObjectDefinitionFile;

namespace {

TEST(ObjectDefinitionFile, ValuesEscapesAndLists)
{
    const QByteArray file = "TYPE=TRIGGERS\n"
                            "triggers='CREATE a\\nb \\'q\\' \\\\ ' 'CREATE c'\n"
                            "sql_modes=1 2\n"
                            "source=x=y\n";
    const auto values = ObjectDefinitionFile::Parse(file);
    EXPECT_EQ(values.value("TYPE"), QByteArray("TRIGGERS"));
    EXPECT_EQ(values.value("source"), QByteArray("x=y"));
    EXPECT_EQ(ObjectDefinitionFile::QuotedList(values.value("triggers")),
              (QList<QByteArray>{"CREATE a\nb 'q' \\ ", "CREATE c"}));
    EXPECT_EQ(ObjectDefinitionFile::Unescape("a\\tb\\0c\\Z"), QByteArray("a\tb\0c\x1a", 6));
    EXPECT_TRUE(ObjectDefinitionFile::QuotedList("'unterminated \\'").size() == 1) << "no read past the end";
    EXPECT_EQ(ObjectDefinitionFile::Text("caf\xe9 \x80", "latin1"), QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac"));
    EXPECT_EQ(ObjectDefinitionFile::Text("caf\xc3\xa9", "utf8mb4"), QString::fromUtf8("caf\xc3\xa9"));
}

class ObjectPreview : public ::testing::Test {
protected:
    QString data() const { return testsupport::ExpectedRows::setFolder(QStringLiteral("default")) + "/data/"; }
    engine::AppState m_app;
    engine::MySqlRepair m_repair{m_app};
    testsupport::RecordingReportWindow m_report{m_app};
};

TEST_F(ObjectPreview, ViewShowsItsSourceAndTriggersOneScriptEach)
{
    // Everything after "source=", the lines after it included, escapes as stored.
    m_repair.ReadViewSource(data() + "fx_objects/v_order_totals.frm");
    EXPECT_TRUE(m_repair.m_objectText.startsWith(QStringLiteral(
        "SELECT c.name AS customer, COUNT(o.id) AS n_orders, SUM(o.amount) "
        "AS total\\n  FROM customers c JOIN orders o ON o.customer_id = "
        "c.id\\n  GROUP BY c.name\nclient_cs_name=utf8mb4\nconnection_cl_name=utf8mb4_general_ci\nview_body_utf8=select ")))
        << m_repair.m_objectText.toStdString();
    EXPECT_TRUE(m_repair.m_objectText.endsWith(QStringLiteral("\nmariadb-version=101119")))
        << "up to the file's last line, without its line break";
    // The key at a line's start only; the same letters in a value are not it.
    EXPECT_EQ(ObjectDefinitionFile::FromKey("TYPE=VIEW\nquery=x where source=1\nsource=a\\nb\nz=1\n", "source"),
              QByteArray("a\\nb\nz=1"));
    EXPECT_EQ(ObjectDefinitionFile::FromKey("source=only", "source"), QByteArray("only"));
    EXPECT_TRUE(ObjectDefinitionFile::FromKey("TYPE=VIEW\nquery=x source=1\n", "source").isEmpty());
    m_repair.ReadViewSource(data() + "fx_objects/missing.frm");
    EXPECT_TRUE(m_repair.m_objectText.isEmpty());

    QStringList shown;
    m_report.m_onSend = [&](const testsupport::RecordingReportWindow::Sent& sent) {
        if (sent.message == engine::WM_SHOW_OBJECT_TEXT)
            shown << m_repair.m_objectText;
    };
    m_repair.m_hWndReport = &m_report;
    m_repair.ReadTriggerScript(data() + "fx_objects/orders.TRG");
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("DELIMITER $$ \\nCREATE DEFINER=`root`@`localhost` TRIGGER orders_bi ")));
    EXPECT_TRUE(shown[0].endsWith(QStringLiteral("\\nEND; $$\\nDELIMITER ;")));
    EXPECT_TRUE(shown[1].contains(QString::fromUtf8("'clamped \xc3\xa9'")));
}

// Views and triggers re-created on a real server in a new database work.
// The server refuses to drop a database folder holding files of ours.
void dropDatabase(engine::MySqlRepair& repair, const QString& dataFolder, const QString& name)
{
    QDir folder(dataFolder + engine::FileNameCodec::Encode(name));
    for (const QString& sql : folder.entryList({QStringLiteral("*.sql")}))
        folder.remove(sql);
    repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + engine::RowWriter::QuoteName(name));
}

TEST(ObjectRepair, ViewsAndTriggersComeBackAndWork)
{
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    engine::AppState app;
    engine::MySqlRepair repair(app);
    testsupport::RecordingReportWindow report(app);
    repair.m_hWndReport = &report;
    const QString data = testsupport::ExpectedRows::setFolder(QStringLiteral("default")) + "/data/";
    app.m_bManualFolder = true;
    app.m_strIbdataPath = data + "ibdata1";
    app.m_selectedDatabases = {data + "fx_objects/", data + "fx@0020names/"};
    repair.ScanDataFolder();
    ASSERT_EQ(repair.m_databases.size(), 2u);

    repair.m_login = {server.host, server.user, server.password};
    app.m_service.m_port = server.port;
    repair.m_strDataFolder = server.dataFolder;
    repair.OpenConnection();
    for (const auto& database : repair.m_databases) {
        const QString newName = QStringLiteral("recovered_objtest_") + engine::TableStatements::SqlName(database->m_name);
        const QString quoted = engine::RowWriter::QuoteName(newName);
        dropDatabase(repair, server.dataFolder, newName);
        repair.RunStatement(QStringLiteral("CREATE DATABASE ") + quoted);
        repair.RunStatement(QStringLiteral("USE ") + quoted);
        for (const auto& table : database->m_tables)
            repair.RunStatement(engine::TableStatements::CreateTable(*table));
        repair.RecoverViews(*database, newName);
        repair.RecoverTriggers(*database, newName);
    }
    EXPECT_EQ(repair.m_statementsFailed, 0u) << report.log().join('\n').toStdString();

    // The triggers fire: status upper-cased, negative amounts clamped.
    repair.RunStatement(QStringLiteral("USE recovered_objtest_fx_objects"));
    repair.RunStatement(QStringLiteral("INSERT INTO customers (id, name) VALUES (900, 'x')"));
    repair.RunStatement(QStringLiteral("INSERT INTO orders (id, customer_id, amount, status) VALUES (900, 900, -5, 'new')"));
    const auto orders = repair.m_connection->query(QStringLiteral("SELECT status, amount FROM orders WHERE id = 900"));
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(*orders[0][0], QStringLiteral("NEW"));
    EXPECT_EQ(orders[0][1]->toDouble(), 0.0);
    // The views read the new database's tables.
    const auto totals = repair.m_connection->query(QStringLiteral("SELECT n_orders FROM v_order_totals WHERE customer = 'x'"));
    ASSERT_EQ(totals.size(), 1u);
    EXPECT_EQ(*totals[0][0], QStringLiteral("1"));
    const auto quotedView = repair.m_connection->query(
        QString::fromUtf8("SELECT COUNT(*) FROM `recovered_objtest_fx names`.`view of \"q\"`"));
    ASSERT_EQ(quotedView.size(), 1u);

    // Each view and trigger file also became a .sql file in the new folder.
    const QDir folder(server.dataFolder + QStringLiteral("recovered_objtest_fx_objects"));
    EXPECT_TRUE(folder.exists(QStringLiteral("v_order_totals.sql")));
    EXPECT_TRUE(folder.exists(QStringLiteral("v_customers.sql")));
    QFile script(folder.filePath(QStringLiteral("orders.sql")));
    ASSERT_TRUE(script.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(script.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("DELIMITER $$\n\nCREATE DEFINER")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("; $$\n\ndelimiter ;\n\n")));
    EXPECT_EQ(text.count(QStringLiteral("CREATE DEFINER")), 3);
    for (const char* name : {"recovered_objtest_fx_objects", "recovered_objtest_fx names"})
        dropDatabase(repair, server.dataFolder, QString::fromLatin1(name));
}

} // namespace
