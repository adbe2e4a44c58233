#include "engine/MySqlRepairFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace engine::fileops {

namespace {

constexpr std::size_t kChunk = 4u << 20;

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

void setError(QString* error, const QString& what, const QString& path)
{
    if (error)
        *error = what + QLatin1Char(' ') + path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

// Closes the descriptor when the scope ends.
struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool readFully(int fd, char* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool writeFully(int fd, const char* buffer, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, buffer, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buffer += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A rename is only durable once the folder holding the name is flushed.
void syncFolderOf(const QString& path)
{
    const int fd = ::open(native(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool copyBytes(int in, int out, const Tick& tick)
{
    std::vector<char> buffer(kChunk);
    for (;;) {
        std::size_t got = 0;
        if (!readFully(in, buffer.data(), buffer.size(), got))
            return false;
        if (got == 0)
            return true;
        if (!writeFully(out, buffer.data(), got))
            return false;
        if (tick)
            tick();
    }
}

} // namespace

bool sameFile(const QString& a, const QString& b)
{
    struct stat sa {}, sb {};
    return ::stat(native(a).constData(), &sa) == 0 && ::stat(native(b).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool filesEqual(const QString& a, const QString& b, const Tick& tick)
{
    Fd fa{::open(native(a).constData(), O_RDONLY | O_CLOEXEC)};
    Fd fb{::open(native(b).constData(), O_RDONLY | O_CLOEXEC)};
    if (fa.fd < 0 || fb.fd < 0)
        return false;
    std::vector<char> ba(kChunk), bb(kChunk);
    for (;;) {
        std::size_t na = 0, nb = 0;
        if (!readFully(fa.fd, ba.data(), ba.size(), na) || !readFully(fb.fd, bb.data(), bb.size(), nb))
            return false;
        if (na != nb || std::memcmp(ba.data(), bb.data(), na) != 0)
            return false;
        if (na == 0)
            return true;
        if (tick)
            tick();
    }
}

bool copyVerified(const QString& src, const QString& dst, bool replace, const QString& ownerOf, const Tick& tick,
                  QString* error)
{
    Fd in{::open(native(src).constData(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0) {
        setError(error, QStringLiteral("Cannot open"), src);
        return false;
    }
    struct stat owner {};
    if (::stat(native(ownerOf.isEmpty() ? src : ownerOf).constData(), &owner) != 0 && ::fstat(in.fd, &owner) != 0) {
        setError(error, QStringLiteral("Cannot read the attributes of"), src);
        return false;
    }
    const QFileInfo target(dst);
    QByteArray temp = native(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".grisolt-XXXXXX"));
    Fd out{::mkostemp(temp.data(), O_CLOEXEC)};
    if (out.fd < 0) {
        setError(error, QStringLiteral("Cannot create a file beside"), dst);
        return false;
    }
    const QString tempPath = QFile::decodeName(temp);
    bool ok = copyBytes(in.fd, out.fd, tick) && ::fsync(out.fd) == 0;
    if (!ok)
        setError(error, QStringLiteral("Cannot copy to"), dst);
    if (ok) {
        // Owner first: fchown may clear the mode's set-id bits.
        if (::fchown(out.fd, owner.st_uid, owner.st_gid) != 0 && ::geteuid() == 0)
            ok = false;
        if (::fchmod(out.fd, owner.st_mode & 07777) != 0)
            ok = false;
        if (!ok)
            setError(error, QStringLiteral("Cannot set the owner and mode of"), dst);
    }
    ::close(out.fd);
    out.fd = -1;
    if (ok && !filesEqual(src, tempPath, tick)) {
        ok = false;
        if (error)
            *error = QStringLiteral("The copy of ") + src + QStringLiteral(" differs from it");
    }
    if (ok) {
        const int rc = replace ? ::rename(temp.constData(), native(dst).constData())
                               : ::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, native(dst).constData(), RENAME_NOREPLACE);
        ok = rc == 0;
        if (!ok)
            setError(error, QStringLiteral("Cannot put the copy in place at"), dst);
    }
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    syncFolderOf(dst);
    return true;
}

bool moveNoReplace(const QString& src, const QString& dst, QString* error)
{
    if (::renameat2(AT_FDCWD, native(src).constData(), AT_FDCWD, native(dst).constData(), RENAME_NOREPLACE) != 0) {
        setError(error, QStringLiteral("Cannot move ") + src + QStringLiteral(" to"), dst);
        return false;
    }
    syncFolderOf(dst);
    syncFolderOf(src);
    return true;
}

bool copyFolder(const QString& src, const QString& dst, const Tick& tick)
{
    // No folder is made for one that is not there.
    if (!QFileInfo(src).isDir() || !QDir().mkpath(dst))
        return false;
    bool ok = true;
    const auto entries = QDir(src).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QString target = dst + QLatin1Char('/') + entry.fileName();
        if (entry.isSymLink())
            ok = false; // a link may lead out of the folder; it is not ours to follow
        else if (entry.isDir())
            ok = copyFolder(entry.absoluteFilePath(), target, tick) && ok;
        else
            ok = copyVerified(entry.absoluteFilePath(), target, false, {}, tick) && ok;
    }
    return ok;
}

bool lockedByAnotherProcess(const QString& path)
{
    Fd fd{::open(native(path).constData(), O_RDONLY | O_CLOEXEC)};
    if (fd.fd < 0)
        return false;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    // F_GETLK never reports our own locks, so anything it finds is another's.
    return ::fcntl(fd.fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

} // namespace engine::fileops
