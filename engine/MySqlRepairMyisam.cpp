// The MyISAM half of row recovery: table preparation from the .MYI header
// and the record walk over the .MYD. The formats are decoded in
// recovery/myisam/; this is the boundary that logs what they report.
#include "engine/MySqlRepair.h"

#include "engine/AppState.h"
#include "engine/ReportWindow.h"
#include "engine/RowWriter.h"
#include "recovery/myisam/MyisamColumnDecoder.h"
#include "recovery/myisam/MyisamIndexHeader.h"
#include "engine/MyisamReaderState.h"
#include "recovery/myisam/MyisamRecord.h"
#include "recovery/myisam/MyisamRecordWalk.h"
#include "recovery/myisam/MyisamRowLayout.h"

#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

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
std::optional<MyisamRowLayout> layoutOf(MySqlRepair& repair, const TableInformation& table, const QString& indexPath,
                                        std::optional<MyisamIndexHeader>& header)
{
    if (!QFileInfo(indexPath).isFile()) {
        repair.AppendLog(indexPath + QStringLiteral(" is not present"));
    } else if (auto parsed = readIndexHeader(repair.m_file, indexPath); !parsed) {
        repair.AppendLog(damageText(indexPath, parsed.error()));
    } else if (auto built = MyisamRowLayout::build(table, *parsed); !built) {
        repair.AppendLog(damageText(indexPath, built.error()));
    } else {
        header = *parsed;
        return std::move(*built);
    }
    // A static table's records follow from its definition alone.
    auto fallback = MyisamRowLayout::fromDefinition(table);
    if (!fallback) {
        repair.AppendLog(QStringLiteral("The rows of table %1 cannot be read: %2")
                             .arg(table.m_name, QString::fromStdString(fallback.error().what)));
        return std::nullopt;
    }
    repair.AppendLog(QStringLiteral("The rows of table %1 are read from its definition alone.").arg(table.m_name));
    return std::move(*fallback);
}

// The columns the walk delivers, as m_columns describes them; a generated
// column that is not stored is the server's to compute and left out.
void describeColumns(MySqlRepair& repair, MySqlRepair::MyisamState& state)
{
    AppState& app = repair.app();
    std::int32_t packedIndex = 0;
    for (std::size_t i = 0; i < state.m_layout.m_columns.size(); ++i) {
        const auto& l = state.m_layout.m_columns[i];
        if (l.m_virtual)
            continue;
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
        info.m_nullText = l.m_nullMask ? QStringLiteral("null") : QStringLiteral("not null");
        info.m_nullFlagIndex = l.m_nullMask ? app.m_nNullableColumns++ : 0;
        if (l.m_fieldDef >= 0) {
            const auto type = state.m_layout.m_fieldDefs[static_cast<std::size_t>(l.m_fieldDef)].m_type;
            info.m_packable = state.m_layout.m_dynamic && type != recovery::myisam::FIELD_NORMAL
                && type != recovery::myisam::FIELD_VARCHAR;
            info.m_packedFlagIndex = info.m_packable ? packedIndex++ : -1;
        }
        repair.m_columns.push_back(info);
        state.m_layoutColumn.push_back(i);
    }
    repair.m_nRecordNullBytes = state.m_layout.m_nullBytes;
    repair.m_nPackedFlagBytes = state.m_layout.m_packFlagBytes;
    repair.m_nRecordSkip = state.m_layout.m_dynamic ? 0 : state.m_layout.m_slotLength - state.m_layout.m_recordLength;
}

