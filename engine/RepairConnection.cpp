#include "engine/RepairConnection.h"

#include "engine/AppState.h"
#include "engine/MySqlRepair.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace engine {

QString RepairConnection::ConnectionStringValue(const QString& value)
{
    // A ';' would end the value and a brace open or close a quoted one; the
    // driver trims blanks at either end of a bare value.
    const bool plain = !value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('{'))
        && !value.contains(QLatin1Char('}')) && value.trimmed() == value;
    if (plain)
        return value;
    return QLatin1Char('{') + QString(value).replace(QLatin1Char('}'), QLatin1String("}}")) + QLatin1Char('}');
}

QString RepairConnection::ConnectionString() const
{
    const MySqlRepair::LoginDetails& login = m_repair.m_login;
    return QStringLiteral("DRIVER={MySQL ODBC 5.1 Driver};SERVER=") + ConnectionStringValue(login.m_host)
        + QStringLiteral(";Port=") + ConnectionStringValue(m_repair.app().m_service.m_port)
        + QStringLiteral(";DATABASE=mysql;USER=") + ConnectionStringValue(login.m_user)
        + QStringLiteral(";PASSWORD=") + ConnectionStringValue(login.m_password)
        + QStringLiteral(";OPTION=16427;");
}

QStringList RepairConnection::SessionSettings(const QString& serverVersion)
{
    // TIMESTAMP values are read and written as UTC.
    QStringList settings{QStringLiteral("SET time_zone = '+00:00'")};
    // A recovered row that breaks a re-created CHECK constraint is kept
    // rather than lost. Only MariaDB knows the variable; MySQL refuses it.
    if (serverVersion.contains(QLatin1String("MariaDB"), Qt::CaseInsensitive))
        settings << QStringLiteral("SET check_constraint_checks = 0");
    // A table gets the options it was made with also where they draw a
    // warning rather than an error (e.g. a ROW_FORMAT whose rows may grow
    // past a page, which servers before strict InnoDB allowed).
    settings << QStringLiteral("SET innodb_strict_mode = 0");
    return settings;
}

std::unique_ptr<platform::OdbcConnection> RepairConnection::Connect() const
{
    auto connection = std::make_unique<platform::OdbcConnection>();
    connection->open(ConnectionString());
    const auto version = connection->query(QStringLiteral("SELECT VERSION()"));
    const QString versionText = version.empty() || version[0].empty() ? QString() : version[0][0].value_or(QString());
    const QStringList settings = SessionSettings(versionText);
    connection->execute(settings.front());
    for (qsizetype i = 1; i < settings.size(); ++i) {
        try {
            connection->execute(settings[i]);
        } catch (const platform::OdbcError&) {
            // A nicety of the session; the repair does without it.
        }
    }
    if (!m_repair.m_strUseStatement.isEmpty())
        connection->execute(m_repair.m_strUseStatement);
    return connection;
}

void RepairConnection::Set(std::unique_ptr<platform::OdbcConnection> connection)
{
    // The old one is closed outside the lock; Interrupt only ever
    // sees a connection that is still whole.
    {
        std::lock_guard lock(m_mutex);
        std::swap(m_connection, connection);
    }
}

void RepairConnection::Open()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    try {
        Set(Connect());
        // The Stop command interrupts the statement under way only while
        // this is set: every table's new connection must be reachable too.
        if (m_repair.m_bRepairRunning)
            m_repair.app().m_bConnected = true;
    } catch (const platform::OdbcError& error) {
        // The caller's next statement fails (on a connection that is not
        // open) and reports it.
        (void)ComErrorText(error);
        Set(std::make_unique<platform::OdbcConnection>());
    }
}

bool RepairConnection::OpenOrExplain()
{
    try {
        Set(Connect());
    } catch (const platform::OdbcError& error) {
        // The box says that the login failed; the log says why.
        m_repair.AppendLog(ComErrorText(error));
        Set(nullptr);
        return false;
    }
    return true;
}

void RepairConnection::Close()
{
    m_repair.app().m_bConnected = false;
    std::lock_guard lock(m_mutex);
    if (m_connection && m_connection->isOpen())
        m_connection->close();
}

void RepairConnection::Interrupt()
{
    m_repair.app().m_bConnected = false;
    std::lock_guard lock(m_mutex);
    if (m_connection)
        m_connection->cancel();
}

void RepairConnection::Run(const QString& sql, const std::vector<platform::OdbcConnection::Parameter>& binaryValues)
{
    if (!m_connection)
        throw platform::OdbcError(0x80004003L, QStringLiteral("Invalid pointer"), QString(), QString());
    m_connection->execute(sql, binaryValues);
}

QString RepairConnection::ComErrorText(const platform::OdbcError& error)
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
