#pragma once

#include <QString>
#include <QStringList>

namespace engine {

class AppState;
class MySqlRepair;

// The exchange of the server's shared tablespace ibdata1 around a repair,
// on the engine's paths (m_strIbdataPath, m_strIbdataBackup,
// m_strRecoveredFolder) and flags (m_bIbdataExchanged, m_restoreStepsFailed).
class TablespaceExchange {
public:
    explicit TablespaceExchange(MySqlRepair& repair) : m_repair(repair) {}
    TablespaceExchange(const TablespaceExchange&) = delete;
    TablespaceExchange& operator=(const TablespaceExchange&) = delete;

    // Sets the server's ibdata1 aside in a dated "old_ibdata1_" folder and
    // puts the file of the start mode in its place. Touches nothing unless the
    // current service is stopped and no process holds the file; replaces the
    // server's file only once a verified copy of it is in the backup folder.
    // On false the server's own file is back at m_strIbdataPath.
    bool BackupIbdata();
    // After a repair from a chosen folder: moves the exchanged ibdata1 and
    // the created databases (by their folder names on disk) into a dated
    // "Recovered_Data_" folder, puts the server's own ibdata1 back and starts
    // the service. Runs to its end whatever the stop flag says. Each step
    // that fails is logged and counted in m_restoreStepsFailed: when the file
    // cannot leave, nothing leaves and the server goes on with it; when the
    // server cannot be stopped, copies are made; the server never starts on
    // a file that is neither its own nor the one it ran on.
    void RestoreOriginalIbdata();
    // Puts this repair's backup back over the exchanged file, once the
    // service is stopped; false when there is no backup of this repair or
    // the server still runs.
    bool RestoreIbdataBackup();
    // Stop, BackupIbdata, start; on a failure at any step the server's own
    // ibdata1 is put back and the service started again if it was running.
    // True only when the exchanged file is in place and the server runs.
    bool ExchangeIbdataAndRestart();

private:
    AppState& app() const;
    // Parts of RestoreOriginalIbdata; each failure is logged and counted.
    void RestoreStepFailed(const QString& what);
    QStringList CreatedDatabaseFolders() const;
    bool MoveRecoveredData(const QString& dataFolder, const QStringList& folders);
    void CopyRecoveredData(const QString& dataFolder, const QStringList& folders);
    void PutServerIbdataBack();

    MySqlRepair& m_repair;
};

} // namespace engine
