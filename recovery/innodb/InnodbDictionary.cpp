#include "recovery/innodb/InnodbDictionary.h"

#include "platform/ByteReader.h"
#include "platform/DataFile.h"
#include "recovery/innodb/InnodbChecksum.h"

#include <algorithm>
#include <limits>

// Dictionary header page (page 7 of ibdata1), offsets from the page start:
//
// | Offset | Size | Field             | Meaning                            |
// |--------|------|-------------------|------------------------------------|
// | 4      | 4    | FIL_PAGE_OFFSET   | 7                                  |
// | 24     | 2    | FIL_PAGE_TYPE     | 6 = system page                    |
// | 70     | 4    | DICT_HDR_TABLES   | root page of SYS_TABLES' index     |
// | 78     | 4    | DICT_HDR_COLUMNS  | root page of SYS_COLUMNS' index    |
// | 82     | 4    | DICT_HDR_INDEXES  | root page of SYS_INDEXES' index    |
// | 86     | 4    | DICT_HDR_FIELDS   | root page of SYS_FIELDS' index     |
//
// The dictionary's own B-trees are always REDUNDANT. Their records, in field
// order (node pointers hold the key fields and a 4-byte child page number):
//
// | Index       | Key              | Leaf fields                                             |
// |-------------|------------------|---------------------------------------------------------|
// | SYS_TABLES  | NAME             | 0 NAME, 1 DB_TRX_ID (6), 2 DB_ROLL_PTR (7), 3 ID (8),   |
// | (index 1)   |                  | 4 N_COLS (4), 5 TYPE (4), 6 MIX_ID (8), 7 MIX_LEN (4),  |
// |             |                  | 8 CLUSTER_NAME, 9 SPACE (4)                             |
// | SYS_INDEXES | TABLE_ID, ID     | 0 TABLE_ID (8), 1 ID (8), 2 DB_TRX_ID, 3 DB_ROLL_PTR,   |
// | (index 3)   |                  | 4 NAME, 5 N_FIELDS (4), 6 TYPE (4), 7 SPACE (4),        |
// |             |                  | 8 PAGE_NO (4), 9 MERGE_THRESHOLD (4, newer servers)     |
// | SYS_COLUMNS | TABLE_ID, POS    | 0 TABLE_ID (8), 1 POS (4), 2 DB_TRX_ID, 3 DB_ROLL_PTR,  |
// | (index 2)   |                  | 4 NAME, 5 MTYPE (4), 6 PRTYPE (4), 7 LEN (4), 8 PREC (4)|
// | SYS_FIELDS  | INDEX_ID, POS    | 0 INDEX_ID (8), 1 POS (4), 2 DB_TRX_ID, 3 DB_ROLL_PTR,  |
// | (index 4)   |                  | 4 COL_NAME                                              |
//
// MariaDB 10.11 writes SYS_INDEXES leaf records with MERGE_THRESHOLD (10
// fields), so their first heap record does not start where a 9-field record
// would; records are therefore always found through the record list. For a
// table in its own .ibd, SPACE is that tablespace and PAGE_NO the root within it.

