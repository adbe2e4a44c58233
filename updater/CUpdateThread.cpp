#include "updater/CUpdateThread.h"

#include "updater/CAutoUpdater.h"

namespace updater {

CUpdateThread::CUpdateThread(CAutoUpdater& updater, QString tempFolder, QObject* parent)
    : QThread(parent), m_updater(updater), m_tempFolder(std::move(tempFolder))
{
}

CUpdateThread::~CUpdateThread()
{
    cancel();
    wait();
}

void CUpdateThread::run()
{
    // The flag is this download's own: a cancel that came before the thread
    // ran still counts.
    const UpdateResult result = m_updater.DownloadUpdate(*this, m_bCancelled, m_tempFolder);
    emit downloadFinished(result);
}

} // namespace updater
