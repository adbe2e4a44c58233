#pragma once

#include <QString>

namespace engine {

// One installed database service: its command line and display name from
// the service registry, then what its configuration file says.
struct MYSQL_SERVICE {
    QString m_imagePath;
    QString m_displayName;
    QString m_myIniPath;
    QString m_port;
    QString m_ibdataPath;
    QString m_dataFolder;
};

} // namespace engine
