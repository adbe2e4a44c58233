// What the scan, the repair's log and grisolt-dump say of a data folder whose
// server was killed during writes, against one shut down cleanly: the rows
// read are those of the data files; the user is told when the redo log holds
// more.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/TempDir.h"
#include "tests/tools/DumpOutput.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QString kWarning = QStringLiteral("The server did not shut down cleanly: its redo log ");
const QString kBornLate = QStringLiteral(
    "Table born_late in database fx_crash is not in the InnoDB data dictionary, likely because the server did not "
    "shut down cleanly: a table made shortly before that is known only to the redo log, which is not read.");
const QString kLateCafe = QStringLiteral(
    "Table late-café in database fx_crash is not in the InnoDB data dictionary, likely because the server did not "
    "shut down cleanly: a table made shortly before that is known only to the redo log, which is not read.");
const QString kNotInDictionary =
    QStringLiteral("Table fx_crash/born_late: table fx_crash/born_late is not in the data dictionary");
const QString kCafeNotInDictionary =
    QStringLiteral("Table fx_crash/late@002dcaf@0p: table fx_crash/late@002dcaf@0p is not in the data dictionary");

QString crashFixture(const QString& set)
{
    return QStringLiteral(GRISOLT_CRASH_FIXTURES_DIR) + QLatin1Char('/') + set + QStringLiteral("/data");
}

// The server's count of a table's rows (after it applied the redo log).
QString serverCount(const QString& set, const QString& table)
{
    for (const QStringList& row : testsupport::readTsv(crashFixture(set) + QStringLiteral("/../expected/counts.tsv")))
        if (row.value(1) == table)
            return row.value(2);
    return QString();
}

struct Scan {
    engine::AppState app;
    engine::MySqlRepair repair{app};
    testsupport::RecordingReportWindow report{app};

    Scan(const QString& data, const QString& ibdata)
    {
        repair.m_hWndReport = &report;
        app.m_bManualFolder = true;
        app.m_strDataFolder = data;
        app.m_strIbdataPath = ibdata;
        app.m_selectedDatabases = {data + QStringLiteral("/fx_crash/")};
        repair.ScanDataFolder();
    }
    bool warned() const
    {
        const QStringList log = report.log();
        return std::any_of(log.begin(), log.end(), [](const QString& line) { return line.startsWith(kWarning); });
    }
};

TEST(ScanRedoLog, TheFolderOfAKilledServerIsSaidToLackItsLastChanges)
{
    const struct {
        const char* set;
        QString keys;  // what the advice adds for an encrypted log
    } cases[] = {
        {"crashed", QString()},
        {"encrypted-crashed", " with the key management plugin and keys it used (the log is encrypted)"},
    };
    for (const auto& c : cases) {
        const QString data = crashFixture(QString::fromLatin1(c.set));
        Scan scan(data, data + QStringLiteral("/ibdata1"));
        const QStringList log = scan.report.log();
        ASSERT_EQ(log.size(), 4) << c.set << "\n" << log.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(log[0], "Scanning Database(s)...");
        EXPECT_EQ(log[1],
                  kWarning + data
                      + "/ib_logfile0 holds changes that the data files do not have yet (records follow its last "
                        "checkpoint). These last changes are not read. To recover them too, start a server of the "
                        "version that wrote them on a copy of the data folder"
                      + c.keys
                      + ", let it apply its redo log and roll back what never committed (its error log says when), "
                        "run SET GLOBAL innodb_fast_shutdown=0 and stop it, then read the copy.")
            << c.set;
        // The tables made after the last clean shutdown: only the redo log
        // knows them. Named as the user wrote them, not as the dictionary
        // and the file system do ("fx_crash/late@002dcaf@0p").
        EXPECT_EQ(log[2], kBornLate) << c.set;
        EXPECT_EQ(log[3], kLateCafe) << c.set;

        // The repair's log says it again, right after its header.
        scan.report.m_loginAccepted = false;
        EXPECT_EQ(scan.repair.RunRepair(), engine::MySqlRepair::REPAIR_CANCELLED);
        const QStringList repairLog = scan.report.log().mid(log.size());
        ASSERT_GE(repairLog.size(), 4) << c.set;
        EXPECT_TRUE(repairLog[1].startsWith("Repair process started on ")) << c.set;
        EXPECT_EQ(repairLog[3], log[1]) << c.set;
    }
}

