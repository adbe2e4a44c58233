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
//   38      4     FSP_SPACE_ID, the file-space header's copy of it
// The page size is not trusted from the page's own flags (they may be what
// is damaged): each size a server can write is tried until one verifies.
// Nothing is read from a page 0 that fails its checksum: the bytes that
// would tell another file apart may be the damaged ones, so such a file is
// taken for a damaged ibdata1. The classic checksums leave the first copy of
// the space id out, so a verified page names another tablespace only when
// both copies do.

namespace app {

namespace {

constexpr std::uint64_t kFilPageType = 24;
constexpr std::uint64_t kFilPageSpaceId = 34;
constexpr std::uint64_t kFspSpaceId = 38;
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Found(Unreadable, file.errorString());
    const QByteArray head = file.read(kLargestPage);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(head.constData()),
                                              static_cast<std::size_t>(head.size()));
    if (bytes.size() < kSmallestPage)
        return Found(NotSharedTablespace, QStringLiteral("the file is shorter than one page."));

    bool empty = false;
    for (const std::uint64_t size : kPageSizes) {
        if (size > bytes.size())
            continue;
        const auto page = bytes.first(size);
        const auto check = recovery::innodb::verifyPage(page);
        if (check.integrity == recovery::innodb::PageIntegrity::Valid)
            return ExamineVerified(page);
        empty = empty || check.integrity == recovery::innodb::PageIntegrity::Empty;
    }
    return Found(FirstPageDamaged, empty ? QStringLiteral("it holds only zeros.")
                                  : QStringLiteral("its checksum does not match."));
}

QString SystemTablespaceCheck::ExamineVerified(std::span<const std::uint8_t> page)
{
    platform::ByteReader reader(page);
    reader.seek(kFilPageType);
    const std::uint16_t type = reader.u16be();
    reader.seek(kFilPageSpaceId);
    const std::uint32_t pageSpaceId = reader.u32be();
    reader.seek(kFspSpaceId);
    const std::uint32_t headerSpaceId = reader.u32be();
    if (type != kPageTypeFspHeader)
        return Found(NotSharedTablespace, QStringLiteral("its first page is not a tablespace header."));
    if (pageSpaceId != 0 && headerSpaceId != 0)
        return Found(NotSharedTablespace,
                     QStringLiteral("it is the tablespace of one table (space %1), not the shared one.").arg(headerSpaceId));
    if (pageSpaceId != headerSpaceId)
        return Found(FirstPageDamaged,
                     QStringLiteral("its two copies of the space id differ (%1 and %2).").arg(pageSpaceId).arg(headerSpaceId));
    return Found(Intact, QString());
}

QString SystemTablespaceCheck::Found(Finding finding, const QString& why)
{
    m_finding = finding;
    return why;
}

} // namespace app
