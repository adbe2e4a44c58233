#include "app/SystemTablespaceCheck.h"

#include "platform/ByteReader.h"
#include "recovery/innodb/InnodbChecksum.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <vector>

// Page 0 of a tablespace (the fields read here):
//   offset  size  meaning
//   24      2     FIL_PAGE_TYPE: 8 = FIL_PAGE_TYPE_FSP_HDR
//   34      4     FIL_PAGE_SPACE_ID: 0 for the system tablespace
// The page size is not trusted from the page's own flags (they may be what
// is damaged): each size a server can write is tried until one verifies.

namespace app {

namespace {

constexpr std::uint64_t kFilPageType = 24;
constexpr std::uint64_t kFilPageSpaceId = 34;
constexpr std::uint16_t kPageTypeFspHeader = 8;
constexpr std::uint64_t kPageSizes[] = {16384, 4096, 8192, 32768, 65536};

} // namespace

QString SystemTablespaceCheck::Problem(const QString& path)
{
    const QString name = QDir::toNativeSeparators(path);
    const auto refused = [&name](const QString& why) {
        return QStringLiteral("%1 is not an InnoDB system tablespace (ibdata1): %2").arg(name, why);
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read: %2").arg(name, file.errorString());
    const QByteArray head = file.read(static_cast<qint64>(kPageSizes[4]));
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(head.constData()),
                                              static_cast<std::size_t>(head.size()));
    if (bytes.size() < kPageSizes[1])
        return refused(QStringLiteral("the file is shorter than one page."));

    platform::ByteReader reader(bytes);
    reader.seek(kFilPageType);
    const std::uint16_t type = reader.u16be();
    reader.seek(kFilPageSpaceId);
    const std::uint32_t spaceId = reader.u32be();
    if (!reader || type != kPageTypeFspHeader)
        return refused(QStringLiteral("its first page is not a tablespace header."));
    if (spaceId != 0)
        return refused(QStringLiteral("it is the tablespace of one table (space %1), not the shared one.").arg(spaceId));
    for (const std::uint64_t size : kPageSizes) {
        if (size > bytes.size())
            continue;
        const auto check = recovery::innodb::verifyPage(bytes.first(size));
        if (check.integrity == recovery::innodb::PageIntegrity::Valid)
            return QString();
    }
    return refused(QStringLiteral("its first page is damaged (its checksum does not match)."));
}

} // namespace app
