#include "recovery/innodb/InnodbDefinitionCheck.h"

#include "recovery/ColumnStorage.h"

#include <initializer_list>

// What the dictionary keeps of a column (SYS_COLUMNS):
//
// | MTYPE | class          | the definition's types                          |
// |-------|----------------|-------------------------------------------------|
// | 1, 12 | VARCHAR        | VARCHAR in a character set                      |
// | 2, 13 | CHAR           | CHAR in a character set                         |
// | 3     | FIXBINARY      | BINARY, DECIMAL, BIT, the 5.6 temporal formats  |
// | 4     | BINARY         | VARBINARY                                       |
// | 5, 14 | BLOB, GEOMETRY | the BLOB and TEXT families, geometry            |
// | 6     | INT            | integers, YEAR, ENUM, SET, old temporal formats |
// | 9, 10 | FLOAT, DOUBLE  | FLOAT, DOUBLE                                   |
// | 11    | DECIMAL        | the DECIMAL of servers before 5.0               |
//
// LEN is the bytes of a fixed-width value and the most bytes of a string;
// PRTYPE bit 13 marks a virtual column (also the server's hidden hash of a
// long UNIQUE key). A table with a FULLTEXT key and no FTS_DOC_ID of its own
// has InnoDB's FTS_DOC_ID as its last stored column.
// SYS_FIELDS names a user index's key columns; a clustered index on DB_ROW_ID
// has none.

