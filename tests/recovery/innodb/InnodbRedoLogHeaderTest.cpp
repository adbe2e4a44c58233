// The redo log's verdict on the data files: on logs the bundled server wrote
// (a clean shutdown, a kill during writes, the fixture sets), on those logs
// damaged, and on logs laid out by hand where the server's cannot show a case
// (a ring that wrapped, the older format of 512-byte blocks).
#include "recovery/innodb/InnodbRedoLogHeader.h"

#include "platform/DataFile.h"
#include "recovery/innodb/InnodbChecksum.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using recovery::innodb::InnodbRedoLogHeader;
using recovery::innodb::RedoLogState;
using recovery::innodb::RedoLogVerdict;
using Bytes = std::vector<std::uint8_t>;

QString crashFixture(const QString& set)
{
    return QStringLiteral(GRISOLT_CRASH_FIXTURES_DIR) + QLatin1Char('/') + set + QStringLiteral("/data");
}

Bytes readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    return Bytes(bytes.begin(), bytes.end());
}

std::uint64_t be(const Bytes& b, std::size_t pos, int n)
{
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i)
        v = v << 8 | b.at(pos + i);
    return v;
}

void putBe(Bytes& b, std::size_t pos, std::uint64_t v, int n)
{
    for (int i = n - 1; i >= 0; --i, v >>= 8)
        b.at(pos + i) = static_cast<std::uint8_t>(v);
}

// The CRC-32C of bytes [pos, pos + len), stored at pos + len.
void seal(Bytes& b, std::size_t pos, std::size_t len)
{
    putBe(b, pos + len, recovery::innodb::crc32c(std::span(b).subspan(pos, len)), 4);
}

RedoLogState inspectBytes(const Bytes& log, std::uint64_t flushLsn = 0)
{
    testsupport::TempDir dir;
    const QString path = dir.path() + QStringLiteral("/ib_logfile0");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(log.data()), static_cast<qint64>(log.size()));
    f.close();
    platform::DataFile file;
    EXPECT_TRUE(file.open(path.toStdString()));
    return InnodbRedoLogHeader::inspect(file, flushLsn);
}

RedoLogState inspectFile(const QString& path)
{
    platform::DataFile file;
    EXPECT_TRUE(file.open(path.toStdString())) << path.toStdString();
    return InnodbRedoLogHeader::inspect(file, 0);
}

const char* verdictName(RedoLogVerdict v)
{
    switch (v) {
    case RedoLogVerdict::Unknown: return "Unknown";
    case RedoLogVerdict::Clean: return "Clean";
    case RedoLogVerdict::ChangesPending: return "ChangesPending";
    }
    return "?";
}

TEST(InnodbRedoLogHeader, LogsTheServerWrote)
{
    const struct {
        QString path;
        RedoLogVerdict verdict;
        bool encrypted;
    } cases[] = {
        {crashFixture("clean") + "/ib_logfile0", RedoLogVerdict::Clean, false},
        {crashFixture("crashed") + "/ib_logfile0", RedoLogVerdict::ChangesPending, false},
        {crashFixture("encrypted-clean") + "/ib_logfile0", RedoLogVerdict::Clean, true},
        {crashFixture("encrypted-crashed") + "/ib_logfile0", RedoLogVerdict::ChangesPending, true},
        {testsupport::FixtureSet::dataFolder("default") + "/ib_logfile0", RedoLogVerdict::Clean, false},
        {testsupport::FixtureSet::dataFolder("legacy") + "/ib_logfile0", RedoLogVerdict::Clean, false},
    };
    for (const auto& c : cases) {
        const RedoLogState state = inspectFile(c.path);
        EXPECT_STREQ(verdictName(state.verdict), verdictName(c.verdict)) << c.path.toStdString() << ": " << state.why;
        EXPECT_GT(state.checkpointLsn, 0u) << c.path.toStdString();
        EXPECT_EQ(state.encrypted, c.encrypted) << c.path.toStdString();
    }
    EXPECT_EQ(inspectFile(crashFixture("crashed") + "/ib_logfile0").why,
              "records follow its last checkpoint");
}

// The FILE_CHECKPOINT mini-transaction at a checkpoint's end LSN: its 16
// bytes are a valid mini-transaction anywhere on the same lap of the ring.
std::size_t checkpointRecordOffset(const Bytes& log)
{
    const std::uint64_t latest = std::max(be(log, 0x1000, 8), be(log, 0x2000, 8));
    return 0x3000 + (latest - be(log, 8, 8)) % (log.size() - 0x3000);
}

