#pragma once

namespace updater {

// What an update check or a download ended with. The check's and the
// download's codes share one number space; 0 means "invalid version" for a
// check and "done" for a download.
using UpdateResult = int;

inline constexpr UpdateResult UPDATE_INVALID_VERSION = 0;
inline constexpr UpdateResult UPDATE_DOWNLOAD_DONE = 0;
inline constexpr UpdateResult UPDATE_AVAILABLE = 1;
inline constexpr UpdateResult UPDATE_MAJOR_RELEASE_ONLY = 2;
inline constexpr UpdateResult UPDATE_AVAILABLE_AND_MAJOR_RELEASE = 3;
inline constexpr UpdateResult UPDATE_NO_CONNECTION = 4;
inline constexpr UpdateResult UPDATE_FILE_NOT_OPENED = 5;
// A download the user cancelled once the transfer had begun: never "done".
inline constexpr UpdateResult UPDATE_DOWNLOAD_CANCELLED = 6;
inline constexpr UpdateResult UPDATE_TRANSFER_FAILED = 7;
inline constexpr UpdateResult UPDATE_NO_INSTALLED_VERSION = 8;
inline constexpr UpdateResult UPDATE_UP_TO_DATE = 9;

// CompareVersions(a, b).
using VersionCompareResult = int;

inline constexpr VersionCompareResult VERSION_MAJOR_NEWER = 2;
inline constexpr VersionCompareResult VERSION_NEWER = 1;
inline constexpr VersionCompareResult VERSION_EQUAL = 0;
inline constexpr VersionCompareResult VERSION_OLDER = -1;
inline constexpr VersionCompareResult VERSION_BAD_FIRST = -21;
inline constexpr VersionCompareResult VERSION_BAD_SECOND = -22;

} // namespace updater
