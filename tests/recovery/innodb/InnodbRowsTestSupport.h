#pragma once

// Shared by the InnoDB row tests: a scanned fixture data folder and the
// preview of a whole table, page after page, as RowValues.
#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "tests/support/ExpectedRows.h"
#include "tests/support/RecordingReportWindow.h"

#include <QDir>

#include <memory>

namespace innodbrows {

struct Scanned {
    engine::AppState app;
    engine::MySqlRepair repair{app};
    testsupport::RecordingReportWindow report{app};

    engine::TableInformation* table(const QString& database, const QString& name)
    {
        for (const auto& db : repair.m_databases)
            if (db->m_name == database)
                for (const auto& t : db->m_tables)
                    if (t->m_name == name)
                        return t.get();
        return nullptr;
    }
};

// Scans `databases` of the data folder (ibdata1 in it).
inline std::unique_ptr<Scanned> scan(const QString& dataFolder, const QStringList& databases)
{
    auto s = std::make_unique<Scanned>();
    s->repair.m_hWndReport = &s->report;
    s->repair.m_hWndScanProgress = &s->report;
    QString folder = dataFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    s->app.m_bManualFolder = true;
    s->app.m_strDataFolder = folder;
    s->app.m_strIbdataPath = folder + QStringLiteral("ibdata1");
    s->repair.ListDatabaseFolders();
    for (const auto& record : s->app.m_dataFolders)
        for (const QString& db : record.m_databaseFolders)
            for (const QString& wanted : databases)
                if (QDir(db).dirName() == wanted)
                    s->app.m_selectedDatabases << db;
    s->repair.ScanDataFolder();
    return s;
}

// One preview page's (column, text) pairs as rows of RowValues, the way
// ExpectedRows compares them: binary columns are shown in hex, BIT as its
// number.
inline std::vector<std::vector<engine::RowValue>> pageRows(const engine::MySqlRepair& repair,
                                                           const testsupport::ExpectedRows& expected)
{
    std::vector<std::vector<engine::RowValue>> rows;
    const std::size_t width = repair.m_columns.size();
    for (std::size_t i = 0; width && i + width <= repair.m_pageRows.size(); i += width) {
        std::vector<engine::RowValue> row;
        for (std::size_t c = 0; c < width; ++c) {
            const QString& name = repair.m_columns[c].m_name;
            const QString& text = repair.m_pageRows[i + c].m_value;
            if (text == QLatin1String("null")) {
                row.push_back(engine::RowValue::Null());
            } else if (expected.isHex(name) && repair.m_columns[c].m_typeCode == engine::TYPE_BIT) {
                QByteArray bytes;
                for (std::uint64_t v = text.toULongLong(); v; v >>= 8)
                    bytes.prepend(static_cast<char>(v & 0xFF));
                row.push_back(engine::RowValue::Stored(bytes, text));
            } else if (expected.isHex(name)) {
                row.push_back(engine::RowValue::Stored(QByteArray::fromHex(text.toLatin1()), text));
            } else {
                row.push_back(engine::RowValue::Text(text));
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace innodbrows
