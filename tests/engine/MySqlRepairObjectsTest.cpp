#include "engine/AppState.h"
#include "engine/FileNameCodec.h"
#include "engine/MySqlRepair.h"
#include "engine/ObjectDefinitionFile.h"
#include "engine/ReportWindow.h"
#include "engine/RowWriter.h"
#include "engine/TableStatements.h"
#include "engine/TriggerSession.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/ScannedEngine.h"
#include "tests/support/ScratchServer.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringEncoder>

#include <gtest/gtest.h>

using engine::ObjectDefinitionFile;
using engine::RowWriter;

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
              utf16le("CREATE ALGORITHM=UNDEFINED DEFINER=`root`@`localhost` VIEW `v_customers` AS "
                      "select `recovered_objtest_fx_objects`.`customers`.`id` AS `id`,"
                      "`recovered_objtest_fx_objects`.`customers`.`name` AS `name`,"
                      "`recovered_objtest_fx_objects`.`customers`.`city` AS `city` "
                      "from `recovered_objtest_fx_objects`.`customers` "
                      "where `recovered_objtest_fx_objects`.`customers`.`city` is not null "
                      "WITH CASCADED CHECK OPTION;"))
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

// The fixture database of views with their own ALGORITHM, SQL SECURITY,
// DEFINER and CHECK OPTION, and triggers made under their own sql_mode and
// character sets, repaired by the driver onto the scratch server.
class ClausesRepair : public ::testing::Test {
protected:
    static constexpr const char* kSet = "default";
    const QString kTarget = QStringLiteral("recovered_fx_views");

    void SetUp() override
    {
        ASSERT_TRUE(m_server.running());
        m_scanned.repair.m_login = {m_server.host, m_server.user, m_server.password};
        m_scanned.app.m_service.m_port = m_server.port;
        m_scanned.repair.m_strDataFolder = m_server.dataFolder;
        ASSERT_EQ(m_scanned.repair.m_databases.size(), 1u);
    }

    // SHOW CREATE VIEW of the original, with the new database's name.
    QString expectedView(const QString& name) const
    {
        QFile file(testsupport::FixtureSet::expectedFile(QLatin1String(kSet), QStringLiteral("fx_views"), name,
                                                         QStringLiteral(".create.sql")));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        return QString::fromUtf8(file.readAll()).trimmed().replace(QStringLiteral("`fx_views`."),
                                                                  RowWriter::QuoteName(kTarget) + QLatin1Char('.'));
    }
    QString shownView(const QString& name)
    {
        const auto shown = m_scanned.repair.m_connection->query(QStringLiteral("SHOW CREATE VIEW ")
                                                                + RowWriter::QuoteName(kTarget) + QLatin1Char('.')
                                                                + RowWriter::QuoteName(name));
        return shown.size() == 1 && shown[0].size() > 1 ? shown[0][1].value_or(QString()) : QString();
    }
    QStringList viewNames() const
    {
        QStringList names;
        for (const QStringList& row : testsupport::FixtureSet::readTsv(testsupport::FixtureSet::folder(QLatin1String(kSet))
                                                                        + QStringLiteral("/expected/tables.tsv")))
            if (row.value(0) == QLatin1String("fx_views") && row.value(2) == QLatin1String("VIEW"))
                names << row.value(1);
        return names;
    }
    QString log() const { return m_scanned.report.log().join(QLatin1Char('\n')); }

    testsupport::ScratchServer m_server = testsupport::ScratchServer::fromEnvironment();
    testsupport::ScannedEngine m_scanned{testsupport::FixtureSet::dataFolder(QLatin1String(kSet)),
                                         {QStringLiteral("fx_views")}};
};

