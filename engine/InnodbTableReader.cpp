// Table preparation (record order of the columns, the clustered index
// descended level by level and its leaf chain followed), and the rows of one
// data page to the preview or the server. The record and column decoding
// lives in recovery/innodb.
#include "engine/InnodbTableReader.h"

#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/ReportWindow.h"
#include "engine/StringTable.h"
#include "recovery/innodb/InnodbChecksum.h"
#include "recovery/innodb/InnodbDefinitionCheck.h"
#include "recovery/innodb/InnodbDictionary.h"

#include <QFileInfo>

namespace engine {

using recovery::innodb::FieldSlice;
using recovery::innodb::InnodbPage;
using recovery::innodb::InnodbRecordDecoder;
using recovery::innodb::InnodbTableLayout;
using recovery::innodb::kFilNull;
using recovery::innodb::kPageSize;
using recovery::innodb::kPageTypeIndex;
using recovery::innodb::kPageTypeInstant;
using recovery::innodb::RecordFormat;

namespace {

// The server's B-trees are never this high; a deeper root is damage.
constexpr std::uint16_t kMaxTreeLevel = 100;
// Off-page values are read whole up to the server's largest packet.
constexpr std::uint64_t kRepairOffPageBytes = 1ull << 30;
// Damaged pages of a table logged one by one; the rest are only counted.
constexpr std::size_t kLoggedDamagedPages = 10;
// Attempts to open a data file another program holds for a moment.
constexpr int kDataFileOpenAttempts = 4;

bool isNullable(const tempColInfo& column)
{
    return column.m_nullText == QLatin1String("null");
}

tempColInfo columnInfo(const ColumnInformation& c)
{
    tempColInfo t;
    t.m_name = c.m_name;
    t.m_typeName = c.m_typeName;
    t.m_nullText = c.m_nullText;
    t.m_signText = c.m_signText;
    t.m_typeCode = c.m_typeCode;
    t.m_charset = c.m_charset;
    t.m_length = c.m_length;
    t.m_scale = c.m_scale;
    t.m_generated = c.m_generated != Generated::None;
    t.m_compressed = c.m_compressed;
    return t;
}

// Whether a key part takes its column whole: a prefix of a string, and any
// part of a BLOB or TEXT (always a prefix), does not.
bool wholeColumnPart(const KeysInformation& part, const ColumnInformation& column)
{
    if (isTextOrBlobCode(column.m_typeCode))
        return false;
    switch (column.m_typeCode) {
    case TYPE_CHAR: case TYPE_VARCHAR: case TYPE_VAR_STRING: case TYPE_BINARY: case TYPE_VARBINARY:
        return part.m_prefixLength >= column.m_length;
    default:
        return true;
    }
}

// The columns of the clustered index key, in key-part order: the primary
// key, or else the first UNIQUE key whose columns are all NOT NULL and taken
// whole (the server makes that one the clustered index). Empty: DB_ROW_ID.
std::vector<std::size_t> clusteredKeyColumns(const TableInformation& table)
{
    const auto& columns = table.columns();
    const auto& parts = table.m_keyParts;
    bool whole = true;
    const auto keyAt = [&](std::size_t first, std::size_t& next) {
        std::vector<std::size_t> key;
        whole = true;
        const std::size_t count = std::max<std::size_t>(1, parts[first].m_partCount);
        for (next = first; next < parts.size() && next < first + count && parts[next].m_kind == parts[first].m_kind;
             ++next)
            if (parts[next].m_column >= 1 && parts[next].m_column <= columns.size()) {
                key.push_back(parts[next].m_column - 1u);
                whole = whole && wholeColumnPart(parts[next], *columns[key.back()]);
            }
        return key;
    };
    for (const bool primary : {true, false}) {
        for (std::size_t i = 0, next = 0; i < parts.size(); i = std::max(next, i + 1)) {
            const QString& kind = parts[i].m_kind;
            std::vector<std::size_t> key = keyAt(i, next);
            if (key.empty())
                continue;
            if (primary && kind.compare(QLatin1String("Primary Key"), Qt::CaseInsensitive) == 0)
                return key;
            if (!primary && whole && kind.compare(QLatin1String("Unique Key"), Qt::CaseInsensitive) == 0) {
                bool allNotNull = true;
                for (std::size_t c : key)
                    allNotNull = allNotNull
                        && columns[c]->m_nullText.compare(QLatin1String("not null"), Qt::CaseInsensitive) == 0;
                if (allNotNull)
                    return key;
            }
        }
    }
    return {};
}

QString pageProblem(const QString& table, std::uint64_t page, const platform::DecodeError& error)
{
    return QStringLiteral("Table %1: page %2 is damaged at offset %3 (%4); the records behind it were passed over.")
        .arg(table)
        .arg(page)
        .arg(error.offset)
        .arg(QString::fromStdString(error.what));
}

QString instantProblem(const QString& table, const platform::DecodeError& error)
{
    return QStringLiteral("Table %1: ALTER TABLE changed it in place, and its metadata record (the defaults of added "
                          "columns and which stored field is which column) cannot be read at offset %2 (%3); its "
                          "rows are not read.")
        .arg(table)
        .arg(error.offset)
        .arg(QString::fromStdString(error.what));
}

QString valueProblem(const QString& table, std::uint64_t page, const platform::DecodeError& error)
{
    return QStringLiteral("Table %1: a value on page %2 is damaged at offset %3 (%4); its row is recovered without "
                          "it.")
        .arg(table)
        .arg(page)
        .arg(error.offset)
        .arg(QString::fromStdString(error.what));
}

} // namespace

void InnodbTableReader::Reset(const TableInformation& table)
{
    AppState& app = m_repair.app();
    app.m_nPagesMerged = 0;
    app.m_nNullableColumns = 0;
    app.m_nTotalRecords = 0;
    m_repair.m_columns.clear();
    m_repair.m_keyColumns.clear();
    m_repair.m_dataPages.clear();
    m_redundant = false;
    m_hiddenDocId = false;
    m_path.clear();
    m_table = table.m_name;
    m_tableName = table.m_name;
    m_current = 0;
    m_partitions.clear();
    m_indexId = 0;
    m_pageCount = 0;
    m_decoder.reset();
    m_writer.reset();
    m_pageWorkList.clear();
    m_visited.clear();
    m_page = nullptr;
    m_slices.clear();
    m_row.clear();
    m_columnError.reset();
    m_valueDamaged = false;
    m_pagesCounted.clear();
    m_damagedPages.clear();
    m_rowsRecovered = 0;
    m_rowsFromDamagedPages = 0;
    m_rowsWithDamagedValues = 0;
    m_openRows = {};
    m_summaryLogged = false;
    m_repair.m_rowDamaged = false;
}

QString InnodbTableReader::RootPageUnknownText() const
{
    const QString ibdata = m_repair.SharedTablespacePath();
    QString why;
    if (ibdata.isEmpty() || !QFileInfo(ibdata).isFile())
        why = QStringLiteral("no ibdata1 was given, and only its data dictionary names where an InnoDB table's rows "
                             "start");
    else if (!m_repair.m_dictionary)
        why = QStringLiteral("the data dictionary of %1 could not be read").arg(ibdata);
    else
        why = QStringLiteral("the data dictionary of %1 does not name the table").arg(ibdata);
    return QStringLiteral("Table %1: the root page of its rows is unknown: %2.").arg(m_table, why);
}

void InnodbTableReader::LocateTableData(TableInformation& table)
{
    Reset(table);
    if (table.columns().empty()) {
        m_repair.AppendLog(QStringLiteral("Table %1: its definition has no readable column; its rows are not read.")
                               .arg(table.m_name));
        LogTotal();
        return;
    }
    const InnodbTableLayout layout = DescribeColumns(table);
    // Each partition is a tablespace of its own; the table's rows are theirs
    // in partition order, each page known by its row place.
    // The scan has logged why the rows of some tables are not read.
    const std::vector<TablePartition> sources =
        table.m_rowsNotRead ? std::vector<TablePartition>{} : table.rowSources();
    m_partitions.resize(sources.size());
    std::vector<std::uint64_t> places;
    bool readable = false;
    for (std::size_t k = 0; k < sources.size() && !m_repair.app().m_bStop; ++k) {
        SelectPartition(k);
        m_table = table.sourceLabel(sources[k]);
        m_path.clear();
        m_repair.m_dataPages.clear();
        if (LocateSource(table, sources[k], layout)) {
            readable = true;
            for (const std::uint64_t page : m_repair.m_dataPages)
                places.push_back(rowPlace(k, page));
        } else if (sources.size() > 1) {
            m_repair.AppendLog(QStringLiteral("Table %1: the rows of partition %2 are not read; the other partitions' "
                                              "are.")
                                   .arg(table.m_name, sources[k].m_name));
        }
    }
    m_repair.m_dataPages = std::move(places);
    m_repair.app().m_nPageCount = static_cast<std::int32_t>(m_repair.m_dataPages.size());
    if (readable)
        m_writer = std::make_unique<RowWriter>(m_repair, table.m_name, m_repair.m_columns);
    LogTotal();
}

bool InnodbTableReader::LocateSource(const TableInformation& table, const TablePartition& source,
                                     const InnodbTableLayout& layout)
{
    if (!OpenDataFile(source.m_dataFile))
        return false;
    const std::optional<InnodbPage> root = ReadRootPage(source.m_rootPage);
    if (!root || !DefinitionUsable(table, root->indexId()) || !DefinitionAgrees(table, root->indexId())
        || !PrepareDecoder(layout, *root))
        return false;
    const auto recordsBefore = m_repair.app().m_nTotalRecords;
    DescendToLeafLevel(source.m_rootPage, root->level());
    FollowLeafChain();
    return ReadInstantMetadata(source.m_rootPage, recordsBefore);
}

void InnodbTableReader::SelectPartition(std::size_t k)
{
    if (k == m_current || k >= m_partitions.size())
        return;
    if (m_current < m_partitions.size())
        m_partitions[m_current] = PartitionState{m_table,       m_path,          m_indexId,          m_pageCount,
                                                 m_redundant,   m_hiddenDocId,   std::move(m_decoder)};
    PartitionState& next = m_partitions[k];
    m_table = next.label;
    m_path = next.path;
    m_indexId = next.indexId;
    m_pageCount = next.pageCount;
    m_redundant = next.redundant;
    m_hiddenDocId = next.hiddenDocId;
    m_decoder = std::move(next.decoder);
    m_current = k;
}

InnodbTableLayout InnodbTableReader::DescribeColumns(const TableInformation& table)
{
    AppState& app = m_repair.app();
    std::vector<tempColInfo>& columns = m_repair.m_columns;
    // Record order: the key columns as the index stores them, then the rest
    // but those InnoDB computes and does not store.
    const std::vector<std::size_t> key = clusteredKeyColumns(table);
    std::vector<std::size_t> order = key;
    for (std::size_t j = 0; j < table.columns().size(); ++j)
        if (std::find(key.begin(), key.end(), j) == key.end()
            && !recovery::innodb::InnodbDefinitionCheck::computedByServer(*table.columns()[j]))
            order.push_back(j);
    // Each column's place among the stored ones, which a field map names.
    std::vector<std::size_t> storedOrdinal;
    std::size_t stored = 0;
    for (const auto& c : table.columns()) {
        storedOrdinal.push_back(stored);
        stored += recovery::innodb::InnodbDefinitionCheck::computedByServer(*c) ? 0 : 1;
    }
    InnodbTableLayout layout;
    for (std::size_t j : order) {
        if (app.m_bStop)
            break;
        tempColInfo column = columnInfo(*table.columns()[j]);
        if (isNullable(column))
            column.m_nullFlagIndex = app.m_nNullableColumns++;
        columns.push_back(column);
        layout.members.push_back(table.columns()[j]->m_members);
        layout.storedOrdinals.push_back(storedOrdinal[j]);
    }
    m_repair.m_keyColumns.assign(columns.begin(), columns.begin() + static_cast<std::ptrdiff_t>(
                                                                        std::min(key.size(), columns.size())));
    layout.columns = columns;
    layout.keyColumns = m_repair.m_keyColumns.size();
    layout.nullableColumns = static_cast<std::size_t>(app.m_nNullableColumns);
    return layout;
}

bool InnodbTableReader::OpenDataFile(const QString& dataFile)
{
    const AppState& app = m_repair.app();
    platform::DataFile& data = m_repair.m_hDataFile;
    // A repair reads the server's ibdata1 from its copy.
    QString path = dataFile;
    if (app.m_bRepair && !m_repair.m_strIbdataBackup.isEmpty() && path == m_repair.m_strIbdataPath)
        path = m_repair.m_strIbdataBackup;
    m_path = path;
    if (!app.m_bRepair && !m_repair.m_diskObject.FileExists(path)) {
        m_repair.AppendLog(path + QStringLiteral(" is not present"));
        return false;
    }
    data.close();
    if (!m_repair.OpenDataFile(data, path, kDataFileOpenAttempts)) {
        m_repair.AppendLog(QStringLiteral("Table %1: the data file %2 cannot be opened: %3")
                               .arg(m_table, path, QString::fromStdString(data.lastError())));
        return false;
    }
    m_pageCount = data.size() / kPageSize;
    return true;
}

std::optional<InnodbPage> InnodbTableReader::ReadRootPage(std::uint64_t root)
{
    // The page the dictionary names, of this index, not above the deepest
    // tree the server builds.
    if (root == 0) {
        // Not damage: nothing says where the rows start.
        m_repair.AppendLog(RootPageUnknownText());
        return std::nullopt;
    }
    auto rootPage = root >= m_pageCount
        ? platform::Result<InnodbPage>(platform::DecodeError{platform::DecodeErrorCode::OutOfRange, root * kPageSize,
                                                             "no root page " + std::to_string(root) + " in the file"})
        : InnodbPage::read(m_repair.m_hDataFile, root);
    // A table altered in place has a root of its own type.
    if (rootPage && (rootPage->pageNumber() != root
                     || (rootPage->pageType() != kPageTypeIndex && rootPage->pageType() != kPageTypeInstant)
                     || rootPage->level() > kMaxTreeLevel))
        rootPage = platform::DecodeError{platform::DecodeErrorCode::Corrupt, root * kPageSize,
                                         "the root page is not an index page of its own number"};
    if (!rootPage) {
        m_repair.AppendLog(pageProblem(m_table, root, rootPage.error()));
        return std::nullopt;
    }
    return std::move(*rootPage);
}

bool InnodbTableReader::PrepareDecoder(InnodbTableLayout layout, const InnodbPage& root)
{
    const AppState& app = m_repair.app();
    m_redundant = !root.isCompact();
    layout.format = m_redundant ? RecordFormat::Redundant : RecordFormat::Compact;
    layout.hiddenTrailingFields = m_hiddenDocId ? 1 : 0;
    m_indexId = root.indexId();
    InnodbRecordDecoder::Options options;
    options.maxOffPageBytes = kRepairOffPageBytes;
    // A preview shows a placeholder for an off-page value: reading the chains
    // of a page of 4 MB values would take hundreds of megabytes.
    options.offPagePlaceholders = !app.m_bRepair && !m_repair.m_bWholeValues;
    m_decoder = std::make_unique<InnodbRecordDecoder>(std::move(layout), m_repair.m_hDataFile, options);
    if (!m_decoder->unreadable().empty()) {
        m_repair.AppendLog(QStringLiteral("Table %1 cannot be read: %2")
                               .arg(m_table, QString::fromStdString(m_decoder->unreadable())));
        m_decoder.reset();
        return false;
    }
    if (!root.isInstantRoot())
        return true;
    if (const auto problem = m_decoder->useInstantRoot(root)) {
        m_repair.AppendLog(instantProblem(m_table, *problem));
        m_decoder.reset();
        return false;
    }
    return true;
}

bool InnodbTableReader::ReadInstantMetadata(std::uint64_t root, std::int64_t recordsBefore)
{
    // The metadata record leads the leftmost leaf; without it the records
    // written before and after the change cannot be told apart.
    if (!m_decoder || !m_decoder->instant())
        return true;
    auto leaf = m_repair.m_dataPages.empty()
        ? platform::Result<InnodbPage>(platform::DecodeError{platform::DecodeErrorCode::Corrupt, root * kPageSize,
                                                             "no leaf page was found for its metadata record"})
        : InnodbPage::read(m_repair.m_hDataFile, m_repair.m_dataPages.front());
    std::optional<platform::DecodeError> problem;
    if (!leaf)
        problem = leaf.error();
    else
        problem = m_decoder->useInstantMetadata(*leaf);
    AppState& app = m_repair.app();
    if (!problem) {
        // It is counted among the leaf's records, but it is no row.
        app.m_nTotalRecords -= app.m_nTotalRecords > recordsBefore ? 1 : 0;
        return true;
    }
    m_repair.AppendLog(instantProblem(m_table, *problem));
    // This source's records are not read; other partitions' still are.
    m_repair.m_dataPages.clear();
    app.m_nTotalRecords = recordsBefore;
    m_decoder.reset();
    return false;
}

void InnodbTableReader::DescendToLeafLevel(std::uint64_t root, std::uint16_t rootLevel)
{
    // Every level strictly lower, no page twice.
    m_visited = {root};
    m_repair.m_dataPages = {root};
    for (std::uint16_t level = rootLevel; level > 0 && !m_repair.m_dataPages.empty() && !m_repair.app().m_bStop;
         --level) {
        m_pageWorkList = m_repair.m_dataPages;
        CollectChildPages(level);
    }
}

void InnodbTableReader::FollowLeafChain()
{
    // A leaf whose node pointer was lost is still found from its left
    // neighbour; the chain stops at a page seen before.
    AppState& app = m_repair.app();
    std::vector<std::uint64_t> leaves;
    std::unordered_set<std::uint64_t> taken;
    for (std::uint64_t start : m_repair.m_dataPages) {
        for (std::uint64_t p = start; p != kFilNull && !app.m_bStop;) {
            if (p == 0 || p >= m_pageCount || taken.count(p))
                break;
            auto page = InnodbPage::read(m_repair.m_hDataFile, p);
            if (page && (page->pageNumber() != p || page->level() != 0 || page->indexId() != m_indexId))
                page = platform::DecodeError{platform::DecodeErrorCode::Corrupt, p * kPageSize,
                                             "not a leaf page of the table's clustered index"};
            if (!page) {
                if (p == start)
                    m_repair.AppendLog(pageProblem(m_table, p, page.error()));
                break;
            }
            taken.insert(p);
            leaves.push_back(p);
            app.m_nTotalRecords += page->nRecs();
            m_repair.ReportProgress(2);
            p = page->nextPage();
        }
    }
    m_repair.m_dataPages = std::move(leaves);
}

bool InnodbTableReader::DefinitionUsable(const TableInformation& table, std::uint64_t indexId)
{
    // Compared where the dictionary has the table: the number of columns
    // (stored and virtual apart, where the server counts them apart).
    const recovery::innodb::InnodbDictionary* dictionary = m_repair.m_dictionary.get();
    if (!dictionary)
        return true;
    const recovery::innodb::SysIndexesRow* index = dictionary->indexWithId(indexId);
    const recovery::innodb::SysTablesRow* dictTable = index ? dictionary->tableWithId(index->tableId) : nullptr;
    if (!dictTable)
        return true;
    std::uint32_t stored = 0;
    std::uint32_t virtualColumns = 0;
    for (const auto& column : table.columns())
        ++(recovery::innodb::InnodbDefinitionCheck::computedByServer(*column) ? virtualColumns : stored);
    // A FULLTEXT key's hidden FTS_DOC_ID is counted there, not in the definition.
    m_hiddenDocId = recovery::innodb::InnodbDefinitionCheck::hasHiddenDocId(*dictionary, dictTable->id, table);
    const std::uint32_t counted = dictTable->storedColumns();
    const std::uint32_t dictStored = counted - (m_hiddenDocId && counted > 0 ? 1 : 0);
    const std::uint32_t dictVirtual = dictTable->virtualColumns();
    // Older servers count the virtual columns among the stored ones, or not at all.
    if (dictStored == stored + virtualColumns || (dictStored == stored && dictVirtual == virtualColumns)
        || (dictStored == stored && dictVirtual == 0))
        return true;
    m_repair.AppendLog(QStringLiteral("Table %1: the definition has %2 columns (%3 virtual), the InnoDB data "
                                      "dictionary %4 (%5 virtual); its rows are not read with this definition.")
                           .arg(m_table)
                           .arg(stored + virtualColumns)
                           .arg(virtualColumns)
                           .arg(dictStored + dictVirtual)
                           .arg(dictVirtual));
    return false;
}

bool InnodbTableReader::DefinitionAgrees(const TableInformation& table, std::uint64_t indexId)
{
    // Where the counts agree: the columns' names and types, and the clustered
    // index's key, as far as the dictionary can tell them.
    using recovery::innodb::InnodbDefinitionCheck;
    const recovery::innodb::InnodbDictionary* dictionary = m_repair.m_dictionary.get();
    if (!dictionary)
        return true;
    const InnodbDefinitionCheck::Verdict verdict =
        InnodbDefinitionCheck::check(*dictionary, indexId, table, clusteredKeyColumns(table));
    switch (verdict.outcome) {
    case InnodbDefinitionCheck::Outcome::Agrees:
        return true;
    case InnodbDefinitionCheck::Outcome::Unchecked:
        m_repair.AppendLog(QStringLiteral("Table %1: its definition could not be checked against the InnoDB data "
                                          "dictionary: %2.")
                               .arg(m_table, verdict.what));
        return true;
    case InnodbDefinitionCheck::Outcome::Disagrees:
        break;
    }
    m_repair.AppendLog(QStringLiteral("Table %1: %2; its rows are not read with this definition.")
                           .arg(m_table, verdict.what));
    return false;
}

bool InnodbTableReader::CheckPage(const InnodbPage& page, std::uint64_t place)
{
    const std::uint64_t number = page.pageNumber();
    if (m_damagedPages.count(place))
        return true;
    if (m_pagesCounted.count(place))
        return false;
    const recovery::innodb::PageCheck check = recovery::innodb::verifyPage(page.bytes());
    if (check.integrity != recovery::innodb::PageIntegrity::Damaged)
        return false;
    m_damagedPages.insert(place);
    if (m_damagedPages.size() <= kLoggedDamagedPages)
        m_repair.AppendLog(QStringLiteral("Table %1: page %2 of %3 is damaged (%4); its rows are recovered but "
                                          "may be wrong.")
                               .arg(m_table)
                               .arg(number)
                               .arg(m_path, QString::fromStdString(check.what)));
    return true;
}

void InnodbTableReader::LogSummary(std::size_t dataPages)
{
    if (m_summaryLogged || m_pagesCounted.size() < dataPages)
        return;
    m_summaryLogged = true;
    if (m_damagedPages.size() > kLoggedDamagedPages)
        m_repair.AppendLog(QStringLiteral("Table %1: %2 damaged pages in all.").arg(m_tableName).arg(m_damagedPages.size()));
    // A table read whole says so once; "damaged" only where a page was.
    QString summary = QStringLiteral("Table %1: %2 rows recovered").arg(m_tableName).arg(m_rowsRecovered);
    if (!m_damagedPages.empty())
        summary += QStringLiteral(", of them %1 from damaged pages").arg(m_rowsFromDamagedPages);
    if (m_rowsWithDamagedValues > 0)
        summary += QStringLiteral(", of them %1 with a value that could not be read").arg(m_rowsWithDamagedValues);
    m_repair.AppendLog(summary + QLatin1Char('.'));
    LogOpenTransactionRows();
}

void InnodbTableReader::LogOpenTransactionRows()
{
    if (m_openRows.total() == 0)
        return;
    if (!m_repair.app().m_bRepair) {
        m_repair.AppendLog(QStringLiteral("Table %1: %2 rows were written by transactions left open and never "
                                          "committed, and are marked: %3 inserted, %4 changed and %5 deleted (the "
                                          "delete never committed) by active transactions, %6 written by prepared "
                                          "(XA) transactions.")
                               .arg(m_tableName)
                               .arg(m_openRows.total())
                               .arg(m_openRows.inserted)
                               .arg(m_openRows.changed)
                               .arg(m_openRows.deleted)
                               .arg(m_openRows.prepared));
        return;
    }
    m_repair.AppendLog(QStringLiteral("Table %1: rows of transactions left open and never committed, as the "
                                      "server's rollback would leave them: %2 inserted by active transactions "
                                      "were left out (the rollback removes them); %3 changed by them were written "
                                      "with the values the record holds, which never committed (the committed ones "
                                      "are only in the undo log); %4 whose delete never committed were written; "
                                      "%5 of prepared (XA) transactions were written (whether they commit is their "
                                      "coordinator's decision).")
                           .arg(m_tableName)
                           .arg(m_openRows.inserted)
                           .arg(m_openRows.changed)
                           .arg(m_openRows.deleted)
                           .arg(m_openRows.prepared));
}

void InnodbTableReader::LogTotal()
{
    m_repair.ReportProgress(3);
    m_repair.AppendLog(StringTable::Load(IDS_RECORDS_PRESENT) + QStringLiteral("  ")
                       + QString::number(m_repair.app().m_nTotalRecords));
}

void InnodbTableReader::CollectChildPages(std::uint16_t parentLevel)
{
    std::vector<std::uint64_t> children;
    m_repair.ReportProgress(1, static_cast<std::intptr_t>(m_pageWorkList.size()));
    for (std::uint64_t p : m_pageWorkList) {
        if (m_repair.app().m_bStop || !m_decoder)
            break;
        m_repair.ReportProgress(2);
        auto page = InnodbPage::read(m_repair.m_hDataFile, p);
        if (page && (page->pageNumber() != p || page->level() != parentLevel || page->indexId() != m_indexId))
            page = platform::DecodeError{platform::DecodeErrorCode::Corrupt, p * kPageSize,
                                         "not a page of the clustered index at level " + std::to_string(parentLevel)};
        if (!page) {
            m_repair.AppendLog(pageProblem(m_table, p, page.error()));
            continue;
        }
        const recovery::innodb::RecordWalk walk = page->records();
        std::optional<platform::DecodeError> problem = walk.error;
        for (const recovery::innodb::InnodbRecord& record : walk.records) {
            auto child = m_decoder->childPage(*page, record);
            if (child && (*child == 0 || *child >= m_pageCount || !m_visited.insert(*child).second))
                child = platform::DecodeError{platform::DecodeErrorCode::Corrupt, page->fileOffset() + record.origin,
                                              "node pointer to page " + std::to_string(*child)
                                                  + ", outside the file or already in the tree"};
            if (!child) {
                problem = problem ? problem : child.error();
                continue;
            }
            children.push_back(*child);
        }
        if (problem)
            m_repair.AppendLog(pageProblem(m_table, p, *problem));
    }
    m_repair.m_dataPages = std::move(children);
    m_pageWorkList.clear();
}

bool InnodbTableReader::ReadColumn(std::size_t column)
{
    // The REDUNDANT field ends were taken apart with the record; from here
    // both formats keep the same column bytes.
    auto value = m_decoder->value(*m_page, m_slices.at(column), column);
    if (!value) {
        m_columnError = value.error();
        if (value.error().code != platform::DecodeErrorCode::DamagedValue)
            return false;
        // The rest of the record is sound: the row comes without this value.
        m_valueDamaged = true;
        m_row.push_back(RowValue::Null());
        return true;
    }
    m_row.push_back(std::move(*value));
    return true;
}

void InnodbTableReader::RecoverRows(std::uint64_t firstPlace, TableInformation& table)
{
    if (!m_writer || m_tableName != table.m_name)
        return;
    AppState& app = m_repair.app();
    platform::DataFile& data = m_repair.m_hDataFile;
    const std::vector<std::uint64_t>& dataPages = m_repair.m_dataPages;
    const std::size_t columnCount = m_repair.m_columns.size();
    app.m_nPageCount = static_cast<std::int32_t>(dataPages.size());
    const bool preview = !app.m_bRepair;
    // Where no transaction was left open, no record is looked up.
    const recovery::innodb::OpenTransactions& open = m_repair.m_openTransactions;
    const bool anyOpen = !open.empty();
    using OpenKind = recovery::innodb::OpenTransactions::Kind;
    app.m_nPageRows = 0;
    app.m_nPagesMerged = 0;
    for (std::uint64_t place = firstPlace;;) {
        // A preview page may run on into the next partition's pages.
        SelectPartition(partitionOfPlace(place));
        const std::uint64_t p = placeInPartition(place);
        if (!m_decoder)
            break;
        if (data.path() != m_path.toStdString() || !data.isOpen()) {
            data.close();
            if (!m_repair.OpenDataFile(data, m_path, kDataFileOpenAttempts)) {
                m_repair.AppendLog(QStringLiteral("Table %1: the data file %2 cannot be opened: %3")
                                       .arg(m_table, m_path, QString::fromStdString(data.lastError())));
                break;
            }
        }
        auto page = InnodbPage::read(data, p);
        if (page && (page->pageNumber() != p || !page->isLeaf() || page->indexId() != m_indexId))
            page = platform::DecodeError{platform::DecodeErrorCode::Corrupt, p * kPageSize,
                                         "not a data page of the table"};
        if (!page) {
            if (m_pagesCounted.insert(place).second)
                m_repair.AppendLog(pageProblem(m_table, p, page.error()));
        } else {
            const bool damaged = CheckPage(*page, place);
            const bool firstReading = m_pagesCounted.insert(place).second;
            const recovery::innodb::RecordWalk walk = page->records();
            std::optional<platform::DecodeError> problem = walk.error;
            m_repair.ReportProgress(1, static_cast<std::intptr_t>(walk.records.size()));
            for (const recovery::innodb::InnodbRecord& record : walk.records) {
                if (app.m_bStop)
                    break;
                m_repair.ReportProgress(2);
                if (m_decoder->isMetadataRecord(record))
                    continue;
                ++app.m_nPageRows;
                if (record.deleted && !anyOpen)
                    continue;
                auto slices = m_decoder->locate(*page, record);
                if (!slices) {
                    if (!record.deleted)
                        problem = problem ? problem : slices.error();
                    continue;
                }
                // A record of a transaction left open: what the server's
                // rollback would do is done as far as the record tells.
                OpenKind openKind = OpenKind::None;
                bool inserted = false;
                if (anyOpen) {
                    auto system = m_decoder->systemColumns(*page, record, *slices);
                    if (!system) {
                        if (!record.deleted)
                            problem = problem ? problem : system.error();
                        continue;
                    }
                    openKind = open.kindOf(system->transactionId);
                    inserted = system->inserted;
                    // A delete that committed: the row is gone.
                    if (record.deleted && openKind == OpenKind::None)
                        continue;
                    // An insert that a rollback removes is no row of the recovered table.
                    if (openKind == OpenKind::Active && inserted && !record.deleted && !preview) {
                        m_openRows.inserted += firstReading ? 1 : 0;
                        continue;
                    }
                }
                m_page = &*page;
                m_slices = std::move(*slices);
                m_row.clear();
                m_columnError.reset();
                m_valueDamaged = false;
                bool ok = true;
                for (std::size_t j = 0; ok && j < columnCount; ++j)
                    ok = ReadColumn(j);
                m_page = nullptr;
                if (!ok) {
                    problem = problem ? problem : m_columnError;
                    continue;
                }
                m_repair.m_rowDamaged = damaged || m_valueDamaged || openKind != OpenKind::None;
                m_writer->Write(m_row);
                m_repair.m_rowDamaged = false;
                if (firstReading && openKind != OpenKind::None) {
                    if (openKind == OpenKind::Prepared)
                        ++m_openRows.prepared;
                    else if (record.deleted)
                        ++m_openRows.deleted;
                    else if (inserted)
                        ++m_openRows.inserted;
                    else
                        ++m_openRows.changed;
                }
                if (firstReading) {
                    ++m_rowsRecovered;
                    m_rowsFromDamagedPages += damaged ? 1 : 0;
                    if (m_valueDamaged && ++m_rowsWithDamagedValues <= kLoggedDamagedPages)
                        m_repair.AppendLog(valueProblem(m_table, p, *m_columnError));
                }
            }
            m_repair.ReportProgress(3);
            if (problem)
                m_repair.AppendLog(pageProblem(m_table, p, *problem));
        }
        LogSummary(dataPages.size());
        // A preview page gathers at least 100 records from the data pages
        // that follow the one it starts at.
        const std::int64_t nextIndex = std::int64_t{app.m_nPage} + app.m_nPagesMerged + 1;
        if (!preview || app.m_bStop || app.m_nPageRows >= static_cast<std::int64_t>(PREVIEW_PAGE_ROWS)
            || nextIndex >= static_cast<std::int64_t>(dataPages.size()))
            break;
        ++app.m_nPagesMerged;
        place = dataPages[static_cast<std::size_t>(nextIndex)];
    }
    app.m_nPageRows = 0;
}

} // namespace engine
