#pragma once

#include "engine/CDiskObject.h"
#include "engine/InnodbTableReader.h"
#include "engine/MyisamTableReader.h"
#include "engine/RepairConnection.h"
#include "engine/ServerEnvironment.h"
#include "engine/ShowProgressThread.h"
#include "engine/TablespaceExchange.h"
#include "model/DataInformation.h"
#include "model/MySqlInfo.h"
#include "model/RowValue.h"
#include "model/tempColInfo.h"
#include "platform/DataFile.h"
#include "platform/OdbcConnection.h"
#include "platform/Result.h"
#include "recovery/innodb/InnodbSpaceFlags.h"
#include "recovery/innodb/InnodbTransactionSystem.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace recovery::innodb {
class InnodbDictionary;
}

namespace engine {

// Records on one preview page, in both engines.
inline constexpr std::uint64_t PREVIEW_PAGE_ROWS = 100;

class AppState;
class ReportWindow;
class TriggerSession;

// The engine: one per process. It owns the scanned model of databases,
// tables, columns and key parts and the paths of the server's environment,
// and hands the reading of rows and the server connection to the parts it
// owns: m_innodb (InnodbTableReader), m_myisam (MyisamTableReader),
// m_connection (RepairConnection), m_environment (ServerEnvironment) and
// m_exchange (TablespaceExchange). It is used by one job at a time.
class MySqlRepair {
public:
    explicit MySqlRepair(AppState& app);
    virtual ~MySqlRepair();
    MySqlRepair(const MySqlRepair&) = delete;
    MySqlRepair& operator=(const MySqlRepair&) = delete;

    // Releases the scanned model and every work list of the readers.
    void ClearDatabaseInfo();

    // Lists the database folders of the data folder that the start mode
    // names into a new data-folder record ("mysql" left out) and sets
    // m_bDatabaseFound.
    void ListDatabaseFolders();
    // Reads the table definitions and trigger files of every selected
    // database folder into m_databases. A file that cannot be read is logged
    // and passed over; the scan goes on.
    void ScanDataFolder();

    // How a repair ended, for the worker's report.
    enum RepairOutcome {
        REPAIR_CANCELLED,    // the login was cancelled or incomplete; nothing touched
        REPAIR_FAILED,       // the server could not be prepared or reached; ibdata1 put back
        REPAIR_SUCCEEDED,    // the driver ran to its end and every statement and file step succeeded
        REPAIR_INCOMPLETE,   // it ran to its end, but statements (m_statementsFailed) or steps of
                             // putting the server's files back (m_restoreStepsFailed) failed
        REPAIR_STOPPED,      // the user stopped it
    };
    // The repair job: log header, login (through the report window), the
    // server prepared by start mode (ibdata1 exchanged, service running), the
    // connection, the model pruned to the checked items, RepairDatabases.
    // Whatever fails, the server's own ibdata1 ends in place or in this
    // repair's backup folder, and a service that ran before runs again.
    RepairOutcome RunRepair();
    // What the worker reports when the job has ended: message boxes and log
    // lines ("Repair process finished successfully." only for
    // REPAIR_SUCCEEDED). Clears the repair and selection flags.
    void ReportRepairOutcome(RepairOutcome outcome);

    // Re-creates every database of the model as "recovered_" + name (the
    // first free name) with its tables, rows, views and then its triggers.
    // Failed statements are logged and counted in m_statementsFailed; none
    // ends the repair. Closes the connection at the end and, after a repair
    // from a chosen folder, puts the server's own ibdata1 back.
    void RepairDatabases();

    // Views and triggers. ReadViewSource leaves a view's text in
    // m_objectText; ReadTriggerScript sends WM_SHOW_OBJECT_TEXT once per
    // trigger with its script there. RecoverViews and RecoverTriggers
    // re-create them in the database newName (current on the connection),
    // and write each as a .sql file into that database's folder.
    void ReadViewSource(const QString& path);
    void ReadTriggerScript(const QString& path);
    void RecoverViews(const MySqlInfo& database, const QString& newName);
    void RecoverTriggers(const MySqlInfo& database, const QString& newName);

    // The clustered index root of "db/table" (as folder and file are named)
    // in the data dictionary of the start mode's ibdata1; 0 when the table is
    // not there or the dictionary cannot be read (logged once per scan).
    // label: the table as the log names it to the user ("Table t in database d").
    std::uint64_t FindInnoDbTable(const QString& qualifiedName, const QString& label);
    // The ibdata1 that the start mode names.
    QString SharedTablespacePath() const;

    // Reports through m_hWndReport; with no report window they do nothing.
    void AppendLog(const QString& line);
    void ShowUserMessage(const QString& text);
    void ReportProgress(std::uintptr_t action, std::intptr_t steps = 0);
    // The ticker that steps the bar begun last every 100 ms, for work whose
    // own steps can stand still for long (a service stopping or starting, a
    // copy synced to disk). Stopping it ends the bar; it is joined first, so
    // its end comes before any later report.
    void StartProgressTicker();
    void StopProgressTicker();
    std::unique_ptr<ShowProgressThread> m_pProgressThread;

