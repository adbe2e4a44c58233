#include "platform/OdbcError.h"

#include <utility>

namespace platform {

OdbcError::OdbcError(long code, QString message, QString source, QString description)
    : m_code(code), m_message(std::move(message)), m_source(std::move(source)),
      m_description(std::move(description)), m_what(m_message.toStdString())
{
}

} // namespace platform
