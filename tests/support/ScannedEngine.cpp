#include "tests/support/ScannedEngine.h"

#include "engine/FileNameCodec.h"
#include "engine/RowWriter.h"

#include <QDir>

namespace testsupport {

ScannedEngine::ScannedEngine(const QString& dataFolder, const QStringList& databaseFolders)
{
    repair.m_hWndReport = &report;
    repair.m_hWndScanProgress = &report;
    QString folder = dataFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    app.m_bManualFolder = true;
    app.m_strDataFolder = folder;
    app.m_strIbdataPath = folder + QStringLiteral("ibdata1");
    repair.ListDatabaseFolders();
    for (const auto& record : app.m_dataFolders)
        for (const QString& db : record.m_databaseFolders)
            if (databaseFolders.contains(QDir(db).dirName()))
                app.m_selectedDatabases << db;
    repair.ScanDataFolder();
}

engine::TableInformation* ScannedEngine::table(const QString& database, const QString& name) const
{
    for (const auto& db : repair.m_databases)
        if (db->m_name == database || engine::FileNameCodec::Decode(db->m_name) == database)
            for (const auto& t : db->m_tables)
                if (t->m_name == name || engine::FileNameCodec::Decode(t->m_name) == name)
                    return t.get();
    return nullptr;
}

void ScannedEngine::connectTo(const ScratchServer& server)
{
    repair.m_login = {server.host, server.user, server.password};
    app.m_service.m_port = server.port;
    repair.m_strDataFolder = server.dataFolder;
    repair.OpenConnection();
}

void ScannedEngine::repairIntoServer()
{
    app.m_bManualFolder = false;
    app.m_bRepair = true;
    repair.RepairDatabases();
    app.m_bRepair = false;
}

QString ScannedEngine::repairAs(const ScratchServer& server, const QString& name)
{
    if (repair.m_databases.size() != 1)
        return {};
    repair.m_databases[0]->m_name = engine::FileNameCodec::Encode(name);
    const QString target = QStringLiteral("recovered_") + name;
    connectTo(server);
    repair.RunStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + engine::RowWriter::QuoteName(target));
    repairIntoServer();
    return target;
}

} // namespace testsupport
