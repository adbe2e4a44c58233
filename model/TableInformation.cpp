#include "model/TableInformation.h"

namespace engine {

ColumnInformation& TableInformation::AddColumn()
{
    m_columns.push_back(std::make_unique<ColumnInformation>());
    return *m_columns.back();
}

std::vector<TablePartition> TableInformation::rowSources() const
{
    if (!m_partitions.empty())
        return m_partitions;
    return {TablePartition{QString(), m_dataFile, m_rootPage}};
}

QString TableInformation::sourceLabel(const TablePartition& source) const
{
    return source.m_name.isEmpty() ? m_name : QStringLiteral("%1 (partition %2)").arg(m_name, source.m_name);
}

} // namespace engine
