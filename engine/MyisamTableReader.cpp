// The formats are decoded in recovery/myisam/; this is the boundary that
// logs what they report.
#include "engine/MyisamTableReader.h"

#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "engine/ReportWindow.h"
#include "engine/RowWriter.h"
#include "engine/StringTable.h"
#include "recovery/myisam/MyisamColumnDecoder.h"
#include "recovery/myisam/MyisamIndexHeader.h"
#include "recovery/myisam/MyisamRecordWalk.h"

#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace engine {

using recovery::myisam::MyisamColumnDecoder;
using recovery::myisam::MyisamIndexHeader;
using recovery::myisam::MyisamRecord;
using recovery::myisam::MyisamRecordWalk;
using recovery::myisam::MyisamRowLayout;

namespace {

// Header, key and column definitions of an index file fit in far less.
constexpr std::uint64_t kIndexHeaderReadBytes = 1024 * 1024;
constexpr int kDataFileOpenAttempts = 3;
// Damaged places of a table logged one by one; the rest are only counted.
constexpr std::uint64_t kLoggedDamage = 10;

QString indexPathOf(const QString& dataPath)
{
    QString path = dataPath;
    if (path.endsWith(QLatin1String(".MYD")))
        path.replace(path.size() - 4, 4, QStringLiteral(".MYI"));
    return path;
}

QString damageText(const QString& path, const platform::DecodeError& error)
{
    return QStringLiteral("%1 at offset %2: %3").arg(path).arg(error.offset).arg(QString::fromStdString(error.what));
}

platform::Result<MyisamIndexHeader> readIndexHeader(platform::DataFile& file, const QString& path)
{
    file.close();
    if (!file.open(path.toStdString()))
        return platform::DecodeError{platform::DecodeErrorCode::IoError, 0, file.lastError()};
    std::vector<std::uint8_t> bytes(std::min(file.size(), kIndexHeaderReadBytes));
    const auto got = file.readAt(0, bytes);
    file.close();
    if (!got)
        return got.error();
    bytes.resize(*got);
    return MyisamIndexHeader::parse(bytes);
}

} // namespace

namespace {

// The record layout from the index file, or for a static table from its
// definition alone; header is set when the index file was read. Nothing
// usable: logged, and nullopt.
// label names the table (and partition) in log lines; log clear: a source
// prepared again logs nothing it logged before.
std::optional<MyisamRowLayout> layoutOf(MySqlRepair& repair, const TableInformation& table, const QString& label,
                                        const QString& indexPath, std::optional<MyisamIndexHeader>& header, bool log)
{
    const auto note = [&](const QString& line) {
        if (log)
            repair.AppendLog(line);
    };
    if (table.columns().empty()) {
        note(QStringLiteral("Table %1: its definition has no readable column; its rows are not read.").arg(label));
        return std::nullopt;
    }
    if (!QFileInfo(indexPath).isFile()) {
        note(indexPath + QStringLiteral(" is not present"));
    } else if (auto parsed = readIndexHeader(repair.m_file, indexPath); !parsed) {
        note(damageText(indexPath, parsed.error()));
    } else if (auto built = MyisamRowLayout::build(table, *parsed); !built) {
        // The index file describes the records; a definition that disagrees
        // with it would read them as something they are not.
        note(QStringLiteral("Table %1: the definition disagrees with its index file, %2; its rows are "
                            "not read with it.")
                 .arg(label, damageText(indexPath, built.error())));
        return std::nullopt;
    } else {
        header = *parsed;
        return std::move(*built);
    }
    // A static table's records follow from its definition alone.
    auto fallback = MyisamRowLayout::fromDefinition(table);
    if (!fallback) {
        note(QStringLiteral("The rows of table %1 cannot be read: %2")
                 .arg(label, QString::fromStdString(fallback.error().what)));
        return std::nullopt;
    }
    note(QStringLiteral("The rows of table %1 are read from its definition alone.").arg(label));
    return std::move(*fallback);
}

// Opens the .MYD in m_hDataFile, a few times over for a file another
// program holds for a moment. Missing or refused: logged, false.
bool openDataFile(MySqlRepair& repair, const QString& dataFile, bool log)
{
    if (!QFileInfo::exists(dataFile)) {
        if (log)
            repair.AppendLog(dataFile + QStringLiteral(" is not present"));
        return false;
    }
    if (!repair.OpenDataFile(repair.m_hDataFile, dataFile, kDataFileOpenAttempts)) {
        if (log)
            repair.AppendLog(QStringLiteral("%1 cannot be opened: %2")
                                 .arg(dataFile, QString::fromStdString(repair.m_hDataFile.lastError())));
        return false;
    }
    return true;
}

// The records the table holds: the index file's count, the slots of a
// static table without one, or when that count is zero the records the
// data file really has.
std::uint64_t countRecords(MySqlRepair& repair, const MyisamRowLayout& layout,
                           const std::optional<MyisamIndexHeader>& header, const QString& indexPath)
{
    platform::DataFile& data = repair.m_hDataFile;
    std::uint64_t total = header ? header->m_records : 0;
    if (!header && layout.m_slotLength > 0)
        total = data.size() / layout.m_slotLength;
    if (total != 0 || data.size() == 0)
        return total;
    // A zeroed or stale count must not hide rows that are there: count them.
    MyisamRecordWalk walk(data, layout, data.size());
    MyisamRecord record;
    for (std::uint64_t pos = 0; !repair.app().m_bStop;) {
        const auto step = walk.read(pos, record);
        if (step.m_kind == MyisamRecordWalk::StepKind::End)
            break;
        total += step.m_kind == MyisamRecordWalk::StepKind::Record ? 1 : 0;
        pos = std::max(step.m_next, pos + 1);
    }
    if (total > 0)
        repair.AppendLog(QStringLiteral("%1 counts no records; %2 found in the data file.").arg(indexPath).arg(total));
    return total;
}

} // namespace