// Opens the .MYD in m_hDataFile, a few times over for a file another
// program holds for a moment. Missing or refused: logged, false.
bool openDataFile(MySqlRepair& repair, const TableInformation& table)
{
    if (!QFileInfo(table.m_dataFile).isFile()) {
        repair.AppendLog(table.m_dataFile + QStringLiteral(" is not present"));
        return false;
    }
    for (int attempt = 1; !repair.m_hDataFile.open(table.m_dataFile.toStdString()); ++attempt) {
        if (attempt == kDataFileOpenAttempts) {
            repair.AppendLog(QStringLiteral("%1 cannot be opened: %2")
                                 .arg(table.m_dataFile, QString::fromStdString(repair.m_hDataFile.lastError())));
            return false;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    return true;
}

// The records the table holds: the index file's count, the slots of a
// static table without one, or when that count is zero the records the
// data file really has.
std::uint64_t countRecords(MySqlRepair& repair, const MySqlRepair::MyisamState& state,
                           const std::optional<MyisamIndexHeader>& header, const QString& indexPath)
{
    platform::DataFile& data = repair.m_hDataFile;
    std::uint64_t total = header ? header->m_records : 0;
    if (!header && state.m_layout.m_slotLength > 0)
        total = data.size() / state.m_layout.m_slotLength;
    if (total != 0 || data.size() == 0)
        return total;
    // A zeroed or stale count must not hide rows that are there: count them.
    MyisamRecordWalk walk(data, state.m_layout, data.size());
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

void MySqlRepair::RecoverMyIsamTable(TableInformation& table)
{
    m_nPackedFlagBytes = m_nRecordSkip = m_nRecordNullBytes = 0;
    m_nMyIsamFilePos = 0;
    m_hDataFile.close();
    m_app.m_nRecordsLeft = m_app.m_nMyIsamPos = m_app.m_nNextPageStart = 0;
    m_app.m_nTotalRecords = 0;
    m_app.m_nNullableColumns = 0;
    m_dataPages.clear();
    m_columns.clear();
    m_pageRows.clear();
    m_myisam.reset();

    const QString indexPath = indexPathOf(table.m_dataFile);
    std::optional<MyisamIndexHeader> header;
    std::optional<MyisamRowLayout> layout = layoutOf(*this, table, indexPath, header);
    if (!layout)
        return;
    auto state = std::make_shared<MyisamState>();
    state->m_layout = std::move(*layout);
    state->m_dataPath = table.m_dataFile;
    describeColumns(*this, *state);
    if (!openDataFile(*this, table))
        return;
    m_myisam = state;

    const std::uint64_t total = countRecords(*this, *state, header, indexPath);
    AppendLog(QStringLiteral("Total records present : ") + QStringLiteral("  ") + QString::number(total));
    m_app.m_nTotalRecords = m_app.m_nRecordsLeft = static_cast<std::int64_t>(total);
    if (total == 0)
        return;
    if (m_app.m_bRepair) {
        // A count kept in the index file may lag behind the data after a
        // crash: a repair takes every record up to the end of the data.
        RecoverMyIsamRows(UINT64_MAX, table, 0);
        return;
    }
    m_app.m_nPageRecords = static_cast<std::int64_t>(std::min(total, PREVIEW_PAGE_ROWS));
    RecoverMyIsamRows(std::min(total, PREVIEW_PAGE_ROWS), table, 0);
    if (total > PREVIEW_PAGE_ROWS)
        m_dataPages.push_back(0);
}

void MySqlRepair::RecoverMyIsamRows(std::uint64_t count, TableInformation& table, std::uint64_t start)
{
    m_app.m_nMyIsamPos = static_cast<std::int64_t>(start);
    m_nMyIsamFilePos = start;
    m_pageRows.clear();
    const std::uint64_t total = static_cast<std::uint64_t>(std::max<std::int64_t>(m_app.m_nTotalRecords, 0));
    ReportProgress(PROGRESS_BEGIN, static_cast<std::intptr_t>(std::min(count, total == 0 ? count : total) & 0xFFFFFFFFu));
    if (!m_myisam || !m_hDataFile.isOpen()) {
        m_app.m_nPageRecords = 0;
        m_app.m_nNextPageStart = static_cast<std::int64_t>(start);
        ReportProgress(PROGRESS_END);
        return;
    }
    MyisamState& state = *m_myisam;
    MyisamRecordWalk walk(m_hDataFile, state.m_layout, m_hDataFile.size());
    RowWriter writer(*this, table.m_name, m_columns);
    state.m_pageValues.clear();
    std::uint64_t pos = start;
    for (std::uint64_t delivered = 0; delivered < count && !m_app.m_bStop;) {
        const auto step = walk.read(pos, state.m_record);
        if (step.m_kind == MyisamRecordWalk::StepKind::End) {
            m_app.m_nPageRecords = 0;
            break;
        }
        ReportProgress(PROGRESS_STEP);
        if (step.m_kind == MyisamRecordWalk::StepKind::Damaged) {
            if (++state.m_damageCount <= kLoggedDamage)
                AppendLog(damageText(state.m_dataPath, *step.m_damage));
        } else if (step.m_kind == MyisamRecordWalk::StepKind::Record) {
            state.m_values.assign(m_columns.size(), RowValue::Null());
            for (std::size_t c = 0; c < m_columns.size(); ++c)
                ReadMyIsamColumn(c, state);
            writer.Write(state.m_values);
            if (!m_app.m_bRepair)
                state.m_pageValues.push_back(state.m_values);
            ++delivered;
        }
        // Every step moves forward, so the walk ends.
        pos = std::max(step.m_next, pos + 1);
    }
    if (state.m_damageCount > kLoggedDamage && m_app.m_nPageRecords == 0)
        AppendLog(QStringLiteral("%1: %2 damaged places were stepped over in all.")
                      .arg(state.m_dataPath)
                      .arg(state.m_damageCount));
    m_nMyIsamFilePos = pos;
    m_app.m_nNextPageStart = static_cast<std::int64_t>(pos);
    ReportProgress(PROGRESS_END);
}

void MySqlRepair::ReadMyIsamColumn(std::size_t column, MyisamState& state)
{
    const auto& layout = state.m_layout.m_columns[state.m_layoutColumn[column]];
    auto value = MyisamColumnDecoder::decode(layout, state.m_record);
    if (value) {
        state.m_values[column] = std::move(*value);
        return;
    }
    platform::DecodeError error = value.error();
    error.what = "column " + m_columns[column].m_name.toStdString() + " of the record at "
        + std::to_string(state.m_record.m_pos) + ": " + error.what;
    error.offset = state.m_record.m_pos;
    if (++state.m_damageCount <= kLoggedDamage)
        AppendLog(damageText(state.m_dataPath, error));
    state.m_values[column] = RowValue::Null();
}

} // namespace engine
