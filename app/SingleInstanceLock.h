#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace app {

// One running program per user: a lock file in the user's runtime folder
// ($XDG_RUNTIME_DIR, else the temporary folder), held while the object
// lives. A lock left by a process that died is taken over.
class SingleInstanceLock {
public:
    SingleInstanceLock();
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // True when this process now holds the lock; false at once when another
    // process holds it.
    bool acquire();
    static QString lockPath();

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace app
