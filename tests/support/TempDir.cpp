#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir()
{
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/grisolt-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = QString::fromLocal8Bit(pattern);
}

TempDir::~TempDir()
{
    QDir(m_path).removeRecursively();
}

QString TempDir::file(const QString& name) const
{
    return m_path + QLatin1Char('/') + name;
}

QString TempDir::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = file(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
    return path;
}

QString TempDir::write(const QString& name, const std::vector<std::uint8_t>& bytes) const
{
    return write(name, QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
}

QString TempDir::mkdir(const QString& name) const
{
    const QString path = file(name);
    QDir().mkpath(path);
    return path;
}

void copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QFileInfo& entry : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + QLatin1Char('/') + entry.fileName();
        if (entry.isDir()) {
            copyFolder(entry.filePath(), target);
            continue;
        }
        ASSERT_TRUE(QFile::copy(entry.filePath(), target)) << entry.filePath().toStdString();
        QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
}

} // namespace testsupport
