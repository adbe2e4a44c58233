#include "recovery/innodb/InnodbRecordDecoder.h"

#include "platform/ByteReader.h"
#include "platform/DataFile.h"
#include "recovery/innodb/InnodbBlobReader.h"

// Clustered-index records (fields in this order; the page walk gives the
// origin, REDUNDANT records carry their own field end offsets):
//
// | Record         | Fields                                                        |
// |----------------|---------------------------------------------------------------|
// | leaf           | key columns (or DB_ROW_ID, 6), DB_TRX_ID (6), DB_ROLL_PTR (7), |
// |                | the other columns                                             |
// | node pointer   | key columns (or DB_ROW_ID, 6), child page number (4)          |
//
// COMPACT header below the origin (read downwards):
//
// | Offset from origin | Size       | Meaning                                           |
// |--------------------|------------|---------------------------------------------------|
// | -5 .. -1           | 5          | info bits, heap number, status, next record       |
// | -6 - k div 8       | bit k mod 8| SQL NULL flag of the k-th nullable column          |
// | below the bitmap   | 1 or 2     | length of each non-NULL variable field, in order:  |
// |                    |            | 2 bytes when the field may pass 255 bytes and the  |
// |                    |            | first has 0x80; then 0x40 = stored off-page and    |
// |                    |            | the length is ((b1 & 0x3F) << 8) | b2             |
//
// An off-page field keeps its local bytes (COMPACT/REDUNDANT: a 768-byte
// prefix; DYNAMIC: none) followed by a 20-byte reference (InnodbBlobReader).

