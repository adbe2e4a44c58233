#include "model/TableInformation.h"

namespace engine {

ColumnInformation& TableInformation::AddColumn()
{
    m_columns.push_back(std::make_unique<ColumnInformation>());
    return *m_columns.back();
}

} // namespace engine
