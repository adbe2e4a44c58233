#pragma once

#include <QString>
#include <QtGlobal>

namespace updater {

// A byte count as the download page shows it: "512.00 KB", "1.00 MB",
// "0.00 bytes". Negative counts are not expected.
QString FormatByteSize(qint64 bytes);

} // namespace updater
