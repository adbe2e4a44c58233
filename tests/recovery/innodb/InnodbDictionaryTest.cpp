#include "recovery/innodb/InnodbDictionary.h"

#include "recovery/innodb/InnodbChecksum.h"
#include "recovery/innodb/InnodbSpaceFlags.h"

#include "platform/DataFile.h"
#include "tests/recovery/innodb/InnodbTestPages.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <set>

using namespace recovery::innodb;
using namespace innodbtest;
using platform::DataFile;

namespace {

QString dataDir(const QString& set) { return testsupport::FixtureSet::dataFolder(set); }

#define REQUIRE_FIXTURES(set)                                                                  \
    if (!QFileInfo::exists(dataDir(set) + "/ibdata1"))                                         \
    GTEST_SKIP() << "fixture data folders not built (" << dataDir(set).toStdString() << ")"

// The rows of an expected/*.tsv file: TAB-separated, one item a line.
std::vector<QStringList> readTsv(const QString& path)
{
    std::vector<QStringList> rows;
    for (QStringList row : testsupport::FixtureSet::readTsv(path)) {
        for (QString& field : row)
            field.replace("\\\\", "\\");
        rows.push_back(row);
    }
    return rows;
}

// Which parts of a key the server's SHOW CREATE TABLE lists as DESC, in
// part order (MariaDB 10.8).
QList<bool> descendingParts(const QString& createFile, const QString& indexName, qsizetype parts)
{
    QList<bool> descending(parts, false);
    QFile f(createFile);
    if (!f.open(QIODevice::ReadOnly))
        return descending;
    const QString head = indexName == QLatin1String("PRIMARY") ? QStringLiteral("PRIMARY KEY (")
                                                                : QStringLiteral("KEY `%1` (").arg(indexName);
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n')) {
        const qsizetype at = line.indexOf(head);
        if (at < 0)
            continue;
        // `a`(10) DESC,`b`) ...: each part is a name, a prefix, DESC.
        static const QRegularExpression part(QStringLiteral("\\G,?`(?:[^`]|``)*`(?:\\(\\d+\\))?( DESC)?"));
        auto it = part.globalMatch(line, at + head.size());
        for (qsizetype i = 0; i < parts && it.hasNext(); ++i)
            descending[i] = !it.next().captured(1).isEmpty();
        break;
    }
    return descending;
}

InnodbDictionary loadDictionary(const QString& ibdata1)
{
    DataFile file;
    EXPECT_TRUE(file.open(ibdata1.toStdString())) << file.lastError();
    auto dict = InnodbDictionary::load(file);
    EXPECT_TRUE(dict) << (dict ? "" : dict.error().what);
    return std::move(dict).value();
}

const char* const kSets[] = {"legacy", "default"};

// Every clustered index the server lists is found by its table's name, with
// its root page and its tablespace; the root is a page of that index in the
// data file the tablespace names.
TEST(InnodbDictionary, FindsEveryClusteredIndexRootOfTheFixtures)
{
    for (const char* set : kSets) {
        REQUIRE_FIXTURES(set);
        SCOPED_TRACE(set);
        const InnodbDictionary dict = loadDictionary(dataDir(set) + "/ibdata1");
        EXPECT_TRUE(dict.damage().empty()) << dict.damage().front().what;

        int inSystem = 0;
        int inOwnFile = 0;
        for (const QStringList& row : readTsv(testsupport::FixtureSet::folder(set) + "/expected/innodb_sys_indexes.tsv")) {
            ASSERT_EQ(row.size(), 8) << row.join('|').toStdString();
            if (row[1] != "PRIMARY" && row[1] != "GEN_CLUST_INDEX")
                continue;
            const QString table = row[7];
            SCOPED_TRACE(table.toStdString());
            auto loc = dict.findTable(table);
            ASSERT_TRUE(loc) << loc.error().what;
            EXPECT_EQ(loc->clusteredIndexId, row[0].toULongLong());
            EXPECT_EQ(loc->tableId, row[2].toULongLong());
            EXPECT_EQ(loc->rootPage, row[5].toULongLong());
            EXPECT_EQ(loc->space, row[6].toUInt());
            auto root = dict.clusteredIndexRoot(table);
            ASSERT_TRUE(root);
            EXPECT_EQ(*root, loc->rootPage);

            const QString dataFile = loc->inSystemTablespace()
                ? dataDir(set) + "/ibdata1"
                : dataDir(set) + "/" + table + ".ibd";
            (loc->inSystemTablespace() ? inSystem : inOwnFile)++;
            DataFile file;
            ASSERT_TRUE(file.open(dataFile.toStdString())) << file.lastError();
            // Compressed pages are not read: only where the root is.
            const auto flags = InnodbSpaceFlags::read(file);
            ASSERT_TRUE(flags && flags->has_value());
            if (!(*flags)->unreadableReason().empty())
                continue;
            auto page = InnodbPage::read(file, loc->rootPage);
            ASSERT_TRUE(page);
            EXPECT_EQ(page->pageNumber(), loc->rootPage);
            EXPECT_EQ(page->indexId(), loc->clusteredIndexId);
            EXPECT_EQ(page->spaceId(), loc->space);
        }
        EXPECT_GT(inSystem, 5);
        EXPECT_GT(inOwnFile, 5);
    }
}