void MyisamTableReader::Reset()
{
    m_prepared = false;
    m_layout = MyisamRowLayout{};
    m_layoutColumn.clear();
    m_dataPath.clear();
    m_record = MyisamRecord{};
    m_values.clear();
    m_damageCount = 0;
    m_indexCheck.reset();
    m_check.reset();
}

void MyisamTableReader::DescribeColumns()
{
    // The partitions of a table share its columns: the first one readable
    // names them, and they stay while the walk moves on.
    const bool fill = m_repair.m_columns.empty();
    for (std::size_t i = 0; i < m_layout.m_columns.size(); ++i) {
        const auto& l = m_layout.m_columns[i];
        if (l.m_virtual || !l.m_column->isTableColumn())
            continue; // computed by the server, or its own hidden hash: no value of the table
        const ColumnInformation& c = *l.m_column;
        tempColInfo info;
        info.m_name = c.m_name;
        info.m_typeName = c.m_typeName;
        info.m_signText = c.m_signText;
        info.m_typeCode = c.m_typeCode;
        info.m_length = c.m_length;
        info.m_scale = c.m_scale;
        info.m_charset = c.m_charset;
        info.m_generated = c.m_generated != Generated::None;
        info.m_compressed = c.m_compressed;
        info.m_nullText = l.m_nullMask ? QStringLiteral("null") : QStringLiteral("not null");
        if (fill)
            m_repair.m_columns.push_back(info);
        m_layoutColumn.push_back(i);
    }
}

bool MyisamTableReader::PrepareSource(const TableInformation& table, std::size_t k, bool log, std::uint64_t* records)
{
    Reset();
    m_repair.m_hDataFile.close();
    if (k >= m_sources.size())
        return false;
    const TablePartition& source = m_sources[k];
    m_label = table.sourceLabel(source);
    m_source = k;
    const QString indexPath = indexPathOf(source.m_dataFile);
    std::optional<MyisamIndexHeader> header;
    std::optional<MyisamRowLayout> layout = layoutOf(m_repair, table, m_label, indexPath, header, log);
    if (!layout)
        return false;
    m_layout = std::move(*layout);
    m_check.emplace(m_layout);
    // Counting the partitions' records needs no walk of their keys; what
    // the walk finds wrong with them is logged once a partition.
    if (header && (records == nullptr || m_sources.size() == 1)) {
        PrepareIndexCheck(*header, indexPath, !m_indexNotesLogged[k]);
        m_indexNotesLogged[k] = true;
    }
    m_dataPath = source.m_dataFile;
    DescribeColumns();
    if (!openDataFile(m_repair, m_dataPath, log))
        return false;
    m_prepared = true;
    if (records)
        *records = countRecords(m_repair, m_layout, header, indexPath);
    return true;
}