    // The server connection, held by m_connection (see RepairConnection).
    // OpenConnection replaces the connection by a new
    // one and replays the last "use" statement; its own failures are
    // swallowed, so the caller learns of them from its next statement.
    void OpenConnection();
    void CloseConnection();
    // For the Stop command on the GUI thread while a job runs: cancels the
    // statement under way without waiting for it; the job's next statement
    // fails and the job ends at its next look at the stop flag.
    void InterruptConnection();
    // Runs one statement; "?" marks take the bound binary values in order.
    // Throws platform::OdbcError.
    void RunStatement(const QString& sql, const std::vector<platform::OdbcConnection::Parameter>& binaryValues = {});
    // Runs a statement of the repair; a failure is logged with the server's
    // error text (after `what`) and counted in m_statementsFailed.
    bool RunLoggedStatement(const QString& sql, const QString& what);
    // The four-line report text of a database error.
    static QString ComErrorText(const platform::OdbcError& error);
    QString ConnectionString() const;
    // One value of the connection string: as it is, or, when it holds ';',
    // a brace or blanks at an end, in braces with each '}' doubled.
    static QString ConnectionStringValue(const QString& value);
    // The session settings of the repair's connections for a server whose
    // VERSION() is serverVersion: the first is needed, the others only
    // helpful (their failure is ignored); MariaDB-only ones go to MariaDB only.
    static QStringList SessionSettings(const QString& serverVersion);

    // The server's environment: its configuration and its service, handed
    // to m_environment (see ServerEnvironment for what each does).
    bool LocateServiceConfig();
    void ReadMyIni();
    static QString MyIniPathFromCommandLine(const QString& imagePath);
    bool StopMySqlServices();
    bool StartMySqlService();
    QStringList ServerErrorLogs() const;
    // The ibdata1 exchange, handed to m_exchange (see TablespaceExchange).
    bool BackupIbdata();
    void RestoreOriginalIbdata();
    bool RestoreIbdataBackup();
    bool ExchangeIbdataAndRestart();
    static QString ReadProgramFolder();
    static QString DateTimeText(int day, int month, int year, int hour, int minute, int second);
    static QString DateTimeText();

    // MyISAM rows, read by m_myisam (see MyisamTableReader).
    void RecoverMyIsamTable(TableInformation& table);
    void RecoverMyIsamRows(std::uint64_t count, TableInformation& table, std::uint64_t start);

    // InnoDB rows, read by m_innodb (see InnodbTableReader).
    void LocateInnoDbTableData(TableInformation& table);
    void RecoverInnoDbRows(std::uint64_t page, TableInformation& table);

    AppState& app() const { return m_app; }

    // Opens path in file, up to `attempts` times, for a data file that
    // another program holds for a moment; m_openRetryWait runs between two
    // attempts. A path with nothing at it fails at once (nothing will appear
    // there by waiting), and so does a stop when stopEnds is set.
    // file.lastError() says why the last attempt failed.
    bool OpenDataFile(platform::DataFile& file, const QString& path, int attempts, bool stopEnds = false);
    // The wait between two attempts to open a data file: a second. Tests
    // replace it to count the attempts without waiting.
    std::function<void()> m_openRetryWait = [] { std::this_thread::sleep_for(std::chrono::seconds(1)); };

    // Who logs in where; the login dialog (or a test) fills it.
    struct LoginDetails {
        QString m_host;
        QString m_user;
        QString m_password;
    };
    LoginDetails m_login;

    // Reports.
    ReportWindow* m_hWndReport = nullptr;
    ReportWindow* m_hWndScanProgress = nullptr;

    // Scan and environment.
    bool m_bDatabaseFound = false;
    QString m_strMyIniPath;
    QString m_strIbdataPath;
    QString m_strIbdataBackup;
    QString m_strRecoveredFolder;
    QString m_strDataFolder;     // ends with '/'
    QString m_strUseStatement;
    QString m_objectText;
    QString m_strPort;

    // The scanned model, in scan order.
    std::vector<std::unique_ptr<MySqlInfo>> m_databases;

    // Work lists of the row readers and the dictionary.
    std::vector<tempColInfo> m_columns;
    std::vector<tempColInfo> m_keyColumns;
    std::vector<std::uint64_t> m_dataPages;  // row places (TableInformation.h)
    QStringList m_createdDatabases;
    std::vector<DataInformation> m_pageRows;
    std::uint32_t m_rowsWritten = 0;
    // Statements of the current table that failed (logged and counted).
    std::uint64_t m_rowsFailed = 0;
    // Statements of the whole repair that failed, rows included.
    std::uint64_t m_statementsFailed = 0;
    // Sees every record of a preview with its values (test tools use it).
    std::function<void(const std::vector<tempColInfo>&, const std::vector<RowValue>&)> m_rowObserver;
    // Test tools that check the readers: a preview reads every value whole,
    // as a repair does, where it would otherwise show a large value's
    // placeholder without reading it.
    bool m_bWholeValues = false;
    // Set while the row being sent comes from damaged storage (an InnoDB page
    // whose checksums fail, a MyISAM record with a value that cannot be
    // read): it may be wrong.
    bool m_rowDamaged = false;

