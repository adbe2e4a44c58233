#include "platform/OdbcConnection.h"

#include <sql.h>
#include <sqlext.h>

#include <functional>
#include <memory>

namespace platform {

struct OdbcConnection::Handles {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
};

namespace {

const SQLWCHAR* wide(const QString& text)
{
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

// Every diagnostic record of a handle, turned into one error.
OdbcError diagnostics(SQLSMALLINT type, SQLHANDLE handle, const QString& context)
{
    QString firstMessage;
    QString state;
    QString all;
    long code = 0;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR sqlState[6] = {};
        SQLWCHAR text[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, record, sqlState, &native, text,
                                            static_cast<SQLSMALLINT>(std::size(text)), &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        const QString message = QString::fromUtf16(reinterpret_cast<const char16_t*>(text));
        if (record == 1) {
            firstMessage = message;
            state = QString::fromUtf16(reinterpret_cast<const char16_t*>(sqlState));
            code = native;
        }
        if (!all.isEmpty())
            all += QLatin1Char('\n');
        all += message;
    }
    if (firstMessage.isEmpty())
        firstMessage = context + QStringLiteral(" failed without a diagnostic");
    return OdbcError(code, firstMessage, state.isEmpty() ? QString() : QStringLiteral("SQLSTATE ") + state, all);
}

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const QString& context)
{
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        throw diagnostics(type, handle, context);
}

} // namespace

OdbcConnection::OdbcConnection() : m_handles(new Handles) {}

OdbcConnection::~OdbcConnection()
{
    close();
    delete m_handles;
}

void OdbcConnection::open(const QString& connectionString)
{
    close();
    if (SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_handles->env) != SQL_SUCCESS)
        throw OdbcError(0, QStringLiteral("Cannot allocate an ODBC environment"), QString(), QString());
    SQLSetEnvAttr(m_handles->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    check(SQLAllocHandle(SQL_HANDLE_DBC, m_handles->env, &m_handles->dbc), SQL_HANDLE_ENV, m_handles->env,
          QStringLiteral("allocating a connection"));
    SQLSetConnectAttr(m_handles->dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    QString string = connectionString;
    const SQLRETURN rc = SQLDriverConnectW(m_handles->dbc, nullptr, const_cast<SQLWCHAR*>(wide(string)), SQL_NTS,
                                           nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        OdbcError error = diagnostics(SQL_HANDLE_DBC, m_handles->dbc, QStringLiteral("connecting"));
        close();
        throw error;
    }
    m_handles->connected = true;
}

bool OdbcConnection::isOpen() const
{
    return m_handles->connected;
}

void OdbcConnection::close()
{
    releasePrepared();
    if (m_handles->dbc != SQL_NULL_HDBC) {
        if (m_handles->connected)
            SQLDisconnect(m_handles->dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_handles->dbc);
        m_handles->dbc = SQL_NULL_HDBC;
    }
    if (m_handles->env != SQL_NULL_HENV) {
        SQLFreeHandle(SQL_HANDLE_ENV, m_handles->env);
        m_handles->env = SQL_NULL_HENV;
    }
    m_handles->connected = false;
}

OdbcError OdbcConnection::cancelledError()
{
    return OdbcError(0, QStringLiteral("The statement was cancelled before it ran."), QStringLiteral("SQLSTATE HY008"),
                     QStringLiteral("Operation canceled"));
}

void* OdbcConnection::newStatement()
{
    if (!m_handles->connected)
        throw OdbcError(0, QStringLiteral("The connection is not open"), QString(), QString());
    SQLHSTMT statement = SQL_NULL_HSTMT;
    check(SQLAllocHandle(SQL_HANDLE_STMT, m_handles->dbc, &statement), SQL_HANDLE_DBC, m_handles->dbc,
          QStringLiteral("allocating a statement"));
    {
        std::lock_guard lock(m_statementMutex);
        if (!m_cancelled) {
            m_running = statement;
            return statement;
        }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    throw cancelledError();
}

void OdbcConnection::freeStatement(void* statement)
{
    {
        std::lock_guard lock(m_statementMutex);
        m_running = nullptr;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
}

void OdbcConnection::releasePrepared()
{
    if (m_prepared)
        freeStatement(m_prepared);
    m_prepared = nullptr;
    m_preparedText.clear();
}

void OdbcConnection::execute(const QString& sql, const std::vector<Parameter>& parameters)
{
    if (parameters.empty()) {
        SQLHSTMT statement = newStatement();
        auto release = std::unique_ptr<void, std::function<void(void*)>>(statement, [this](void* s) { freeStatement(s); });
        check(SQLExecDirectW(statement, const_cast<SQLWCHAR*>(wide(sql)), SQL_NTS), SQL_HANDLE_STMT, statement,
              QStringLiteral("running a statement"));
        return;
    }
    if (!m_prepared || m_preparedText != sql) {
        releasePrepared();
        SQLHSTMT statement = newStatement();
        const SQLRETURN rc = SQLPrepareW(statement, const_cast<SQLWCHAR*>(wide(sql)), SQL_NTS);
        if (!SQL_SUCCEEDED(rc)) {
            OdbcError error = diagnostics(SQL_HANDLE_STMT, statement, QStringLiteral("preparing a statement"));
            freeStatement(statement);
            throw error;
        }
        m_prepared = statement;
        m_preparedText = sql;
    }
    {
        std::lock_guard lock(m_statementMutex);
        if (m_cancelled)
            throw cancelledError();
        m_running = m_prepared;
    }
    SQLHSTMT statement = m_prepared;
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
    std::vector<SQLLEN> lengths(parameters.size());
    static char empty = 0; // an empty value still needs a valid buffer address
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const Parameter& value = parameters[i];
        lengths[i] = value ? static_cast<SQLLEN>(value->size()) : SQL_NULL_DATA;
        void* data = !value || value->isEmpty() ? &empty : const_cast<char*>(value->constData());
        const SQLULEN size = value ? static_cast<SQLULEN>(value->size()) : 0;
        check(SQLBindParameter(statement, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_BINARY,
                               SQL_LONGVARBINARY, size, 0, data, static_cast<SQLLEN>(size), &lengths[i]),
              SQL_HANDLE_STMT, statement, QStringLiteral("binding a value"));
    }
    const SQLRETURN rc = SQLExecute(statement);
    std::optional<OdbcError> error;
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        error = diagnostics(SQL_HANDLE_STMT, statement, QStringLiteral("running a statement"));
    SQLFreeStmt(statement, SQL_CLOSE);
    {
        std::lock_guard lock(m_statementMutex);
        m_running = nullptr;
    }
    if (error)
        throw *error;
}

std::vector<OdbcConnection::Row> OdbcConnection::query(const QString& sql)
{
    SQLHSTMT statement = newStatement();
    auto release = std::unique_ptr<void, std::function<void(void*)>>(statement, [this](void* s) { freeStatement(s); });
    check(SQLExecDirectW(statement, const_cast<SQLWCHAR*>(wide(sql)), SQL_NTS), SQL_HANDLE_STMT, statement,
          QStringLiteral("running a query"));
    SQLSMALLINT columns = 0;
    check(SQLNumResultCols(statement, &columns), SQL_HANDLE_STMT, statement, QStringLiteral("reading a result"));
    std::vector<Row> rows;
    while (true) {
        const SQLRETURN rc = SQLFetch(statement);
        if (rc == SQL_NO_DATA)
            break;
        check(rc, SQL_HANDLE_STMT, statement, QStringLiteral("fetching a row"));
        Row row;
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            QString value;
            bool isNull = false;
            // Long values come in pieces.
            while (true) {
                SQLWCHAR buffer[4096];
                SQLLEN indicator = 0;
                const SQLRETURN got = SQLGetData(statement, c, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
                if (got == SQL_NO_DATA)
                    break;
                check(got, SQL_HANDLE_STMT, statement, QStringLiteral("reading a value"));
                if (indicator == SQL_NULL_DATA) {
                    isNull = true;
                    break;
                }
                value += QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer));
                if (got == SQL_SUCCESS)
                    break;
            }
            row.push_back(isNull ? std::nullopt : std::optional<QString>(value));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void OdbcConnection::cancel()
{
    std::lock_guard lock(m_statementMutex);
    m_cancelled = true;
    if (m_running)
        SQLCancel(m_running);
}

} // namespace platform
