#pragma once

#include <QString>

namespace testsupport {

// The scratch server the test suite started (scripts/scratch-mariadb), as its
// env file describes it. Tests create their own databases on it and drop them.
struct ScratchServer {
    QString host = QStringLiteral("127.0.0.1");
    QString port;
    QString socket;
    QString dataFolder; // ends with '/'

    QString user = QStringLiteral("root");
    QString password;

    // Reads GRISOLT_SERVER_DIR/env; an empty port when no server runs.
    static ScratchServer fromEnvironment();
    bool running() const { return !port.isEmpty(); }
    // The program's own connection string for this server.
    QString connectionString() const;
};

} // namespace testsupport
