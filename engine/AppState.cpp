#include "engine/AppState.h"

#include <QFile>

#include <unistd.h>

namespace engine {

namespace {

// A text of its own: the texts here cross threads, and a shared string's
// last release on the other thread is an ordering the thread checker cannot
// see inside Qt. Copies in and out keep each string on one side of the lock.
QString detached(const QString& text)
{
    return QString(text.constData(), text.size());
}

} // namespace

AppState::AppState() = default;
AppState::~AppState() = default;

QString AppState::message() const
{
    std::lock_guard lock(m_textMutex);
    return detached(m_strMessage);
}

void AppState::setMessage(const QString& text)
{
    std::lock_guard lock(m_textMutex);
    m_strMessage = detached(text);
}

QString AppState::messageText() const
{
    std::lock_guard lock(m_textMutex);
    return detached(m_strMessageText);
}

void AppState::setMessageText(const QString& text)
{
    std::lock_guard lock(m_textMutex);
    m_strMessageText = detached(text);
}

QString AppState::statusText() const
{
    std::lock_guard lock(m_textMutex);
    return detached(m_strStatusText);
}

void AppState::setStatusText(const QString& text)
{
    std::lock_guard lock(m_textMutex);
    m_strStatusText = detached(text);
}

QString AppState::statusPane1() const
{
    std::lock_guard lock(m_textMutex);
    return detached(m_strStatusPane1);
}

void AppState::setStatusPane1(const QString& text)
{
    std::lock_guard lock(m_textMutex);
    m_strStatusPane1 = detached(text);
}

QString AppState::statusPane2() const
{
    std::lock_guard lock(m_textMutex);
    return detached(m_strStatusPane2);
}

void AppState::setStatusPane2(const QString& text)
{
    std::lock_guard lock(m_textMutex);
    m_strStatusPane2 = detached(text);
}

DataFolderRecord& AppState::AddDataFolderRecord()
{
    m_dataFolders.emplace_back();
    return m_dataFolders.back();
}

int AppState::RemoveEmptyFoldersToRemove()
{
    int removed = 0;
    for (const QString& folder : std::as_const(m_foldersToRemove)) {
        // rmdir removes only an empty folder, never a file: exactly the
        // promise made to the user about what leaves the disk.
        if (!folder.isEmpty() && ::rmdir(QFile::encodeName(folder).constData()) == 0)
            ++removed;
    }
    m_foldersToRemove.clear();
    return removed;
}

} // namespace engine
