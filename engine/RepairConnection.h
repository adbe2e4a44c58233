#pragma once

#include "platform/OdbcConnection.h"
#include "platform/OdbcError.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <vector>

namespace engine {

class MySqlRepair;

// The connection to the server that a repair fills: logged in with the
// engine's m_login, its session prepared, the engine's last "use" statement
// replayed. Read through -> like the ODBC connection it holds (null before
// the first open).
class RepairConnection {
public:
    explicit RepairConnection(MySqlRepair& repair) : m_repair(repair) {}
    RepairConnection(const RepairConnection&) = delete;
    RepairConnection& operator=(const RepairConnection&) = delete;

    // Replaces the connection by a new one; its own failures are swallowed,
    // so the caller learns of them from its next statement.
    void Open();
    // Replaces the connection by a new one; on a failure logs why, leaves
    // no connection and gives false.
    bool OpenOrExplain();
    void Close();
    // From another thread: cancels the statement under way without waiting.
    void Interrupt();
    // Throws platform::OdbcError, also when no connection was ever opened.
    void Run(const QString& sql, const std::vector<platform::OdbcConnection::Parameter>& binaryValues = {});
    QString ConnectionString() const;

    static QString ConnectionStringValue(const QString& value);
    static QStringList SessionSettings(const QString& serverVersion);
    static QString ComErrorText(const platform::OdbcError& error);

    platform::OdbcConnection* operator->() const { return m_connection.get(); }
    platform::OdbcConnection& operator*() const { return *m_connection; }
    explicit operator bool() const { return m_connection != nullptr; }

private:
    std::unique_ptr<platform::OdbcConnection> Connect() const;
    void Set(std::unique_ptr<platform::OdbcConnection> connection);

    MySqlRepair& m_repair;
    std::unique_ptr<platform::OdbcConnection> m_connection;
    // Guards the swap of m_connection against Interrupt.
    std::mutex m_mutex;
};

} // namespace engine