TEST(InnodbRedoLogHeader, DamagedLogsTellNothing)
{
    const Bytes crashed = readAll(crashFixture("crashed") + "/ib_logfile0");
    const Bytes clean = readAll(crashFixture("clean") + "/ib_logfile0");
    ASSERT_GT(crashed.size(), 0x3000u);
    ASSERT_GT(clean.size(), 0x3000u);
    const std::size_t cleanEnd = checkpointRecordOffset(clean);

    const struct {
        const char* name;
        const Bytes* source;
        std::function<void(Bytes&)> damage;
        RedoLogVerdict verdict;
        const char* why;
    } cases[] = {
        {"a byte of the creator text changed", &crashed, [](Bytes& b) { b[20] ^= 1; }, RedoLogVerdict::Unknown,
         "the log's header block is damaged"},
        {"an unknown format", &crashed, [](Bytes& b) { b[0] = 'X'; }, RedoLogVerdict::Unknown,
         "the log's format is not one known here"},
        {"the latest checkpoint block damaged", &crashed,
         [](Bytes& b) { b[be(b, 0x1000, 8) > be(b, 0x2000, 8) ? 0x1005 : 0x2005] ^= 0x40; }, RedoLogVerdict::Unknown,
         "a checkpoint block of the log is damaged"},
        {"both checkpoint blocks wiped", &crashed,
         [](Bytes& b) { std::fill(b.begin() + 0x1000, b.begin() + 0x3000, 0); }, RedoLogVerdict::Unknown,
         "the log has no checkpoint"},
        {"cut inside the header", &crashed, [](Bytes& b) { b.resize(0x1800); }, RedoLogVerdict::Unknown,
         "the log is shorter than its header"},
        {"cut to nothing", &crashed, [](Bytes& b) { b.clear(); }, RedoLogVerdict::Unknown,
         "the log is shorter than its header"},
        {"the checkpoint's own record damaged", &crashed,
         [](Bytes& b) { b[checkpointRecordOffset(b) + 6] ^= 0x10; }, RedoLogVerdict::Unknown,
         "the log has no checkpoint record at its end"},
        {"a clean log with the checkpoint record repeated after it", &clean,
         [cleanEnd](Bytes& b) { std::copy_n(b.begin() + cleanEnd, 16, b.begin() + cleanEnd + 16); },
         RedoLogVerdict::ChangesPending, "records follow its last checkpoint"},
        {"the same with its sequence bit of the lap before", &clean,
         [cleanEnd](Bytes& b) {
             std::copy_n(b.begin() + cleanEnd, 16, b.begin() + cleanEnd + 16);
             b[cleanEnd + 16 + 11] ^= 1;
         },
         RedoLogVerdict::Clean, "the log ends at its last checkpoint"},
        {"the same with a wrong CRC", &clean,
         [cleanEnd](Bytes& b) {
             std::copy_n(b.begin() + cleanEnd, 16, b.begin() + cleanEnd + 16);
             b[cleanEnd + 16 + 15] ^= 1;
         },
         RedoLogVerdict::Clean, "the log ends at its last checkpoint"},
        {"the same with a record length running past the log", &clean,
         [cleanEnd](Bytes& b) {
             std::copy_n(b.begin() + cleanEnd, 16, b.begin() + cleanEnd + 16);
             b[cleanEnd + 16] = 0xf0;  // FILE_CHECKPOINT with an extended length
             b[cleanEnd + 17] = 0xf0;  // of 2^32 + more
             std::fill_n(b.begin() + cleanEnd + 18, 4, 0xff);
         },
         RedoLogVerdict::Clean, "the log ends at its last checkpoint"},
    };
    for (const auto& c : cases) {
        Bytes log = *c.source;
        c.damage(log);
        const RedoLogState state = inspectBytes(log);
        EXPECT_STREQ(verdictName(state.verdict), verdictName(c.verdict)) << c.name << ": " << state.why;
        EXPECT_EQ(state.why, c.why) << c.name;
    }
}