TEST(InnodbDictionary, TablesCarryTheirSpaceAndRowFormat)
{
    for (const char* set : kSets) {
        REQUIRE_FIXTURES(set);
        SCOPED_TRACE(set);
        const InnodbDictionary dict = loadDictionary(dataDir(set) + "/ibdata1");
        const auto rows = readTsv(testsupport::FixtureSet::folder(set) + "/expected/innodb_sys_tables.tsv");
        ASSERT_FALSE(rows.empty());
        for (const QStringList& row : rows) {
            ASSERT_EQ(row.size(), 6);
            auto loc = dict.findTable(row[1]);
            ASSERT_TRUE(loc) << row[1].toStdString();
            EXPECT_EQ(loc->tableId, row[0].toULongLong());
            EXPECT_EQ(loc->space, row[4].toUInt());
            EXPECT_EQ(loc->inSystemTablespace(), row[4] == "0");
            EXPECT_EQ(loc->compactFormat(), row[5] != "Redundant") << row[1].toStdString();
        }
        // MariaDB 10.11 writes SYS_INDEXES records with MERGE_THRESHOLD.
        ASSERT_FALSE(dict.indexes().empty());
        for (const SysIndexesRow& index : dict.indexes())
            EXPECT_TRUE(index.mergeThreshold.has_value());
    }
}

TEST(InnodbDictionary, NamesAsTheFoldersSpellThem)
{
    REQUIRE_FIXTURES("default");
    const InnodbDictionary dict = loadDictionary(dataDir("default") + "/ibdata1");
    const struct {
        const char* name;
        bool found;
    } cases[] = {
        {"fx@0020names/it@0027s@0020@0022q@0022", true},
        {"fx_innodb_sys/no_pk", true},
        {"FX_INNODB_SYS/NO_PK", true},          // letter case alone: the one such table
        {"fx names/it's \"q\"", false},         // the server's own spelling is not the file name
        {"fx_innodb_sys/missing", false},
        {"fx_innodb_sys", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bool(dict.findTable(QString::fromUtf8(c.name))), c.found) << c.name;
    EXPECT_TRUE(dict.findTable("fx_innodb_sys/no_pk")->inSystemTablespace());
}

// Counts the pages of one B-tree from its root along the sibling links.
std::set<std::uint64_t> treePages(const DataFile& file, std::uint64_t root)
{
    std::set<std::uint64_t> pages;
    std::uint64_t leftmost = root;
    for (int guard = 0; guard < 64; ++guard) {
        auto page = InnodbPage::read(file, leftmost);
        if (!page)
            break;
        for (std::uint64_t n = leftmost; n != kFilNull && pages.insert(n).second;) {
            auto sibling = InnodbPage::read(file, n);
            if (!sibling)
                break;
            n = sibling->nextPage();
        }
        if (page->isLeaf())
            break;
        const RecordWalk walk = page->records();
        if (walk.records.empty())
            break;
        leftmost = page->field(walk.records[0], walk.records[0].fieldEnds.size() - 1).u32be();
    }
    return pages;
}

// A scratch copy of a fixture's ibdata1 that a test may change.
class IbdataCopy {
public:
    explicit IbdataCopy(const QString& source) : m_path(m_dir.file("ibdata1"))
    {
        EXPECT_TRUE(QFile::copy(source, m_path));
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    }

    Bytes page(std::uint64_t n) const
    {
        QFile f(m_path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        f.seek(static_cast<qint64>(n * kPageSize));
        const QByteArray b = f.read(kPageSize);
        return Bytes(b.begin(), b.end());
    }

    void writePage(std::uint64_t n, const Bytes& bytes) const
    {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(static_cast<qint64>(n * kPageSize));
        ASSERT_EQ(f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())),
                  static_cast<qint64>(bytes.size()));
    }

    std::uint64_t pageCount() const { return static_cast<std::uint64_t>(QFileInfo(m_path).size()) / kPageSize; }

    // Changes page n in place.
    void patch(std::uint64_t n, const std::function<void(Bytes&)>& change) const
    {
        Bytes p = page(n);
        change(p);
        writePage(n, p);
    }

    platform::Result<InnodbDictionary> load() const
    {
        DataFile file;
        EXPECT_TRUE(file.open(m_path.toStdString()));
        return InnodbDictionary::load(file);
    }

    const QString& path() const { return m_path; }

private:
    testsupport::TempDir m_dir;
    QString m_path;
};

// Origin of the SYS_TABLES record named name on a leaf page, 0 if none.
std::uint16_t sysTablesOrigin(const Bytes& leaf, const QString& name)
{
    const auto page = InnodbPage::parse(leaf);
    for (const InnodbRecord& r : page->records().records) {
        auto f = page->field(r, 0);
        const auto bytes = f.bytes(f.size());
        if (QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()), bytes.size()) == name)
            return r.origin;
    }
    return 0;
}