namespace recovery::innodb {

using platform::ByteReader;
using platform::DataFile;
using platform::DecodeError;
using platform::DecodeErrorCode;
using platform::Result;

namespace {

constexpr std::uint64_t kDictHeaderPage = 7;
constexpr std::uint16_t kPageTypeSys = 6;
constexpr std::uint64_t kDictHdrTables = 70;
constexpr std::uint64_t kDictHdrColumns = 78;
constexpr std::uint64_t kDictHdrIndexes = 82;
constexpr std::uint64_t kDictHdrFields = 86;

// The fixed index ids of the dictionary's own clustered indexes.
constexpr std::uint64_t kSysTablesIndexId = 1;
constexpr std::uint64_t kSysColumnsIndexId = 2;
constexpr std::uint64_t kSysIndexesIndexId = 3;
constexpr std::uint64_t kSysFieldsIndexId = 4;

// B-trees of 16 KiB pages never grow near this high; a higher PAGE_LEVEL is damage.
constexpr std::uint16_t kMaxLevel = 50;

constexpr std::size_t kSysTablesName = 0;
constexpr std::size_t kSysTablesId = 3;
constexpr std::size_t kSysTablesNCols = 4;
constexpr std::size_t kSysTablesType = 5;
constexpr std::size_t kSysTablesSpace = 9;

constexpr std::size_t kSysIndexesTableId = 0;
constexpr std::size_t kSysIndexesId = 1;
constexpr std::size_t kSysIndexesName = 4;
constexpr std::size_t kSysIndexesNFields = 5;
constexpr std::size_t kSysIndexesType = 6;
constexpr std::size_t kSysIndexesSpace = 7;
constexpr std::size_t kSysIndexesPageNo = 8;
constexpr std::size_t kSysIndexesMergeThreshold = 9;

constexpr std::size_t kSysColumnsTableId = 0;
constexpr std::size_t kSysColumnsPos = 1;
constexpr std::size_t kSysColumnsName = 4;
constexpr std::size_t kSysColumnsMtype = 5;
constexpr std::size_t kSysColumnsPrtype = 6;
constexpr std::size_t kSysColumnsLen = 7;
constexpr std::size_t kSysColumnsPrec = 8;

constexpr std::size_t kSysFieldsIndexIdField = 0;
constexpr std::size_t kSysFieldsPos = 1;
constexpr std::size_t kSysFieldsColName = 4;

constexpr std::uint32_t kIndexTypeClustered = 0x01;

DecodeError corruptAt(std::uint64_t offset, std::string what)
{
    return DecodeError{DecodeErrorCode::Corrupt, offset, std::move(what)};
}

DecodeError notFound(const QString& what)
{
    return DecodeError{DecodeErrorCode::Corrupt, 0, what.toStdString()};
}

// A fixed-width unsigned field: present, not NULL and exactly width bytes.
std::optional<std::uint64_t> fixedField(const InnodbPage& page, const InnodbRecord& rec,
                                        std::size_t i, unsigned width)
{
    if (i >= rec.fieldEnds.size() || rec.fieldEnds[i].isNull)
        return std::nullopt;
    ByteReader r = page.field(rec, i);
    if (!r || r.size() != width)
        return std::nullopt;
    return r.uintBe(width);
}

// A text field; names in the dictionary are the server's file-name encoding.
std::optional<QString> textField(const InnodbPage& page, const InnodbRecord& rec, std::size_t i)
{
    if (i >= rec.fieldEnds.size() || rec.fieldEnds[i].isNull || rec.fieldEnds[i].isExternal)
        return std::nullopt;
    ByteReader r = page.field(rec, i);
    const auto bytes = r.bytes(r.size());
    if (!r)
        return std::nullopt;
    return QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()),
                             static_cast<qsizetype>(bytes.size()));
}

} // namespace

Result<InnodbDictionary> InnodbDictionary::load(const DataFile& ibdata1, const DictionaryLoadProgress& progress)
{
    auto header = InnodbPage::read(ibdata1, kDictHeaderPage);
    if (!header)
        return header.error();
    if (header->pageNumber() != kDictHeaderPage || header->pageType() != kPageTypeSys)
        return corruptAt(header->fileOffset(), "page 7 is not the data dictionary header (page number "
                                                   + std::to_string(header->pageNumber()) + ", type "
                                                   + std::to_string(header->pageType()) + ")");
    ByteReader r = header->reader();
    r.seek(kDictHdrTables);
    const std::uint32_t tablesRoot = r.u32be();
    r.seek(kDictHdrIndexes);
    const std::uint32_t indexesRoot = r.u32be();
    r.seek(kDictHdrColumns);
    const std::uint32_t columnsRoot = r.u32be();
    r.seek(kDictHdrFields);
    const std::uint32_t fieldsRoot = r.u32be();
    if (!r)
        return *r.error();

    if (tablesRoot == indexesRoot)
        return corruptAt(header->fileOffset(), "SYS_TABLES and SYS_INDEXES share root page "
                                                   + std::to_string(tablesRoot));

    InnodbDictionary dict;
    dict.m_pagesRead.push_back(kDictHeaderPage);
    // Both roots are taken before either tree is walked, so that a bad child
    // pointer in one tree cannot claim the other tree's root.
    dict.m_visited = {kDictHeaderPage, tablesRoot, indexesRoot};
    dict.m_sysTablesRoot = tablesRoot;
    dict.m_sysIndexesRoot = indexesRoot;
    dict.m_sysColumnsRoot = columnsRoot;
    dict.m_sysFieldsRoot = fieldsRoot;
    // Only SYS_TABLES' upper levels show progress: SYS_INDEXES is small.
    if (auto bad = dict.readTree(ibdata1, tablesRoot, kSysTablesIndexId, &InnodbDictionary::addSysTablesRecords,
                                 progress, true))
        return *bad;
    if (auto bad = dict.readTree(ibdata1, indexesRoot, kSysIndexesIndexId, &InnodbDictionary::addSysIndexesRecords,
                                 progress, false))
        return *bad;
    // Read after the trees that locate the rows, so that their damage can
    // cost these two only, never a table's location.
    if (auto bad = dict.readDescriptionTree(ibdata1, columnsRoot, kSysColumnsIndexId,
                                            &InnodbDictionary::addSysColumnsRecords, progress,
                                            dict.m_columnsUnreadable))
        return *bad;
    if (auto bad = dict.readDescriptionTree(ibdata1, fieldsRoot, kSysFieldsIndexId,
                                            &InnodbDictionary::addSysFieldsRecords, progress,
                                            dict.m_fieldsUnreadable))
        return *bad;
    dict.m_visited.clear();
    dict.buildLookup();
    return dict;
}

