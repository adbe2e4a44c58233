// innodb-rows-benchmark DATADIR DATABASE TABLE PORT
// Decodes every row of one InnoDB table straight from the files of DATADIR
// (as a repair reads them, without sending them anywhere), then times the
// running server's own SELECT ... INTO OUTFILE of the same table, and prints
// both times and their ratio. make-innodb-bench-table prepares the table.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/ReportWindow.h"
#include "engine/RowWriter.h"
#include "platform/OdbcConnection.h"
#include "recovery/innodb/InnodbChecksum.h"
#include "recovery/innodb/InnodbPage.h"
#include "recovery/innodb/InnodbRecordDecoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: innodb-rows-benchmark DATADIR DATABASE TABLE PORT\n");
        return 2;
    }
    const QString folder = QDir(args[1]).absolutePath() + QLatin1Char('/');
    engine::AppState app;
    engine::MySqlRepair repair(app);
    app.m_bManualFolder = true;
    app.m_strDataFolder = folder;
    app.m_strIbdataPath = folder + QStringLiteral("ibdata1");
    app.m_selectedDatabases << folder + args[2] + QLatin1Char('/');
    repair.ScanDataFolder();
    engine::TableInformation* table = nullptr;
    for (const auto& db : repair.m_databases)
        for (const auto& t : db->m_tables)
            if (t->m_name == args[3])
                table = t.get();
    if (!table) {
        std::fprintf(stderr, "no table %s\n", qPrintable(args[3]));
        return 1;
    }

    // Decode: every live record of every data page into RowValues, as a
    // repair does before binding them, each page's checksums verified first.
    QElapsedTimer timer;
    timer.start();
    app.m_bRepair = true;
    repair.LocateInnoDbTableData(*table);
    std::uint64_t rows = 0;
    std::uint64_t bytes = 0;
    std::uint64_t damagedPages = 0;
    using namespace recovery::innodb;
    InnodbTableLayout layout;
    layout.format = repair.m_innodb.IsRedundant() ? RecordFormat::Redundant : RecordFormat::Compact;
    layout.columns = repair.m_columns;
    layout.keyColumns = repair.m_keyColumns.size();
    layout.nullableColumns = static_cast<std::size_t>(app.m_nNullableColumns);
    InnodbRecordDecoder decoder(layout, repair.m_hDataFile, {});
    for (std::uint64_t p : repair.m_dataPages) {
        auto page = InnodbPage::read(repair.m_hDataFile, p);
        if (!page)
            continue;
        damagedPages += verifyPage(page->bytes()).integrity == PageIntegrity::Damaged ? 1 : 0;
        for (const InnodbRecord& record : page->records().records) {
            if (record.deleted)
                continue;
            auto values = decoder.decode(*page, record);
            if (!values)
                continue;
            ++rows;
            for (const auto& v : *values)
                bytes += static_cast<std::uint64_t>(v.bytes().size());
        }
    }
    const double decodeSeconds = timer.nsecsElapsed() / 1e9;

    // The server's own export of the same table.
    platform::OdbcConnection connection;
    connection.open(QStringLiteral("DRIVER={MySQL ODBC 5.1 Driver};SERVER=127.0.0.1;PORT=%1;UID=root;PWD=;")
                        .arg(args[4]));
    const QString outfile = QDir::tempPath() + QStringLiteral("/innodb-rows-benchmark-%1.txt")
                                .arg(QCoreApplication::applicationPid());
    QFile::remove(outfile);
    timer.restart();
    connection.execute(QStringLiteral("SELECT * FROM `%1`.`%2` INTO OUTFILE '%3'").arg(args[2], args[3], outfile));
    const double selectSeconds = timer.nsecsElapsed() / 1e9;
    QFile::remove(outfile);

    std::printf("rows %llu (%llu value bytes) of %zu data pages, %llu of them damaged\n",
                static_cast<unsigned long long>(rows), static_cast<unsigned long long>(bytes),
                repair.m_dataPages.size(), static_cast<unsigned long long>(damagedPages));
    std::printf("decode from files: %.3f s (including index descent)\n", decodeSeconds);
    std::printf("server SELECT INTO OUTFILE: %.3f s\n", selectSeconds);
    std::printf("ratio decode / server: %.2f\n", decodeSeconds / selectSeconds);
    return 0;
}
