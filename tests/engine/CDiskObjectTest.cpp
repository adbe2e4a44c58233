#include "engine/CDiskObject.h"

#include "tests/support/TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using engine::CDiskObject;
using testsupport::TempDir;

namespace {

// Every operation must leave the process's current folder alone.
class CDiskObjectTest : public ::testing::Test {
protected:
    void SetUp() override { m_cwd = QDir::currentPath(); }
    void TearDown() override
    {
        EXPECT_EQ(QDir::currentPath(), m_cwd);
        QDir::setCurrent(m_cwd);
    }

    QString m_cwd;
    TempDir m_dir;
    CDiskObject m_disk;
};

TEST_F(CDiskObjectTest, EmptyPathsAreRefusedWithTheInternalError)
{
    const std::function<bool(CDiskObject&)> calls[] = {
        [](CDiskObject& d) { return d.RemoveFile(QString()); },
        [](CDiskObject& d) { return d.DirectoryExists(QString()); },
        [](CDiskObject& d) { return d.CreateDirectory(QString()); },
        [](CDiskObject& d) { return d.FileExists(QString()); },
    };
    for (const auto& call : calls) {
        EXPECT_FALSE(call(m_disk));
        EXPECT_EQ(m_disk.GetErrorMessage(), QStringLiteral("CDiskObject internal error - check call parameters"));
    }
}

TEST_F(CDiskObjectTest, QualifiesRelativeAndBackslashPaths)
{
    QDir::setCurrent(m_dir.path());
    m_cwd = m_dir.path();
    const struct {
        const char* given;
        QString file;
        QString folder;
    } cases[] = {
        {"a/b", m_dir.path() + "/a/b", m_dir.path() + "/a/b/"},
        {"a\\b", m_dir.path() + "/a/b", m_dir.path() + "/a/b/"},
        {"../x", QDir::cleanPath(m_dir.path() + "/../x"), QDir::cleanPath(m_dir.path() + "/../x") + "/"},
        {"/data/db1", "/data/db1", "/data/db1/"},
        {"/data/db1/", "/data/db1/", "/data/db1/"},
        {"/data/./db1//t", "/data/db1/t", "/data/db1/t/"},
    };
    for (const auto& c : cases) {
        QString file = QString::fromLatin1(c.given);
        QString folder = file;
        EXPECT_TRUE(m_disk.QualifyFile(file)) << c.given;
        EXPECT_TRUE(m_disk.QualifyPath(folder)) << c.given;
        EXPECT_EQ(file, c.file) << c.given;
        EXPECT_EQ(folder, c.folder) << c.given;
    }
}

TEST_F(CDiskObjectTest, WildcardsAndOverlongNamesAreRefused)
{
    for (const QString& bad : {QStringLiteral("/data/*.frm"), QStringLiteral("/da?a/x"),
                               QStringLiteral("/data/") + QString(256, QLatin1Char('n'))}) {
        QString path = bad;
        EXPECT_FALSE(m_disk.QualifyFile(path)) << bad.left(40).toStdString();
        EXPECT_EQ(m_disk.GetErrorMessage(), CDiskObject::kInternalError);
        EXPECT_FALSE(m_disk.FileExists(bad));
    }
    QString colon = QStringLiteral("/backup:2024/data");
    EXPECT_TRUE(m_disk.QualifyFile(colon)) << "a colon is an ordinary character here";
    QString separators = QStringLiteral("a\\b/c\\d");
    EXPECT_EQ(CDiskObject::NormalizeSeparators(separators), 2);
    EXPECT_EQ(separators, QStringLiteral("a/b/c/d"));
}

TEST_F(CDiskObjectTest, ExistenceOfFilesAndFolders)
{
    const QString file = m_dir.write("db1/t1.frm", QByteArray("x"));
    const QString folder = m_dir.mkdir("db1");
    EXPECT_TRUE(m_disk.FileExists(file));
    EXPECT_FALSE(m_disk.FileExists(folder)) << "a folder is not a file";
    EXPECT_FALSE(m_disk.FileExists(m_dir.file("db1/none.frm")));
    EXPECT_TRUE(m_disk.GetErrorMessage().isEmpty()) << "a missing file is no error";
    EXPECT_TRUE(m_disk.DirectoryExists(folder));
    EXPECT_TRUE(m_disk.DirectoryExists(folder + "/"));
    QString backslashed = folder;
    backslashed.replace('/', '\\');
    EXPECT_TRUE(m_disk.DirectoryExists(backslashed));
    EXPECT_FALSE(m_disk.DirectoryExists(file));
    EXPECT_FALSE(m_disk.DirectoryExists(m_dir.file("nope")));
    EXPECT_TRUE(m_disk.GetErrorMessage().isEmpty());
}

TEST_F(CDiskObjectTest, CreateDirectoryBuildsMissingLevels)
{
    m_dir.mkdir("a");
    EXPECT_TRUE(m_disk.CreateDirectory(m_dir.file("a/b/c")));
    EXPECT_TRUE(QDir(m_dir.file("a/b/c")).exists());
    EXPECT_TRUE(m_disk.CreateDirectory(m_dir.file("a/b/c")));
    EXPECT_TRUE(m_disk.GetErrorMessage().isEmpty());

    // A file in the way of a level.
    m_dir.write("f", QByteArray("x"));
    EXPECT_FALSE(m_disk.CreateDirectory(m_dir.file("f/g")));
    EXPECT_TRUE(m_disk.GetErrorMessage().endsWith(QLatin1Char(' ') + m_dir.file("f/g")))
        << m_disk.GetErrorMessage().toStdString();
}

TEST_F(CDiskObjectTest, CreateDirectoryWithoutPermissionGivesTheSystemText)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write anywhere";
    const QString locked = m_dir.mkdir("locked");
    ::chmod(locked.toLocal8Bit().constData(), 0500);
    EXPECT_FALSE(m_disk.CreateDirectory(locked + "/x"));
    EXPECT_EQ(m_disk.GetErrorMessage(), QStringLiteral("Permission denied ") + locked + "/x");
    ::chmod(locked.toLocal8Bit().constData(), 0700);
}