namespace recovery::innodb {

using namespace engine;

namespace {

constexpr std::uint32_t kDataVarchar = 1;
constexpr std::uint32_t kDataChar = 2;
constexpr std::uint32_t kDataFixBinary = 3;
constexpr std::uint32_t kDataBinary = 4;
constexpr std::uint32_t kDataBlob = 5;
constexpr std::uint32_t kDataInt = 6;
constexpr std::uint32_t kDataFloat = 9;
constexpr std::uint32_t kDataDouble = 10;
constexpr std::uint32_t kDataDecimal = 11;
constexpr std::uint32_t kDataVarMysql = 12;
constexpr std::uint32_t kDataMysql = 13;
constexpr std::uint32_t kDataGeometry = 14;
constexpr std::uint32_t kDataVirtual = 8192;
// A virtual column's POS: its place among the virtual columns plus one above.
constexpr unsigned kVirtualPosShift = 16;
constexpr std::uint32_t kPosMask = 0xFFFF;
// The column and index InnoDB adds for a FULLTEXT key when the table has no
// FTS_DOC_ID of its own.
const QLatin1String kDocIdColumn("FTS_DOC_ID");
const QLatin1String kDocIdIndex("FTS_DOC_ID_INDEX");

using Verdict = InnodbDefinitionCheck::Verdict;
using Outcome = InnodbDefinitionCheck::Outcome;

Verdict unchecked(const QString& why) { return {Outcome::Unchecked, why}; }
Verdict disagrees(const QString& what) { return {Outcome::Disagrees, what}; }

QString quoted(const QString& name) { return QLatin1Char('`') + name + QLatin1Char('`'); }

// The type classes a column of the definition may have in the dictionary,
// and whether LEN must equal the bytes the definition gives it. Empty: a type
// not compared.
struct Expected {
    std::vector<std::uint32_t> mtypes;
    std::uint32_t len = 0;  // 0: not compared
};

Expected expectedOf(const ColumnInformation& c)
{
    ColumnShape shape;
    shape.typeCode = c.m_typeCode;
    shape.length = c.m_length;
    shape.scale = c.m_scale;
    shape.bitsAsBytes = true;  // InnoDB keeps every bit of a BIT in its bytes
    const std::uint32_t width = ColumnStorage::storedWidth(shape, StoredIn::InnodbRecord);
    const auto with = [](std::initializer_list<std::uint32_t> mtypes, std::uint32_t len) {
        return Expected{std::vector<std::uint32_t>(mtypes), len};
    };
    switch (c.m_typeCode) {
    case TYPE_TINYINT: case TYPE_SMALLINT: case TYPE_MEDIUMINT: case TYPE_INT: case TYPE_BIGINT:
    case TYPE_YEAR: case TYPE_ENUM: case TYPE_SET:
        return with({kDataInt}, width);
    case TYPE_FLOAT: return with({kDataFloat}, width);
    case TYPE_DOUBLE: return with({kDataDouble}, width);
    case TYPE_DECIMAL: case TYPE_UUID: case TYPE_UUID_ALWAYS_TURNED: case TYPE_INET6: case TYPE_INET4:
        return with({kDataFixBinary}, width);
    case TYPE_OLD_DECIMAL: return with({kDataDecimal}, c.m_length);
    case TYPE_DATE: case TYPE_NEWDATE: case TYPE_TIME: case TYPE_DATETIME: case TYPE_TIMESTAMP:
    case TYPE_TIME2: case TYPE_DATETIME2: case TYPE_TIMESTAMP2:
        return with({kDataInt, kDataFixBinary}, width);
    case TYPE_CHAR: case TYPE_BINARY: return with({kDataChar, kDataMysql, kDataFixBinary}, c.m_length);
    case TYPE_VARCHAR: case TYPE_VAR_STRING: case TYPE_VARBINARY:
        return with({kDataVarchar, kDataVarMysql, kDataBinary},
                    ColumnStorage::varcharStoredBytes(c.m_length, c.m_compressed));
    default:
        break;
    }
    if (isTextOrBlobCode(c.m_typeCode) || isSpatialCode(c.m_typeCode))
        return with({kDataBlob, kDataGeometry}, 0);
    return {};
}

QString typeProblem(std::size_t place, const ColumnInformation& c, const SysColumnsRow& dict)
{
    const Expected expected = expectedOf(c);
    if (expected.mtypes.empty())
        return {};
    bool classAgrees = false;
    for (std::uint32_t mtype : expected.mtypes)
        classAgrees = classAgrees || mtype == dict.mtype;
    if (classAgrees && (expected.len == 0 || expected.len == dict.len))
        return {};
    QString definition = c.m_typeName.isEmpty() ? QStringLiteral("type %1").arg(c.m_typeCode) : c.m_typeName;
    if (expected.len != 0)
        definition += QStringLiteral(" of %1 bytes").arg(expected.len);
    return QStringLiteral("column %1 %2 is %3 in the definition, of type class %4 and %5 bytes in the InnoDB data "
                          "dictionary")
        .arg(place)
        .arg(quoted(c.m_name), definition)
        .arg(dict.mtype)
        .arg(dict.len);
}

bool isVirtual(const SysColumnsRow& row) { return row.prtype & kDataVirtual; }

// The dictionary's key column names of the clustered index, in key order;
// why not, when its SYS_FIELDS records are not all there.
struct DictionaryKey {
    std::vector<QString> names;
    QString unchecked;
};

DictionaryKey dictionaryKey(const InnodbDictionary& dictionary, const SysIndexesRow& index)
{
    DictionaryKey key;
    const std::vector<const SysFieldsRow*> fields = dictionary.fieldsOf(index.id);
    if (fields.size() != index.nFields) {
        key.unchecked = QStringLiteral("SYS_FIELDS holds %1 of the clustered index's %2 fields")
                            .arg(fields.size())
                            .arg(index.nFields);
        return key;
    }
    // Positions run 0, 1, ... either plainly or, when a field takes a
    // prefix, in the high 16 bits.
    bool plain = true;
    bool packed = true;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        plain = plain && fields[i]->pos == i;
        packed = packed && (fields[i]->pos >> 16) == i;
        if (fields[i]->fromDamagedPage)
            key.unchecked = QStringLiteral("the SYS_FIELDS page of the clustered index is damaged");
    }
    if (!plain && !packed)
        key.unchecked = QStringLiteral("the clustered index's fields in SYS_FIELDS are not numbered in order");
    if (!key.unchecked.isEmpty())
        return key;
    for (const SysFieldsRow* field : fields)
        key.names.push_back(field->colName);
    return key;
}

QString keyText(const std::vector<QString>& names)
{
    if (names.empty())
        return QStringLiteral("DB_ROW_ID");
    QStringList quotedNames;
    for (const QString& name : names)
        quotedNames << quoted(name);
    return quotedNames.join(QStringLiteral(", "));
}

} // namespace

bool InnodbDefinitionCheck::computedByServer(const ColumnInformation& column)
{
    return column.m_generated == Generated::Virtual || column.m_visibility == Visibility::Hidden;
}

bool InnodbDefinitionCheck::hasHiddenDocId(const InnodbDictionary& dictionary, std::uint64_t tableId,
                                           const TableInformation& table)
{
    for (const auto& column : table.columns())
        if (column->m_name.compare(kDocIdColumn, Qt::CaseInsensitive) == 0)
            return false;
    for (const SysIndexesRow* index : dictionary.indexesOf(tableId))
        if (index->name == kDocIdIndex)
            return true;
    return false;
}

