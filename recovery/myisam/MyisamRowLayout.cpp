#include "recovery/myisam/MyisamRowLayout.h"

#include "model/ColumnTypeCode.h"
#include "model/TableInformation.h"
#include "recovery/ColumnStorage.h"

#include <string>

// The record of a MyISAM table as the server holds it in memory, which is
// what a static data file stores slot by slot and what a dynamic record
// unpacks to:
//
// | part        | size                 | meaning                                   |
// |-------------|----------------------|-------------------------------------------|
// | null area   | (bits + 7) / 8       | static rows: bit 0 of byte 0 set = live;  |
// |             |                      | then, in definition order, one bit per    |
// |             |                      | nullable column followed, for a BIT(n)    |
// |             |                      | column, by its n mod 8 high bits          |
// | fields      | each its stored size | in definition order; BIT below 8 bits and |
// |             |                      | generated columns that are not stored     |
// |             |                      | take no bytes                             |
//
// The index file lists the null area (when it is not empty) and then every
// field with its length, so the two are matched column by column.

namespace recovery::myisam {

namespace {

using engine::ColumnInformation;
using platform::DecodeError;

bool isVarchar(engine::ColumnTypeCode code)
{
    return code == engine::TYPE_VARCHAR || code == engine::TYPE_VARBINARY;
}

bool keepsBitsAmongNullFlags(const ColumnInformation& c)
{
    return c.m_typeCode == engine::TYPE_BIT && (c.m_packFlags & engine::kPackFlagBitsAsBytes) == 0;
}

using platform::corrupt;

// Does the index file's field fit the column (size, and packing kind where
// the kind is fixed by the type)?
bool fieldFits(const ColumnInformation& c, const MyisamFieldDef& def)
{
    if (def.m_length != MyisamRowLayout::storedSize(c))
        return false;
    if (ColumnStorage::blobLengthBytes(c.m_typeCode) != 0)
        return def.m_type == FIELD_BLOB;
    if (isVarchar(c.m_typeCode))
        return def.m_type == FIELD_VARCHAR || def.m_type == FIELD_NORMAL;
    return def.m_type != FIELD_BLOB && def.m_type != FIELD_VARCHAR;
}

} // namespace

std::uint32_t MyisamRowLayout::storedSize(const ColumnInformation& c)
{
    ColumnShape shape;
    shape.typeCode = c.m_typeCode;
    shape.length = c.m_length;
    shape.scale = c.m_scale;
    shape.bitsAsBytes = !keepsBitsAmongNullFlags(c);
    shape.compressed = c.m_compressed;
    return ColumnStorage::storedWidth(shape, StoredIn::ServerRecord);
}

void MyisamRowLayout::placeNullFlags(const engine::TableInformation& table)
{
    // Static rows keep bit 0 of the first byte as the record's live mark.
    std::uint32_t bit = m_dynamic ? 0 : 1;
    m_columns.clear();
    for (const auto& column : table.columns()) {
        MyisamColumnLayout l;
        l.m_column = column.get();
        l.m_length = storedSize(*column);
        l.m_blobLengthBytes = ColumnStorage::blobLengthBytes(column->m_typeCode);
        if (column->m_packFlags & engine::kPackFlagNullable) {
            l.m_nullByte = static_cast<std::uint16_t>(bit / 8);
            l.m_nullMask = static_cast<std::uint8_t>(1u << (bit % 8));
            ++bit;
        }
        if (keepsBitsAmongNullFlags(*column)) {
            l.m_bitPos = bit;
            l.m_bitCount = static_cast<std::uint8_t>(column->m_length % 8);
            bit += l.m_bitCount;
        }
        m_columns.push_back(l);
    }
    m_nullBitsUsed = bit;
    m_nullBytes = (bit + 7) / 8;
}

platform::Result<bool> MyisamRowLayout::placeFields(std::uint64_t defsPos)
{
    std::size_t def = 0;
    std::uint32_t offset = 0;
    if (m_nullBytes > 0) {
        if (m_fieldDefs.empty() || m_fieldDefs[0].m_length != m_nullBytes || m_fieldDefs[0].m_type != FIELD_NORMAL)
            return corrupt(defsPos, "the index file's null area does not match the table definition ("
                                        + std::to_string(m_nullBytes) + " bytes expected)");
        offset = m_nullBytes;
        def = 1;
    }
    for (MyisamColumnLayout& l : m_columns) {
        if (l.m_length == 0 && l.m_bitCount > 0)
            continue; // a BIT column kept wholly among the null flags
        const bool isVirtual = l.m_column->m_generated == engine::Generated::Virtual;
        if (!isVirtual && def < m_fieldDefs.size() && fieldFits(*l.m_column, m_fieldDefs[def])) {
            l.m_fieldDef = static_cast<std::int32_t>(def);
            l.m_offset = offset;
            offset += m_fieldDefs[def].m_length;
            ++def;
            continue;
        }
        // The server leaves generated columns that are not stored out of
        // the record; nothing else may be missing. A definition without its
        // expression block does not say which they are: those are the
        // columns the index file has no field for.
        l.m_virtual = true;
    }
    if (def != m_fieldDefs.size())
        return corrupt(defsPos + 7 * def, "the index file has " + std::to_string(m_fieldDefs.size() - def)
                                               + " fields that the table definition does not account for");
    return true;
}

platform::Result<MyisamRowLayout> MyisamRowLayout::build(const engine::TableInformation& table,
                                                         const MyisamIndexHeader& header)
{
    if (header.compressed())
        return corrupt(4, "compressed (packed) MyISAM tables are not supported");
    MyisamRowLayout layout;
    layout.m_dynamic = header.dynamicRows();
    layout.m_checksum = header.checksum();
    layout.m_checksumSkipsNulls = header.checksumSkipsNulls();
    layout.m_recordLength = header.m_recordLength;
    layout.m_slotLength = header.m_packRecordLength;
    layout.m_packFlagBytes = header.m_packFlagBytes;
    layout.m_fieldDefs = header.m_fieldDefs;
    layout.placeNullFlags(table);
    auto placed = layout.placeFields(header.m_fieldDefsPos);
    if (!placed)
        return placed.error();
    // Where the index file states a column's null bit, it must be ours.
    for (const MyisamColumnLayout& l : layout.m_columns) {
        if (l.m_fieldDef < 0)
            continue;
        const MyisamFieldDef& d = layout.m_fieldDefs[static_cast<std::size_t>(l.m_fieldDef)];
        if (d.m_nullBit != l.m_nullMask || (d.m_nullBit != 0 && d.m_nullPos != l.m_nullByte))
            return corrupt(header.m_fieldDefsPos + 7 * static_cast<std::uint64_t>(l.m_fieldDef),
                           "null flag of column " + l.m_column->m_name.toStdString() + " differs from the definition");
    }
    return layout;
}

platform::Result<MyisamRowLayout> MyisamRowLayout::fromDefinition(const engine::TableInformation& table)
{
    MyisamRowLayout layout;
    layout.m_dynamic = false;
    if (table.m_dynamicRows)
        return corrupt(0, "dynamic rows cannot be read without the index file");
    layout.placeNullFlags(table);
    std::uint32_t offset = layout.m_nullBytes;
    for (MyisamColumnLayout& l : layout.m_columns) {
        if (l.m_column->m_generated == engine::Generated::Virtual) {
            l.m_virtual = true; // in no record
            continue;
        }
        if (l.m_blobLengthBytes != 0 || isVarchar(l.m_column->m_typeCode))
            return corrupt(0, "dynamic rows cannot be read without the index file");
        if (l.m_length == 0 && l.m_bitCount == 0)
            return corrupt(0, "column " + l.m_column->m_name.toStdString() + " has a type the record cannot hold");
        l.m_offset = offset;
        offset += l.m_length;
    }
    layout.m_recordLength = offset;
    // A deleted record keeps a 1-byte mark and a link in its slot.
    layout.m_slotLength = offset < 7 ? 7 : offset;
    return layout;
}

} // namespace recovery::myisam
