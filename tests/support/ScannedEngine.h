#pragma once

#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "model/TableInformation.h"
#include "tests/support/RecordingReportWindow.h"
#include "tests/support/ScratchServer.h"

#include <QString>
#include <QStringList>

namespace testsupport {

// The engine after a scan of some database folders of a data folder, as the
// shell drives it: the folder is listed, the wanted databases are chosen
// among the listed ones, then scanned. Reports go to a recording window.
struct ScannedEngine {
    engine::AppState app;
    engine::MySqlRepair repair{app};
    RecordingReportWindow report{app};

    // dataFolder with or without a trailing '/' (ibdata1 in it);
    // databaseFolders as named on disk.
    ScannedEngine(const QString& dataFolder, const QStringList& databaseFolders);
    ScannedEngine(const ScannedEngine&) = delete;
    ScannedEngine& operator=(const ScannedEngine&) = delete;

    // By the names as the server spells them or as the folder and file do.
    engine::TableInformation* table(const QString& database, const QString& name) const;

    // Logs in to the scratch server as its root, as the login dialog would,
    // and opens the engine's connection.
    void connectTo(const ScratchServer& server);
    // Runs the repair driver on that connection. Nothing is exchanged or put
    // back afterwards: the server's files are not the scanned folder's.
    void repairIntoServer();
    // Repairs the one scanned database into the server as
    // "recovered_" + name, in place of what an earlier run left there, and
    // returns that name.
    QString repairAs(const ScratchServer& server, const QString& name);
};

} // namespace testsupport