InnodbDefinitionCheck::Verdict InnodbDefinitionCheck::check(const InnodbDictionary& dictionary,
                                                            std::uint64_t clusteredIndexId,
                                                            const TableInformation& table,
                                                            const std::vector<std::size_t>& keyColumns)
{
    const SysIndexesRow* index = dictionary.indexWithId(clusteredIndexId);
    const SysTablesRow* dictTable = index ? dictionary.tableWithId(index->tableId) : nullptr;
    if (!dictTable)
        return unchecked(QStringLiteral("the data dictionary does not name the table of index %1")
                             .arg(clusteredIndexId));

    // The columns.
    if (!dictionary.columnsUnreadable().empty())
        return unchecked(QStringLiteral("SYS_COLUMNS cannot be read: %1")
                             .arg(QString::fromStdString(dictionary.columnsUnreadable())));
    const bool hiddenDocId = hasHiddenDocId(dictionary, dictTable->id, table);
    const std::uint32_t dictStored = dictTable->storedColumns();
    const std::uint32_t dictVirtual = dictTable->virtualColumns();
    std::vector<const SysColumnsRow*> stored;
    std::vector<const SysColumnsRow*> virtuals;
    for (const SysColumnsRow* row : dictionary.columnsOf(dictTable->id)) {
        if (row->fromDamagedPage)
            return unchecked(QStringLiteral("a SYS_COLUMNS page of the table is damaged"));
        (isVirtual(*row) ? virtuals : stored).push_back(row);
    }
    bool inOrder = stored.size() == dictStored && virtuals.size() == dictVirtual;
    for (std::size_t i = 0; inOrder && i < stored.size(); ++i)
        inOrder = stored[i]->pos == i;
    for (std::size_t i = 0; inOrder && i < virtuals.size(); ++i)
        inOrder = (virtuals[i]->pos >> kVirtualPosShift) == i + 1;
    if (!inOrder)
        return unchecked(QStringLiteral("SYS_COLUMNS does not hold the table's %1 columns in order")
                             .arg(dictStored + dictVirtual));

    if (hiddenDocId) {
        if (stored.empty() || stored.back()->name != kDocIdColumn)
            return disagrees(QStringLiteral("the InnoDB data dictionary has a FULLTEXT key's FTS_DOC_ID_INDEX but "
                                            "no FTS_DOC_ID as its last column"));
        stored.pop_back();
    }
    const auto& columns = table.columns();
    std::vector<std::size_t> definitionStored;
    for (std::size_t j = 0; j < columns.size(); ++j)
        if (!computedByServer(*columns[j]))
            definitionStored.push_back(j);
    // Older servers keep the virtual columns among the stored ones.
    if (stored.size() != definitionStored.size()) {
        if (stored.size() != columns.size())
            return disagrees(QStringLiteral("the definition has %1 stored columns, the InnoDB data dictionary %2")
                                 .arg(definitionStored.size())
                                 .arg(stored.size()));
        definitionStored.clear();
        for (std::size_t j = 0; j < columns.size(); ++j)
            definitionStored.push_back(j);
    }
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const ColumnInformation& c = *columns[definitionStored[i]];
        if (c.m_name.compare(stored[i]->name, Qt::CaseInsensitive) != 0)
            return disagrees(QStringLiteral("column %1 is %2 in the definition, %3 in the InnoDB data dictionary")
                                 .arg(definitionStored[i] + 1)
                                 .arg(quoted(c.m_name), quoted(stored[i]->name)));
        if (computedByServer(c))
            continue;  // an older server's stand-in; nothing is stored for it
        const QString problem = typeProblem(definitionStored[i] + 1, c, *stored[i]);
        if (!problem.isEmpty())
            return disagrees(problem);
    }
    for (const SysColumnsRow* row : virtuals) {
        const std::size_t place = row->pos & kPosMask;
        if (place >= columns.size() || !computedByServer(*columns[place])
            || columns[place]->m_name.compare(row->name, Qt::CaseInsensitive) != 0)
            return disagrees(QStringLiteral("column %1 is %2 in the definition, the virtual column %3 in the InnoDB "
                                            "data dictionary")
                                 .arg(place + 1)
                                 .arg(place < columns.size() ? quoted(columns[place]->m_name)
                                                             : QStringLiteral("missing"),
                                      quoted(row->name)));
    }

    // The clustered index's key.
    if (!dictionary.fieldsUnreadable().empty())
        return unchecked(QStringLiteral("SYS_FIELDS cannot be read: %1")
                             .arg(QString::fromStdString(dictionary.fieldsUnreadable())));
    const DictionaryKey key = dictionaryKey(dictionary, *index);
    if (!key.unchecked.isEmpty())
        return unchecked(key.unchecked);
    std::vector<QString> definitionKey;
    for (std::size_t j : keyColumns)
        definitionKey.push_back(j < columns.size() ? columns[j]->m_name : QString());
    bool keyAgrees = definitionKey.size() == key.names.size();
    for (std::size_t i = 0; keyAgrees && i < key.names.size(); ++i)
        keyAgrees = definitionKey[i].compare(key.names[i], Qt::CaseInsensitive) == 0;
    if (!keyAgrees)
        return disagrees(QStringLiteral("the clustered index's key is (%1) in the definition, (%2) in the InnoDB "
                                        "data dictionary")
                             .arg(keyText(definitionKey), keyText(key.names)));
    return {};
}

} // namespace recovery::innodb
