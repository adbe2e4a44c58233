#pragma once

#include <QString>

#include <exception>
#include <string>

namespace platform {

// A database error raised by the ODBC layer: the driver's native error
// number as the code, the diagnostic message, where it came from (SQLSTATE)
// and the full diagnostic text.
class OdbcError : public std::exception {
public:
    OdbcError(long code, QString message, QString source, QString description);

    const char* what() const noexcept override { return m_what.c_str(); }

    long code() const { return m_code; }
    const QString& message() const { return m_message; }
    const QString& source() const { return m_source; }
    const QString& description() const { return m_description; }

private:
    long m_code;
    QString m_message;
    QString m_source;
    QString m_description;
    std::string m_what;
};

} // namespace platform