// Checks that a page of a dictionary tree is what the pointer to it promised:
// its own number, a B-tree page of the same index, REDUNDANT, on the expected level.
std::optional<DecodeError> InnodbDictionary::checkTreePage(const InnodbPage& page, std::uint64_t pageNo,
                                                           std::uint64_t indexId, std::uint16_t level)
{
    std::string what;
    if (page.pageNumber() != pageNo)
        what = "holds page number " + std::to_string(page.pageNumber());
    else if (page.pageType() != kPageTypeIndex)
        what = "is not a B-tree page (type " + std::to_string(page.pageType()) + ")";
    else if (page.indexId() != indexId)
        what = "belongs to index " + std::to_string(page.indexId()) + ", not " + std::to_string(indexId);
    else if (page.isCompact())
        what = "is not in the REDUNDANT format of the dictionary";
    else if (page.level() != level)
        what = "is on level " + std::to_string(page.level()) + ", expected " + std::to_string(level);
    if (what.empty())
        return std::nullopt;
    return corruptAt(page.fileOffset(), "dictionary page " + std::to_string(pageNo) + " " + what);
}

std::optional<InnodbPage> InnodbDictionary::readTreePage(const DataFile& file, std::uint64_t pageNo,
                                                         std::uint64_t indexId, std::uint16_t level)
{
    m_pagesRead.push_back(pageNo);
    auto page = InnodbPage::read(file, pageNo);
    if (!page) {
        m_damage.push_back(page.error());
        return std::nullopt;
    }
    if (auto bad = checkTreePage(*page, pageNo, indexId, level)) {
        m_damage.push_back(*bad);
        return std::nullopt;
    }
    return std::move(page).value();
}

// Descends level by level from the root, keeping the node pointers' order, so
// the leaves are visited left to right. Every page is read at most once: a
// child already taken, beyond the file, or not one level below its parent is
// passed over (and recorded as damage). A bad root is an error value.
std::optional<DecodeError> InnodbDictionary::readTree(const DataFile& file, std::uint32_t root,
                                                      std::uint64_t indexId, LeafVisitor visitLeaf,
                                                      const DictionaryLoadProgress& progress, bool reportLevels)
{
    const auto stopped = [&progress] { return progress.stopRequested && progress.stopRequested(); };
    const DecodeError stop{DecodeErrorCode::Stopped, 0, "the reading of the data dictionary was stopped"};
    const std::uint64_t pageCount = file.size() / kPageSize;
    if (root == 0 || root == kDictHeaderPage || root >= pageCount)
        return corruptAt(kDictHeaderPage * kPageSize, "dictionary root page " + std::to_string(root)
                                                          + " is not a page of the file");
    if (stopped())
        return stop;
    m_pagesRead.push_back(root);
    auto rootPage = InnodbPage::read(file, root);
    if (!rootPage)
        return rootPage.error();
    const std::uint16_t rootLevel = rootPage->level();
    if (auto bad = checkTreePage(*rootPage, root, indexId, rootLevel))
        return bad;
    if (rootLevel > kMaxLevel)
        return corruptAt(rootPage->fileOffset(), "dictionary root page " + std::to_string(root)
                                                     + " claims level " + std::to_string(rootLevel));

    std::vector<InnodbPage> levelPages;
    levelPages.push_back(std::move(rootPage).value());
    for (std::uint16_t level = rootLevel; level > 0; --level) {
        if (stopped())
            return stop;
        const bool report = reportLevels && progress.levelBegins;
        if (report)
            progress.levelBegins(levelPages.size());
        std::vector<InnodbPage> below;
        for (const InnodbPage& page : levelPages) {
            if (stopped()) {
                if (report && progress.levelEnds)
                    progress.levelEnds();
                return stop;
            }
            if (report && progress.pageDone)
                progress.pageDone();
            for (std::uint64_t child : childPages(page, pageCount)) {
                if (auto childPage = readTreePage(file, child, indexId, static_cast<std::uint16_t>(level - 1)))
                    below.push_back(std::move(*childPage));
            }
        }
        if (report && progress.levelEnds)
            progress.levelEnds();
        levelPages = std::move(below);
    }
    for (const InnodbPage& leaf : levelPages) {
        if (stopped())
            return stop;
        (this->*visitLeaf)(leaf);
    }
    return std::nullopt;
}