    CDiskObject m_diskObject;
    // Small files (my.ini, .frm, .MYI, view and trigger files).
    platform::DataFile m_file;
    // Large data files (ibdata1, .ibd, .MYD).
    platform::DataFile m_hDataFile;
    // The table readers.
    InnodbTableReader m_innodb{*this};
    MyisamTableReader m_myisam{*this};
    RepairConnection m_connection{*this};
    ServerEnvironment m_environment{*this};
    TablespaceExchange m_exchange{*this};
    // The dictionary of the shared tablespace, read once per scan.
    std::unique_ptr<recovery::innodb::InnodbDictionary> m_dictionary;
    bool m_dictionaryTried = false;
    // Page 0's flags of ibdata1, read once per scan (m_instanceFlagsTried).
    std::optional<recovery::innodb::InnodbSpaceFlags> m_instanceFlags;
    bool m_instanceFlagsTried = false;
    // The scan's line saying that the redo log holds changes the data files
    // lack (the server did not shut down cleanly); empty when the files show
    // no such changes or cannot tell. The repair's log repeats it.
    QString m_redoLogWarning;
    // The transactions the shared tablespace's undo logs show open when the
    // server stopped (read once a scan; their rows are marked), and the
    // scan's line about them or about why they could not be told; empty
    // where none was open. The repair's log repeats the line.
    recovery::innodb::OpenTransactions m_openTransactions;
    QString m_openTransactionsWarning;
    // How long a service may take to stop or to start before we give up.
    std::int64_t m_serviceTimeoutMs = 120000;
    // Set once this repair's backup holds a verified copy of the server's
    // own ibdata1 and another file is in its place.
    bool m_bIbdataExchanged = false;
    // Whether the current service was running when the last stop began.
    bool m_bServiceWasRunning = false;
    // Whether the service ran before this repair (or before the scan that
    // stopped it): a failed repair starts it again.
    bool m_bServiceRanBeforeRepair = false;
    // Set while RunRepair runs. The stop flag then ends the row work only:
    // the service is always stopped and started again around the ibdata1
    // exchange, so a stop never leaves the server on the wrong file.
    bool m_bRepairRunning = false;
    // Whether the stop flag keeps StopMySqlServices from touching further
    // services: only outside a repair. A service whose stop was sent is
    // always waited for, and a start always runs to its end.
    bool StopFlagSkipsServices() const;
    // Steps of putting the server's files back after a repair that failed
    // (each logged); a repair with any is not a success.
    std::uint64_t m_restoreStepsFailed = 0;

private:
    bool PrepareServer();
    bool PrepareDefaultLocation();
    bool OpenRepairConnection();
    void RestoreAfterFailedRepair(unsigned messageId);
    bool ServiceIsRunning() const;
    void ScanDatabaseFolder(const QString& folder);
    // Sets and logs m_redoLogWarning when the redo log beside the shared
    // tablespace (or in dataFolder) holds changes the data files lack.
    void CheckRedoLog(const QString& dataFolder);
    // Sets m_openTransactions from the shared tablespace and the undo
    // tablespaces beside it, and logs m_openTransactionsWarning.
    void CheckOpenTransactions();
    // Whether a table of m_databases from firstDatabase on has a MySQL 3.x definition.
    bool MetOldVersionTables(std::size_t firstDatabase) const;
    void ReadTableDefinition(const QString& path, MySqlInfo& database, QStringList& viewPaths,
                             QStringList& tablePaths);
    // A partitioned table's partitions, from its partition list or else the
    // files beside its definition: their data files, the table's engine and,
    // for InnoDB, each partition's root page. A missing one is logged.
    void FindPartitions(const QString& frmPath, TableInformation& table);
    // Whether the rows of an InnoDB table can be read: its tablespace's pages
    // (page 0's flags, else its definition) and the instance's (ibdata1's)
    // uncompressed and of 16 KiB. When not, logs why and marks the table.
    bool InnodbRowsReadable(const QString& frmPath, TableInformation& table);
    // Whether the instance's pages, as ibdata1 tells them, are of a size the
    // readers read (unknown counts as such); read once per scan.
    bool InstancePagesReadable();
    bool stopRequested() const;
    static std::uint8_t myiProbeByte(const QString& frmPath);
    bool WriteObjectFile(const QString& newName, const QString& sourcePath, const QString& text);
    // Whether the view just created named a definer the server does not know.
    bool DefinerWasMissing();
    // The connection's sql_mode and character set settings; nothing when
    // they cannot be read.
    std::optional<TriggerSession> ConnectionSession();
    QString RecoveredDatabaseName(const QString& name, int attempt) const;
    QString CreateRecoveredDatabase(const QString& name);
    void CreateTables(MySqlInfo& database);
    void MoveTableRows(TableInformation& table);
    // "alter table .. engine=innodb" with the table's options; once more
    // without them when the server refuses them.
    void TurnBackIntoInnodb(const TableInformation& table);

    AppState& m_app;
};

} // namespace engine
