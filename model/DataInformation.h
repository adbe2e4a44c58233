#pragma once

#include <QString>

namespace engine {

// One value of a preview page.
struct DataInformation {
    QString m_columnName;
    QString m_value;
};

} // namespace engine