void MyisamTableReader::RecoverTable(TableInformation& table)
{
    AppState& app = m_repair.app();
    m_repair.m_hDataFile.close();
    app.m_nRecordsLeft = app.m_nNextPageStart = 0;
    app.m_nTotalRecords = 0;
    m_repair.m_dataPages.clear();
    m_repair.m_columns.clear();
    m_repair.m_pageRows.clear();
    Reset();
    m_tableName = table.m_name;
    m_sources = table.rowSources();
    m_indexNotesLogged.assign(m_sources.size(), false);

    // The table's rows are its partitions' in partition order; one that
    // cannot be read costs its own rows only.
    std::uint64_t total = 0;
    bool readable = false;
    for (std::size_t k = 0; k < m_sources.size() && !app.m_bStop; ++k) {
        std::uint64_t records = 0;
        if (PrepareSource(table, k, true, &records)) {
            readable = true;
            total += records;
        } else if (m_sources.size() > 1) {
            m_repair.AppendLog(QStringLiteral("Table %1: the rows of partition %2 are not read; the other partitions' "
                                              "are.")
                                   .arg(table.m_name, m_sources[k].m_name));
        }
    }
    if (!readable)
        return;
    m_repair.AppendLog(StringTable::Load(IDS_RECORDS_PRESENT) + QStringLiteral("  ") + QString::number(total));
    app.m_nTotalRecords = app.m_nRecordsLeft = static_cast<std::int64_t>(total);
    if (total == 0)
        return;
    if (app.m_bRepair) {
        // A count kept in the index file may lag behind the data after a
        // crash: a repair takes every record up to the end of the data.
        RecoverRows(UINT64_MAX, table, 0);
        return;
    }
    app.m_nPageRecords = static_cast<std::int64_t>(std::min(total, PREVIEW_PAGE_ROWS));
    RecoverRows(std::min(total, PREVIEW_PAGE_ROWS), table, 0);
    if (total > PREVIEW_PAGE_ROWS)
        m_repair.m_dataPages.push_back(0);
}

bool MyisamTableReader::PrepareFrom(const TableInformation& table, std::size_t& k)
{
    // Partitions that cannot be read were logged when counted: passed over.
    if (k == m_source && m_prepared && m_repair.m_hDataFile.isOpen())
        return true;
    for (; k < m_sources.size() && !m_repair.app().m_bStop; ++k)
        if (PrepareSource(table, k, false, nullptr))
            return true;
    return false;
}

void MyisamTableReader::RecoverRows(std::uint64_t count, TableInformation& table, std::uint64_t start)
{
    AppState& app = m_repair.app();
    platform::DataFile& data = m_repair.m_hDataFile;
    const std::vector<tempColInfo>& columns = m_repair.m_columns;
    m_repair.m_pageRows.clear();
    const std::uint64_t total = static_cast<std::uint64_t>(std::max<std::int64_t>(app.m_nTotalRecords, 0));
    m_repair.ReportProgress(PROGRESS_BEGIN,
                            static_cast<std::intptr_t>(std::min(count, total == 0 ? count : total) & 0xFFFFFFFFu));
    std::size_t k = partitionOfPlace(start);
    std::uint64_t pos = placeInPartition(start);
    if (m_tableName == table.m_name && k < m_sources.size())
        PrepareFrom(table, k);
    if (!PreparedFor(table) || k != m_source || !data.isOpen()) {
        app.m_nPageRecords = 0;
        app.m_nNextPageStart = static_cast<std::int64_t>(start);
        m_repair.ReportProgress(PROGRESS_END);
        return;
    }
    if (k != partitionOfPlace(start))
        pos = 0;
    RowWriter writer(m_repair, table.m_name, columns);
    m_rowsDelivered = 0;
    m_damagedRowsDelivered = 0;
    m_doubtfulRowsDelivered = 0;
    m_findingCounts.fill(0);
    bool reachedEnd = false;
    std::uint64_t delivered = 0;
    while (delivered < count && !app.m_bStop) {
        MyisamRecordWalk walk(data, m_layout, data.size());
        bool sourceEnded = false;
        while (delivered < count && !app.m_bStop) {
            const auto step = walk.read(pos, m_record);
            if (step.m_kind == MyisamRecordWalk::StepKind::End) {
                sourceEnded = true;
                break;
            }
            m_repair.ReportProgress(PROGRESS_STEP);
            if (step.m_kind == MyisamRecordWalk::StepKind::Damaged) {
                if (++m_damageCount <= kLoggedDamage)
                    m_repair.AppendLog(damageText(m_dataPath, *step.m_damage));
            } else if (step.m_kind == MyisamRecordWalk::StepKind::Record) {
                m_values.assign(columns.size(), RowValue::Null());
                m_recordDamaged = false;
                for (std::size_t c = 0; c < columns.size(); ++c)
                    ReadColumn(c);
                const bool doubtful = !m_recordDamaged && CheckRecord();
                m_repair.m_rowDamaged = m_recordDamaged || doubtful;
                m_doubtfulRowsDelivered += doubtful ? 1 : 0;
                writer.Write(m_values);
                ++m_rowsDelivered;
                m_damagedRowsDelivered += m_recordDamaged ? 1 : 0;
                m_repair.m_rowDamaged = false;
                ++delivered;
            }
            // Every step moves forward, so the walk ends.
            pos = std::max(step.m_next, pos + 1);
        }
        if (!sourceEnded)
            break;
        if (m_damageCount > kLoggedDamage)
            m_repair.AppendLog(QStringLiteral("%1: %2 damaged places were stepped over in all.")
                                   .arg(m_dataPath)
                                   .arg(m_damageCount));
        // On into the next partition that can be read (its damage counted anew).
        std::size_t next = k + 1;
        if (next >= m_sources.size() || !PrepareFrom(table, next)) {
            app.m_nPageRecords = 0;
            reachedEnd = true;
            break;
        }
        k = next;
        pos = 0;
    }
    // A repair reads from the first record to the end of the data: it says
    // once what it got, and "damaged" only where a value could not be read.
    if (app.m_bRepair && start == 0 && reachedEnd) {
        QString summary = QStringLiteral("Table %1: %2 rows recovered").arg(table.m_name).arg(m_rowsDelivered);
        if (m_damagedRowsDelivered > 0)
            summary += QStringLiteral(", of them %1 with a value that could not be read").arg(m_damagedRowsDelivered);
        m_repair.AppendLog(summary + QLatin1Char('.'));
    }
    LogDoubtfulRows(table);
    app.m_nNextPageStart = static_cast<std::int64_t>(rowPlace(k, pos));
    m_repair.ReportProgress(PROGRESS_END);
}

