#pragma once

#include "model/TableInformation.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace engine {

// One scanned database; it owns its tables.
struct MySqlInfo {
    QString m_name;             // the database folder's name
    QStringList m_tableNames;   // one per table, views excluded
    QStringList m_triggerFiles; // full paths of the .TRG files
    QStringList m_viewFiles;    // full paths of the view definition files
    std::vector<std::unique_ptr<TableInformation>> m_tables; // in scan order
};

} // namespace engine
