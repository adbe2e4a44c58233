#pragma once

#include "platform/OdbcError.h"

#include <QByteArray>
#include <QString>

#include <mutex>
#include <optional>
#include <vector>

namespace platform {

// One connection through the ODBC driver manager. Statements run one at a
// time; binary values travel as bound parameters, never pasted into SQL.
// Every failure throws OdbcError.
class OdbcConnection {
public:
    using Row = std::vector<std::optional<QString>>; // nullopt = SQL NULL
    using Parameter = std::optional<QByteArray>;      // nullopt = SQL NULL

    OdbcConnection();
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    void open(const QString& connectionString);
    bool isOpen() const;
    void close();

    // Runs one statement; each "?" takes the next value, bound as binary.
    // A statement with values stays prepared, so running the same text again
    // (one INSERT per row) only binds and executes.
    void execute(const QString& sql, const std::vector<Parameter>& parameters = {});
    // Runs a query and returns every row as text.
    std::vector<Row> query(const QString& sql);

    // Asks the driver to cancel the statement running on another thread.
    // The connection then runs no further statement: one that was about to
    // start when the cancel came fails at once instead of running uncancelled.
    void cancel();

private:
    struct Handles;
    void* newStatement();
    void freeStatement(void* statement);

    void releasePrepared();
    // What a statement on a cancelled connection throws.
    static OdbcError cancelledError();

    Handles* m_handles;
    void* m_prepared = nullptr; // the statement kept prepared
    QString m_preparedText;
    std::mutex m_statementMutex; // guards m_running for cancel()
    void* m_running = nullptr;
    bool m_cancelled = false; // guarded by m_statementMutex
};

} // namespace platform