// Stamps a changed page of the fixture's full_crc32 tablespace with its new
// checksum, as the server would have written it.
void restamp(Bytes& page)
{
    put32(page, page.size() - 4, crc32c(std::span<const std::uint8_t>(page.data(), page.size() - 4)));
}

// Splits the one-page SYS_TABLES tree of the fixture into a root (page 8,
// level 1) over two new leaves appended to the file, the way the server
// would after enough CREATE TABLEs. Returns the two leaves' numbers.
std::pair<std::uint32_t, std::uint32_t> splitSysTables(const IbdataCopy& copy, std::uint32_t root)
{
    const Bytes leaf = copy.page(root);
    const auto page = InnodbPage::parse(leaf);
    const auto recs = page->records().records;
    EXPECT_GT(recs.size(), 4u);
    const std::size_t half = recs.size() / 2;
    const auto a = static_cast<std::uint32_t>(copy.pageCount());
    const auto b = a + 1;

    Bytes left = leaf;
    put32(left, 4, a);
    put32(left, 12, b);
    put16(left, recs[half - 1].origin - 2u, 116);  // first half ends at the supremum
    Bytes right = leaf;
    put32(right, 4, b);
    put32(right, 8, a);
    put16(right, 99, recs[half].origin);  // second half starts after the infimum
    restamp(left);
    restamp(right);
    copy.writePage(a, left);
    copy.writePage(b, right);

    auto key = [&](std::size_t k) {
        auto f = page->field(recs[k], 0);
        const auto bytes = f.bytes(f.size());
        return Bytes(bytes.begin(), bytes.end());
    };
    auto child = [](std::uint32_t n) {
        return Bytes{std::uint8_t(n >> 24), std::uint8_t(n >> 16), std::uint8_t(n >> 8), std::uint8_t(n)};
    };
    PageBuilder node;
    node.pageNo = root;
    node.level = 1;
    node.indexId = 1;
    node.records = {rec({key(0), child(a)}), rec({key(half), child(b)})};
    Bytes rootBytes = node.build();
    std::copy(leaf.begin() + 34, leaf.begin() + 38, rootBytes.begin() + 34);  // space id
    copy.writePage(root, rootBytes);
    return {a, b};
}

// Offset, in the new root page, of the child number of node pointer k.
std::uint16_t childFieldOf(const IbdataCopy& copy, std::uint32_t root, std::size_t k)
{
    const auto page = InnodbPage::parse(copy.page(root));
    const auto recs = page->records().records;
    return static_cast<std::uint16_t>(recs[k].origin + recs[k].fieldEnds[0].end);
}

TEST(InnodbDictionary, DescendsAMultiLevelTreeReadingEachPageOnce)
{
    REQUIRE_FIXTURES("default");
    const QString source = dataDir("default") + "/ibdata1";
    const InnodbDictionary whole = loadDictionary(source);
    IbdataCopy copy(source);
    const auto [a, b] = splitSysTables(copy, whole.sysTablesRoot());

    auto split = copy.load();
    ASSERT_TRUE(split) << split.error().what;
    EXPECT_TRUE(split->damage().empty()) << split->damage().front().what;
    EXPECT_EQ(split->tables().size(), whole.tables().size());
    for (const SysTablesRow& t : whole.tables()) {
        auto loc = split->findTable(t.name);
        ASSERT_TRUE(loc) << t.name.toStdString();
        EXPECT_EQ(loc->rootPage, whole.findTable(t.name)->rootPage);
    }

    // Each page once: the header page and every page of the four trees,
    // found here along the sibling links.
    DataFile file;
    ASSERT_TRUE(file.open(copy.path().toStdString()));
    std::set<std::uint64_t> expected{7};
    for (std::uint64_t p : treePages(file, split->sysTablesRoot()))
        expected.insert(p);
    for (std::uint64_t p : treePages(file, split->sysIndexesRoot()))
        expected.insert(p);
    for (std::uint64_t p : treePages(file, split->sysColumnsRoot()))
        expected.insert(p);
    for (std::uint64_t p : treePages(file, split->sysFieldsRoot()))
        expected.insert(p);
    EXPECT_GT(split->sysColumnsRoot(), 0u);
    EXPECT_GT(split->sysFieldsRoot(), 0u);
    EXPECT_TRUE(expected.count(a) && expected.count(b));
    const auto& read = split->pagesRead();
    EXPECT_EQ(std::set<std::uint64_t>(read.begin(), read.end()), expected);
    EXPECT_EQ(read.size(), expected.size()) << "a page was read twice";
}

