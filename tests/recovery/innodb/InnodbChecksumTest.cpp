#include "recovery/innodb/InnodbChecksum.h"
#include "recovery/innodb/InnodbSpaceFlags.h"

#include "platform/DataFile.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFileInfo>
#include <QString>

#include <cstring>
#include <string>
#include <vector>

using namespace recovery::innodb;

namespace {

constexpr std::size_t kPage = 16384;

QString fixturesDir()
{
    const QByteArray env = qgetenv("GRISOLT_FIXTURES_DIR");
    return env.isEmpty() ? QString::fromUtf8(GRISOLT_FIXTURES_DIR) : QString::fromUtf8(env);
}

QString foreignDir() { return QStringLiteral(GRISOLT_SOURCE_DIR "/../shared/fixtures/foreign"); }

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::vector<std::uint8_t>> pagesOf(const QString& path)
{
    platform::DataFile file;
    EXPECT_TRUE(file.open(path.toStdString())) << path.toStdString();
    std::vector<std::vector<std::uint8_t>> pages;
    for (std::uint64_t pos = 0; pos + kPage <= file.size(); pos += kPage) {
        std::vector<std::uint8_t> page(kPage);
        EXPECT_TRUE(file.readAt(pos, page));
        pages.push_back(std::move(page));
    }
    return pages;
}

QStringList tablespacesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, {"ibdata1", "*.ibd"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

// The first B-tree leaf page of a file with records on it.
std::vector<std::uint8_t> firstLeafWithRecords(const QString& path)
{
    for (auto& page : pagesOf(path)) {
        const bool index = page[24] == 0x45 && page[25] == 0xBF;
        const bool leaf = page[64] == 0 && page[65] == 0;
        const bool hasRecords = page[54] != 0 || page[55] != 0;
        if (index && leaf && hasRecords)
            return page;
    }
    ADD_FAILURE() << "no leaf page with records in " << path.toStdString();
    return std::vector<std::uint8_t>(kPage);
}

void putU32(std::vector<std::uint8_t>& page, std::size_t pos, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        page[pos + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

} // namespace

TEST(Crc32cTest, KnownVectorsAndContinuation)
{
    std::vector<std::uint8_t> ascending(32);
    for (std::size_t i = 0; i < ascending.size(); ++i)
        ascending[i] = static_cast<std::uint8_t>(i);
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::uint32_t crc;
    } cases[] = {
        {"empty", {}, 0},
        {"digits", bytesOf("123456789"), 0xE3069283u},
        {"32 zero bytes", std::vector<std::uint8_t>(32, 0x00), 0x8A9136AAu},
        {"32 bytes 0xFF", std::vector<std::uint8_t>(32, 0xFF), 0x62A8AB43u},
        {"32 ascending bytes", ascending, 0x46DD794Eu},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(crc32c(c.bytes), c.crc) << c.name;
        EXPECT_EQ(crc32cPortable(c.bytes), c.crc) << c.name;
        for (std::size_t cut = 0; cut <= c.bytes.size(); cut += 5) {
            const std::span<const std::uint8_t> all(c.bytes);
            EXPECT_EQ(crc32c(all.subspan(cut), crc32c(all.first(cut))), c.crc) << c.name << " cut at " << cut;
        }
    }
}

// Every page the server wrote verifies: full_crc32 tablespaces of the fixture
// sets, and the classic layout with the legacy InnoDB checksum of MariaDB 10.0.
// Tablespaces of compressed pages are not read at all (the scan says so), and
// their pages are not checked here.
TEST(InnodbChecksumTest, EveryPageOfRealTablespacesVerifies)
{
    QStringList files;
    for (const char* set : {"legacy", "default"})
        files << tablespacesUnder(fixturesDir() + "/" + set + "/data");
    if (files.isEmpty())
        GTEST_SKIP() << "fixture data folders not built";
    const QStringList foreign = tablespacesUnder(foreignDir() + "/mariadb-10.0");
    if (foreign.isEmpty() && qEnvironmentVariable("CI") == "true")
        FAIL() << "the foreign fixtures are missing: " << foreignDir().toStdString();
    files << foreign;

    for (const QString& path : files) {
        platform::DataFile file;
        ASSERT_TRUE(file.open(path.toStdString())) << path.toStdString();
        const auto flags = recovery::innodb::InnodbSpaceFlags::read(file);
        ASSERT_TRUE(flags && flags->has_value()) << path.toStdString();
        if (!(*flags)->unreadableReason().empty())
            continue;
        int valid = 0;
        const auto pages = pagesOf(path);
        for (std::size_t n = 0; n < pages.size(); ++n) {
            const PageCheck check = verifyPage(pages[n]);
            EXPECT_NE(check.integrity, PageIntegrity::Damaged)
                << path.toStdString() << " page " << n << ": " << check.what;
            valid += check.integrity == PageIntegrity::Valid;
        }
        EXPECT_GT(valid, 0) << path.toStdString();
    }
}

TEST(InnodbChecksumTest, DamageIsTold)
{
    const QString modern = fixturesDir() + "/default/data/fx_innodb_ibd";
    const QString classic = foreignDir() + "/mariadb-10.0/classicmodels/customers.ibd";
    if (!QFileInfo::exists(modern) || !QFileInfo::exists(classic))
        GTEST_SKIP() << "fixtures missing";
    const QString modernFile = modern + "/all_types_compact.ibd";

    struct Case {
        const char* name;
        QString file;
        void (*damage)(std::vector<std::uint8_t>&);
        PageIntegrity expected;
        const char* what;
    };
    const Case cases[] = {
        {"full_crc32 untouched", modernFile, [](auto&) {}, PageIntegrity::Valid, ""},
        {"full_crc32 record byte", modernFile, [](auto& p) { p[200] ^= 0x04; }, PageIntegrity::Damaged, "checksum"},
        {"full_crc32 page number", modernFile, [](auto& p) { p[7] ^= 0x01; }, PageIntegrity::Damaged, "checksum"},
        {"full_crc32 trailer LSN", modernFile, [](auto& p) { p[kPage - 5] ^= 0x01; }, PageIntegrity::Damaged, "checksum"},
        {"classic untouched", classic, [](auto&) {}, PageIntegrity::Valid, ""},
        {"classic record byte", classic, [](auto& p) { p[300] ^= 0x80; }, PageIntegrity::Damaged, "checksum"},
        {"classic old checksum", classic, [](auto& p) { p[kPage - 8] ^= 0x10; }, PageIntegrity::Damaged, "checksum"},
        {"classic trailer LSN", classic, [](auto& p) { p[kPage - 1] ^= 0x01; }, PageIntegrity::Damaged, "LSN"},
        {"no checksum written", classic,
         [](auto& p) { putU32(p, 0, 0xDEADBEEF); putU32(p, kPage - 8, 0xDEADBEEF); }, PageIntegrity::Valid, ""},
        {"no checksum, torn", classic,
         [](auto& p) { putU32(p, 0, 0xDEADBEEF); putU32(p, kPage - 8, 0xDEADBEEF); p[kPage - 2] ^= 1; },
         PageIntegrity::Damaged, "LSN"},
        {"all zero", classic, [](auto& p) { std::fill(p.begin(), p.end(), 0); }, PageIntegrity::Empty, ""},
        {"zero but a flush LSN", classic,
         [](auto& p) { std::fill(p.begin(), p.end(), 0); p[30] = 7; }, PageIntegrity::Empty, ""},
        {"one stray byte in zeros", classic,
         [](auto& p) { std::fill(p.begin(), p.end(), 0); p[5000] = 7; }, PageIntegrity::Damaged, "checksum"},
    };
    for (const Case& c : cases) {
        auto page = firstLeafWithRecords(c.file);
        c.damage(page);
        const PageCheck check = verifyPage(page);
        EXPECT_EQ(check.integrity, c.expected) << c.name << ": " << check.what;
        EXPECT_NE(check.what.find(c.what), std::string::npos) << c.name << ": " << check.what;
    }
}

TEST(InnodbChecksumTest, APageOfAnotherSizeIsDamaged)
{
    for (const std::size_t size : {std::size_t{0}, std::size_t{100}, std::size_t{16383}, std::size_t{131072}}) {
        const std::vector<std::uint8_t> page(size, 0);
        const PageCheck check = verifyPage(page);
        EXPECT_EQ(check.integrity, PageIntegrity::Damaged) << size;
        EXPECT_NE(check.what.find(std::to_string(size) + " bytes"), std::string::npos) << check.what;
    }
}