std::vector<std::uint64_t> InnodbDictionary::childPages(const InnodbPage& page, std::uint64_t pageCount)
{
    std::vector<std::uint64_t> children;
    const RecordWalk walk = page.records();
    for (const InnodbRecord& rec : walk.records) {
        const auto child = fixedField(page, rec, rec.fieldEnds.size() - 1, 4);
        const std::uint64_t at = page.fileOffset() + rec.origin;
        if (!child || rec.fieldEnds.size() < 2) {
            m_damage.push_back(corruptAt(at, "node pointer without a child page number"));
        } else if (*child == 0 || *child >= pageCount) {
            m_damage.push_back(corruptAt(at, "child page " + std::to_string(*child) + " is not a page of the file"));
        } else if (!m_visited.insert(*child).second) {
            m_damage.push_back(corruptAt(at, "child page " + std::to_string(*child) + " was already visited"));
        } else {
            children.push_back(*child);
        }
    }
    if (walk.error)
        m_damage.push_back(*walk.error);
    return children;
}

void InnodbDictionary::addSysTablesRecords(const InnodbPage& page)
{
    // The records are still taken: a table located through a damaged page
    // is better than no table, and its own pages are checked when read.
    leafDamaged(page, "SYS_TABLES");
    const RecordWalk walk = page.records();
    for (const InnodbRecord& rec : walk.records) {
        if (rec.deleted)
            continue;  // a dropped or renamed table, not yet purged
        const auto name = textField(page, rec, kSysTablesName);
        const auto id = fixedField(page, rec, kSysTablesId, 8);
        if (!name || !id) {
            m_damage.push_back(corruptAt(page.fileOffset() + rec.origin, "SYS_TABLES record without NAME or ID"));
            continue;
        }
        SysTablesRow row;
        row.name = *name;
        row.id = *id;
        row.nCols = static_cast<std::uint32_t>(fixedField(page, rec, kSysTablesNCols, 4).value_or(0));
        row.flags = static_cast<std::uint32_t>(fixedField(page, rec, kSysTablesType, 4).value_or(0));
        row.space = static_cast<std::uint32_t>(fixedField(page, rec, kSysTablesSpace, 4).value_or(0));
        m_tables.push_back(std::move(row));
    }
    if (walk.error)
        m_damage.push_back(*walk.error);
}

void InnodbDictionary::addSysIndexesRecords(const InnodbPage& page)
{
    leafDamaged(page, "SYS_INDEXES");
    const RecordWalk walk = page.records();
    for (const InnodbRecord& rec : walk.records) {
        if (rec.deleted)
            continue;  // an index of a dropped table or a dropped index
        const auto tableId = fixedField(page, rec, kSysIndexesTableId, 8);
        const auto id = fixedField(page, rec, kSysIndexesId, 8);
        const auto type = fixedField(page, rec, kSysIndexesType, 4);
        const auto pageNo = fixedField(page, rec, kSysIndexesPageNo, 4);
        if (!tableId || !id || !type || !pageNo) {
            m_damage.push_back(corruptAt(page.fileOffset() + rec.origin,
                                         "SYS_INDEXES record without TABLE_ID, ID, TYPE or PAGE_NO"));
            continue;
        }
        SysIndexesRow row;
        row.tableId = *tableId;
        row.id = *id;
        row.name = textField(page, rec, kSysIndexesName).value_or(QString());
        row.nFields = static_cast<std::uint32_t>(fixedField(page, rec, kSysIndexesNFields, 4).value_or(0));
        row.type = static_cast<std::uint32_t>(*type);
        row.space = static_cast<std::uint32_t>(fixedField(page, rec, kSysIndexesSpace, 4).value_or(0));
        row.pageNo = static_cast<std::uint32_t>(*pageNo);
        if (const auto merge = fixedField(page, rec, kSysIndexesMergeThreshold, 4))
            row.mergeThreshold = static_cast<std::uint32_t>(*merge);
        m_indexes.push_back(std::move(row));
    }
    if (walk.error)
        m_damage.push_back(*walk.error);
}