TEST_F(CDiskObjectTest, RemoveFile)
{
    const QString file = m_dir.write("gone", QByteArray("x"));
    EXPECT_TRUE(m_disk.RemoveFile(file));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(m_disk.RemoveFile(file));
    EXPECT_EQ(m_disk.GetErrorMessage(), QStringLiteral("No such file or directory ") + file);
}

TEST_F(CDiskObjectTest, EnumAllDirectoriesListsFoldersDepthFirst)
{
    m_dir.mkdir("data/db2");
    m_dir.mkdir("data/db1/x");
    m_dir.write("data/ibdata1", QByteArray("x"));
    m_dir.write("data/db1/t.frm", QByteArray("x"));
    // A link back up the tree must not make the walk endless.
    ASSERT_EQ(::symlink(m_dir.file("data").toLocal8Bit().constData(),
                        m_dir.file("data/db2/loop").toLocal8Bit().constData()),
              0);

    QStringList list{QStringLiteral("kept")};
    EXPECT_TRUE(m_disk.EnumAllDirectories(m_dir.file("data"), list));
    const QString d = m_dir.file("data/");
    EXPECT_EQ(list, (QStringList{QStringLiteral("kept"), d + "db1/", d + "db1/x/", d + "db2/", d + "db2/loop/"}));
}

TEST_F(CDiskObjectTest, EnumAllDirectoriesOnAMissingFolderLeavesTheList)
{
    QStringList list{QStringLiteral("kept")};
    EXPECT_FALSE(m_disk.EnumAllDirectories(m_dir.file("missing"), list));
    EXPECT_EQ(list, QStringList{QStringLiteral("kept")});
    EXPECT_TRUE(m_disk.GetErrorMessage().startsWith(QStringLiteral("No such file or directory")));
}

TEST_F(CDiskObjectTest, AnUnreadableFolderDoesNotHideTheFoldersAfterIt)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    m_dir.mkdir("data/a_locked/inner");
    m_dir.mkdir("data/b_db");
    ::chmod(m_dir.file("data/a_locked").toLocal8Bit().constData(), 0);
    QStringList list;
    EXPECT_FALSE(m_disk.EnumAllDirectories(m_dir.file("data"), list));
    EXPECT_TRUE(list.contains(m_dir.file("data/b_db/")));
    ::chmod(m_dir.file("data/a_locked").toLocal8Bit().constData(), 0700);
}

} // namespace