// The walk of SYS_TABLES' upper levels shows its progress, a page a step;
// a one-page tree shows none. A stop ends the load with no dictionary.
TEST(InnodbDictionary, ProgressOfTheUpperLevelsAndAStop)
{
    REQUIRE_FIXTURES("default");
    const QString source = dataDir("default") + "/ibdata1";
    const InnodbDictionary whole = loadDictionary(source);
    IbdataCopy copy(source);
    std::vector<std::string> events;
    DictionaryLoadProgress progress;
    progress.levelBegins = [&](std::size_t pages) { events.push_back("begin " + std::to_string(pages)); };
    progress.pageDone = [&] { events.push_back("step"); };
    progress.levelEnds = [&] { events.push_back("end"); };
    {
        DataFile file;
        ASSERT_TRUE(file.open(copy.path().toStdString()));
        ASSERT_TRUE(InnodbDictionary::load(file, progress));
        EXPECT_TRUE(events.empty()) << "the fixture's SYS_TABLES is one leaf";
    }
    splitSysTables(copy, whole.sysTablesRoot());
    DataFile file;
    ASSERT_TRUE(file.open(copy.path().toStdString()));
    ASSERT_TRUE(InnodbDictionary::load(file, progress));
    EXPECT_EQ(events, (std::vector<std::string>{"begin 1", "step", "end"}));

    for (int allowed : {0, 1, 2, 5}) {
        SCOPED_TRACE(allowed);
        int polls = 0;
        progress.stopRequested = [&] { return polls++ >= allowed; };
        events.clear();
        auto stopped = InnodbDictionary::load(file, progress);
        ASSERT_FALSE(stopped);
        EXPECT_EQ(stopped.error().code, platform::DecodeErrorCode::Stopped);
        EXPECT_EQ(std::count(events.begin(), events.end(), "end"),
                  std::count_if(events.begin(), events.end(), [](const std::string& e) { return e.rfind("begin", 0) == 0; }))
            << "a level that began is ended";
    }
}

