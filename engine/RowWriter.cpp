#include "engine/RowWriter.h"

#include "engine/AppState.h"
#include "engine/FileNameCodec.h"
#include "engine/MySqlRepair.h"

namespace engine {

QString RowWriter::QuoteName(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('`'), QLatin1String("``"));
    return QLatin1Char('`') + quoted + QLatin1Char('`');
}

bool RowWriter::SendsStoredBytes(ColumnTypeCode code)
{
    switch (code) {
    case TYPE_VARCHAR:
    case TYPE_VAR_STRING:
    case TYPE_CHAR:
    case TYPE_TINYTEXT:
    case TYPE_MEDIUMTEXT:
    case TYPE_LONGTEXT:
    case TYPE_TEXT:
    case TYPE_BIT:
    case TYPE_GEOMETRY_OTHER:
        return true;
    default:
        return code >= TYPE_BINARY && code <= TYPE_GEOMETRYCOLLECTION;
    }
}

RowWriter::RowWriter(MySqlRepair& engine, const QString& tableName, const std::vector<tempColInfo>& columns)
    : m_engine(engine), m_tableName(FileNameCodec::Decode(tableName)), m_columns(columns)
{
    QStringList names;
    QStringList marks;
    for (const tempColInfo& column : columns) {
        if (column.m_generated)
            continue; // the server computes it from the other values
        names << QuoteName(column.m_name);
        // Stored bytes go in unchecked: the server would otherwise read them
        // in the connection's character set and refuse e.g. latin1 bytes.
        marks << (SendsStoredBytes(column.m_typeCode) ? QStringLiteral("CAST(? AS BINARY)") : QStringLiteral("?"));
    }
    m_statement = QStringLiteral("insert into ") + QuoteName(m_tableName) + QStringLiteral(" (")
        + names.join(QStringLiteral(", ")) + QStringLiteral(") values(") + marks.join(QStringLiteral(" ,"))
        + QLatin1Char(')');
}

bool RowWriter::Write(const std::vector<RowValue>& values)
{
    if (!m_engine.app().m_bRepair) {
        if (m_engine.m_rowObserver)
            m_engine.m_rowObserver(m_columns, values);
        for (std::size_t i = 0; i < m_columns.size(); ++i)
            m_engine.m_pageRows.push_back(
                {m_columns[i].m_name, i < values.size() ? values[i].text() : QStringLiteral("null")});
        return true;
    }
    return insert(values);
}

bool RowWriter::insert(const std::vector<RowValue>& values)
{
    std::vector<platform::OdbcConnection::Parameter> parameters;
    parameters.reserve(m_columns.size());
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].m_generated)
            continue;
        if (i >= values.size() || values[i].m_isNull)
            parameters.emplace_back(std::nullopt);
        else
            parameters.emplace_back(values[i].bytes());
    }
    ++m_engine.m_rowsWritten;
    try {
        m_engine.RunStatement(m_statement, parameters);
        return true;
    } catch (const platform::OdbcError& error) {
        --m_engine.m_rowsWritten;
        ++m_rowsFailed;
        ++m_engine.m_rowsFailed;
        ++m_engine.m_statementsFailed;
        if (m_rowsFailed <= kLoggedFailures)
            m_engine.AppendLog(QStringLiteral("A row of table %1 could not be inserted:\n").arg(m_tableName)
                               + MySqlRepair::ComErrorText(error));
        // A lost connection would fail every row after it: open a new one.
        if (error.source().startsWith(QLatin1String("SQLSTATE 08")))
            m_engine.OpenConnection();
        return false;
    }
}

} // namespace engine
