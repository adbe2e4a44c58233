#pragma once

#include <QString>

#include <functional>

namespace engine::fileops {

// Called after each chunk a copy or a comparison has handled, so a long copy
// can move a progress bar.
using Tick = std::function<void()>;

// Both paths name the same file (device and inode).
bool sameFile(const QString& a, const QString& b);

// Both files can be read and hold the same bytes.
bool filesEqual(const QString& a, const QString& b, const Tick& tick = {});

// Copies src to dst through a temporary file beside dst, compares the copy
// with src byte for byte, and only then renames it to dst, so dst is either
// untouched or a verified copy. With replace false an existing dst is never
// replaced. The copy takes the owner and mode of ownerOf (src when empty):
// a file put in the server's place must stay readable by the server.
bool copyVerified(const QString& src, const QString& dst, bool replace, const QString& ownerOf = {},
                  const Tick& tick = {}, QString* error = nullptr);

// Renames src (a file or a folder) to dst within one file system, never
// replacing an existing dst, and flushes both folders.
bool moveNoReplace(const QString& src, const QString& dst, QString* error = nullptr);

// Copies a folder with its files and sub-folders; existing targets are not
// replaced. False when anything could not be copied; a src that is not a
// folder makes nothing.
bool copyFolder(const QString& src, const QString& dst, const Tick& tick = {});

// Another process holds a POSIX lock on the file, as a running server does on
// its ibdata1.
bool lockedByAnotherProcess(const QString& path);

} // namespace engine::fileops