TEST_F(ClausesRepair, ViewsAndTriggersComeBackAsTheyWereMade)
{
    engine::MySqlRepair& repair = m_scanned.repair;
    repair.OpenConnection();
    dropDatabase(repair, m_server.dataFolder, kTarget);
    // One definer that this server knows, one it does not.
    repair.RunStatement(QStringLiteral("CREATE USER IF NOT EXISTS 'fx_owner'@'localhost'"));
    repair.RunStatement(QStringLiteral("DROP USER IF EXISTS 'fx_gone''s'@'%'"));
    m_scanned.repairIntoServer();
    ASSERT_EQ(repair.m_createdDatabases, QStringList{kTarget}) << log().toStdString();
    EXPECT_EQ(repair.m_statementsFailed, 0u) << log().toStdString();
    repair.OpenConnection();

    // Each view as the server showed the original (which names the view's
    // database only from another one).
    repair.RunStatement(QStringLiteral("USE information_schema"));
    const QStringList views = viewNames();
    EXPECT_EQ(views.size(), 6);
    for (const QString& name : views)
        EXPECT_EQ(shownView(name).toStdString(), expectedView(name).toStdString()) << name.toStdString();
    // Its .sql file holds the statement: the clauses the file gave (no
    // SQL SECURITY where the original had none given).
    const auto sqlFile = [&](const char* name) {
        QFile file(m_server.dataFolder + kTarget + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".sql"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        const QByteArray bytes = file.readAll();
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2).toStdString();
    };
    EXPECT_EQ(sqlFile("v_in_stock"),
              "CREATE ALGORITHM=MERGE DEFINER=`root`@`localhost` SQL SECURITY INVOKER VIEW `v_in_stock` AS select "
              "`recovered_fx_views`.`items`.`id` AS `id`,`recovered_fx_views`.`items`.`name` AS `name`,"
              "`recovered_fx_views`.`items`.`qty` AS `qty` from `recovered_fx_views`.`items` "
              "where `recovered_fx_views`.`items`.`qty` > 0 WITH CASCADED CHECK OPTION;");
    EXPECT_EQ(sqlFile("v_orphan"), "CREATE ALGORITHM=UNDEFINED DEFINER=`fx_gone's`@`%` VIEW `v_orphan` AS select "
                                   "`recovered_fx_views`.`items`.`id` AS `id` from `recovered_fx_views`.`items`;");
    // The view whose definer is gone is kept, refused, and the log says how to mend it.
    EXPECT_TRUE(log().contains(QStringLiteral("View v_orphan: its definer `fx_gone's`@`%` does not exist on this server")))
        << log().toStdString();
    EXPECT_FALSE(log().contains(QStringLiteral("View v_owned: its definer"))) << "fx_owner exists";
    EXPECT_THROW(repair.m_connection->query(QStringLiteral("SELECT * FROM recovered_fx_views.v_orphan")),
                 platform::OdbcError);
    // One that runs with its caller's rights needs no definer: no line, and it answers.
    EXPECT_FALSE(log().contains(QStringLiteral("View v_orphan_invoker: its definer"))) << log().toStdString();
    EXPECT_EQ(repair.m_connection->query(QStringLiteral("SELECT * FROM recovered_fx_views.v_orphan_invoker")).size(), 3u);

    // The rows came over as they were: the triggers came after them.
    for (const char* table : {"items", "item_log"}) {
        QString select = QString::fromUtf8([&] {
            QFile file(testsupport::FixtureSet::expectedFile(QLatin1String(kSet), QStringLiteral("fx_views"),
                                                             QLatin1String(table), QStringLiteral(".rows.sql")));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            return file.readAll();
        }());
        select.replace(QStringLiteral("`fx_views`."), RowWriter::QuoteName(kTarget) + QLatin1Char('.'));
        select = select.trimmed();
        select.chop(1);
        const auto rows = repair.m_connection->query(select);
        const auto expected = testsupport::ExpectedRows::load(QLatin1String(kSet), QStringLiteral("fx_views"),
                                                              QLatin1String(table));
        EXPECT_TRUE(rows == expected.rows()) << table;
    }

    // Each trigger under the sql_mode and character sets it was made under.
    QMap<QString, QString> modes;
    for (const QStringList& row : testsupport::FixtureSet::readTsv(testsupport::FixtureSet::folder(QLatin1String(kSet))
                                                                    + QStringLiteral("/expected/triggers.tsv")))
        if (row.value(0) == QLatin1String("fx_views"))
            modes[row.value(1)] = row.value(7);
    ASSERT_EQ(modes.size(), 4);
    QMap<QString, QString> recovered;
    for (const auto& row : repair.m_connection->query(QStringLiteral(
             "SELECT TRIGGER_NAME, SQL_MODE, CHARACTER_SET_CLIENT, COLLATION_CONNECTION FROM information_schema.TRIGGERS "
             "WHERE TRIGGER_SCHEMA = 'recovered_fx_views'")))
        recovered[row[0].value_or(QString())] = row[1].value_or(QString());
    const auto lines = [](const QMap<QString, QString>& map) {
        QStringList out;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            out << it.key() + QLatin1Char(' ') + it.value();
        return out.join(QLatin1Char('\n')).toStdString();
    };
    EXPECT_EQ(lines(recovered), lines(modes));
    const auto latin1 = repair.m_connection->query(QStringLiteral(
        "SELECT CHARACTER_SET_CLIENT, COLLATION_CONNECTION FROM information_schema.TRIGGERS "
        "WHERE TRIGGER_SCHEMA = 'recovered_fx_views' AND TRIGGER_NAME = 'items_bu'"));
    ASSERT_EQ(latin1.size(), 1u);
    EXPECT_EQ(latin1[0][0], QStringLiteral("latin1"));
    EXPECT_EQ(latin1[0][1], QStringLiteral("latin1_swedish_ci"));

    // The trigger file's .sql holds the settings around the triggers that had their own.
    const std::string script = sqlFile("items");
    EXPECT_NE(script.find("DELIMITER $$\r\n\r\nSET SESSION sql_mode = 'NO_ENGINE_SUBSTITUTION' $$\r\n\r\n"
                          "CREATE DEFINER=`root`@`localhost` TRIGGER items_bi "),
              std::string::npos)
        << script;
    EXPECT_NE(script.find("SET SESSION character_set_client = latin1, collation_connection = latin1_swedish_ci $$\r\n\r\n"
                          "CREATE DEFINER=`root`@`localhost` TRIGGER items_bu "),
              std::string::npos)
        << script;

    // They work as the originals did. A write through a view that its
    // CHECK OPTION refuses is refused.
    repair.RunStatement(QStringLiteral("USE recovered_fx_views"));
    EXPECT_THROW(repair.RunStatement(QStringLiteral("INSERT INTO v_in_stock VALUES (10, 'none', 0)")), platform::OdbcError);
    EXPECT_THROW(repair.RunStatement(QStringLiteral("INSERT INTO v_small VALUES (11, 'many', 30)")), platform::OdbcError);
    EXPECT_THROW(repair.RunStatement(QStringLiteral("UPDATE v_in_stock SET qty = 0 WHERE id = 1")), platform::OdbcError);
    EXPECT_THROW(repair.RunStatement(QStringLiteral("INSERT INTO v_totals VALUES (1, 1)")), platform::OdbcError)
        << "TEMPTABLE: not updatable";
    // Not strict: the trigger's note is cut to its column; || joins.
    repair.RunStatement(QStringLiteral("INSERT INTO v_small VALUES (12, 'long-named', 5)"));
    const auto added = repair.m_connection->query(QStringLiteral(
        "SELECT i.note, l.msg FROM items i JOIN item_log l ON l.item_id = i.id WHERE i.id = 12"));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0][0], QStringLiteral("added long-n"));
    EXPECT_EQ(added[0][1], QStringLiteral("new long-named"));
    repair.RunStatement(QStringLiteral("UPDATE items SET qty = -4 WHERE id = 12"));
    const auto clamped = repair.m_connection->query(QStringLiteral("SELECT qty FROM items WHERE id = 12"));
    ASSERT_EQ(clamped.size(), 1u);
    EXPECT_EQ(clamped[0][0], QStringLiteral("0"));

    // Made again on the same connection, the triggers leave its own
    // settings as they were.
    const QString session = QStringLiteral("SELECT @@SESSION.sql_mode, @@SESSION.character_set_client, "
                                           "@@SESSION.collation_connection");
    const auto before = repair.m_connection->query(session);
    for (const QString& name : modes.keys())
        repair.RunStatement(QStringLiteral("DROP TRIGGER ") + name);
    repair.RecoverTriggers(*repair.m_databases[0], kTarget);
    EXPECT_TRUE(repair.m_connection->query(session) == before);
    EXPECT_EQ(repair.m_connection->query(QStringLiteral("SELECT COUNT(*) FROM information_schema.TRIGGERS "
                                                        "WHERE TRIGGER_SCHEMA = 'recovered_fx_views'"))[0][0],
              QStringLiteral("4"));
    dropDatabase(repair, m_server.dataFolder, kTarget);
}

