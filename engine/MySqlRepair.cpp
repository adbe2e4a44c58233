#include "engine/MySqlRepair.h"

#include "engine/AppState.h"
#include "engine/ReportWindow.h"
#include "recovery/innodb/InnodbDictionary.h"

#include <QFileInfo>

namespace engine {

MySqlRepair::MySqlRepair(AppState& app) : m_app(app) {}

MySqlRepair::~MySqlRepair() = default;

void MySqlRepair::ClearDatabaseInfo()
{
    m_databases.clear();
    m_columns.clear();
    m_keyColumns.clear();
    m_dataPages.clear();
    m_createdDatabases.clear();
    m_pageRows.clear();
    m_dictionary.reset();
    m_dictionaryTried = false;
    // The preview must not keep a pointer into the model just released.
    m_app.m_pPreviewTable = nullptr;
}

void MySqlRepair::RecoverMyIsamTable(TableInformation& table)
{
    m_myisam.RecoverTable(table);
}

void MySqlRepair::RecoverMyIsamRows(std::uint64_t count, TableInformation& table, std::uint64_t start)
{
    m_myisam.RecoverRows(count, table, start);
}

void MySqlRepair::LocateInnoDbTableData(TableInformation& table)
{
    m_innodb.LocateTableData(table);
}

void MySqlRepair::RecoverInnoDbRows(std::uint64_t page, TableInformation& table)
{
    m_innodb.RecoverRows(page, table);
}

void MySqlRepair::OpenConnection()
{
    m_connection.Open();
}

void MySqlRepair::CloseConnection()
{
    m_connection.Close();
}

void MySqlRepair::StartProgressTicker()
{
    if (!m_hWndReport || m_pProgressThread)
        return;
    m_pProgressThread = std::make_unique<ShowProgressThread>(*m_hWndReport);
    m_pProgressThread->start();
}

void MySqlRepair::StopProgressTicker()
{
    if (!m_pProgressThread) {
        ReportProgress(PROGRESS_END);
        return;
    }
    m_pProgressThread->Stop();
    m_pProgressThread->wait();
    m_pProgressThread.reset();
}

bool MySqlRepair::OpenDataFile(platform::DataFile& file, const QString& path, int attempts, bool stopEnds)
{
    for (int attempt = 1;; ++attempt) {
        if (stopEnds && stopRequested())
            return false;
        if (file.open(path.toStdString()))
            return true;
        if (attempt >= attempts || !QFileInfo::exists(path))
            return false;
        if (m_openRetryWait)
            m_openRetryWait();
    }
}

void MySqlRepair::InterruptConnection()
{
    m_connection.Interrupt();
}

void MySqlRepair::RunStatement(const QString& sql, const std::vector<platform::OdbcConnection::Parameter>& binaryValues)
{
    m_connection.Run(sql, binaryValues);
}

bool MySqlRepair::RunLoggedStatement(const QString& sql, const QString& what)
{
    try {
        RunStatement(sql);
        return true;
    } catch (const platform::OdbcError& error) {
        ++m_statementsFailed;
        AppendLog(what + QLatin1Char('\n') + ComErrorText(error));
        return false;
    }
}

QString MySqlRepair::ComErrorText(const platform::OdbcError& error)
{
    return RepairConnection::ComErrorText(error);
}

QString MySqlRepair::ConnectionString() const
{
    return m_connection.ConnectionString();
}

QString MySqlRepair::ConnectionStringValue(const QString& value)
{
    return RepairConnection::ConnectionStringValue(value);
}

QStringList MySqlRepair::SessionSettings(const QString& serverVersion)
{
    return RepairConnection::SessionSettings(serverVersion);
}

bool MySqlRepair::LocateServiceConfig()
{
    return m_environment.LocateServiceConfig();
}

void MySqlRepair::ReadMyIni()
{
    m_environment.ReadMyIni();
}

QString MySqlRepair::MyIniPathFromCommandLine(const QString& imagePath)
{
    return ServerEnvironment::MyIniPathFromCommandLine(imagePath);
}

bool MySqlRepair::StopMySqlServices()
{
    return m_environment.StopMySqlServices();
}

QStringList MySqlRepair::ServerErrorLogs() const
{
    return m_environment.ServerErrorLogs();
}

bool MySqlRepair::StartMySqlService()
{
    return m_environment.StartMySqlService();
}

QString MySqlRepair::ReadProgramFolder()
{
    return ServerEnvironment::ReadProgramFolder();
}

QString MySqlRepair::DateTimeText(int day, int month, int year, int hour, int minute, int second)
{
    return ServerEnvironment::DateTimeText(day, month, year, hour, minute, second);
}

QString MySqlRepair::DateTimeText()
{
    return ServerEnvironment::DateTimeText();
}

bool MySqlRepair::BackupIbdata()
{
    return m_exchange.BackupIbdata();
}

void MySqlRepair::RestoreOriginalIbdata()
{
    m_exchange.RestoreOriginalIbdata();
}

bool MySqlRepair::RestoreIbdataBackup()
{
    return m_exchange.RestoreIbdataBackup();
}

bool MySqlRepair::ExchangeIbdataAndRestart()
{
    return m_exchange.ExchangeIbdataAndRestart();
}

bool MySqlRepair::StopFlagSkipsServices() const
{
    return !m_bRepairRunning && m_app.m_bStop;
}

void MySqlRepair::AppendLog(const QString& line)
{
    if (!m_hWndReport)
        return;
    m_app.setMessage(line);
    m_hWndReport->SendMessage(WM_APPEND_LOG);
}

void MySqlRepair::ShowUserMessage(const QString& text)
{
    if (!m_hWndReport)
        return;
    m_app.setMessage(text);
    m_hWndReport->ShowUserMessage(text);
}

void MySqlRepair::ReportProgress(std::uintptr_t action, std::intptr_t steps)
{
    if (m_hWndReport)
        m_hWndReport->SendMessage(WM_STATUS_PROGRESS, action, steps);
}

} // namespace engine
