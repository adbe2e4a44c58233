#pragma once

#include <QString>

#include <cstdint>
#include <span>

namespace app {

// What the first page of a file says about it as an InnoDB system tablespace
// (an ibdata1). A repair may put the chosen file in the server's place, and a
// scan reads its tables' InnoDB rows through it.
class SystemTablespaceCheck {
public:
    enum Finding {
        Intact,              // a file-space header page of space 0 whose checksum verifies
        FirstPageDamaged,    // the page fails its checksum (or is all zeros), whatever it holds, or
                             // its two copies of the space id disagree
        NotSharedTablespace, // shorter than a page, or a page 0 that verifies and is one table's
                             // tablespace or no header at all
        Unreadable,          // cannot be opened or read
    };

    explicit SystemTablespaceCheck(const QString& path);

    Finding finding() const { return m_finding; }
    // A sentence for the user that names the file and what is wrong with it;
    // empty for an intact file.
    const QString& problem() const { return m_problem; }
    // The picker takes a damaged shared tablespace (its rows still read,
    // mostly); a file that is plainly no shared tablespace is a slip.
    bool refusedByPicker() const { return m_finding == NotSharedTablespace || m_finding == Unreadable; }

private:
    // Sets the finding; returns why, for the problem's sentence.
    QString Examine(const QString& path);
    // The same for a page 0 whose checksum verifies.
    QString ExamineVerified(std::span<const std::uint8_t> page);
    QString Found(Finding finding, const QString& why);

    Finding m_finding = Intact;
    QString m_problem;
};

} // namespace app
