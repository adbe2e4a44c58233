#include "engine/CDiskObject.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

namespace {

constexpr int kMaxComponent = NAME_MAX; // 255 on Linux
constexpr int kMaxPath = PATH_MAX;      // 4096 on Linux

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

bool componentsAcceptable(const QString& path)
{
    if (native(path).size() >= kMaxPath)
        return false;
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return std::all_of(parts.begin(), parts.end(), [](const QString& part) {
        return native(part).size() <= kMaxComponent && CDiskObject::HasNoWildcards(part);
    });
}

} // namespace

const QString CDiskObject::kInternalError =
    QStringLiteral("CDiskObject internal error - check call parameters");

int CDiskObject::NormalizeSeparators(QString& path)
{
    const int count = static_cast<int>(path.count(QLatin1Char('\\')));
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return count;
}

bool CDiskObject::HasNoWildcards(const QString& text)
{
    // A colon is an ordinary character in a file name here, unlike on systems
    // with drive letters, so only the wildcards are refused.
    return !text.contains(QLatin1Char('*')) && !text.contains(QLatin1Char('?'));
}

bool CDiskObject::QualifyFile(QString& path)
{
    NormalizeSeparators(path);
    const bool trailingSlash = path.endsWith(QLatin1Char('/'));
    // Resolved lexically against the current folder, which is never changed,
    // so that other threads relying on it are not disturbed.
    path = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    if (trailingSlash && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    if (!componentsAcceptable(path)) {
        SetInternalError();
        return false;
    }
    return true;
}

bool CDiskObject::QualifyPath(QString& path)
{
    NormalizeSeparators(path);
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    if (path.isEmpty())
        path = QStringLiteral("./");
    return QualifyFile(path);
}

void CDiskObject::SetSystemErrorMessage(int error, const QString& path)
{
    m_strError = QString::fromLocal8Bit(std::strerror(error)).trimmed();
    if (!path.isEmpty())
        m_strError += QLatin1Char(' ') + path;
}

bool CDiskObject::RemoveFile(const QString& file)
{
    m_strError.clear();
    if (file.isEmpty()) {
        SetInternalError();
        return false;
    }
    QString path = file;
    if (!QualifyFile(path))
        return false;
    if (::unlink(native(path).constData()) != 0) {
        SetSystemErrorMessage(errno, path);
        return false;
    }
    return true;
}

bool CDiskObject::DirectoryExists(const QString& folder)
{
    m_strError.clear();
    if (folder.isEmpty()) {
        SetInternalError();
        return false;
    }
    QString path = folder;
    if (!QualifyPath(path))
        return false;
    struct stat st {};
    const QByteArray p = native(path);
    return ::stat(p.constData(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(p.constData(), X_OK) == 0;
}

bool CDiskObject::FileExists(const QString& file)
{
    m_strError.clear();
    if (file.isEmpty()) {
        SetInternalError();
        return false;
    }
    QString path = file;
    if (!QualifyFile(path))
        return false;
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool isFile = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    ::close(fd);
    return isFile;
}

bool CDiskObject::CreateDirectory(const QString& folder)
{
    m_strError.clear();
    if (folder.isEmpty()) {
        SetInternalError();
        return false;
    }
    QString path = folder;
    if (!QualifyPath(path))
        return false;
    // Level by level from the root; levels that exist already are passed over.
    QString built;
    int lastError = 0;
    for (const QString& level : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        built += QLatin1Char('/') + level;
        if (::mkdir(native(built).constData(), 0755) != 0 && errno != EEXIST)
            lastError = errno;
    }
    if (built.isEmpty())
        built = QStringLiteral("/");
    struct stat st {};
    if (::stat(native(built).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return true;
    SetSystemErrorMessage(lastError ? lastError : ENOTDIR, built);
    return false;
}

bool CDiskObject::EnumAllDirectories(const QString& folder, QStringList& list)
{
    m_strError.clear();
    QString path = folder;
    if (!QualifyPath(path))
        return false;
    QStringList visited;
    return listFolder(path, list, visited);
}

bool CDiskObject::listFolder(const QString& folder, QStringList& list, QStringList& visited)
{
    // A linked folder may point back up the tree: each real folder is walked once.
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (visited.contains(canonical))
        return true;
    visited.append(canonical);

    DIR* dir = ::opendir(native(folder).constData());
    if (!dir) {
        if (m_strError.isEmpty())
            SetSystemErrorMessage(errno, folder);
        return false;
    }
    QStringList names;
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        struct stat st {};
        if (::stat(native(folder + name).constData(), &st) == 0 && S_ISDIR(st.st_mode))
            names.append(name);
    }
    ::closedir(dir);
    names.sort();

    bool ok = true;
    for (const QString& name : names) {
        const QString sub = folder + name + QLatin1Char('/');
        list.append(sub);
        // One unreadable folder (say lost+found) must not hide the ones after it.
        ok = listFolder(sub, list, visited) && ok;
    }
    return ok;
}

} // namespace engine
