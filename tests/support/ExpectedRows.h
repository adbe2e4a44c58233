#pragma once

#include "model/RowValue.h"
#include "model/tempColInfo.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace testsupport {

// The rows the server returned for a fixture table when the fixture was
// made (expected/<db>/<table>.rows.tsv), with the column data types from
// .columns.tsv and which columns were fetched as HEX() (.rows.sql).
class ExpectedRows {
public:
    using Row = std::vector<std::optional<QString>>; // nullopt = NULL

    // set: "legacy" or "default"; database and table as the server names them.
    // Fails the calling test (ADD_FAILURE) and returns an empty object when
    // the files are missing.
    static ExpectedRows load(const QString& set, const QString& database, const QString& table);
    // The fixture set's folder: GRISOLT_FIXTURES_DIR/<set>.
    static QString setFolder(const QString& set);

    const std::vector<Row>& rows() const { return m_rows; }
    const QStringList& columnNames() const { return m_columns; }
    const QStringList& dataTypes() const { return m_dataTypes; }
    bool isHex(const QString& column) const { return m_hexColumns.contains(column); }

    // Why `value` differs from what the server returned for `column` in
    // `row`, or an empty text when they agree. Binary columns compare the
    // stored bytes with the server's HEX; BIT the number; FLOAT compares to
    // the six digits the server prints; everything else the text.
    QString mismatch(std::size_t row, const QString& column, const engine::RowValue& value) const;
    // Every difference of a whole table, one line each (at most `limit`);
    // rows are matched in order. values[i] is the i-th record in the order
    // of `columns`.
    QStringList compareTable(const std::vector<engine::tempColInfo>& columns,
                             const std::vector<std::vector<engine::RowValue>>& values, int limit = 20) const;

private:
    QStringList m_columns;
    QStringList m_dataTypes;
    QSet<QString> m_hexColumns;
    std::vector<Row> m_rows;
};

// Undoes the .tsv escaping (\\ \t \n \0); "\N" alone is NULL.
std::optional<QString> unescapeTsvField(const QString& field);

} // namespace testsupport