namespace recovery::innodb {

using engine::RowValue;
using platform::ByteReader;
using platform::DecodeError;
using platform::Result;

namespace {

constexpr std::uint32_t kRowIdSize = 6;
constexpr std::uint32_t kTrxIdSize = 6;
constexpr std::uint32_t kRollPtrSize = 7;
constexpr std::uint32_t kChildPageSize = 4;
constexpr std::uint64_t kPageEnd = kPageSize - kFilTrailerSize;
constexpr std::uint8_t kLengthTwoBytes = 0x80;
constexpr std::uint8_t kLengthExternal = 0x40;
constexpr std::uint8_t kStatusOrdinary = 0;
constexpr std::uint8_t kStatusNodePointer = 1;

QString placeholder(engine::ColumnTypeCode code)
{
    using namespace engine;
    switch (code) {
    case TYPE_VARCHAR: case TYPE_VAR_STRING: return QStringLiteral("Large data of Varchar");
    case TYPE_TINYTEXT: return QStringLiteral("Large data of Tinytext");
    case TYPE_VARBINARY: return QStringLiteral("Large data of Varbinary");
    case TYPE_TEXT: case TYPE_MEDIUMTEXT: case TYPE_LONGTEXT:
        return QStringLiteral("Large data of text  or Mediumtext or Longtext");
    default: return QStringLiteral("Large data of Blob or Tinyblob or Mediumblob or Longblob");
    }
}

} // namespace

InnodbRecordDecoder::InnodbRecordDecoder(InnodbTableLayout layout, const platform::DataFile& file, Options options)
    : m_layout(std::move(layout)), m_file(file), m_options(options)
{
    m_layout.members.resize(m_layout.columns.size());
    for (const engine::tempColInfo& column : m_layout.columns) {
        const auto shape = InnodbColumnDecoder::shapeOf(column, m_layout.format);
        if (!shape && m_unreadable.empty())
            m_unreadable = "column " + column.m_name.toStdString() + " has type code "
                + std::to_string(column.m_typeCode) + ", which this reader cannot place";
        m_shapes.push_back(shape.value_or(FieldShape{}));
    }
    m_leafSpecs = compactSpecs(false);
    m_nodeSpecs = compactSpecs(true);
}

std::vector<InnodbRecordDecoder::FieldSpec> InnodbRecordDecoder::compactSpecs(bool nodePointer) const
{
    std::vector<FieldSpec> specs;
    const auto column = [&](std::size_t j) {
        const engine::tempColInfo& c = m_layout.columns[j];
        const bool nullable = c.m_nullText == QLatin1String("null") && c.m_nullFlagIndex >= 0;
        specs.push_back({m_shapes[j], nullable ? c.m_nullFlagIndex : -1});
    };
    if (m_layout.keyColumns == 0)
        specs.push_back({FieldShape{kRowIdSize, false}, -1});
    for (std::size_t j = 0; j < m_layout.keyColumns && j < m_layout.columns.size(); ++j)
        column(j);
    if (nodePointer) {
        specs.push_back({FieldShape{kChildPageSize, false}, -1});
    } else {
        specs.push_back({FieldShape{kTrxIdSize + kRollPtrSize, false}, -1});
        for (std::size_t j = m_layout.keyColumns; j < m_layout.columns.size(); ++j)
            column(j);
    }
    return specs;
}

Result<std::vector<FieldSlice>> InnodbRecordDecoder::locate(const InnodbPage& page, const InnodbRecord& record) const
{
    if (!m_unreadable.empty())
        return page.corrupt(record.origin, m_unreadable);
    if (m_layout.format == RecordFormat::Redundant)
        return locateRedundant(page, record);
    return locateCompact(page, record, false);
}

Result<std::vector<FieldSlice>> InnodbRecordDecoder::locateCompact(const InnodbPage& page, const InnodbRecord& record,
                                                                   bool nodePointer) const
{
    if (record.status != (nodePointer ? kStatusNodePointer : kStatusOrdinary))
        return page.corrupt(record.origin, nodePointer ? "not a node-pointer record" : "not a leaf record");
    const std::vector<FieldSpec>& specs = nodePointer ? m_nodeSpecs : m_leafSpecs;

    const std::uint64_t nullBytes = (m_layout.nullableColumns + 7) / 8;
    ByteReader r = page.reader();
    const std::uint64_t origin = record.origin;
    if (origin < kCompactExtraBytes + nullBytes)
        return page.corrupt(origin, "record header outside the page");
    std::uint64_t lengthPos = origin - kCompactExtraBytes - nullBytes;
    std::uint64_t data = origin;
    std::vector<FieldSlice> slices;
    slices.reserve(specs.size());
    for (const FieldSpec& field : specs) {
        if (field.nullIndex >= 0) {
            if (static_cast<std::uint64_t>(field.nullIndex) >= m_layout.nullableColumns)
                return page.corrupt(origin, "NULL flag beyond the record's bitmap");
            r.seek(origin - kCompactExtraBytes - 1 - static_cast<std::uint64_t>(field.nullIndex) / 8);
            if (r.u8() & (1u << (field.nullIndex % 8))) {
                slices.push_back({static_cast<std::uint16_t>(data), 0, true, false});
                continue;
            }
        }
        std::uint64_t length = field.shape.fixedWidth;
        bool external = false;
        if (field.shape.variable()) {
            if (lengthPos == 0 || !r.seek(--lengthPos))
                return page.corrupt(origin, "variable-length header runs out of the page");
            const std::uint8_t first = r.u8();
            length = first;
            if (field.shape.bigLength && (first & kLengthTwoBytes)) {
                if (lengthPos == 0 || !r.seek(--lengthPos))
                    return page.corrupt(origin, "variable-length header runs out of the page");
                length = (std::uint64_t{first} & 0x3F) << 8 | r.u8();
                external = first & kLengthExternal;
            }
        }
        if (data + length > kPageEnd)
            return page.corrupt(data, "field runs past the end of the page");
        slices.push_back({static_cast<std::uint16_t>(data), static_cast<std::uint16_t>(length), false, external});
        data += length;
    }
    if (!r)
        return page.corrupt(origin, "record header outside the page");
    // Leave out DB_ROW_ID and the system fields: slices are user columns
    // (and, for a node pointer, the child page last).
    if (m_layout.keyColumns == 0)
        slices.erase(slices.begin());
    if (!nodePointer)
        slices.erase(slices.begin() + static_cast<std::ptrdiff_t>(m_layout.keyColumns));
    return slices;
}

Result<std::vector<FieldSlice>> InnodbRecordDecoder::locateRedundant(const InnodbPage& page,
                                                                     const InnodbRecord& record) const
{
    const std::size_t keyFields = m_layout.keyColumns == 0 ? 1 : m_layout.keyColumns;
    const std::size_t others = m_layout.columns.size() - m_layout.keyColumns;
    const std::size_t expected = keyFields + 2 + others + m_layout.hiddenTrailingFields;
    // More fields than the table has is as wrong as fewer: the record is
    // not one of this table, or its header is damaged.
    if (record.fieldEnds.size() != expected)
        return page.corrupt(record.origin, "record has " + std::to_string(record.fieldEnds.size())
                                                + " fields, the table " + std::to_string(expected));
    std::vector<FieldSlice> slices;
    slices.reserve(m_layout.columns.size());
    const auto field = [&](std::size_t i) -> std::optional<FieldSlice> {
        const std::uint64_t start = i == 0 ? 0 : record.fieldEnds[i - 1].end;
        const std::uint64_t end = record.fieldEnds[i].end;
        if (end < start || record.origin + end > kPageEnd)
            return std::nullopt;
        return FieldSlice{static_cast<std::uint16_t>(record.origin + start), static_cast<std::uint16_t>(end - start),
                          record.fieldEnds[i].isNull, record.fieldEnds[i].isExternal};
    };
    for (std::size_t j = 0; j < m_layout.columns.size(); ++j) {
        const std::size_t i = j < m_layout.keyColumns ? j : j + (keyFields - m_layout.keyColumns) + 2;
        auto slice = field(i);
        if (!slice)
            return page.corrupt(record.origin, "field end offsets out of order");
        slices.push_back(*slice);
    }
    return slices;
}

Result<QByteArray> InnodbRecordDecoder::wholeValue(const InnodbPage& page, const FieldSlice& slice) const
{
    if (slice.length < kExternRefSize)
        return page.corrupt(slice.start, "off-page field shorter than its reference");
    ByteReader r = page.reader();
    r.seek(slice.start);
    const auto prefix = r.bytes(slice.length - kExternRefSize);
    const auto reference = r.bytes(kExternRefSize);
    if (!r)
        return *r.error();
    if (prefix.size() > m_options.maxOffPageBytes)
        return page.corrupt(slice.start, "too long");
    auto rest = InnodbBlobReader::read(m_file, page.spaceId(), reference,
                                       m_options.maxOffPageBytes - prefix.size(),
                                       page.fileOffset() + slice.start + prefix.size());
    if (!rest)
        return rest.error();
    QByteArray whole(QByteArrayView(prefix.data(), static_cast<qsizetype>(prefix.size())).toByteArray());
    whole.append(*rest);
    return whole;
}

Result<RowValue> InnodbRecordDecoder::value(const InnodbPage& page, const FieldSlice& slice, std::size_t column) const
{
    if (column >= m_layout.columns.size())
        return page.corrupt(slice.start, "no such column");
    if (slice.isNull)
        return RowValue::Null();
    const engine::tempColInfo& c = m_layout.columns[column];
    const std::uint64_t offset = page.fileOffset() + slice.start;
    if (!slice.isExternal) {
        ByteReader r = page.reader();
        r.seek(slice.start);
        const auto bytes = r.bytes(slice.length);
        if (!r)
            return *r.error();
        return InnodbColumnDecoder::convert(c, m_layout.members[column], bytes, offset);
    }
    if (m_options.offPagePlaceholders)
        return RowValue::Text(placeholder(c.m_typeCode));
    auto whole = wholeValue(page, slice);
    if (!whole)
        return whole.error();
    const auto* data = reinterpret_cast<const std::uint8_t*>(whole->constData());
    return InnodbColumnDecoder::convert(c, m_layout.members[column],
                                        std::span<const std::uint8_t>(data, static_cast<std::size_t>(whole->size())),
                                        offset);
}

Result<std::vector<RowValue>> InnodbRecordDecoder::decode(const InnodbPage& page, const InnodbRecord& record) const
{
    auto slices = locate(page, record);
    if (!slices)
        return slices.error();
    std::vector<RowValue> values;
    values.reserve(slices->size());
    for (std::size_t j = 0; j < slices->size(); ++j) {
        auto v = value(page, (*slices)[j], j);
        if (!v)
            return v.error();
        values.push_back(std::move(*v));
    }
    return values;
}

Result<std::uint32_t> InnodbRecordDecoder::childPage(const InnodbPage& page, const InnodbRecord& record) const
{
    ByteReader r = page.reader();
    if (m_layout.format == RecordFormat::Redundant) {
        const std::size_t keyFields = m_layout.keyColumns == 0 ? 1 : m_layout.keyColumns;
        if (record.fieldEnds.size() != keyFields + 1)
            return page.corrupt(record.origin, "node pointer has " + std::to_string(record.fieldEnds.size())
                                                    + " fields");
        ByteReader child = page.field(record, keyFields);
        if (child.size() != kChildPageSize)
            return page.corrupt(record.origin, "node pointer without a 4-byte child page");
        return child.u32be();
    }
    if (!m_unreadable.empty())
        return page.corrupt(record.origin, m_unreadable);
    auto slices = locateCompact(page, record, true);
    if (!slices)
        return slices.error();
    r.seek(slices->back().start);
    const std::uint32_t child = r.u32be();
    if (!r)
        return *r.error();
    return child;
}

} // namespace recovery::innodb
