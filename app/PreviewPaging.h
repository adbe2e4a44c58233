#pragma once

#include <cstdint>
#include <vector>

namespace engine {
class AppState;
class MySqlRepair;
}

namespace app {

// Where the preview's Previous and Next lead, over the paging fields of the
// shared state and the engine's page-start array (m_dataPages).
//
// A MyISAM preview page is the next 100 records; its start in the .MYD is
// remembered the first time it is reached, so Previous finds it again. An
// InnoDB preview page is one data page and those the reader merged into it
// until it held 100 rows; Next remembers where each page began, so Previous
// returns to exactly that data page and the reader merges the same pages
// again. Neither end can be passed: a page is read only when it exists.
class PreviewPaging {
public:
    PreviewPaging(engine::AppState& app, engine::MySqlRepair& repair);

    // A new table is previewed: its first page is shown, nothing remembered.
    void Reset();
    // Forgets the remembered steps only (a new table's first page arrived).
    void ForgetSteps() { m_pageStarts.clear(); }

    // Next applies when a further page follows the one shown: a further
    // InnoDB data page or known MyISAM page start, or more MyISAM records by
    // the table's count while the data did not end within the page shown.
    bool NextEnabled() const;
    bool PreviousEnabled() const;

    // Move to the next or previous page and request it (m_bPageRequest);
    // true when a page job is to read it, false when there is none to read
    // (nothing moves then).
    bool Next();
    bool Previous();

    // The page job (on the worker): reads the page that m_nPage names into
    // the engine's m_pageRows; clears the request. A page index outside the
    // page-start array reads nothing.
    static void ReadPage(engine::AppState& app, engine::MySqlRepair& repair);

private:
    bool IsMyIsam() const;

    engine::AppState& m_app;
    engine::MySqlRepair& m_repair;
    // InnoDB: the first data page (index into m_dataPages) of every preview
    // page before the one shown, oldest first.
    std::vector<std::int32_t> m_pageStarts;
};

} // namespace app
