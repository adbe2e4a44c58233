#pragma once

#include "engine/DataFolderRecord.h"
#include "engine/MYSQL_SERVICE.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace engine {

class ReportWindow;
class TableInformation;

// The state that the shell, its workers and the engine share. The
// application object derives from it; tests make their own.
//
// Flags are atomic: the Stop command sets m_bStop on the GUI thread while a
// worker reads it. The texts that travel with a report are written by one
// thread and read by another, so they sit behind a mutex; everything else
// is written only while no job runs (the idle flag is the gate).
class AppState {
public:
    AppState();
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;
    virtual ~AppState();

    // Hand-over texts.
    QString message() const;
    void setMessage(const QString& text);
    QString statusText() const;
    void setStatusText(const QString& text);
    QString statusPane1() const;
    void setStatusPane1(const QString& text);
    QString statusPane2() const;
    void setStatusPane2(const QString& text);
    // The text of the notice and of the Yes/No question: the GUI thread
    // shows it while a failing repair may empty it.
    QString messageText() const;
    void setMessageText(const QString& text);

    // Appends an empty data-folder record and returns it.
    DataFolderRecord& AddDataFolderRecord();
    void FreeDataFolderRecords() { m_dataFolders.clear(); }

    // Removes each folder of m_foldersToRemove that is empty (a folder
    // holding anything, even an empty sub-folder, stays, and so does a file
    // of that name), then empties the list. Logs nothing; returns how many
    // were removed.
    int RemoveEmptyFoldersToRemove();

    // Flags.
    std::atomic<bool> m_bConnected{false};
    std::atomic<bool> m_bRepair{false};
    std::atomic<bool> m_bDefaultLocation{false};
    std::atomic<bool> m_bManualFolder{false};
    std::atomic<bool> m_bIdle{false};
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bSomeSelected{false};
    std::atomic<bool> m_bAllSelected{false};
    std::atomic<bool> m_bServiceStopped{false};
    std::atomic<bool> m_bServiceStarted{false};
    std::atomic<bool> m_bTablesFound{false};
    std::atomic<bool> m_bServiceFound{false};
    // The last scan met a table definition of MySQL 3.x (version byte 7 or lower).
    std::atomic<bool> m_bOldVersionTables{false};
    std::atomic<bool> m_bPageRequest{false};

    // Row readers and preview paging.
    std::int32_t m_nNullableColumns = 0;
    std::int32_t m_nPageCount = 0;
    std::int32_t m_nPagesMerged = 0;
    std::int32_t m_nPage = 0;
    std::int64_t m_nPageRecords = 0;
    std::int64_t m_nPageRows = 0;
    std::int64_t m_nRecordsLeft = 0;
    std::int64_t m_nNextPageStart = 0;
    std::int64_t m_nTotalRecords = 0;
    TableInformation* m_pPreviewTable = nullptr;

    // Chosen paths and work texts.
    QString m_strDataFolder;
    QString m_strIbdataPath;
    QString m_strServiceImagePath;
    QString m_strTempFolder;

    // The database environment.
    MYSQL_SERVICE m_service;
    std::vector<MYSQL_SERVICE> m_services;
    std::vector<DataFolderRecord> m_dataFolders;
    QStringList m_selectedDatabases;
    // Folders a repair left behind that go when the program ends, if empty.
    QStringList m_foldersToRemove;
    // How many services the last StopMySqlServices went through (0 at its
    // start, one more for each service); the database selection dialog
    // offers a choice of data folders from 2 on.
    std::atomic<int> m_nServiceCount{0};

private:
    mutable std::mutex m_textMutex;
    QString m_strMessage;
    QString m_strStatusText;
    QString m_strStatusPane1;
    QString m_strStatusPane2;
    QString m_strMessageText;
};

} // namespace engine
