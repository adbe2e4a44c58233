#include "updater/FormatByteSize.h"

namespace updater {

QString FormatByteSize(qint64 bytes)
{
    constexpr qint64 kKilo = 1024;
    constexpr qint64 kMega = kKilo * 1024;
    constexpr qint64 kGiga = kMega * 1024;
    const double value = static_cast<double>(bytes);
    if (bytes / kGiga != 0)
        return QString::asprintf("%.2f GB", value / static_cast<double>(kGiga));
    if (bytes / kMega != 0)
        return QString::asprintf("%.2f MB", value / static_cast<double>(kMega));
    if (bytes / kKilo != 0)
        return QString::asprintf("%.2f KB", value / static_cast<double>(kKilo));
    return QString::asprintf("%.2f bytes", value);
}

} // namespace updater
