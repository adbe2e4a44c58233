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
#include <QStringEncoder>

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
    EXPECT_EQ(ObjectDefinitionFile::QuotedListAsStored(values.value("triggers")),
              (QList<QByteArray>{"CREATE a\\nb \\'q\\' \\\\ ", "CREATE c"}));
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
    // Escapes as stored, as in the view's text.
    EXPECT_TRUE(shown[1].contains(QString::fromUtf8("NEW.note = \\'clamped \xc3\xa9\\';"))) << shown[1].toStdString();
    EXPECT_TRUE(shown[2].endsWith(QString::fromUtf8("CONCAT(\\'changed by \\'\\'\\', USER(), \\'\\'\\' \xc3\xbc\\')); $$\\nDELIMITER ;")))
        << shown[2].toStdString();
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

    // Each view and trigger file also became a .sql file in the new folder:
    // UTF-16LE without a byte-order mark, lines ending in CR LF; a view's
    // statement alone, without a line break after it.
    const QDir folder(server.dataFolder + QStringLiteral("recovered_objtest_fx_objects"));
    EXPECT_TRUE(folder.exists(QStringLiteral("v_order_totals.sql")));
    const auto utf16le = [](const char* utf8) {
        QStringEncoder encoder(QStringConverter::Utf16LE);
        return QByteArray(encoder.encode(QString::fromUtf8(utf8)));
    };
    const auto bytesOf = [&](const char* name) {
        QFile file(folder.filePath(QLatin1String(name)));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        return file.readAll();
    };
    const QByteArray view = bytesOf("v_customers.sql");
    EXPECT_EQ(view,
              utf16le("create view `v_customers` as select `recovered_objtest_fx_objects`.`customers`.`id` AS `id`,"
                      "`recovered_objtest_fx_objects`.`customers`.`name` AS `name`,"
                      "`recovered_objtest_fx_objects`.`customers`.`city` AS `city` "
                      "from `recovered_objtest_fx_objects`.`customers` "
                      "where `recovered_objtest_fx_objects`.`customers`.`city` is not null;"))
        << view.toHex().toStdString();
    // "DELIMITER $$", an empty line, each trigger followed by ";" and " $$"
    // and an empty line, "delimiter ;", an empty line.
    const QByteArray script = bytesOf("orders.sql");
    EXPECT_EQ(script,
              utf16le("DELIMITER $$\r\n\r\n"
                      "CREATE DEFINER=`root`@`localhost` TRIGGER orders_bi BEFORE INSERT ON orders FOR EACH ROW\r\n"
                      "BEGIN\r\n  -- normalise the status\r\n  SET NEW.status = UPPER(NEW.status);\r\nEND; $$\r\n\r\n"
                      "CREATE DEFINER=`root`@`localhost` TRIGGER orders_bi_clamp BEFORE INSERT ON orders FOR EACH ROW\r\n"
                      "BEGIN\r\n  IF NEW.amount < 0 THEN\r\n    SET NEW.amount = 0, NEW.note = 'clamped \xc3\xa9';\r\n"
                      "  END IF;\r\nEND; $$\r\n\r\n"
                      "CREATE DEFINER=`root`@`localhost` TRIGGER orders_au AFTER UPDATE ON orders FOR EACH ROW\r\n"
                      "  INSERT INTO order_log (order_id, old_amount, new_amount, msg)\r\n"
                      "  VALUES (NEW.id, OLD.amount, NEW.amount, CONCAT('changed by ''', USER(), ''' \xc3\xbc')); $$\r\n\r\n"
                      "delimiter ;\r\n\r\n"))
        << QString::fromUtf16(reinterpret_cast<const char16_t*>(script.constData()), script.size() / 2).toStdString();
    for (const char* name : {"recovered_objtest_fx_objects", "recovered_objtest_fx names"})
        dropDatabase(repair, server.dataFolder, QString::fromLatin1(name));
}

} // namespace
