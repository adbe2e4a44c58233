#pragma once

#include "model/ColumnTypeCode.h"
#include "model/RowValue.h"
#include "model/tempColInfo.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace engine {

class MySqlRepair;

// Where the decoded records of one table go: in a preview, (column, text)
// pairs onto the engine's preview page; in a repair, one INSERT statement
// per record on the server, naming every column but the generated ones. Every value of the statement is bound, never
// pasted, so no value can break it; the statement text is the same for every
// record and stays prepared.
class RowWriter {
public:
    // tableName: as the table's file is named (the server's file-name
    // encoding); the statement uses the name the server shows.
    RowWriter(MySqlRepair& engine, const QString& tableName, const std::vector<tempColInfo>& columns);

    // Writes one record; values in column order. In a repair a failed
    // statement is logged (the first few of a table, with the server's error
    // text) and counted, and false is returned.
    bool Write(const std::vector<RowValue>& values);

    std::uint64_t rowsFailed() const { return m_rowsFailed; }
    const QString& statement() const { return m_statement; }

    // `name` with backticks doubled, between backticks.
    static QString QuoteName(const QString& name);
    // Columns whose value is sent as the bytes stored in the file.
    static bool SendsStoredBytes(ColumnTypeCode code);

    static constexpr int kLoggedFailures = 10;

private:
    bool insert(const std::vector<RowValue>& values);

    MySqlRepair& m_engine;
    QString m_tableName;
    const std::vector<tempColInfo>& m_columns;
    QString m_statement;
    std::uint64_t m_rowsFailed = 0;
};

} // namespace engine
