#include "app/SingleInstanceLock.h"

#include <QDir>
#include <QLockFile>

namespace app {

SingleInstanceLock::SingleInstanceLock() = default;

SingleInstanceLock::~SingleInstanceLock() = default;

QString SingleInstanceLock::lockPath()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/VOXA_APP.lock");
}

bool SingleInstanceLock::acquire()
{
    if (m_lock && m_lock->isLocked())
        return true;
    m_lock = std::make_unique<QLockFile>(lockPath());
    // The program runs for hours: a lock is stale only when its process died.
    m_lock->setStaleLockTime(0);
    // Never wait: a second instance ends at once.
    return m_lock->tryLock(0);
}

} // namespace app
