#include "app/PreviewPaging.h"

#include "engine/AppState.h"
#include "engine/MySqlRepair.h"
#include "model/TableInformation.h"

#include <algorithm>

namespace app {

namespace {
constexpr std::int64_t kPageRecords = static_cast<std::int64_t>(engine::PREVIEW_PAGE_ROWS);
}

PreviewPaging::PreviewPaging(engine::AppState& app, engine::MySqlRepair& repair) : m_app(app), m_repair(repair) {}

void PreviewPaging::Reset()
{
    m_app.m_nPage = 0;
    m_app.m_nRecordsLeft = 0;
    m_app.m_nPageRecords = 0;
    m_app.m_bPageRequest = false;
    m_pageStarts.clear();
}

bool PreviewPaging::IsMyIsam() const
{
    if (const engine::TableInformation* table = m_app.m_pPreviewTable)
        return table->m_engine == QLatin1String("myisam");
    return m_app.m_nRecordsLeft != 0;
}

bool PreviewPaging::NextEnabled() const
{
    if (m_app.m_bPageRequest)
        return false;
    if (IsMyIsam()) {
        // A walk that met the end of the data leaves no page count to read:
        // a count in the index file above the records found must not lead
        // to empty pages.
        const bool dataEnded = m_app.m_nPageRecords == 0;
        const bool knownStartFollows = m_app.m_nPageCount > m_app.m_nPage + 1;
        return knownStartFollows || (m_app.m_nRecordsLeft > kPageRecords && !dataEnded);
    }
    return m_app.m_nPageCount > std::int64_t{m_app.m_nPage} + m_app.m_nPagesMerged + 1;
}

bool PreviewPaging::PreviousEnabled() const
{
    return m_app.m_nPage > 0 && !m_app.m_bPageRequest;
}

bool PreviewPaging::Next()
{
    if (!NextEnabled())
        return false;
    if (IsMyIsam()) {
        m_app.m_nRecordsLeft -= kPageRecords;
        auto& starts = m_repair.m_dataPages;
        const auto nextStart = static_cast<std::uint64_t>(m_app.m_nNextPageStart);
        // Each page start is listed once, in the order the pages were reached.
        if (static_cast<std::size_t>(m_app.m_nPage) + 1 >= starts.size()) {
            if (starts.empty())
                starts.push_back(0);
            if (std::find(starts.begin(), starts.end(), nextStart) == starts.end())
                starts.push_back(nextStart);
        }
        m_app.m_nPage += 1;
        m_app.m_nPageCount = static_cast<std::int32_t>(starts.size());
        m_app.m_nPageRecords = std::min(m_app.m_nRecordsLeft, kPageRecords);
    } else {
        m_pageStarts.push_back(m_app.m_nPage);
        m_app.m_nPage += 1 + m_app.m_nPagesMerged;
        m_app.m_nPagesMerged = 0;
    }
    m_app.m_bPageRequest = true;
    return true;
}

bool PreviewPaging::Previous()
{
    if (!PreviousEnabled())
        return false;
    if (IsMyIsam()) {
        m_app.m_nPage -= 1;
        m_app.m_nRecordsLeft += kPageRecords;
        m_app.m_nPageRecords = kPageRecords;
    } else {
        // The page before began where the Next that left it started from;
        // without a remembered start (never the case after Next) it is the first.
        m_app.m_nPage = m_pageStarts.empty() ? 0 : m_pageStarts.back();
        if (!m_pageStarts.empty())
            m_pageStarts.pop_back();
        m_app.m_nPagesMerged = 0;
    }
    m_app.m_nPage = std::max(m_app.m_nPage, 0);
    m_app.m_bPageRequest = true;
    return true;
}

void PreviewPaging::ReadPage(engine::AppState& app, engine::MySqlRepair& repair)
{
    app.m_bPageRequest = false;
    repair.m_pageRows.clear();
    engine::TableInformation* table = app.m_pPreviewTable;
    if (!table || app.m_nPage < 0 || static_cast<std::size_t>(app.m_nPage) >= repair.m_dataPages.size())
        return;
    const std::uint64_t start = repair.m_dataPages[static_cast<std::size_t>(app.m_nPage)];
    if (table->m_engine == QLatin1String("innodb"))
        repair.RecoverInnoDbRows(start, *table);
    else if (table->m_engine == QLatin1String("myisam"))
        repair.RecoverMyIsamRows(static_cast<std::uint64_t>(app.m_nPageRecords), *table, start);
}

} // namespace app
