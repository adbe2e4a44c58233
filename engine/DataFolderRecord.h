#pragma once

#include <QString>
#include <QStringList>

namespace engine {

// One data folder the folder listing looked at, with its database folders.
struct DataFolderRecord {
    QString m_folder;
    QStringList m_databaseFolders;
};

} // namespace engine