// Damage below the roots costs the records behind it, never a crash or hang.
TEST(InnodbDictionary, DamagedTreesGiveFewerTables)
{
    REQUIRE_FIXTURES("default");
    const QString source = dataDir("default") + "/ibdata1";
    const InnodbDictionary whole = loadDictionary(source);
    const std::uint32_t root = whole.sysTablesRoot();
    const std::size_t all = whole.tables().size();

    struct Case {
        const char* name;
        bool split;  // SYS_TABLES made two levels high first
        std::function<void(const IbdataCopy&)> damage;
        std::size_t fewestMissing;
        std::string damageText;
    };
    const Case cases[] = {
        {"child out of range", true,
         [&](const IbdataCopy& c) { c.patch(root, [&](Bytes& p) { put32(p, childFieldOf(c, root, 0), 0x7FFFFFF0); }); },
         1, "not a page of the file"},
        {"child back to the root", true,
         [&](const IbdataCopy& c) { c.patch(root, [&](Bytes& p) { put32(p, childFieldOf(c, root, 1), root); }); },
         1, "already visited"},
        {"both children the same page", true,
         [&](const IbdataCopy& c) {
             const std::uint16_t first = childFieldOf(c, root, 0);
             const std::uint16_t second = childFieldOf(c, root, 1);
             c.patch(root, [&](Bytes& p) { std::copy_n(p.begin() + first, 4, p.begin() + second); });
         },
         1, "already visited"},
        {"child is a page of another index", true,
         [&](const IbdataCopy& c) {
             const auto other = static_cast<std::uint32_t>(*whole.clusteredIndexRoot("fx_innodb_sys/big_btree"));
             c.patch(root, [&](Bytes& p) { put32(p, childFieldOf(c, root, 0), other); });
         },
         1, "belongs to index"},
        {"child is the other dictionary tree's root", true,
         [&](const IbdataCopy& c) {
             c.patch(root, [&](Bytes& p) { put32(p, childFieldOf(c, root, 0), whole.sysIndexesRoot()); });
         },
         1, "already visited"},
        {"child on the wrong level", true,
         [&](const IbdataCopy& c) {
             const std::uint32_t a = static_cast<std::uint32_t>(c.pageCount() - 2);
             c.patch(a, [](Bytes& p) { put16(p, 64, 1); });
         },
         1, "is on level"},
        {"leaf record pointer outside the page", false,
         [&](const IbdataCopy& c) {
             c.patch(root, [](Bytes& p) {
                 const auto recs = InnodbPage::parse(p)->records().records;
                 put16(p, recs[3].origin - 2u, 30000);
             });
         },
         1, "outside the page"},
        {"leaf record list loops", false,
         [&](const IbdataCopy& c) {
             c.patch(root, [](Bytes& p) {
                 const auto recs = InnodbPage::parse(p)->records().records;
                 put16(p, recs[5].origin - 2u, recs[1].origin);
             });
         },
         1, "loops"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IbdataCopy copy(source);
        if (c.split)
            splitSysTables(copy, root);
        c.damage(copy);
        auto dict = copy.load();
        ASSERT_TRUE(dict) << dict.error().what;
        EXPECT_LE(dict->tables().size() + c.fewestMissing, all);
        EXPECT_GT(dict->tables().size(), 0u) << "the undamaged part is still read";
        ASSERT_FALSE(dict->damage().empty());
        bool named = false;
        for (const auto& d : dict->damage())
            named = named || d.what.find(c.damageText) != std::string::npos;
        EXPECT_TRUE(named) << dict->damage().front().what;
        const auto& read = dict->pagesRead();
        EXPECT_EQ(std::set<std::uint64_t>(read.begin(), read.end()).size(), read.size());
    }
}

TEST(InnodbDictionary, BrokenHeaderOrRootsAreErrors)
{
    REQUIRE_FIXTURES("default");
    const QString source = dataDir("default") + "/ibdata1";
    const struct {
        const char* name;
        std::uint64_t page;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"header page zeroed", 7, [](Bytes& p) { std::fill(p.begin(), p.end(), 0); }},
        {"SYS_TABLES root beyond the file", 7, [](Bytes& p) { put32(p, 70, 0x00FFFFFF); }},
        {"SYS_TABLES root FIL_NULL", 7, [](Bytes& p) { put32(p, 70, kFilNull); }},
        {"SYS_INDEXES root is the SYS_TABLES root", 7, [](Bytes& p) { put32(p, 82, 8); }},
        {"SYS_TABLES root holds another number", 8, [](Bytes& p) { put32(p, 4, 9); }},
        {"SYS_INDEXES root zeroed", 11, [](Bytes& p) { std::fill(p.begin(), p.end(), 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        IbdataCopy copy(source);
        copy.patch(c.page, c.damage);
        auto dict = copy.load();
        EXPECT_FALSE(dict);
    }

    testsupport::TempDir dir;
    DataFile shortFile;
    ASSERT_TRUE(shortFile.open(dir.write("ibdata1", Bytes(3 * kPageSize, 0)).toStdString()));
    EXPECT_FALSE(InnodbDictionary::load(shortFile)) << "a file that ends before page 7";
    DataFile closed;
    EXPECT_FALSE(InnodbDictionary::load(closed));
}

TEST(InnodbDictionary, DeleteMarkedRecordsAreSkipped)
{
    REQUIRE_FIXTURES("default");
    const QString source = dataDir("default") + "/ibdata1";
    const InnodbDictionary whole = loadDictionary(source);
    const QString dropped = "fx_innodb_sys/no_pk";
    const QString kept = "fx_innodb_sys/composite_pk";
    const auto target = whole.findTable(dropped);
    ASSERT_TRUE(target);

    IbdataCopy copy(source);
    copy.patch(whole.sysTablesRoot(), [&](Bytes& p) {
        const std::uint16_t origin = sysTablesOrigin(p, dropped);
        ASSERT_NE(origin, 0);
        p[origin - 6u] |= 0x20;
    });
    // Also delete-mark the clustered index record of another table.
    const auto keptLoc = whole.findTable(kept);
    copy.patch(whole.sysIndexesRoot(), [&](Bytes& p) {
        const auto page = InnodbPage::parse(p);
        for (const InnodbRecord& r : page->records().records) {
            if (page->field(r, 1).u64be() == keptLoc->clusteredIndexId)
                p[r.origin - 6u] |= 0x20;
        }
    });
    auto dict = copy.load();
    ASSERT_TRUE(dict);
    EXPECT_EQ(dict->tables().size() + 1, whole.tables().size());
    EXPECT_FALSE(dict->findTable(dropped));
    auto noIndex = dict->findTable(kept);
    ASSERT_FALSE(noIndex);
    EXPECT_NE(noIndex.error().what.find("no clustered index"), std::string::npos);
    EXPECT_TRUE(dict->findTable("fx_innodb_sys/big_btree"));
}

// SYS_INDEXES records with and without MERGE_THRESHOLD; a clustered index
// without a root; the clustered bit among other TYPE bits; the lowest id wins.
TEST(InnodbDictionary, ChoosesTheClusteredIndex)
{
    REQUIRE_FIXTURES("default");
    const QString source = dataDir("default") + "/ibdata1";
    const InnodbDictionary whole = loadDictionary(source);
    auto id = [&](const char* name) { return whole.findTable(name)->tableId; };
    auto u32 = [](std::uint32_t v) { return Bytes{std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)}; };
    auto u64 = [&](std::uint64_t v) {
        Bytes b = u32(static_cast<std::uint32_t>(v >> 32));
        const Bytes lo = u32(static_cast<std::uint32_t>(v));
        b.insert(b.end(), lo.begin(), lo.end());
        return b;
    };
    auto index = [&](std::uint64_t table, std::uint64_t indexId, std::uint32_t type, std::uint32_t pageNo,
                     bool merge) {
        std::vector<Bytes> f{u64(table), u64(indexId), Bytes(6, 0), Bytes(7, 0), Bytes{'i', 'x'},
                             u32(1), u32(type), u32(0), u32(pageNo)};
        if (merge)
            f.push_back(u32(50));
        return rec(f);
    };
    const std::uint64_t old = id("fx_innodb_sys/no_pk");
    const std::uint64_t fresh = id("fx_innodb_sys/composite_pk");
    const std::uint64_t noRoot = id("fx_innodb_sys/big_btree");
    const std::uint64_t onlyNoRoot = id("fx_innodb_sys/empty_table");
    const std::uint64_t flagged = id("fx_innodb_sys/defaults");
    PageBuilder leaf;
    leaf.pageNo = whole.sysIndexesRoot();
    leaf.indexId = 3;
    leaf.records = {
        index(old, 900, 1, 1111, false),            // older servers: 9 fields
        index(fresh, 901, 0, 2221, true),           // a secondary index first in the list
        index(fresh, 902, 3, 2222, true),
        index(fresh, 903, 3, 2223, true),           // a higher id: not the clustered one
        index(noRoot, 904, 3, kFilNull, true),      // no root: the next clustered index
        index(noRoot, 905, 1, 3333, true),
        index(onlyNoRoot, 906, 3, kFilNull, true),
        index(flagged, 907, 3 | 16, 4444, true),    // clustered, flagged corrupt
    };
    IbdataCopy copy(source);
    Bytes bytes = leaf.build();
    restamp(bytes);
    copy.writePage(whole.sysIndexesRoot(), bytes);
    auto dict = copy.load();
    ASSERT_TRUE(dict) << dict.error().what;
    EXPECT_TRUE(dict->damage().empty()) << dict->damage().front().what;

    const struct {
        const char* table;
        std::uint64_t root;  // 0: an error
        std::uint64_t indexId;
    } cases[] = {
        {"fx_innodb_sys/no_pk", 1111, 900},
        {"fx_innodb_sys/composite_pk", 2222, 902},
        {"fx_innodb_sys/big_btree", 3333, 905},
        {"fx_innodb_sys/empty_table", 0, 0},
        {"fx_innodb_sys/defaults", 4444, 907},
        {"fx_innodb_sys/offpage_dynamic", 0, 0},
    };
    for (const auto& c : cases) {
        auto loc = dict->findTable(c.table);
        ASSERT_EQ(bool(loc), c.root != 0) << c.table;
        if (loc) {
            EXPECT_EQ(loc->rootPage, c.root) << c.table;
            EXPECT_EQ(loc->clusteredIndexId, c.indexId) << c.table;
        }
    }
    EXPECT_FALSE(dict->indexes()[0].mergeThreshold.has_value());
    EXPECT_EQ(dict->indexes()[1].mergeThreshold, 50u);
    EXPECT_NE(dict->findTable("fx_innodb_sys/empty_table").error().what.find("no root page"), std::string::npos);
}

// Database and table of a dictionary name; a partition ("t#P#p0") is a
// tablespace of its own with its table's columns and keys.
QStringList databaseAndTable(const QString& dictionaryName)
{
    QStringList name = dictionaryName.split('/');
    if (name.size() > 1)
        name[1] = name[1].section(QStringLiteral("#P#"), 0, 0);
    return name;
}

// SYS_COLUMNS and SYS_FIELDS as the server lists its columns and keys: the
// stored columns by POS, the virtual ones with their place among all columns,
// every index's key columns in order with the prefix parts marked.
TEST(InnodbDictionary, ColumnsAndFieldsAsTheServerListsThem)
{
    for (const char* set : kSets) {
        REQUIRE_FIXTURES(set);
        SCOPED_TRACE(set);
        const InnodbDictionary dict = loadDictionary(dataDir(set) + "/ibdata1");
        EXPECT_EQ(dict.columnsUnreadable(), "");
        EXPECT_EQ(dict.fieldsUnreadable(), "");
        // A FULLTEXT key: InnoDB's own FTS_DOC_ID column and index, and its
        // own tables for the word index, which the server does not list.
        QStringList withDocIdIndex;
        for (const QStringList& index : readTsv(testsupport::FixtureSet::folder(set) + "/expected/innodb_sys_indexes.tsv"))
            if (index[1] == "FTS_DOC_ID_INDEX")
                withDocIdIndex << index[7];
        int tablesCompared = 0;
        for (const QStringList& row : readTsv(testsupport::FixtureSet::folder(set) + "/expected/innodb_sys_tables.tsv")) {
            const QStringList name = databaseAndTable(row[1]);
            if (row[1].contains('@') || name.value(1).startsWith("FTS_"))
                continue;  // the expectations' files use the server's spelling
            SCOPED_TRACE(row[1].toStdString());
            QStringList storedNames;
            std::vector<std::pair<QString, std::size_t>> virtualNames;
            const auto columns = readTsv(testsupport::FixtureSet::expectedFile(set, name[0], name[1], ".columns.tsv"));
            for (std::size_t i = 0; i < columns.size(); ++i) {
                if (columns[i][11].contains("VIRTUAL"))
                    virtualNames.emplace_back(columns[i][0], i);
                else
                    storedNames << columns[i][0];
            }
            if (withDocIdIndex.contains(row[1]) && !storedNames.contains("FTS_DOC_ID"))
                storedNames << "FTS_DOC_ID";
            // Columns the server keeps unseen: a system-versioned table's
            // period, and after all columns the hash of each long UNIQUE key.
            if (testsupport::FixtureSet::tableType(set, name[0], name[1]) == "SYSTEM VERSIONED")
                storedNames << "row_start" << "row_end";
            QStringList hashKeys;
            for (const QStringList& key : readTsv(testsupport::FixtureSet::expectedFile(set, name[0], name[1], ".keys.tsv")))
                if (key[0] == "KEY" && key[6] == "HASH" && !hashKeys.contains(key[1]))
                    hashKeys << key[1];
            for (qsizetype k = 0; k < hashKeys.size(); ++k)
                virtualNames.emplace_back(QStringLiteral("DB_ROW_HASH_%1").arg(k + 1), columns.size() + static_cast<std::size_t>(k));
            QStringList dictStored;
            std::vector<std::pair<QString, std::size_t>> dictVirtual;
            for (const SysColumnsRow* column : dict.columnsOf(row[0].toULongLong())) {
                EXPECT_FALSE(column->fromDamagedPage);
                if (column->prtype & 8192)
                    dictVirtual.emplace_back(column->name, column->pos & 0xFFFF);
                else
                    dictStored << column->name;
            }
            EXPECT_EQ(dictStored, storedNames);
            EXPECT_EQ(dictVirtual, virtualNames);
            ++tablesCompared;
        }
        EXPECT_GT(tablesCompared, 20);

        int prefixParts = 0;
        for (const QStringList& index : readTsv(testsupport::FixtureSet::folder(set) + "/expected/innodb_sys_indexes.tsv")) {
            if (index[7].contains('@') || index[7].split('/').value(1).startsWith("FTS_"))
                continue;
            SCOPED_TRACE((index[7] + " " + index[1]).toStdString());
            const std::vector<const SysFieldsRow*> fields = dict.fieldsOf(index[0].toULongLong());
            ASSERT_EQ(fields.size(), index[4].toUInt());
            const QStringList name = databaseAndTable(index[7]);
            QStringList keyNames;
            QStringList subParts;
            QStringList hashKeys;
            bool unique = false;
            for (const QStringList& key : readTsv(testsupport::FixtureSet::expectedFile(set, name[0], name[1], ".keys.tsv"))) {
                if (key[0] == "KEY" && key[6] == "HASH" && !hashKeys.contains(key[1]))
                    hashKeys << key[1];
                if (key[0] == "KEY" && key[1] == index[1]) {
                    keyNames << key[3];
                    subParts << key[5];
                    unique = key[4] == "0";
                }
            }
            // A long UNIQUE key indexes its hidden hash column; a unique key
            // of a system-versioned table ends in row_end.
            if (hashKeys.contains(index[1])) {
                keyNames = QStringList{QStringLiteral("DB_ROW_HASH_%1").arg(hashKeys.indexOf(index[1]) + 1)};
                subParts = QStringList{"\\N"};
            } else if (unique && testsupport::FixtureSet::tableType(set, name[0], name[1]) == "SYSTEM VERSIONED") {
                keyNames << "row_end";
                subParts << "\\N";
            }
            QStringList fieldNames;
            // The server shows a SPATIAL index (TYPE 64) with a part length the
            // dictionary does not keep.
            const bool spatial = index[3].toUInt() & 64;
            // A DESC part is kept as bit 15 of the low half.
            const QList<bool> descending = descendingParts(
                testsupport::FixtureSet::expectedFile(set, name[0], name[1], ".create.sql"), index[1], keyNames.size());
            const bool packed = !spatial
                && (std::any_of(subParts.begin(), subParts.end(), [](const QString& s) { return s != "\\N"; })
                    || descending.contains(true));
            for (std::size_t i = 0; i < fields.size(); ++i) {
                fieldNames << fields[i]->colName;
                // A FULLTEXT index (TYPE 32) the server copied in an ALTER
                // TABLE may number its one field 1.
                if (!(index[3].toUInt() & 32)) {
                    EXPECT_EQ(packed ? fields[i]->pos >> 16 : fields[i]->pos, i);
                }
                if (packed) {
                    EXPECT_EQ((fields[i]->pos & 0x7FFF) != 0, subParts.value(static_cast<qsizetype>(i)) != "\\N");
                    EXPECT_EQ((fields[i]->pos & 0x8000) != 0, descending.value(static_cast<qsizetype>(i)));
                }
                prefixParts += (packed && (fields[i]->pos & 0x7FFF)) ? 1 : 0;
            }
            if (index[1] == "FTS_DOC_ID_INDEX") {
                EXPECT_EQ(fieldNames, QStringList{"FTS_DOC_ID"});
            } else if (index[1] != "GEN_CLUST_INDEX") {
                EXPECT_EQ(fieldNames, keyNames);
            }
        }
        EXPECT_GT(prefixParts, 0);
    }
}

// SYS_COLUMNS and SYS_FIELDS only describe the tables: damage to them costs
// their own records, marks the records of a page whose checksums fail, and
// never a table's location.
TEST(InnodbDictionary, DamagedColumnsOrFieldsCostOnlyThemselves)
{
    REQUIRE_FIXTURES("default");
    const QString source = dataDir("default") + "/ibdata1";
    const InnodbDictionary whole = loadDictionary(source);
    ASSERT_FALSE(whole.columns().empty());
    ASSERT_FALSE(whole.fields().empty());
    const auto leafOf = [&](std::uint64_t indexId) {
        DataFile file;
        EXPECT_TRUE(file.open(source.toStdString()));
        for (std::uint64_t p = 0; p < file.size() / kPageSize; ++p) {
            auto page = InnodbPage::read(file, p);
            if (page && page->pageType() == kPageTypeIndex && page->indexId() == indexId && page->isLeaf())
                return p;
        }
        ADD_FAILURE() << "no leaf of index " << indexId;
        return std::uint64_t{0};
    };
    const struct Case {
        const char* name;
        std::uint64_t page;
        std::function<void(Bytes&)> damage;
        const char* columnsUnreadable;  // a part of the reason, or "" when readable
        const char* fieldsUnreadable;
        bool columnsMarked;             // records kept but marked as from a damaged page
        bool fieldsMarked;
    } cases[] = {
        {"SYS_COLUMNS root beyond the file", 7, [](Bytes& p) { put32(p, 78, 0x00FFFFFF); },
         "not a page of the file", "", false, false},
        {"SYS_COLUMNS root is the SYS_TABLES root", 7,
         [&](Bytes& p) { put32(p, 78, whole.sysTablesRoot()); }, "another dictionary tree", "", false, false},
        {"SYS_FIELDS root is a page of SYS_COLUMNS", 7,
         [&](Bytes& p) { put32(p, 86, static_cast<std::uint32_t>(leafOf(2))); }, "", "another dictionary tree",
         false, false},
        {"SYS_FIELDS root is a page of a table", 7,
         [&](Bytes& p) { put32(p, 86, static_cast<std::uint32_t>(*whole.clusteredIndexRoot("fx_innodb_sys/big_btree"))); },
         "", "belongs to index", false, false},
        {"a stray byte in a SYS_COLUMNS leaf", leafOf(2), [](Bytes& p) { p[9000] ^= 0x20; }, "", "", true, false},
        {"a stray byte in a SYS_FIELDS leaf", leafOf(4), [](Bytes& p) { p[3000] ^= 0x01; }, "", "", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IbdataCopy copy(source);
        copy.patch(c.page, c.damage);
        auto dict = copy.load();
        ASSERT_TRUE(dict) << dict.error().what;
        EXPECT_EQ(dict->tables().size(), whole.tables().size());
        EXPECT_EQ(dict->indexes().size(), whole.indexes().size());
        for (const SysTablesRow& table : whole.tables())
            EXPECT_EQ(dict->clusteredIndexRoot(table.name).valueOr(0), whole.clusteredIndexRoot(table.name).valueOr(0));
        EXPECT_NE(dict->columnsUnreadable().find(c.columnsUnreadable), std::string::npos) << dict->columnsUnreadable();
        EXPECT_NE(dict->fieldsUnreadable().find(c.fieldsUnreadable), std::string::npos) << dict->fieldsUnreadable();
        EXPECT_EQ(std::string(c.columnsUnreadable).empty(), dict->columnsUnreadable().empty());
        EXPECT_EQ(std::string(c.fieldsUnreadable).empty(), dict->fieldsUnreadable().empty());
        const auto marked = [](const auto& rows) {
            return std::any_of(rows.begin(), rows.end(), [](const auto& r) { return r.fromDamagedPage; });
        };
        EXPECT_EQ(marked(dict->columns()), c.columnsMarked);
        EXPECT_EQ(marked(dict->fields()), c.fieldsMarked);
        if (c.columnsMarked || c.fieldsMarked) {
            bool named = false;
            for (const auto& d : dict->damage())
                named = named || d.what.find(c.columnsMarked ? "SYS_COLUMNS page" : "SYS_FIELDS page") != std::string::npos;
            EXPECT_TRUE(named);
        }
    }
}

// A leaf of the trees that locate the rows whose checksums fail is told, and
// its records are still taken: a location from a damaged page is better than
// none, and the table's own pages are verified when read.
TEST(InnodbDictionary, AStrayByteInASysTablesOrSysIndexesLeafIsToldAndItsRecordsKept)
{
    REQUIRE_FIXTURES("default");
    const QString source = dataDir("default") + "/ibdata1";
    const InnodbDictionary whole = loadDictionary(source);
    const struct Case {
        const char* tree;
        std::uint32_t root;  // the fixture's trees are one leaf each
    } cases[] = {{"SYS_TABLES", whole.sysTablesRoot()}, {"SYS_INDEXES", whole.sysIndexesRoot()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tree);
        IbdataCopy copy(source);
        copy.patch(c.root, [](Bytes& p) {
            // In the free space above the heap, so that every record stays whole.
            const std::size_t heapTop = std::size_t{p[40]} << 8 | p[41];
            ASSERT_LT(heapTop + 100, p.size() - 200);
            p[heapTop + 100] ^= 0x5A;
        });
        auto dict = copy.load();
        ASSERT_TRUE(dict) << dict.error().what;
        ASSERT_EQ(dict->damage().size(), 1u);
        EXPECT_EQ(dict->damage().front().what,
                  std::string(c.tree) + " page " + std::to_string(c.root) + " is damaged (its checksum does not match its bytes)")
            << dict->damage().front().what;
        EXPECT_EQ(dict->tables().size(), whole.tables().size());
        for (const SysTablesRow& table : whole.tables())
            EXPECT_EQ(dict->clusteredIndexRoot(table.name).valueOr(0), whole.clusteredIndexRoot(table.name).valueOr(0));
    }
}

} // namespace