// A login that may not name another account as definer: the views are made
// with its own, and the log says so. A damaged clause costs that clause.
TEST_F(ClausesRepair, RefusedDefinerAndDamagedClauses)
{
    engine::MySqlRepair& repair = m_scanned.repair;
    const QString target = QStringLiteral("recovered_fx_views_limited");
    repair.OpenConnection();
    dropDatabase(repair, m_server.dataFolder, target);
    repair.RunStatement(QStringLiteral("CREATE DATABASE ") + RowWriter::QuoteName(target));
    for (const char* host : {"localhost", "127.0.0.1", "%"}) {
        const QString account = QStringLiteral("'fx_limited'@'%1'").arg(QLatin1String(host));
        repair.RunStatement(QStringLiteral("CREATE USER IF NOT EXISTS ") + account + QStringLiteral(" IDENTIFIED BY 'pw'"));
        repair.RunStatement(QStringLiteral("GRANT ALL ON `recovered_fx_views_limited`.* TO ") + account);
        // The connection string opens the database mysql.
        repair.RunStatement(QStringLiteral("GRANT SELECT ON mysql.* TO ") + account);
    }
    repair.RunStatement(QStringLiteral("CREATE USER IF NOT EXISTS 'fx_owner'@'localhost'"));

    // One view file with an algorithm no server writes.
    testsupport::TempDir temp;
    engine::MySqlInfo& database = *repair.m_databases[0];
    const qsizetype at = database.m_viewFiles.indexOf(QRegularExpression(QStringLiteral(".*/v_in_stock\\.frm$")));
    ASSERT_GE(at, 0);
    {
        QFile original(database.m_viewFiles[at]);
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        QByteArray bytes = original.readAll();
        bytes.replace("\nalgorithm=1\n", "\nalgorithm=7\n");
        QFile damaged(temp.path() + QStringLiteral("/v_in_stock.frm"));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(bytes);
        database.m_viewFiles[at] = damaged.fileName();
    }

    repair.m_login = {m_server.host, QStringLiteral("fx_limited"), QStringLiteral("pw")};
    repair.OpenConnection();
    repair.RunStatement(QStringLiteral("USE ") + RowWriter::QuoteName(target));
    for (const auto& table : database.m_tables)
        repair.RunStatement(engine::TableStatements::CreateTable(*table));
    repair.RecoverViews(database, target);
    EXPECT_EQ(repair.m_statementsFailed, 0u) << log().toStdString();
    const auto current = repair.m_connection->query(QStringLiteral("SELECT CURRENT_USER()"));
    ASSERT_EQ(current.size(), 1u);
    const QString self = current[0][0].value_or(QString());
    const QString definer = QStringLiteral("`fx_limited`@`%1`").arg(self.section(QLatin1Char('@'), 1));

    const auto shown = [&](const char* name) {
        const auto rows = repair.m_connection->query(QStringLiteral("SHOW CREATE VIEW ") + QLatin1String(name));
        return rows.size() == 1 ? rows[0][1].value_or(QString()) : QString();
    };
    // Made without the clause: the login is the definer; the rest stays.
    EXPECT_TRUE(shown("v_totals").startsWith(QStringLiteral("CREATE ALGORITHM=TEMPTABLE DEFINER=") + definer
                                             + QStringLiteral(" SQL SECURITY DEFINER VIEW `v_totals`")))
        << shown("v_totals").toStdString();
    EXPECT_TRUE(log().contains(QStringLiteral("View v_totals was made without its DEFINER=`root`@`localhost`")))
        << log().toStdString();
    EXPECT_TRUE(log().contains(QStringLiteral("View v_owned was made without its DEFINER=`fx_owner`@`localhost`")));
    // The damaged algorithm is left out; its CHECK OPTION and SQL SECURITY are kept.
    EXPECT_TRUE(log().contains(QStringLiteral("View v_in_stock: its algorithm= value \"7\" is not one the server "
                                              "writes; the view is made without its ALGORITHM clause.")))
        << log().toStdString();
    EXPECT_TRUE(shown("v_in_stock").startsWith(QStringLiteral("CREATE ALGORITHM=UNDEFINED DEFINER=") + definer
                                               + QStringLiteral(" SQL SECURITY INVOKER VIEW `v_in_stock`")))
        << shown("v_in_stock").toStdString();
    EXPECT_TRUE(shown("v_in_stock").endsWith(QStringLiteral(" WITH CASCADED CHECK OPTION")));

    repair.m_login = {m_server.host, m_server.user, m_server.password};
    repair.OpenConnection();
    dropDatabase(repair, m_server.dataFolder, target);
    for (const char* host : {"localhost", "127.0.0.1", "%"})
        repair.RunStatement(QStringLiteral("DROP USER 'fx_limited'@'%1'").arg(QLatin1String(host)));
}

// Every sql_mode bit's name is the one the server lists for it.
TEST(TriggerSessionServer, ModeNamesAreTheServers)
{
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    platform::OdbcConnection connection;
    connection.open(server.connectionString());
    for (int bit = 0; bit < 35; ++bit) {
        SCOPED_TRACE(bit);
        const auto names = engine::TriggerSession::SqlModeNames(std::uint64_t{1} << bit);
        ASSERT_TRUE(names.has_value());
        connection.execute(QStringLiteral("SET SESSION sql_mode = %1").arg(std::uint64_t{1} << bit));
        const auto shown = connection.query(QStringLiteral("SELECT @@SESSION.sql_mode"));
        ASSERT_EQ(shown.size(), 1u);
        // A composite mode lists the modes it stands for beside its own name.
        EXPECT_TRUE(shown[0][0].value_or(QString()).split(QLatin1Char(',')).contains(*names)) << shown[0][0]->toStdString();
    }
    EXPECT_FALSE(engine::TriggerSession::SqlModeNames(std::uint64_t{1} << 35).has_value());
}

} // namespace
