// scan-benchmark FIXTURE_DATA [TABLES]
// Times the scan of a data folder with TABLES table definitions (default
// 2000), made by copying the fixture's definitions: MyISAM tables with their
// data files, and InnoDB tables of the shared tablespace, looked up in its
// dictionary. Prints the time per thousand tables.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/ReportWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: scan-benchmark FIXTURE_DATA [TABLES]\n");
        return 2;
    }
    const QString source = args[1];
    const int count = args.size() > 2 ? args[2].toInt() : 2000;
    QTemporaryDir dir;
    const QString data = dir.path() + QStringLiteral("/data");
    QFile::copy(source + QStringLiteral("/ibdata1"), data + QStringLiteral("/ibdata1"));
    QStringList models;
    for (const char* db : {"fx_myisam", "fx_innodb_sys"})
        for (const QString& frm : QDir(source + "/" + db).entryList({QStringLiteral("*.frm")}))
            models << source + "/" + db + "/" + frm;
    for (int i = 0; i < count; ++i) {
        const QString db = data + QStringLiteral("/db%1").arg(i / 100);
        QDir().mkpath(db);
        const QString model = models[i % models.size()];
        const QString base = db + QStringLiteral("/t%1").arg(i);
        QFile::copy(model, base + QStringLiteral(".frm"));
        QString myd = model;
        myd.replace(QStringLiteral(".frm"), QStringLiteral(".MYD"));
        if (QFile::exists(myd))
            QFile::copy(myd, base + QStringLiteral(".MYD"));
    }
    QFile::copy(source + QStringLiteral("/ibdata1"), data + QStringLiteral("/ibdata1"));

    engine::AppState app;
    engine::MySqlRepair repair(app);
    app.m_bManualFolder = true;
    app.m_strDataFolder = data;
    app.m_strIbdataPath = data + QStringLiteral("/ibdata1");
    QElapsedTimer timer;
    timer.start();
    repair.ListDatabaseFolders();
    for (const auto& record : app.m_dataFolders)
        app.m_selectedDatabases << record.m_databaseFolders;
    repair.ScanDataFolder();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    std::size_t tables = 0;
    for (const auto& database : repair.m_databases)
        tables += database->m_tables.size();
    std::printf("%zu tables scanned in %.1f ms: %.1f ms per 1000 tables\n", tables, ms, ms * 1000.0 / count);
    return tables == static_cast<std::size_t>(count) ? 0 : 1;
}