void MyisamTableReader::PrepareIndexCheck(const MyisamIndexHeader& header, const QString& indexPath, bool log)
{
    platform::DataFile index;
    if (header.m_keyDefs.empty() || !index.open(indexPath.toStdString()))
        return;
    m_indexCheck.emplace(m_layout, header, index);
    for (const std::string& note : m_indexCheck->notes())
        if (log)
            m_repair.AppendLog(QStringLiteral("Table %1: %2 of %3; its rows are not checked against it.")
                                   .arg(m_label, QString::fromStdString(note), indexPath));
    if (m_indexCheck->trustedKeys() == 0)
        m_indexCheck.reset();
}

bool MyisamTableReader::PreparedFor(const TableInformation& table) const
{
    // The layout points into the definition it was built from; a table
    // scanned anew has other objects, even under the same name.
    if (!m_prepared || m_tableName != table.m_name || m_layout.m_columns.size() != table.columns().size())
        return false;
    for (std::size_t i = 0; i < m_layout.m_columns.size(); ++i)
        if (m_layout.m_columns[i].m_column != table.columns()[i].get())
            return false;
    return true;
}

bool MyisamTableReader::CheckRecord()
{
    using recovery::myisam::MyisamRecordCheck;
    using recovery::myisam::MyisamIndexCheck;
    unsigned findings = m_check ? m_check->check(m_record) : 0;
    const unsigned keys = m_indexCheck ? m_indexCheck->check(m_record) : 0;
    if (keys & MyisamIndexCheck::kNotInIndex)
        findings |= MyisamRecordCheck::kNotInIndex;
    if (keys & MyisamIndexCheck::kKeyDiffers)
        findings |= MyisamRecordCheck::kKeyDiffers;
    for (unsigned i = 0; i < MyisamRecordCheck::kFindingCount; ++i)
        m_findingCounts[i] += (findings >> i) & 1;
    return findings != 0;
}

void MyisamTableReader::LogDoubtfulRows(const TableInformation& table)
{
    using recovery::myisam::MyisamRecordCheck;
    if (m_doubtfulRowsDelivered == 0)
        return;
    QStringList reasons;
    for (unsigned i = 0; i < MyisamRecordCheck::kFindingCount; ++i)
        if (m_findingCounts[i] > 0)
            reasons << QStringLiteral("%1 %2").arg(QString::fromLatin1(MyisamRecordCheck::reason(1u << i)))
                           .arg(m_findingCounts[i]);
    m_repair.AppendLog(QStringLiteral("Table %1: %2 rows marked as doubtful (%3).")
                           .arg(table.m_name)
                           .arg(m_doubtfulRowsDelivered)
                           .arg(reasons.join(QStringLiteral(", "))));
}

void MyisamTableReader::ReadColumn(std::size_t column)
{
    const auto& layout = m_layout.m_columns[m_layoutColumn[column]];
    const auto use = m_repair.app().m_bRepair || m_repair.m_bWholeValues ? MyisamColumnDecoder::Use::Whole
                                                                         : MyisamColumnDecoder::Use::Preview;
    auto value = MyisamColumnDecoder::decode(layout, m_record, use);
    if (value) {
        m_values[column] = std::move(*value);
        return;
    }
    platform::DecodeError error = value.error();
    error.what = "column " + m_repair.m_columns[column].m_name.toStdString() + " of the record at "
        + std::to_string(m_record.m_pos) + ": " + error.what;
    error.offset = m_record.m_pos;
    if (++m_damageCount <= kLoggedDamage)
        m_repair.AppendLog(damageText(m_dataPath, error));
    m_values[column] = RowValue::Null();
    m_recordDamaged = true;
}

} // namespace engine
