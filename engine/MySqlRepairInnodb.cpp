// The InnoDB half of the row recovery: table preparation (record order of
// the columns, the clustered index descended level by level and its leaf
// chain followed), and the rows of one data page to the preview or the
// server. The record and column decoding lives in recovery/innodb.
#include "engine/MySqlRepair.h"

#include "engine/AppState.h"
#include "engine/ReportWindow.h"
#include "engine/RowWriter.h"
#include "recovery/innodb/InnodbColumnDecoder.h"
#include "recovery/innodb/InnodbDictionary.h"
#include "recovery/innodb/InnodbPage.h"
#include "recovery/innodb/InnodbRecordDecoder.h"

#include <QFileInfo>

#include <optional>
#include <unordered_set>

namespace engine {

using recovery::innodb::FieldSlice;
using recovery::innodb::InnodbPage;
using recovery::innodb::InnodbRecordDecoder;
using recovery::innodb::InnodbTableLayout;
using recovery::innodb::kFilNull;
using recovery::innodb::kPageSize;
using recovery::innodb::kPageTypeIndex;
using recovery::innodb::RecordFormat;

namespace {

// The server's B-trees are never this high; a deeper root is damage.
constexpr std::uint16_t kMaxTreeLevel = 100;
// Off-page values: a preview reads them whole up to this size (a grid cell
// cannot show more); a repair up to the server's largest packet.
constexpr std::uint64_t kPreviewOffPageBytes = 16ull << 20;
constexpr std::uint64_t kRepairOffPageBytes = 1ull << 30;

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
    return t;
}

// The columns of the clustered index key, in key-part order: the primary
// key, or else the first UNIQUE key whose columns are all NOT NULL (the
// server makes that one the clustered index). Empty: DB_ROW_ID.
std::vector<std::size_t> clusteredKeyColumns(const TableInformation& table)
{
    const auto& columns = table.columns();
    const auto& parts = table.m_keyParts;
    const auto keyAt = [&](std::size_t first, std::size_t& next) {
        std::vector<std::size_t> key;
        const std::size_t count = std::max<std::size_t>(1, parts[first].m_partCount);
        for (next = first; next < parts.size() && next < first + count && parts[next].m_kind == parts[first].m_kind;
             ++next)
            if (parts[next].m_column >= 1 && parts[next].m_column <= columns.size())
                key.push_back(parts[next].m_column - 1u);
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
            if (!primary && kind.compare(QLatin1String("Unique Key"), Qt::CaseInsensitive) == 0) {
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

} // namespace

// What the engine keeps of the prepared InnoDB table between page reads.
struct MySqlRepair::InnodbReader {
    QString path;                 // the data file the pages come from
    QString table;                // for log lines
    std::uint64_t indexId = 0;    // the clustered index
    std::uint64_t pageCount = 0;  // pages of the data file
    std::optional<InnodbRecordDecoder> decoder;
    std::unique_ptr<RowWriter> writer;
    // The record being decoded.
    const InnodbPage* page = nullptr;
    std::vector<FieldSlice> slices;
    std::vector<RowValue> row;
    std::optional<platform::DecodeError> columnError;
    std::unordered_set<std::uint64_t> visited;  // pages taken into the descent
};

namespace {
void deleteReader(MySqlRepair::InnodbReader* reader)
{
    delete reader;
}
} // namespace

std::uint32_t MySqlRepair::FieldLengthByType(const tempColInfo& column) const
{
    const auto shape = recovery::innodb::InnodbColumnDecoder::shapeOf(
        column, m_bRedundant ? RecordFormat::Redundant : RecordFormat::Compact);
    return shape ? shape->fixedWidth : 0;
}

QString MySqlRepair::RootPageUnknownText(const TableInformation& table) const
{
    const QString ibdata = SharedTablespacePath();
    QString why;
    if (ibdata.isEmpty() || !QFileInfo(ibdata).isFile())
        why = QStringLiteral("no ibdata1 was given, and only its data dictionary names where an InnoDB table's rows "
                             "start");
    else if (!m_dictionary)
        why = QStringLiteral("the data dictionary of %1 could not be read").arg(ibdata);
    else
        why = QStringLiteral("the data dictionary of %1 does not name the table").arg(ibdata);
    return QStringLiteral("Table %1: the root page of its rows is unknown: %2.").arg(table.m_name, why);
}

void MySqlRepair::LocateInnoDbTableData(TableInformation& table)
{
    m_app.m_nJumpIndex = 0;
    m_app.m_nPagesMerged = 0;
    m_app.m_pageJumps.clear();
    m_app.m_nNullableColumns = 0;
    m_app.m_nTotalRecords = 0;
    m_bRedundant = false;
    m_columns.clear();
    m_keyColumns.clear();
    m_dataPages.clear();
    m_pageWorkList.clear();
    m_innodb = {new InnodbReader, &deleteReader};
    m_innodb->table = table.m_name;

    // Record order: the key columns as the index stores them, then the rest
    // but the virtual columns, which InnoDB computes and does not store.
    const std::vector<std::size_t> key = clusteredKeyColumns(table);
    std::vector<std::size_t> order = key;
    for (std::size_t j = 0; j < table.columns().size(); ++j)
        if (std::find(key.begin(), key.end(), j) == key.end() && table.columns()[j]->m_generated != Generated::Virtual)
            order.push_back(j);
    InnodbTableLayout layout;
    for (std::size_t j : order) {
        if (m_app.m_bStop)
            break;
        tempColInfo column = columnInfo(*table.columns()[j]);
        column.m_keyColumn = m_columns.size() < key.size();
        if (isNullable(column))
            column.m_nullFlagIndex = m_app.m_nNullableColumns++;
        m_columns.push_back(column);
        layout.members.push_back(table.columns()[j]->m_members);
    }
    m_keyColumns.assign(m_columns.begin(), m_columns.begin() + static_cast<std::ptrdiff_t>(
                                                                 std::min(key.size(), m_columns.size())));
    layout.columns = m_columns;
    layout.keyColumns = m_keyColumns.size();
    layout.nullableColumns = static_cast<std::size_t>(m_app.m_nNullableColumns);

    // The data file; a repair reads the server's ibdata1 from its copy.
    QString path = table.m_dataFile;
    if (m_app.m_bRepair && !m_strIbdataBackup.isEmpty() && path == m_strIbdataPath)
        path = m_strIbdataBackup;
    m_innodb->path = path;
    const auto logTotal = [this] {
        ReportProgress(3);
        AppendLog(QStringLiteral("Total records present :   %1").arg(m_app.m_nTotalRecords));
    };
    if (!m_app.m_bRepair && !m_diskObject.FileExists(path)) {
        AppendLog(path + QStringLiteral(" is not present"));
        logTotal();
        return;
    }
    m_hDataFile.close();
    if (!m_hDataFile.open(path.toStdString())) {
        AppendLog(QStringLiteral("Table %1: the data file %2 cannot be opened: %3")
                      .arg(table.m_name, path, QString::fromStdString(m_hDataFile.lastError())));
        logTotal();
        return;
    }
    m_innodb->pageCount = m_hDataFile.size() / kPageSize;

    // The root: the page the dictionary names, of this index, not above the
    // deepest tree the server builds.
    const std::uint64_t root = table.m_rootPage;
    if (root == 0) {
        // Not damage: nothing says where the rows start.
        AppendLog(RootPageUnknownText(table));
        logTotal();
        return;
    }
    auto rootPage = root >= m_innodb->pageCount
        ? platform::Result<InnodbPage>(platform::DecodeError{platform::DecodeErrorCode::OutOfRange, root * kPageSize,
                                                             "no root page " + std::to_string(root) + " in the file"})
        : InnodbPage::read(m_hDataFile, root);
    if (rootPage && (rootPage->pageNumber() != root || rootPage->pageType() != kPageTypeIndex
                     || rootPage->level() > kMaxTreeLevel))
        rootPage = platform::DecodeError{platform::DecodeErrorCode::Corrupt, root * kPageSize,
                                         "the root page is not an index page of its own number"};
    if (!rootPage) {
        AppendLog(pageProblem(table.m_name, root, rootPage.error()));
        logTotal();
        return;
    }
    m_bRedundant = !rootPage->isCompact();
    layout.format = m_bRedundant ? RecordFormat::Redundant : RecordFormat::Compact;
    m_innodb->indexId = rootPage->indexId();
    InnodbRecordDecoder::Options options;
    options.maxOffPageBytes = m_app.m_bRepair ? kRepairOffPageBytes : kPreviewOffPageBytes;
    options.allowLongPlaceholder = !m_app.m_bRepair;
    m_innodb->decoder.emplace(std::move(layout), m_hDataFile, options);
    if (!m_innodb->decoder->unreadable().empty()) {
        AppendLog(QStringLiteral("Table %1 cannot be read: %2")
                      .arg(table.m_name, QString::fromStdString(m_innodb->decoder->unreadable())));
        logTotal();
        return;
    }

    // Down the tree level by level: every level strictly lower, no page twice.
    m_innodb->visited = {root};
    m_dataPages = {root};
    for (std::uint16_t level = rootPage->level(); level > 0 && !m_dataPages.empty() && !m_app.m_bStop; --level) {
        m_pageWorkList = m_dataPages;
        CollectTableChildPages(level);
    }

    // Along the leaf level: a leaf whose node pointer was lost is still found
    // from its left neighbour; the chain stops at a page seen before.
    std::vector<std::uint64_t> leaves;
    std::unordered_set<std::uint64_t> taken;
    for (std::uint64_t start : m_dataPages) {
        for (std::uint64_t p = start; p != kFilNull && !m_app.m_bStop;) {
            if (p == 0 || p >= m_innodb->pageCount || taken.count(p))
                break;
            auto page = InnodbPage::read(m_hDataFile, p);
            if (page && (page->pageNumber() != p || page->level() != 0 || page->indexId() != m_innodb->indexId))
                page = platform::DecodeError{platform::DecodeErrorCode::Corrupt, p * kPageSize,
                                             "not a leaf page of the table's clustered index"};
            if (!page) {
                if (p == start)
                    AppendLog(pageProblem(table.m_name, p, page.error()));
                break;
            }
            taken.insert(p);
            leaves.push_back(p);
            m_app.m_nTotalRecords += page->nRecs();
            ReportProgress(2);
            p = page->nextPage();
        }
    }
    m_dataPages = std::move(leaves);
    m_app.m_nPageCount = static_cast<std::int32_t>(m_dataPages.size());
    m_innodb->writer = std::make_unique<RowWriter>(*this, table.m_name, m_columns);
    logTotal();
}

void MySqlRepair::CollectTableChildPages(std::uint16_t parentLevel)
{
    std::vector<std::uint64_t> children;
    ReportProgress(1, static_cast<std::intptr_t>(m_pageWorkList.size()));
    for (std::uint64_t p : m_pageWorkList) {
        if (m_app.m_bStop || !m_innodb || !m_innodb->decoder)
            break;
        ReportProgress(2);
        auto page = InnodbPage::read(m_hDataFile, p);
        if (page && (page->pageNumber() != p || page->level() != parentLevel || page->indexId() != m_innodb->indexId))
            page = platform::DecodeError{platform::DecodeErrorCode::Corrupt, p * kPageSize,
                                         "not a page of the clustered index at level " + std::to_string(parentLevel)};
        if (!page) {
            AppendLog(pageProblem(m_innodb->table, p, page.error()));
            continue;
        }
        const recovery::innodb::RecordWalk walk = page->records();
        std::optional<platform::DecodeError> problem = walk.error;
        for (const recovery::innodb::InnodbRecord& record : walk.records) {
            auto child = m_innodb->decoder->childPage(*page, record);
            if (child && (*child == 0 || *child >= m_innodb->pageCount || !m_innodb->visited.insert(*child).second))
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
            AppendLog(pageProblem(m_innodb->table, p, *problem));
    }
    m_dataPages = std::move(children);
    m_pageWorkList.clear();
}

bool MySqlRepair::ReadCompactColumn(std::size_t column)
{
    InnodbReader& r = *m_innodb;
    auto value = r.decoder->value(*r.page, r.slices.at(column), column);
    if (!value) {
        r.columnError = value.error();
        return false;
    }
    r.row.push_back(std::move(*value));
    return true;
}

bool MySqlRepair::ReadRedundantColumn(std::size_t column)
{
    // The REDUNDANT field ends were taken apart with the record; from here
    // both formats keep the same column bytes.
    return ReadCompactColumn(column);
}

void MySqlRepair::RecoverInnoDbRows(std::uint64_t pageNumber, TableInformation& table)
{
    if (!m_innodb || !m_innodb->decoder || !m_innodb->writer || m_innodb->table != table.m_name)
        return;
    InnodbReader& reader = *m_innodb;
    m_app.m_strInsertSql.clear();
    m_app.m_nPageCount = static_cast<std::int32_t>(m_dataPages.size());
    if (m_hDataFile.path() != reader.path.toStdString() || !m_hDataFile.isOpen()) {
        m_hDataFile.close();
        if (!m_hDataFile.open(reader.path.toStdString())) {
            AppendLog(QStringLiteral("Table %1: the data file %2 cannot be opened: %3")
                          .arg(table.m_name, reader.path, QString::fromStdString(m_hDataFile.lastError())));
            return;
        }
    }
    const bool preview = !m_app.m_bRepair;
    m_app.m_nPageRows = 0;
    m_app.m_nPagesMerged = 0;
    for (std::uint64_t p = pageNumber;;) {
        auto page = InnodbPage::read(m_hDataFile, p);
        if (page && (page->pageNumber() != p || !page->isLeaf() || page->indexId() != reader.indexId))
            page = platform::DecodeError{platform::DecodeErrorCode::Corrupt, p * kPageSize,
                                         "not a data page of the table"};
        if (!page) {
            AppendLog(pageProblem(table.m_name, p, page.error()));
        } else {
            const recovery::innodb::RecordWalk walk = page->records();
            std::optional<platform::DecodeError> problem = walk.error;
            ReportProgress(1, static_cast<std::intptr_t>(walk.records.size()));
            for (const recovery::innodb::InnodbRecord& record : walk.records) {
                if (m_app.m_bStop)
                    break;
                ReportProgress(2);
                ++m_app.m_nPageRows;
                if (record.deleted)
                    continue;
                auto slices = reader.decoder->locate(*page, record);
                if (!slices) {
                    problem = problem ? problem : slices.error();
                    continue;
                }
                reader.page = &*page;
                reader.slices = std::move(*slices);
                reader.row.clear();
                reader.columnError.reset();
                bool ok = true;
                for (std::size_t j = 0; ok && j < m_columns.size(); ++j)
                    ok = m_bRedundant ? ReadRedundantColumn(j) : ReadCompactColumn(j);
                reader.page = nullptr;
                if (!ok) {
                    problem = problem ? problem : reader.columnError;
                    continue;
                }
                reader.writer->Write(reader.row);
            }
            ReportProgress(3);
            if (problem)
                AppendLog(pageProblem(table.m_name, p, *problem));
        }
        // A preview page gathers at least 100 records from the data pages
        // that follow the one it starts at.
        const std::int64_t nextIndex = std::int64_t{m_app.m_nPage} + m_app.m_nPagesMerged + 1;
        if (!preview || m_app.m_bStop || m_app.m_nPageRows >= static_cast<std::int64_t>(PREVIEW_PAGE_ROWS)
            || nextIndex >= static_cast<std::int64_t>(m_dataPages.size()))
            break;
        ++m_app.m_nPagesMerged;
        p = m_dataPages[static_cast<std::size_t>(nextIndex)];
    }
    // Next moves on by 1 + the pages merged; Previous steps back by the
    // merges of the page before, so each preview page records its own once.
    if (preview && m_app.m_nPagesMerged != 0)
        m_app.m_pageJumps.push_back(m_app.m_nPagesMerged);
    m_app.m_nPageRows = 0;
}

} // namespace engine