std::optional<DecodeError> InnodbDictionary::readDescriptionTree(const DataFile& file, std::uint32_t root,
                                                                 std::uint64_t indexId, LeafVisitor visitLeaf,
                                                                 const DictionaryLoadProgress& progress,
                                                                 std::string& unreadable)
{
    if (!m_visited.insert(root).second) {
        unreadable = "its root page " + std::to_string(root) + " is a page of another dictionary tree";
        return std::nullopt;
    }
    auto bad = readTree(file, root, indexId, visitLeaf, progress, false);
    if (bad && bad->code == DecodeErrorCode::Stopped)
        return bad;
    if (bad)
        unreadable = bad->what;
    return std::nullopt;
}

bool InnodbDictionary::leafDamaged(const InnodbPage& page, const char* tree)
{
    const PageCheck check = verifyPage(page.bytes());
    if (check.integrity != PageIntegrity::Damaged)
        return false;
    m_damage.push_back(corruptAt(page.fileOffset(), std::string(tree) + " page " + std::to_string(page.pageNumber())
                                                        + " is damaged (" + check.what + ")"));
    return true;
}

void InnodbDictionary::addSysColumnsRecords(const InnodbPage& page)
{
    const bool damaged = leafDamaged(page, "SYS_COLUMNS");
    const RecordWalk walk = page.records();
    for (const InnodbRecord& rec : walk.records) {
        if (rec.deleted)
            continue;
        const auto tableId = fixedField(page, rec, kSysColumnsTableId, 8);
        const auto pos = fixedField(page, rec, kSysColumnsPos, 4);
        const auto name = textField(page, rec, kSysColumnsName);
        const auto mtype = fixedField(page, rec, kSysColumnsMtype, 4);
        const auto prtype = fixedField(page, rec, kSysColumnsPrtype, 4);
        const auto len = fixedField(page, rec, kSysColumnsLen, 4);
        if (!tableId || !pos || !name || !mtype || !prtype || !len) {
            m_damage.push_back(corruptAt(page.fileOffset() + rec.origin,
                                         "SYS_COLUMNS record without TABLE_ID, POS, NAME, MTYPE, PRTYPE or LEN"));
            continue;
        }
        SysColumnsRow row;
        row.tableId = *tableId;
        row.pos = static_cast<std::uint32_t>(*pos);
        row.name = *name;
        row.mtype = static_cast<std::uint32_t>(*mtype);
        row.prtype = static_cast<std::uint32_t>(*prtype);
        row.len = static_cast<std::uint32_t>(*len);
        row.prec = static_cast<std::uint32_t>(fixedField(page, rec, kSysColumnsPrec, 4).value_or(0));
        row.fromDamagedPage = damaged;
        m_columns.push_back(std::move(row));
    }
    if (walk.error)
        m_damage.push_back(*walk.error);
}

void InnodbDictionary::addSysFieldsRecords(const InnodbPage& page)
{
    const bool damaged = leafDamaged(page, "SYS_FIELDS");
    const RecordWalk walk = page.records();
    for (const InnodbRecord& rec : walk.records) {
        if (rec.deleted)
            continue;
        const auto indexId = fixedField(page, rec, kSysFieldsIndexIdField, 8);
        const auto pos = fixedField(page, rec, kSysFieldsPos, 4);
        const auto name = textField(page, rec, kSysFieldsColName);
        if (!indexId || !pos || !name) {
            m_damage.push_back(corruptAt(page.fileOffset() + rec.origin,
                                         "SYS_FIELDS record without INDEX_ID, POS or COL_NAME"));
            continue;
        }
        SysFieldsRow row;
        row.indexId = *indexId;
        row.pos = static_cast<std::uint32_t>(*pos);
        row.colName = *name;
        row.fromDamagedPage = damaged;
        m_fields.push_back(std::move(row));
    }
    if (walk.error)
        m_damage.push_back(*walk.error);
}

