#include "app/SystemTablespaceCheck.h"

#include "platform/ByteReader.h"
#include "recovery/innodb/InnodbChecksum.h"

#include <QDir>
#include <QFile>

#include <cstdint>

// Page 0 of a tablespace (the fields read here):
//   offset  size  meaning
//   24      2     FIL_PAGE_TYPE: 8 = FIL_PAGE_TYPE_FSP_HDR
//   34      4     FIL_PAGE_SPACE_ID: 0 for the system tablespace
// The page size is not trusted from the page's own flags (they may be what
// is damaged): each size a server can write is tried until one verifies.
// A page 0 that fails every checksum but names space 0 is taken for a
// damaged ibdata1; a space id other than 0 is another file altogether.

namespace app {

namespace {

constexpr std::uint64_t kFilPageType = 24;
constexpr std::uint64_t kFilPageSpaceId = 34;
constexpr std::uint16_t kPageTypeFspHeader = 8;
constexpr std::uint64_t kSmallestPage = 4096;
constexpr std::uint64_t kPageSizes[] = {16384, 4096, 8192, 32768, 65536};
constexpr qint64 kLargestPage = 65536;

} // namespace

SystemTablespaceCheck::SystemTablespaceCheck(const QString& path)
{
    const QString name = QDir::toNativeSeparators(path);
    const QString why = Examine(path);
    if (m_finding == FirstPageDamaged)
        m_problem = QStringLiteral("The first page of the InnoDB system tablespace %1 is damaged: %2").arg(name, why);
    else if (m_finding == NotSharedTablespace)
        m_problem = QStringLiteral("%1 is not an InnoDB system tablespace (ibdata1): %2").arg(name, why);
    else if (m_finding == Unreadable)
        m_problem = QStringLiteral("%1 cannot be read: %2").arg(name, why);
}

QString SystemTablespaceCheck::Examine(const QString& path)
{
    const auto found = [this](Finding finding, const QString& why) {
        m_finding = finding;
        return why;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return found(Unreadable, file.errorString());
    const QByteArray head = file.read(kLargestPage);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(head.constData()),
                                              static_cast<std::size_t>(head.size()));
    if (bytes.size() < kSmallestPage)
        return found(NotSharedTablespace, QStringLiteral("the file is shorter than one page."));

    platform::ByteReader reader(bytes);
    reader.seek(kFilPageType);
    const std::uint16_t type = reader.u16be();
    reader.seek(kFilPageSpaceId);
    const std::uint32_t spaceId = reader.u32be();
    if (spaceId != 0) {
        if (type == kPageTypeFspHeader)
            return found(NotSharedTablespace,
                         QStringLiteral("it is the tablespace of one table (space %1), not the shared one.").arg(spaceId));
        return found(NotSharedTablespace, QStringLiteral("its first page is not a tablespace header."));
    }
    bool empty = false;
    for (const std::uint64_t size : kPageSizes) {
        if (size > bytes.size())
            continue;
        const auto check = recovery::innodb::verifyPage(bytes.first(size));
        if (check.integrity == recovery::innodb::PageIntegrity::Valid) {
            if (type != kPageTypeFspHeader)
                return found(NotSharedTablespace, QStringLiteral("its first page is not a tablespace header."));
            return found(Intact, QString());
        }
        empty = empty || check.integrity == recovery::innodb::PageIntegrity::Empty;
    }
    return found(FirstPageDamaged, empty ? QStringLiteral("it holds only zeros.")
                                  : QStringLiteral("its checksum does not match."));
}

} // namespace app
