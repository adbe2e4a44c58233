#pragma once

#include <QString>

namespace engine {

// A column of the table whose CREATE TABLE is being built.
struct ColWithType {
    QString m_columnName;
    QString m_typeName;
};

} // namespace engine
