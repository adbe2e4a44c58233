// The transactions a data folder's undo logs show open, read from folders the
// bundled server left: killed with a transaction open, after a rollback cut
// short, with an XA transaction prepared (in undo tablespaces), and clean;
// and from damaged copies.
#include "recovery/innodb/InnodbTransactionSystem.h"

#include "platform/DataFile.h"
#include "recovery/innodb/InnodbPage.h"
#include "recovery/innodb/InnodbUndoLogHeader.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using recovery::innodb::InnodbTransactionSystem;
using recovery::innodb::kPageSize;
using recovery::innodb::OpenTransactions;

QString openFixture(const QString& set)
{
    return QStringLiteral(GRISOLT_OPEN_TRANSACTION_FIXTURES_DIR) + QLatin1Char('/') + set + QStringLiteral("/data");
}

// What the folder's ibdata1 and undo tablespaces say.
platform::Result<OpenTransactions> readFolder(const QString& data)
{
    platform::DataFile ibdata;
    EXPECT_TRUE(ibdata.open((data + QStringLiteral("/ibdata1")).toStdString())) << data.toStdString();
    std::vector<std::unique_ptr<platform::DataFile>> files;
    std::vector<const platform::DataFile*> undo;
    for (const QString& name : QDir(data).entryList({QStringLiteral("undo[0-9][0-9][0-9]")}, QDir::Files)) {
        files.push_back(std::make_unique<platform::DataFile>());
        EXPECT_TRUE(files.back()->open(QDir(data).filePath(name).toStdString()));
        undo.push_back(files.back().get());
    }
    return InnodbTransactionSystem::read(ibdata, undo);
}

// The page number an undo log of an open transaction starts at.
std::uint64_t firstOpenUndoPage(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = f.readAll();
    for (qsizetype page = 0; (page + 1) * qsizetype(kPageSize) <= bytes.size(); ++page) {
        const auto view = std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t*>(bytes.constData()) + page * qsizetype(kPageSize), kPageSize);
        const auto header = recovery::innodb::InnodbUndoLogHeader::parse(view, 0);
        if (header && header->open())
            return static_cast<std::uint64_t>(page);
    }
    return 0;
}

void flipByte(const QString& file, std::uint64_t offset)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite)) << file.toStdString();
    ASSERT_TRUE(f.seek(static_cast<qint64>(offset)));
    char byte = 0;
    ASSERT_TRUE(f.getChar(&byte));
    ASSERT_TRUE(f.seek(static_cast<qint64>(offset)));
    ASSERT_TRUE(f.putChar(static_cast<char>(byte ^ 0x5A)));
}

TEST(InnodbTransactionSystem, OpenTransactionsOfFoldersTheServerLeft)
{
    const struct {
        QString data;
        std::size_t active;
        std::size_t prepared;
    } cases[] = {
        {openFixture(QStringLiteral("clean")), 0, 0},
        {openFixture(QStringLiteral("open")), 1, 0},
        {openFixture(QStringLiteral("halted")), 1, 0},
        {openFixture(QStringLiteral("xa")), 0, 1},
        {QStringLiteral(GRISOLT_CRASH_FIXTURES_DIR) + QStringLiteral("/clean/data"), 0, 0},
        {QStringLiteral(GRISOLT_CRASH_FIXTURES_DIR) + QStringLiteral("/crashed/data"), 0, 0},
        {QStringLiteral(GRISOLT_FIXTURES_DIR) + QStringLiteral("/legacy/data"), 0, 0},
        {QStringLiteral(GRISOLT_FIXTURES_DIR) + QStringLiteral("/default/data"), 0, 0},
    };
    for (const auto& c : cases) {
        const auto open = readFolder(c.data);
        ASSERT_TRUE(open) << c.data.toStdString() << ": " << open.error().what;
        EXPECT_EQ(open->active.size(), c.active) << c.data.toStdString();
        EXPECT_EQ(open->prepared.size(), c.prepared) << c.data.toStdString();
    }
    // The rollback cut short left the same transaction open.
    EXPECT_EQ(readFolder(openFixture(QStringLiteral("open")))->active,
              readFolder(openFixture(QStringLiteral("halted")))->active);
}