// The encrypted logs of the bundled server, and the same logs as servers
// from 10.8 to 10.11.14 wrote them: the plain format's identifier, the key
// version after the creator, the same framing of mini-transactions.
TEST(InnodbRedoLogHeader, EncryptedLogs)
{
    const Bytes crashed = readAll(crashFixture("encrypted-crashed") + "/ib_logfile0");
    const Bytes clean = readAll(crashFixture("encrypted-clean") + "/ib_logfile0");
    ASSERT_GT(crashed.size(), 0x3000u);
    ASSERT_GT(clean.size(), 0x3000u);
    ASSERT_EQ(be(clean, 0, 4), 0xf09f979du);
    ASSERT_NE(be(clean, 48, 4), 0u);
    const auto olderFormat = [](Bytes& b) {
        putBe(b, 0, 0x50687973, 4);
        seal(b, 0, 508);
    };
    // The checkpoint's own mini-transaction: an 11-byte record, the sequence
    // byte, the 8-byte nonce and the CRC-32C.
    constexpr std::size_t kCheckpointMtr = 24;
    const std::size_t cleanEnd = checkpointRecordOffset(clean);

    const struct {
        const char* name;
        const Bytes* source;
        std::function<void(Bytes&)> change;
        RedoLogVerdict verdict;
        const char* why;
    } cases[] = {
        {"killed", &crashed, [](Bytes&) {}, RedoLogVerdict::ChangesPending, "records follow its last checkpoint"},
        {"shut down cleanly", &clean, [](Bytes&) {}, RedoLogVerdict::Clean, "the log ends at its last checkpoint"},
        {"killed, older format", &crashed, olderFormat, RedoLogVerdict::ChangesPending,
         "records follow its last checkpoint"},
        {"shut down cleanly, older format", &clean, olderFormat, RedoLogVerdict::Clean,
         "the log ends at its last checkpoint"},
        {"the checkpoint record repeated after it", &clean,
         [cleanEnd](Bytes& b) {
             std::copy_n(b.begin() + cleanEnd, kCheckpointMtr, b.begin() + cleanEnd + kCheckpointMtr);
         },
         RedoLogVerdict::ChangesPending, "records follow its last checkpoint"},
        {"the same with a byte of its nonce changed", &clean,
         [cleanEnd](Bytes& b) {
             std::copy_n(b.begin() + cleanEnd, kCheckpointMtr, b.begin() + cleanEnd + kCheckpointMtr);
             b[cleanEnd + kCheckpointMtr + 15] ^= 1;
         },
         RedoLogVerdict::Clean, "the log ends at its last checkpoint"},
        {"the encryption data damaged", &clean, [](Bytes& b) { b[56] ^= 1; }, RedoLogVerdict::Unknown,
         "the log's header block is damaged"},
    };
    for (const auto& c : cases) {
        Bytes log = *c.source;
        c.change(log);
        const RedoLogState state = inspectBytes(log);
        EXPECT_STREQ(verdictName(state.verdict), verdictName(c.verdict)) << c.name << ": " << state.why;
        EXPECT_EQ(state.why, c.why) << c.name;
        if (state.verdict != RedoLogVerdict::Unknown) {
            EXPECT_TRUE(state.encrypted) << c.name;
        }
    }
}

// A log of the current format laid out by hand: a ring of `capacity` bytes
// whose first LSN is 0x3000, one checkpoint, and mini-transactions placed
// at their LSNs (wrapping as the server writes them).
struct RingLog {
    std::uint64_t capacity = 64;
    Bytes bytes = Bytes(0x3000 + capacity, 0);

    RingLog()
    {
        putBe(bytes, 0, 0x50687973, 4);
        putBe(bytes, 8, 0x3000, 8);
        const char creator[] = "MariaDB 10.11.19";
        std::copy(creator, creator + sizeof creator - 1, bytes.begin() + 16);
        seal(bytes, 0, 508);
    }
    void checkpoint(std::uint64_t lsn, std::uint64_t end)
    {
        putBe(bytes, 0x1000, lsn, 8);
        putBe(bytes, 0x1008, end, 8);
        seal(bytes, 0x1000, 60);
    }
    // FILE_CHECKPOINT(lsn) as one mini-transaction written at LSN `at`, its
    // sequence bit that of the lap it is written on (or the other one).
    void checkpointRecord(std::uint64_t at, std::uint64_t lsn, bool otherLap = false)
    {
        Bytes mtr = {0xfa, 0, 0};
        for (int i = 7; i >= 0; --i)
            mtr.push_back(static_cast<std::uint8_t>(lsn >> (8 * i)));
        // The end byte's bit is that of the lap the end byte itself is on.
        const std::uint8_t bit = ((at + mtr.size() - 0x3000) / capacity) % 2 == 0 ? 1 : 0;
        const std::uint32_t crc = recovery::innodb::crc32c(mtr);
        mtr.push_back(otherLap ? bit ^ 1 : bit);
        for (int i = 3; i >= 0; --i)
            mtr.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
        for (std::size_t i = 0; i < mtr.size(); ++i)
            bytes[0x3000 + (at + i - 0x3000) % capacity] = mtr[i];
    }
};

