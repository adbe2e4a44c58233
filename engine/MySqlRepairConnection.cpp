// The connection to the server that a repair fills.
#include "engine/MySqlRepair.h"

#include "engine/AppState.h"

#include <chrono>
#include <thread>

namespace engine {

QString MySqlRepair::ConnectionString() const
{
    return QStringLiteral("DRIVER={MySQL ODBC 5.1 Driver};SERVER=") + m_login.m_host + QStringLiteral(";Port=")
        + m_app.m_service.m_port + QStringLiteral(";DATABASE=mysql;USER=") + m_login.m_user
        + QStringLiteral(";PASSWORD=") + m_login.m_password + QStringLiteral(";OPTION=16427;");
}

void MySqlRepair::OpenConnection()
{
    m_connection = std::make_unique<platform::OdbcConnection>();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    try {
        m_connection->open(ConnectionString());
        // TIMESTAMP values are read and written as UTC; a recovered row that
        // breaks a re-created CHECK constraint is kept rather than lost.
        m_connection->execute(QStringLiteral("SET time_zone = '+00:00', check_constraint_checks = 0"));
        if (!m_strUseStatement.isEmpty())
            m_connection->execute(m_strUseStatement);
    } catch (const platform::OdbcError& error) {
        // The caller's next statement fails and reports it.
        (void)ComErrorText(error);
    }
}

void MySqlRepair::CloseConnection()
{
    m_app.m_bConnected = false;
    if (m_connection && m_connection->isOpen())
        m_connection->close();
}

void MySqlRepair::RunStatement(const QString& sql, const std::vector<platform::OdbcConnection::Parameter>& binaryValues)
{
    if (!m_connection)
        throw platform::OdbcError(0x80004003L, QStringLiteral("Invalid pointer"), QString(), QString());
    m_connection->execute(sql, binaryValues);
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
    const auto orNull = [](const QString& text) { return text.isEmpty() ? QStringLiteral("null") : text; };
    const QString text = QStringLiteral("Message : ") + error.message() + QLatin1Char('\n')
        + QStringLiteral("Code : 0x%1\n").arg(static_cast<unsigned long>(error.code()) & 0xFFFFFFFFul, 8, 16, QLatin1Char('0'))
        + QStringLiteral("Source : ") + orNull(error.source()) + QLatin1Char('\n')
        + QStringLiteral("Description : ") + orNull(error.description()) + QLatin1Char('\n');
    if (text.contains(QStringLiteral("not a valid password")))
        return QStringLiteral("File is password protected");
    return text;
}

} // namespace engine