TEST(InnodbTransactionSystem, APageThatCannotBeReadIsAnErrorNeverAGuess)
{
    const struct {
        const char* name;
        QString set;
        std::function<void(const QString& data)> damage;
        const char* what;  // the error names it
    } cases[] = {
        {"a damaged transaction system page", QStringLiteral("open"),
         [](const QString& data) { flipByte(data + "/ibdata1", 5 * kPageSize + 200); },
         "the transaction system page (page 5 of "},
        {"a damaged rollback segment page", QStringLiteral("open"),
         [](const QString& data) {
             // The open transaction's undo log is listed by a rollback
             // segment header; damage every segment header the page lists.
             QFile f(data + "/ibdata1");
             ASSERT_TRUE(f.open(QIODevice::ReadOnly));
             f.seek(5 * kPageSize + 56);
             const QByteArray rsegSlots = f.read(128 * 8);
             f.close();
             for (int i = 0; i < 128; ++i) {
                 const auto at = reinterpret_cast<const unsigned char*>(rsegSlots.constData()) + i * 8;
                 const std::uint32_t space = at[0] << 24 | at[1] << 16 | at[2] << 8 | at[3];
                 const std::uint32_t page = std::uint32_t(at[4]) << 24 | at[5] << 16 | at[6] << 8 | at[7];
                 if (space == 0 && page != 0xFFFFFFFFu)
                     flipByte(data + "/ibdata1", std::uint64_t(page) * kPageSize + 300);
             }
         },
         "rollback segment 0 (page "},
        {"a damaged undo log page", QStringLiteral("open"),
         [](const QString& data) {
             const std::uint64_t page = firstOpenUndoPage(data + "/ibdata1");
             ASSERT_NE(page, 0u);
             flipByte(data + "/ibdata1", page * kPageSize + 56);
         },
         "an undo log of rollback segment "},
        {"a shared tablespace cut before page 5", QStringLiteral("open"),
         [](const QString& data) { ASSERT_TRUE(QFile::resize(data + "/ibdata1", 5 * kPageSize)); },
         "the transaction system page at page 5 of "},
        {"undo tablespaces missing", QStringLiteral("xa"),
         [](const QString& data) {
             ASSERT_TRUE(QFile::remove(data + "/undo001"));
             ASSERT_TRUE(QFile::remove(data + "/undo002"));
         },
         "is in tablespace 1, and no undo tablespace beside "},
        {"a damaged undo log page in an undo tablespace", QStringLiteral("xa"),
         [](const QString& data) {
             const std::uint64_t page = firstOpenUndoPage(data + "/undo001");
             ASSERT_NE(page, 0u);
             flipByte(data + "/undo001", page * kPageSize + 90);
         },
         "an undo log of rollback segment "},
    };
    for (const auto& c : cases) {
        testsupport::TempDir dir;
        const QString source = openFixture(c.set);
        for (const QString& name : QDir(source).entryList({"ibdata1", "undo0*"}, QDir::Files))
            ASSERT_TRUE(QFile::copy(source + "/" + name, dir.file(name)));
        c.damage(dir.path());
        const auto open = readFolder(dir.path());
        ASSERT_FALSE(open) << c.name;
        EXPECT_NE(open.error().what.find(c.what), std::string::npos) << c.name << ": " << open.error().what;
    }
}

TEST(InnodbUndoLogHeader, StatesAndTheLastLogHeader)
{
    using recovery::innodb::InnodbUndoLogHeader;
    using recovery::innodb::UndoSegmentState;
    const auto page = [](std::uint16_t type, std::uint16_t state, std::uint16_t last, std::uint64_t trx) {
        std::vector<std::uint8_t> bytes(kPageSize, 0);
        bytes[24] = std::uint8_t(type >> 8);
        bytes[25] = std::uint8_t(type);
        bytes[56] = std::uint8_t(state >> 8);
        bytes[57] = std::uint8_t(state);
        bytes[58] = std::uint8_t(last >> 8);
        bytes[59] = std::uint8_t(last);
        if (last + 8u <= kPageSize)
            for (int i = 0; i < 8; ++i)
                bytes[last + i] = std::uint8_t(trx >> (56 - 8 * i));
        return bytes;
    };
    const struct {
        std::uint16_t type, state, last;
        std::uint64_t trx;
        bool ok;
        UndoSegmentState expected;
    } cases[] = {
        {2, 1, 86, 21, true, UndoSegmentState::Active},
        {2, 5, 86, 20, true, UndoSegmentState::Prepared},
        {2, 2, 0, 0, true, UndoSegmentState::Cached},     // committed: the header is not read
        {2, 4, 86, 9, true, UndoSegmentState::ToPurge},
        {2, 1, 300, 77, true, UndoSegmentState::Active},  // a later log on a reused page
        {0x45BF, 1, 86, 21, false, {}},                   // an index page
        {2, 0, 86, 21, false, {}},                        // no such state
        {2, 6, 86, 21, false, {}},
        {2, 1, 40, 21, false, {}},                        // a header inside the segment header
        {2, 1, 16370, 21, false, {}},                     // a header past the page's end
        {2, 1, 86, 0, false, {}},                         // transaction 0 never writes
    };
    for (const auto& c : cases) {
        const auto header = InnodbUndoLogHeader::parse(page(c.type, c.state, c.last, c.trx), 0);
        ASSERT_EQ(bool(header), c.ok) << c.type << " " << c.state << " " << c.last;
        if (!c.ok)
            continue;
        EXPECT_EQ(header->state, c.expected);
        if (header->open()) {
            EXPECT_EQ(header->transactionId, c.trx);
        }
    }
    EXPECT_FALSE(InnodbUndoLogHeader::parse(std::vector<std::uint8_t>(100, 0), 0));
}

} // namespace
