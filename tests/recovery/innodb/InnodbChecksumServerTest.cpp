#include "recovery/innodb/InnodbChecksum.h"

#include "platform/DataFile.h"
#include "platform/OdbcConnection.h"
#include "tests/support/ScratchServer.h"

#include <gtest/gtest.h>

#include <vector>

using namespace recovery::innodb;

// MySQL 5.6 to 8.0 and MariaDB up to 10.4 write the classic layout with
// crc32 in both checksum fields; the server still writes it for a table
// created while innodb_checksum_algorithm=crc32.
TEST(InnodbChecksumServerTest, ClassicCrc32PagesWrittenByTheServerVerify)
{
    const auto server = testsupport::ScratchServer::fromEnvironment();
    ASSERT_TRUE(server.running());
    platform::OdbcConnection db;
    db.open(server.connectionString());
    db.execute("DROP DATABASE IF EXISTS checksum_crc32");
    db.execute("CREATE DATABASE checksum_crc32");
    const auto before = db.query("SELECT @@GLOBAL.innodb_checksum_algorithm");
    ASSERT_FALSE(before.empty());
    db.execute("SET GLOBAL innodb_checksum_algorithm = crc32");
    db.execute("CREATE TABLE checksum_crc32.t (id INT PRIMARY KEY, s VARCHAR(200)) ENGINE=InnoDB");
    db.execute("SET GLOBAL innodb_checksum_algorithm = " + before[0][0].value_or(QStringLiteral("full_crc32")));
    for (int i = 0; i < 200; ++i)
        db.execute(QStringLiteral("INSERT INTO checksum_crc32.t VALUES (%1, REPEAT('x', %1))").arg(i));
    // FOR EXPORT writes every page of the table to its file and holds it still.
    db.execute("FLUSH TABLES checksum_crc32.t FOR EXPORT");

    platform::DataFile file;
    ASSERT_TRUE(file.open((server.dataFolder + "checksum_crc32/t.ibd").toStdString()));
    std::vector<std::uint8_t> page(16384);
    int valid = 0;
    for (std::uint64_t pos = 0; pos + page.size() <= file.size(); pos += page.size()) {
        ASSERT_TRUE(file.readAt(pos, page));
        const PageCheck check = verifyPage(page);
        EXPECT_NE(check.integrity, PageIntegrity::Damaged) << "page " << pos / page.size() << ": " << check.what;
        valid += check.integrity == PageIntegrity::Valid;
        if (check.integrity == PageIntegrity::Valid) {
            page[1000] ^= 0x20;
            EXPECT_EQ(verifyPage(page).integrity, PageIntegrity::Damaged) << "page " << pos / page.size();
        }
    }
    db.execute("UNLOCK TABLES");
    db.execute("DROP DATABASE checksum_crc32");
    EXPECT_GT(valid, 2);
}
