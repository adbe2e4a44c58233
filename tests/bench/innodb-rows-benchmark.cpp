// innodb-rows-benchmark [--preview | --preview-whole] DATADIR DATABASE TABLE PORT
// Decodes every row of one InnoDB table straight from the files of DATADIR
// (as a repair reads them, without sending them anywhere), then times the
// running server's own SELECT ... INTO OUTFILE of the same table, and prints
// both times and their ratio. make-innodb-bench-table prepares the table.
// --preview reads only the table's first preview page instead, as the
// preview does (table preparation, then the page), and prints its time and
// the memory it took: the peak resident size during it less the resident
// size the program had after the scan. --preview-whole reads that page with
// every value whole (as grisolt-dump does, and as the preview did before it
// showed placeholders for off-page values).
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
#include <fstream>
#include <string>

namespace {

// A "Vm..." line of /proc/self/status, in KiB.
long long statusKib(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key + ":", 0) == 0)
            return std::stoll(line.substr(key.size() + 1));
    return -1;
}

// Starts the peak resident size afresh from the current one.
void resetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QStringList args = application.arguments();
    const bool previewWhole = args.removeAll(QStringLiteral("--preview-whole")) > 0;
    const bool preview = args.removeAll(QStringLiteral("--preview")) > 0 || previewWhole;
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: innodb-rows-benchmark [--preview | --preview-whole] DATADIR DATABASE TABLE PORT\n");
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

    QElapsedTimer timer;
    std::uint64_t rows = 0;
    std::uint64_t bytes = 0;
    std::uint64_t damagedPages = 0;
    double decodeSeconds = 0;
    long long idleKib = 0;
    long long peakKib = 0;
    if (preview) {
        // The preview's job: the table prepared, then its first page into
        // the grid's (column, text) pairs.
        resetPeakResident();
        idleKib = statusKib("VmRSS");
        timer.start();
        repair.m_bWholeValues = previewWhole;
        repair.LocateInnoDbTableData(*table);
        app.m_nPage = 0;
        if (!repair.m_dataPages.empty())
            repair.RecoverInnoDbRows(repair.m_dataPages.front(), *table);
        decodeSeconds = timer.nsecsElapsed() / 1e9;
        peakKib = statusKib("VmHWM");
        for (const auto& cell : repair.m_pageRows)
            bytes += static_cast<std::uint64_t>(cell.m_value.size()) * 2;
        rows = repair.m_columns.empty() ? 0 : repair.m_pageRows.size() / repair.m_columns.size();
    } else {
        // Decode: every live record of every data page into RowValues, as a
        // repair does before binding them, each page's checksums verified first.
        timer.start();
        app.m_bRepair = true;
        repair.LocateInnoDbTableData(*table);
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
        decodeSeconds = timer.nsecsElapsed() / 1e9;
    }

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

    if (preview) {
        std::printf("first preview page%s: %llu rows (%llu bytes of text)\n", previewWhole ? ", values whole" : "",
                    static_cast<unsigned long long>(rows), static_cast<unsigned long long>(bytes));
        std::printf("resident after the scan: %.1f MiB; peak during the page: %.1f MiB (%.1f MiB above)\n",
                    idleKib / 1024.0, peakKib / 1024.0, (peakKib - idleKib) / 1024.0);
        std::printf("first preview page: %.3f s (including index descent)\n", decodeSeconds);
    } else {
        std::printf("rows %llu (%llu value bytes) of %zu data pages, %llu of them damaged\n",
                    static_cast<unsigned long long>(rows), static_cast<unsigned long long>(bytes),
                    repair.m_dataPages.size(), static_cast<unsigned long long>(damagedPages));
        std::printf("decode from files: %.3f s (including index descent)\n", decodeSeconds);
    }
    std::printf("server SELECT INTO OUTFILE: %.3f s\n", selectSeconds);
    std::printf("ratio %s / server: %.2f\n", preview ? "page" : "decode", decodeSeconds / selectSeconds);
    return 0;
}