TEST(ScanRedoLog, NothingMoreWhereTheFilesShowNoChangesOrCannotTell)
{
    const QString crashed = crashFixture(QStringLiteral("crashed"));
    const struct {
        const char* name;
        QString source;
        std::function<void(const QString& data)> change;
        QStringList log;
    } cases[] = {
        {"a clean shutdown", crashFixture(QStringLiteral("clean")), [](const QString&) {},
         {"Scanning Database(s)..."}},
        {"a clean shutdown, the log encrypted", crashFixture(QStringLiteral("encrypted-clean")),
         [](const QString&) {}, {"Scanning Database(s)..."}},
        {"no redo log", crashed, [](const QString& data) { ASSERT_TRUE(QFile::remove(data + "/ib_logfile0")); },
         {"Scanning Database(s)...", kNotInDictionary, kCafeNotInDictionary}},
        {"a damaged log header", crashed,
         [](const QString& data) {
             QFile log(data + "/ib_logfile0");
             ASSERT_TRUE(log.open(QIODevice::ReadWrite));
             ASSERT_TRUE(log.seek(20));
             log.write("X");
         },
         {"Scanning Database(s)...", kNotInDictionary, kCafeNotInDictionary}},
        {"a log cut short", crashed,
         [](const QString& data) { ASSERT_TRUE(QFile::resize(data + "/ib_logfile0", 100)); },
         {"Scanning Database(s)...", kNotInDictionary, kCafeNotInDictionary}},
    };
    for (const auto& c : cases) {
        testsupport::TempDir dir;
        const QString data = dir.path() + "/data";
        testsupport::copyFolder(c.source + "/fx_crash", data + "/fx_crash");
        for (const char* file : {"ibdata1", "ib_logfile0"})
            ASSERT_TRUE(QFile::copy(c.source + "/" + file, data + "/" + file));
        c.change(data);
        Scan scan(data, data + "/ibdata1");
        EXPECT_EQ(scan.report.log(), c.log) << c.name;
    }
}

TEST(ScanRedoLog, TheLogIsFoundInTheDataFolderWhenIbdata1IsElsewhere)
{
    const QString crashed = crashFixture(QStringLiteral("crashed"));
    testsupport::TempDir dir;
    dir.mkdir("shared");
    ASSERT_TRUE(QFile::copy(crashed + "/ibdata1", dir.path() + "/shared/ibdata1"));
    Scan scan(crashed, dir.path() + "/shared/ibdata1");
    EXPECT_TRUE(scan.warned()) << scan.report.log().join(QLatin1Char('\n')).toStdString();
}

TEST(ScanRedoLog, DumpReadsTheDataFilesAsTheyStand)
{
    for (const QString& prefix : {QString(), QStringLiteral("encrypted-")}) {
        const QString crashedSet = prefix + QStringLiteral("crashed");
        const testsupport::Dump crashed = testsupport::runDump(crashFixture(crashedSet), true);
        EXPECT_TRUE(crashed.log.contains(kWarning)) << crashed.log.toStdString();
        EXPECT_TRUE(crashed.log.contains(kBornLate)) << crashed.log.toStdString();
        // The files hold at least the rows of the clean shutdown; the server,
        // applying its redo log, has more.
        const auto kept = crashed.tables.value("fx_crash").value("kept");
        EXPECT_EQ(serverCount(crashedSet, QStringLiteral("kept")), "3900");
        EXPECT_GE(kept.rows.size(), 2000) << crashedSet.toStdString();
        EXPECT_LT(kept.rows.size(), 3900) << crashedSet.toStdString();
        EXPECT_EQ(serverCount(crashedSet, QStringLiteral("born_late")), "10");
        EXPECT_TRUE(crashed.tables.value("fx_crash").value("born_late").rows.isEmpty());

        const QString cleanSet = prefix + QStringLiteral("clean");
        const testsupport::Dump clean = testsupport::runDump(crashFixture(cleanSet), true);
        EXPECT_FALSE(clean.log.contains(kWarning)) << clean.log.toStdString();
        EXPECT_EQ(QString::number(clean.tables.value("fx_crash").value("kept").rows.size()),
                  serverCount(cleanSet, QStringLiteral("kept")));
    }
}

} // namespace
