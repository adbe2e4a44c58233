#pragma once

#include "engine/MySqlRepair.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace testsupport {

// Adds a database to an engine's model as a scan leaves it. `tables` are
// the names the scan listed; `readTables` those it could read (by default
// all of them), which get a TableInformation each.
inline engine::MySqlInfo& addDatabase(engine::MySqlRepair& repair, const QString& name, const QStringList& tables,
                                      const QStringList& views = {}, const QStringList& triggers = {},
                                      const QStringList* readTables = nullptr)
{
    auto database = std::make_unique<engine::MySqlInfo>();
    database->m_name = name;
    database->m_tableNames = tables;
    database->m_viewFiles = views;
    database->m_triggerFiles = triggers;
    for (const QString& table : readTables ? *readTables : tables) {
        auto info = std::make_unique<engine::TableInformation>();
        info->m_name = table;
        database->m_tables.push_back(std::move(info));
    }
    repair.m_databases.push_back(std::move(database));
    return *repair.m_databases.back();
}

} // namespace testsupport
