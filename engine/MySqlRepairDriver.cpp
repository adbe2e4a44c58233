// The repair driver: every database of the model re-created on the server
// as "recovered_" + name, with its tables, rows, views and triggers.
#include "engine/MySqlRepair.h"

#include "engine/AppState.h"
#include "engine/FileNameCodec.h"
#include "engine/ReportWindow.h"
#include "engine/RowWriter.h"
#include "engine/StringTable.h"
#include "engine/TableStatements.h"

namespace engine {

namespace {

constexpr int kDatabaseExists = 1007;

} // namespace

QString MySqlRepair::RecoveredDatabaseName(const QString& name, int attempt) const
{
    return attempt == 0 ? QStringLiteral("recovered_") + name
                        : QStringLiteral("recovered_%1_").arg(attempt) + name;
}

QString MySqlRepair::CreateRecoveredDatabase(const QString& name)
{
    // A name whose folder exists, or that the server already has, is taken:
    // nothing of an earlier repair is ever written over.
    for (int attempt = 0; attempt < 10000; ++attempt) {
        const QString candidate = RecoveredDatabaseName(name, attempt);
        if (!m_strDataFolder.isEmpty() && m_diskObject.DirectoryExists(m_strDataFolder + FileNameCodec::Encode(candidate)))
            continue;
        const QString sql = QStringLiteral("create database ") + RowWriter::QuoteName(candidate);
        try {
            RunStatement(sql);
        } catch (const platform::OdbcError& error) {
            if (error.code() == kDatabaseExists)
                continue;
            // Once more on a new connection, as a broken connection fails everything.
            CloseConnection();
            OpenConnection();
            if (!RunLoggedStatement(sql, QStringLiteral("Database %1 could not be created:").arg(candidate)))
                return candidate;
        }
        m_createdDatabases.append(candidate);
        return candidate;
    }
    return RecoveredDatabaseName(name, 0);
}

void MySqlRepair::CreateTables(MySqlInfo& database)
{
    ReportProgress(PROGRESS_BEGIN, static_cast<std::intptr_t>(database.m_tables.size()));
    for (const auto& table : database.m_tables) {
        ReportProgress(PROGRESS_STEP);
        if (stopRequested())
            break;
        const QString name = TableStatements::SqlName(table->m_name);
        const QString statement = TableStatements::CreateTable(*table);
        table->m_created = RunLoggedStatement(statement, QStringLiteral("Table %1 could not be created:").arg(name));
        if (table->m_created)
            continue;
        CloseConnection();
        OpenConnection();
        // Options this server refuses cost the options, not the table.
        const QString plain = TableStatements::CreateTable(*table, false);
        if (plain == statement || stopRequested())
            continue;
        table->m_created = RunLoggedStatement(plain, QStringLiteral("Table %1 could not be created:").arg(name));
        if (table->m_created) {
            AppendLog(QStringLiteral("Table %1 is created without its options:%2")
                          .arg(name, TableStatements::TableOptionsClause(*table)));
        } else {
            CloseConnection();
            OpenConnection();
        }
    }
}

void MySqlRepair::TurnBackIntoInnodb(const TableInformation& table)
{
    const QString name = TableStatements::SqlName(table.m_name);
    const QString what = QStringLiteral("Table %1 could not be turned back into InnoDB:").arg(name);
    const QString statement = TableStatements::AlterToInnodb(table);
    if (RunLoggedStatement(statement, what) || stopRequested())
        return;
    // Options this server refuses cost the options, not the engine.
    const QString plain = TableStatements::AlterToInnodb(table, false);
    if (plain != statement && RunLoggedStatement(plain, what))
        AppendLog(QStringLiteral("Table %1 is turned back into InnoDB without its options:%2")
                      .arg(name, TableStatements::TableOptionsClause(table)));
}

void MySqlRepair::MoveTableRows(TableInformation& table)
{
    const QString name = TableStatements::SqlName(table.m_name);
    m_app.setStatusPane2(name);
    AppendLog(QStringLiteral("Table in process.. ") + name);
    AppendLog(QStringLiteral("Total column(s) persent : ") + QString::number(table.m_columnCount));
    CloseConnection();
    OpenConnection();
    m_rowsWritten = 0;
    m_rowsFailed = 0;
    if (!table.m_created) {
        AppendLog(QStringLiteral("Corrupted Table"));
        return;
    }
    if (table.m_engine == QLatin1String("myisam")) {
        RecoverMyIsamTable(table);
    } else if (table.m_engine == QLatin1String("innodb")) {
        m_dataPages.clear();
        LocateInnoDbTableData(table);
        const std::vector<std::uint64_t> pages = m_dataPages;
        for (const std::uint64_t page : pages) {
            if (stopRequested())
                break;
            RecoverInnoDbRows(page, table);
        }
        // The ALTER copies every row written so far; after a Stop the user
        // must not wait for that.
        if (stopRequested())
            AppendLog(QStringLiteral("Table %1 stays MyISAM: the repair was stopped before it was turned back "
                                     "into InnoDB.")
                          .arg(name));
        else
            TurnBackIntoInnodb(table);
    }
    AppendLog(StringTable::Load(IDS_RECORDS_RECOVERED) + QStringLiteral("  ") + QString::number(m_rowsWritten));
    if (m_rowsFailed > 0)
        AppendLog(QStringLiteral("Rows that could not be inserted : ") + QString::number(m_rowsFailed));
}

void MySqlRepair::RepairDatabases()
{
    // Where a stop landed, for the log: the first place it was seen.
    QString stopPoint;
    const auto noteStop = [&](const QString& where) {
        if (stopPoint.isEmpty())
            stopPoint = where;
    };
    ReportProgress(PROGRESS_BEGIN, static_cast<std::intptr_t>(m_databases.size()));
    for (const auto& database : m_databases) {
        const QString name = FileNameCodec::Decode(database->m_name);
        if (stopRequested()) {
            noteStop(QStringLiteral("before database %1").arg(name));
            break;
        }
        AppendLog(StringTable::Load(IDS_DATABASE_IN_PROCESS) + QStringLiteral("  ") + name);
        m_app.setStatusPane1(name);

        const QString newName = CreateRecoveredDatabase(name);
        m_strUseStatement = QStringLiteral("use ") + RowWriter::QuoteName(newName);
        RunLoggedStatement(m_strUseStatement, QStringLiteral("Database %1 could not be used:").arg(newName));

        CreateTables(*database);
        if (!database->m_viewFiles.isEmpty())
            RecoverViews(*database, newName);

        for (const auto& table : database->m_tables) {
            const QString tableName = TableStatements::SqlName(table->m_name);
            if (stopRequested()) {
                noteStop(QStringLiteral("in database %1 before table %2").arg(name, tableName));
                break;
            }
            MoveTableRows(*table);
            if (stopRequested())
                noteStop(QStringLiteral("in table %1 of database %2, after %3 record(s) of it")
                             .arg(tableName, name)
                             .arg(m_rowsWritten));
        }
        // Triggers come after the rows, so that they do not fire on them.
        CloseConnection();
        OpenConnection();
        if (!database->m_triggerFiles.isEmpty())
            RecoverTriggers(*database, newName);

        AppendLog(QString(45, QLatin1Char('-')));
        m_app.setStatusPane1(QString());
        m_app.setStatusPane2(QString());
        ReportProgress(PROGRESS_END);
    }
    if (stopRequested())
        AppendLog(QStringLiteral("The repair was stopped by the user %1; the records, tables and databases after "
                                 "that point were not recovered.")
                      .arg(stopPoint.isEmpty() ? QStringLiteral("after the last table") : stopPoint));
    CloseConnection();
    if (m_app.m_bManualFolder)
        RestoreOriginalIbdata();
    m_app.m_bTablesFound = false;
}

} // namespace engine