// Names are matched exactly first: on a case-sensitive file system "db/T"
// and "db/t" are two tables. A name that differs only in letter case still
// matches when it is the only such name (servers that fold names to lower case).
void InnodbDictionary::buildLookup()
{
    QHash<QString, int> foldedCount;
    for (std::size_t i = 0; i < m_tables.size(); ++i) {
        m_byName.insert(m_tables[i].name, i);
        const QString folded = m_tables[i].name.toLower();
        ++foldedCount[folded];
        m_byFoldedName.insert(folded, i);
    }
    for (auto it = foldedCount.cbegin(); it != foldedCount.cend(); ++it) {
        if (it.value() > 1)
            m_byFoldedName.remove(it.key());
    }
    for (std::size_t i = 0; i < m_tables.size(); ++i)
        m_tablesById.insert(m_tables[i].id, i);
    for (std::size_t i = 0; i < m_indexes.size(); ++i) {
        m_indexesByTable.insert(m_indexes[i].tableId, i);
        m_indexesById.insert(m_indexes[i].id, i);
    }
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        m_columnsByTable.insert(m_columns[i].tableId, i);
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        m_fieldsByIndex.insert(m_fields[i].indexId, i);
}

template <typename Row>
std::vector<const Row*> InnodbDictionary::byPos(const QMultiHash<std::uint64_t, std::size_t>& lookup,
                                                std::uint64_t key, const std::vector<Row>& rows)
{
    std::vector<const Row*> found;
    const auto [first, last] = lookup.equal_range(key);
    for (auto it = first; it != last; ++it)
        found.push_back(&rows[*it]);
    std::stable_sort(found.begin(), found.end(), [](const Row* a, const Row* b) { return a->pos < b->pos; });
    return found;
}

std::vector<const SysColumnsRow*> InnodbDictionary::columnsOf(std::uint64_t tableId) const
{
    return byPos(m_columnsByTable, tableId, m_columns);
}

std::vector<const SysFieldsRow*> InnodbDictionary::fieldsOf(std::uint64_t indexId) const
{
    return byPos(m_fieldsByIndex, indexId, m_fields);
}

std::vector<const SysIndexesRow*> InnodbDictionary::indexesOf(std::uint64_t tableId) const
{
    std::vector<const SysIndexesRow*> rows;
    const auto [first, last] = m_indexesByTable.equal_range(tableId);
    for (auto it = first; it != last; ++it)
        rows.push_back(&m_indexes[*it]);
    return rows;
}

const SysTablesRow* InnodbDictionary::tableWithId(std::uint64_t tableId) const
{
    auto it = m_tablesById.constFind(tableId);
    return it == m_tablesById.cend() ? nullptr : &m_tables[it.value()];
}

const SysIndexesRow* InnodbDictionary::indexWithId(std::uint64_t indexId) const
{
    auto it = m_indexesById.constFind(indexId);
    return it == m_indexesById.cend() ? nullptr : &m_indexes[it.value()];
}

const SysTablesRow* InnodbDictionary::tableNamed(const QString& qualifiedName) const
{
    auto exact = m_byName.constFind(qualifiedName);
    if (exact != m_byName.cend())
        return &m_tables[exact.value()];
    auto folded = m_byFoldedName.constFind(qualifiedName.toLower());
    if (folded != m_byFoldedName.cend())
        return &m_tables[folded.value()];
    return nullptr;
}

Result<InnodbTableLocation> InnodbDictionary::findTable(const QString& qualifiedName) const
{
    const SysTablesRow* table = tableNamed(qualifiedName);
    if (!table)
        return notFound("table " + qualifiedName + " is not in the data dictionary");

    const SysIndexesRow* clustered = nullptr;
    bool clusteredWithoutRoot = false;
    const auto [first, last] = m_indexesByTable.equal_range(table->id);
    for (auto it = first; it != last; ++it) {
        const SysIndexesRow& index = m_indexes[*it];
        if (!(index.type & kIndexTypeClustered))
            continue;
        if (index.pageNo == kFilNull) {
            clusteredWithoutRoot = true;
            continue;
        }
        if (!clustered || index.id < clustered->id)
            clustered = &index;
    }
    if (!clustered)
        return notFound("table " + qualifiedName
                        + (clusteredWithoutRoot ? " has no root page for its clustered index"
                                                : " has no clustered index in the data dictionary"));

    InnodbTableLocation loc;
    loc.name = table->name;
    loc.tableId = table->id;
    loc.clusteredIndexId = clustered->id;
    loc.space = clustered->space;
    loc.rootPage = clustered->pageNo;
    loc.nCols = table->nCols;
    loc.flags = table->flags;
    return loc;
}

Result<std::uint64_t> InnodbDictionary::clusteredIndexRoot(const QString& qualifiedName) const
{
    auto loc = findTable(qualifiedName);
    if (!loc)
        return loc.error();
    return loc->rootPage;
}

} // namespace recovery::innodb