TEST(InnodbRedoLogHeader, RingThatWrapped)
{
    // The checkpoint on the second lap, 8 bytes before the ring's end: its
    // record wraps to the ring's start, the next one follows at 0x3008.
    const std::uint64_t c = 0x3000 + 64 + 56;
    const struct {
        const char* name;
        std::function<void(RingLog&)> write;
        RedoLogVerdict verdict;
    } cases[] = {
        {"nothing after the checkpoint", [](RingLog&) {}, RedoLogVerdict::Clean},
        {"a record of this lap after it", [](RingLog& log) { log.checkpointRecord(c + 16, c); },
         RedoLogVerdict::ChangesPending},
        {"a record left from the lap before", [](RingLog& log) { log.checkpointRecord(c + 16, c, true); },
         RedoLogVerdict::Clean},
        {"the checkpoint's end past its LSN", [](RingLog& log) { log.checkpoint(c - 16, c); },
         RedoLogVerdict::ChangesPending},
    };
    for (const auto& t : cases) {
        RingLog log;
        log.checkpoint(c, c);
        log.checkpointRecord(c, c);
        t.write(log);
        const RedoLogState state = inspectBytes(log.bytes);
        EXPECT_STREQ(verdictName(state.verdict), verdictName(t.verdict)) << t.name << ": " << state.why;
    }
}

// The older format: a header block and two checkpoint blocks of 512 bytes,
// each sealed by a CRC-32C at 508.
Bytes olderLog(std::uint32_t format, std::uint64_t lsn1, std::uint64_t lsn2)
{
    Bytes b(2048 + 4096, 0);
    putBe(b, 0, format, 4);
    putBe(b, 8, 0x2400, 8);
    seal(b, 0, 508);
    putBe(b, 512, 7, 8);
    putBe(b, 520, lsn1, 8);
    seal(b, 512, 508);
    putBe(b, 1536, 8, 8);  // the later checkpoint number
    putBe(b, 1544, lsn2, 8);
    seal(b, 1536, 508);
    return b;
}

TEST(InnodbRedoLogHeader, OlderFormatAgainstTheFlushLsn)
{
    const struct {
        const char* name;
        Bytes log;
        std::uint64_t flushLsn;
        RedoLogVerdict verdict;
    } cases[] = {
        {"MySQL 5.7, a checkpoint at the clean shutdown", olderLog(1, 9000, 9100), 9100, RedoLogVerdict::Clean},
        {"MariaDB 10.4, shutdown LSN past the checkpoint", olderLog(104, 9000, 9100), 9109, RedoLogVerdict::Clean},
        {"MariaDB 10.3, a checkpoint after the last clean shutdown", olderLog(103, 9000, 9500), 9100,
         RedoLogVerdict::ChangesPending},
        {"the latest checkpoint by number, not by LSN", olderLog(1, 9500, 9100), 9100, RedoLogVerdict::Clean},
        {"MariaDB 10.5, encrypted", olderLog(0x50485953u | 1u << 31, 9000, 9500), 9100,
         RedoLogVerdict::ChangesPending},
        {"no clean shutdown recorded", olderLog(1, 9000, 9500), 0, RedoLogVerdict::Unknown},
        {"MySQL 5.6 and before", olderLog(0, 9000, 9500), 9100, RedoLogVerdict::Unknown},
        {"MySQL 8.0", olderLog(4, 9000, 9500), 9100, RedoLogVerdict::Unknown},
    };
    for (const auto& c : cases) {
        const RedoLogState state = inspectBytes(c.log, c.flushLsn);
        EXPECT_STREQ(verdictName(state.verdict), verdictName(c.verdict)) << c.name << ": " << state.why;
    }

    Bytes damaged = olderLog(1, 9000, 9500);
    damaged[1540] ^= 1;
    EXPECT_EQ(inspectBytes(damaged, 9100).why, "a checkpoint block of the log is damaged");
    Bytes header = olderLog(1, 9000, 9500);
    header[12] ^= 1;
    EXPECT_EQ(inspectBytes(header, 9100).why, "the log's header block is damaged");
    Bytes unwritten = olderLog(1, 9000, 9500);
    std::fill(unwritten.begin() + 512, unwritten.begin() + 1024, 0);
    EXPECT_EQ(inspectBytes(unwritten, 9100).verdict, RedoLogVerdict::ChangesPending)
        << "a checkpoint block never written is passed over";
}

TEST(InnodbRedoLogHeader, FlushLsnOfTheSharedTablespace)
{
    Bytes page(16384, 0);
    putBe(page, 26, 0x1234567890ull, 8);
    EXPECT_EQ(InnodbRedoLogHeader::flushLsn(page), 0x1234567890ull);
    EXPECT_EQ(InnodbRedoLogHeader::flushLsn(std::span(page).first(33)), 0u);
    // MariaDB 10.11 leaves it 0, after a slow shutdown too.
    const Bytes ibdata = readAll(testsupport::FixtureSet::dataFolder("default") + "/ibdata1");
    ASSERT_GE(ibdata.size(), 34u);
    EXPECT_EQ(InnodbRedoLogHeader::flushLsn(ibdata), 0u);
}

} // namespace
