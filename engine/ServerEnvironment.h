#pragma once

#include <QString>
#include <QStringList>

namespace engine {

class AppState;
class MySqlRepair;

// The server's environment as the engine sees it: its services, their
// my.ini, and their stop and start. It fills the engine's paths
// (m_strMyIniPath, m_strDataFolder, m_strIbdataPath, m_strPort) and the
// service fields of the shared AppState.
class ServerEnvironment {
public:
    explicit ServerEnvironment(MySqlRepair& repair) : m_repair(repair) {}
    ServerEnvironment(const ServerEnvironment&) = delete;
    ServerEnvironment& operator=(const ServerEnvironment&) = delete;

    // Completes each listed service from its my.ini and makes the first one
    // whose data folder exists the current and only listed service; false
    // (after message 7006) when there is none.
    bool LocateServiceConfig();
    // Reads port, data folder and ibdata1 path from m_strMyIniPath: the last
    // value of each in the server's option groups. m_strIbdataPath is emptied
    // first and set whenever a data folder is known; m_strDataFolder (ending
    // with '/') and m_strPort change only when the file names them.
    void ReadMyIni();
    // Stops every listed service through a generated "stop_" script and
    // waits, up to m_serviceTimeoutMs, until its process is gone. True when
    // the last one is stopped; on false the services this call stopped are
    // started again. Outside a repair the stop flag ends it before the next
    // service, never half way through one.
    bool StopMySqlServices();
    // Starts the current service through a "start_" script when the last stop
    // succeeded, and waits until it accepts connections.
    bool StartMySqlService();
    // The files the current service's server writes its errors to: the
    // service's log file and the log-error file its options name, if any.
    QStringList ServerErrorLogs() const;

    // The option file that a service's command line names with
    // --defaults-file; empty when it names none.
    static QString MyIniPathFromCommandLine(const QString& imagePath);
    // The program folder: the registry value "Path" of the product key.
    static QString ReadProgramFolder();
    // The date-and-time text of dated folder names, numbers without leading
    // zeros: "8-12-2026 21-5-3"; without arguments, for the local time now.
    static QString DateTimeText(int day, int month, int year, int hour, int minute, int second);
    static QString DateTimeText();

private:
    AppState& app() const;

    MySqlRepair& m_repair;
    // Read again before each stop and start: where the scripts go.
    QString m_programFolder;
};

} // namespace engine
