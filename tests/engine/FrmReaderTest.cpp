#include "engine/FrmReader.h"

#include "model/ColumnTypeCode.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/SharedFixtures.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

using engine::ColumnInformation;
using engine::FrmContents;
using engine::FrmReader;
using engine::TableInformation;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readBytes(const QString& path)
{
    return testsupport::FixtureSet::readBytes(path);
}

QStringList columnNames(const TableInformation& t)
{
    QStringList names;
    for (const auto& c : t.columns())
        names.append(c->m_name);
    return names;
}

const ColumnInformation* column(const TableInformation& t, const QString& name)
{
    for (const auto& c : t.columns()) {
        if (c->m_name == name)
            return c.get();
    }
    return nullptr;
}

// ------------------------------------------------------------------ storage

TEST(FrmReaderStorage, SiblingDataFileDecidesTheEngine)
{
    struct Case {
        const char* name;
        QString frm;
        QStringList existing;
        QString engine;
        QString dataFile;
    };
    const QString ibdata = QStringLiteral("/srv/ibdata1");
    const Case cases[] = {
        {"ibd", "/d/db/t.frm", {"/d/db/t.ibd"}, "innodb", "/d/db/t.ibd"},
        {"myd", "/d/db/t.frm", {"/d/db/t.MYD"}, "myisam", "/d/db/t.MYD"},
        {"ibd wins over myd", "/d/db/t.frm", {"/d/db/t.ibd", "/d/db/t.MYD"}, "innodb", "/d/db/t.ibd"},
        {"neither: shared tablespace", "/d/db/t.frm", {}, "innodb", ibdata},
        // Only the extension changes: a folder with "frm" in its name stays as it is.
        {"folder named frmdb", "/data/frmdb/t.frm", {"/data/frmdb/t.MYD"}, "myisam", "/data/frmdb/t.MYD"},
        {"table named frm", "/d/db/frm.frm", {"/d/db/frm.ibd"}, "innodb", "/d/db/frm.ibd"},
        // An upper-case extension is still the definition, never its own data file.
        {"upper-case FRM", "/d/db/T.FRM", {"/d/db/T.FRM"}, "innodb", ibdata},
    };
    for (const Case& c : cases) {
        const auto exists = [&](const QString& p) { return c.existing.contains(p); };
        const auto choice = FrmReader::chooseStorage(c.frm, ibdata, exists);
        EXPECT_EQ(choice.engine, c.engine) << c.name;
        EXPECT_EQ(choice.dataFile, c.dataFile) << c.name;
    }
}

TEST(FrmReaderNames, TableAndDatabaseNamesComeFromThePath)
{
    EXPECT_EQ(FrmReader::tableNameFromPath("/d/shop/orders.frm"), "orders");
    EXPECT_EQ(FrmReader::tableNameFromPath("/d/shop/a.b.frm"), "a");
    EXPECT_EQ(FrmReader::databaseNameFromPath("/d/shop/orders.frm"), "shop");
}

// ------------------------------------------------------------------ hand-made files

// A definition in the layout of MySQL 5.x: key area at 4096, form
// information at 8192, names block (no screens), then intervals and comments.
struct FieldDef {
    QByteArray name;
    std::uint8_t type;
    std::uint16_t length;
    std::uint16_t packFlags;
    std::uint8_t charset = 8;
    std::uint8_t interval = 0;
    QByteArray comment;
    std::uint32_t recordPos = 0; // 0 = after the previous value
    std::uint32_t width = 0;
};

struct KeyDef {
    std::uint16_t flags;
    std::vector<std::pair<std::uint16_t, std::uint8_t>> parts; // field number, attribute byte
};

void put16(Bytes& b, std::size_t at, std::uint32_t v)
{
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

struct FrmBuilder {
    std::vector<FieldDef> fields;
    std::vector<KeyDef> keys;
    std::vector<QByteArray> keyNames;
    std::vector<std::vector<QByteArray>> intervals;
    Bytes record;        // the default record
    std::uint16_t options = 0x0009;
    std::uint8_t version = 10;

    Bytes build() const
    {
        Bytes b(8192 + 288, 0);
        b[0] = 0xFE;
        b[1] = 0x01;
        b[2] = version;
        put16(b, 4, 3);
        put16(b, 6, 4096);
        b[64] = '/';
        b[65] = '/';
        put32(b, 67, 8192);
        put16(b, 30, options);
        // key area
        std::size_t p = 4096 + 6;
        std::size_t totalParts = 0;
        for (const KeyDef& k : keys) {
            put16(b, p, k.flags);
            b[p + 4] = static_cast<std::uint8_t>(k.parts.size());
            p += 8;
            for (const auto& [field, attribute] : k.parts) {
                put16(b, p, field | 0x4000);
                b[p + 6] = attribute;
                put16(b, p + 7, 4);
                p += 9;
            }
            totalParts += k.parts.size();
        }
        std::size_t namesStart = p;
        b[p++] = 0xFF;
        for (const QByteArray& n : keyNames) {
            std::copy(n.begin(), n.end(), b.begin() + static_cast<std::ptrdiff_t>(p));
            p += static_cast<std::size_t>(n.size());
            b[p++] = 0xFF;
        }
        b[4096] = static_cast<std::uint8_t>(keys.size());
        b[4097] = static_cast<std::uint8_t>(totalParts);
        put16(b, 4100, static_cast<std::uint32_t>(p - namesStart + 1));
        const std::uint32_t keyLength = 1024;
        put16(b, 14, keyLength);
        put32(b, 47, keyLength);
        put16(b, 16, static_cast<std::uint32_t>(record.size()));
        std::copy(record.begin(), record.end(), b.begin() + 4096 + keyLength);
        // form information
        const std::size_t f = 8192;
        put16(b, f + 258, static_cast<std::uint32_t>(fields.size()));
        Bytes tail;
        std::uint32_t pos = 1;
        for (const FieldDef& fs : fields) {
            Bytes r(17, 0);
            put16(r, 3, fs.length);
            const std::uint32_t at = fs.recordPos ? fs.recordPos : pos;
            r[5] = at & 0xFF;
            r[6] = (at >> 8) & 0xFF;
            put16(r, 8, fs.packFlags);
            r[12] = fs.interval;
            r[13] = fs.type;
            r[14] = fs.charset;
            put16(r, 15, static_cast<std::uint32_t>(fs.comment.size()));
            tail.insert(tail.end(), r.begin(), r.end());
            pos = at + fs.width;
        }
        Bytes names{0xFF};
        for (const FieldDef& fs : fields) {
            names.insert(names.end(), fs.name.begin(), fs.name.end());
            names.push_back(0xFF);
        }
        names.push_back(0);
        put16(b, f + 268, static_cast<std::uint32_t>(names.size()));
        tail.insert(tail.end(), names.begin(), names.end());
        Bytes ints;
        for (const auto& members : intervals) {
            ints.push_back(0xFF);
            for (const QByteArray& m : members) {
                ints.insert(ints.end(), m.begin(), m.end());
                ints.push_back(0xFF);
            }
            ints.push_back(0);
        }
        put16(b, f + 270, static_cast<std::uint32_t>(intervals.size()));
        put16(b, f + 274, static_cast<std::uint32_t>(ints.size()));
        tail.insert(tail.end(), ints.begin(), ints.end());
        Bytes comments;
        for (const FieldDef& fs : fields)
            comments.insert(comments.end(), fs.comment.begin(), fs.comment.end());
        put16(b, f + 284, static_cast<std::uint32_t>(comments.size()));
        tail.insert(tail.end(), comments.begin(), comments.end());
        b.insert(b.end(), tail.begin(), tail.end());
        return b;
    }
};

FrmContents readOk(const Bytes& b)
{
    auto r = FrmReader::read(b, QStringLiteral("/d/db/t.frm"));
    EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error().what);
    if (!r.ok())
        return {};
    return std::move(r).value();
}

TEST(FrmReaderHandMade, ViewFilesAreRecognisedByTheirText)
{
    const QByteArray view = "TYPE=VIEW\nquery=select 1\n";
    auto r = FrmReader::read(Bytes(view.begin(), view.end()), "/d/db/v.frm");
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r->m_isView);
    EXPECT_EQ(r->m_table, nullptr);
}

TEST(FrmReaderHandMade, DecimalAndFloatLengthsAndScales)
{
    struct Case {
        const char* name;
        std::uint8_t type;
        std::uint16_t length;
        std::uint16_t packFlags;
        std::uint32_t wantLength;
        std::uint16_t wantScale;
        const char* wantType;
    };
    const Case cases[] = {
        {"signed decimal(10,2)", 246, 12, 0x0203, 10, 2, "decimal"},
        {"unsigned decimal(10,2)", 246, 11, 0x0202, 10, 2, "decimal"},
        {"nullable signed decimal(5,0)", 246, 6, 0x8003, 5, 0, "decimal"},
        {"float, no fixed decimals", 4, 12, 0x1F23, 12, 0, "float"},
        {"nullable float(7,3)", 4, 7, 0x8323, 7, 3, "float"},
        {"float with no default", 4, 12, 0x4023, 12, 0, "float"},
    };
    for (const Case& c : cases) {
        FrmBuilder b;
        b.fields = {{"x", c.type, c.length, c.packFlags, 8, 0, {}, 2, 16}};
        b.record = Bytes(32, 0);
        const FrmContents out = readOk(b.build());
        ASSERT_EQ(out.m_table->columns().size(), 1u) << c.name;
        const ColumnInformation& col = *out.m_table->columns()[0];
        EXPECT_EQ(col.m_typeName, c.wantType) << c.name;
        EXPECT_EQ(col.m_length, c.wantLength) << c.name;
        EXPECT_EQ(col.m_scale, c.wantScale) << c.name;
    }
}

TEST(FrmReaderHandMade, EnumAndSetMembersAndDefaults)
{
    FrmBuilder b;
    b.intervals = {{"a", "b", "c"}, {"x", "y"}};
    // Interval numbers 1, 1, 2, 1: equal member lists share one interval,
    // also when another list comes between them.
    b.fields = {
        {"e1", 247, 1, 0x0108, 8, 1, {}, 2, 1},
        {"e2", 247, 1, 0x0108, 8, 1, {}, 3, 1},
        {"e3", 247, 1, 0x0108, 8, 2, {}, 4, 1},
        {"s1", 248, 1, 0x0208, 8, 1, {}, 5, 1},
        {"s2", 248, 1, 0x0208, 8, 1, {}, 6, 1},
        {"e4", 247, 1, 0x0108, 8, 1, {}, 7, 1},
        {"e5", 247, 1, 0x8108, 8, 1, {}, 8, 1},
    };
    // Null flag of e5 (the only nullable column) is bit 0 of byte 0.
    b.record = {0x01, /*e1*/ 2, /*e2*/ 0, /*e3*/ 7, /*s1*/ 6, /*s2*/ 5, /*e4*/ 3, /*e5*/ 1};
    const FrmContents out = readOk(b.build());
    const auto& cols = out.m_table->columns();
    ASSERT_EQ(cols.size(), 7u);
    const QStringList abc{"a", "b", "c"};
    EXPECT_EQ(cols[0]->m_members, abc);
    EXPECT_EQ(cols[1]->m_members, abc);
    EXPECT_EQ(cols[2]->m_members, QStringList({"x", "y"}));
    EXPECT_EQ(cols[5]->m_members, abc);
    struct Want {
        std::size_t column;
        const char* text;
    };
    const Want wants[] = {
        {0, "b"},   // member 2
        {1, ""},    // 0: no member
        {2, ""},    // 7: past the members
        {3, "b,c"}, // bits 1 and 2: every chosen member, not just the lowest
        {4, "a,c"},
        {5, "c"},
        {6, "NULL"},
    };
    for (const Want& w : wants)
        EXPECT_EQ(cols[w.column]->m_defaultText, w.text) << w.column;
}

TEST(FrmReaderHandMade, CommentsAreCutFromTheCommentBlockByLength)
{
    FrmBuilder b;
    b.fields = {{"a", 3, 11, 0x001B, 8, 0, "abc", 2, 4}, {"b", 3, 11, 0x001B, 8, 0, {}, 6, 4},
                {"c", 3, 11, 0x001B, 8, 0, "defg", 10, 4},
                {"d", 3, 11, 0x001B, 8, 0, QByteArray(300, 'z'), 14, 4}};
    b.record = Bytes(20, 0);
    const FrmContents out = readOk(b.build());
    const auto& cols = out.m_table->columns();
    ASSERT_EQ(cols.size(), 4u);
    EXPECT_EQ(cols[0]->m_comment, "abc");
    EXPECT_EQ(cols[1]->m_comment, "");
    EXPECT_EQ(cols[2]->m_comment, "defg");
    EXPECT_EQ(cols[3]->m_comment, QString(300, 'z')); // two length bytes: longer than 255
    EXPECT_EQ(cols[3]->m_commentLength, 300);
}

TEST(FrmReaderHandMade, KeyKinds)
{
    struct Case {
        const char* name;
        std::vector<KeyDef> keys;
        std::vector<QByteArray> names;
        QStringList wantKinds; // per part
        QStringList wantNames;
    };
    const Case cases[] = {
        {"primary then unique", {{0x0000, {{1, 0x00}}}, {0x0000, {{2, 0x00}}}}, {"PRIMARY", "uk"},
         {"Primary Key", "Unique Key"}, {"PRIMARY", "uk"}},
        {"first unique key not named PRIMARY", {{0x0000, {{1, 0x80}}}}, {"uk"}, {"Unique Key"}, {"uk"}},
        // A primary key on a NOT NULL decimal column has decimals in its attribute byte.
        {"primary on decimal", {{0x0000, {{1, 0x42}}}}, {"PRIMARY"}, {"Primary Key"}, {"PRIMARY"}},
        {"foreign, plain, fulltext", {{0x2041, {{1, 0x80}}}, {0x0029, {{2, 0x80}, {1, 0x80}}}, {0x00A9, {{2, 0x80}}}},
         {"fk", "k", "ft"}, {"Foreign Key", "Key", "Key", "FULLTEXT Key"}, {"fk", "k", "ft"}},
        // Key comments (0x1000) are a later server's flag: still a plain key.
        {"flags outside the list", {{0x1029, {{1, 0x80}}}}, {"k"}, {"Key"}, {"k"}},
    };
    for (const Case& c : cases) {
        FrmBuilder b;
        b.fields = {{"a", 3, 11, 0x401B, 8, 0, {}, 1, 4}, {"b", 3, 11, 0x401B, 8, 0, {}, 5, 4}};
        b.options = 0x0001;
        b.record = Bytes(9, 0);
        b.keys = c.keys;
        b.keyNames = c.names;
        const FrmContents out = readOk(b.build());
        QStringList kinds;
        for (const auto& part : out.m_table->m_keyParts)
            kinds.append(part.m_kind);
        EXPECT_EQ(kinds, c.wantKinds) << c.name;
        EXPECT_EQ(out.m_table->m_keyNames, c.wantNames) << c.name;
    }
}

TEST(FrmReaderHandMade, FormPositionZeroMeansTheLast4096Boundary)
{
    FrmBuilder b;
    b.fields = {{"a", 3, 11, 0x401B, 8, 0, {}, 1, 4}};
    b.record = Bytes(5, 0);
    Bytes bytes = b.build();
    put32(bytes, 67, 0);
    bytes.resize(8192 + 1000 > bytes.size() ? bytes.size() : 8192 + 1000);
    const FrmContents out = readOk(bytes);
    ASSERT_EQ(out.m_table->columns().size(), 1u);
    EXPECT_EQ(out.m_table->columns()[0]->m_name, "a");
}

// ------------------------------------------------------------------ foreign files

TEST(FrmReaderForeign, EveryTableOfTheOlderServersReads)
{
    GRISOLT_FOREIGN_FIXTURES(dir);
    int files = 0;
    QDirIterator it(dir, {"*.frm"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const Bytes bytes = readBytes(path);
        auto r = FrmReader::read(bytes, path);
        ASSERT_TRUE(r.ok()) << path.toStdString() << ": " << r.error().what;
        ASSERT_FALSE(r->m_isView) << path.toStdString();
        const TableInformation& t = *r->m_table;
        EXPECT_FALSE(r->m_damage.has_value()) << path.toStdString() << ": " << r->m_damage->what;
        EXPECT_EQ(t.columns().size(), t.m_columnCount) << path.toStdString();
        EXPECT_GT(t.m_columnCount, 0) << path.toStdString();
        for (const auto& c : t.columns())
            EXPECT_FALSE(c->m_typeName.isEmpty()) << path.toStdString() << " " << c->m_name.toStdString();
        for (const auto& k : t.m_keyParts) {
            EXPECT_GE(k.m_column, 1) << path.toStdString();
            EXPECT_LE(k.m_column, t.m_columnCount) << path.toStdString();
        }
        ++files;
    }
    EXPECT_GT(files, 150);
}

TEST(FrmReaderForeign, ClassicModelsCustomersInEveryServerVersion)
{
    GRISOLT_FOREIGN_FIXTURES(dir);
    const QStringList want{"customerNumber", "customerName", "contactLastName", "contactFirstName", "phone",
                           "addressLine1", "addressLine2", "city", "state", "postalCode", "country",
                           "salesRepEmployeeNumber", "creditLimit"};
    for (const char* server : {"mysql-5.0", "mysql-5.1", "mysql-5.5", "mariadb-10.0"}) {
        const QString path = dir + "/" + server + "/classicmodels/customers.frm";
        auto r = FrmReader::read(readBytes(path), path);
        ASSERT_TRUE(r.ok()) << server;
        const TableInformation& t = *r->m_table;
        EXPECT_EQ(t.m_name, "customers");
        EXPECT_EQ(t.m_frmVersion, 10u) << server;
        EXPECT_EQ(columnNames(t), want) << server;
        const ColumnInformation* number = column(t, "customerNumber");
        ASSERT_NE(number, nullptr);
        EXPECT_EQ(number->m_typeName, "int");
        EXPECT_EQ(number->m_nullText, "not null");
        EXPECT_EQ(number->m_defaultText, ""); // NOT NULL without a default
        const ColumnInformation* name = column(t, "customerName");
        EXPECT_EQ(name->m_typeName, "varchar");
        EXPECT_EQ(name->m_length, 50u);
        const ColumnInformation* line2 = column(t, "addressLine2");
        EXPECT_EQ(line2->m_nullText, "null");
        EXPECT_EQ(line2->m_defaultText, "NULL");
        const ColumnInformation* limit = column(t, "creditLimit");
        EXPECT_EQ(limit->m_typeName, "decimal");
        EXPECT_EQ(limit->m_length, 10u);
        EXPECT_EQ(limit->m_scale, 2);
        EXPECT_EQ(t.m_keyNames, QStringList({"PRIMARY", "salesRepEmployeeNumber"})) << server;
        ASSERT_EQ(t.m_keyParts.size(), 2u);
        EXPECT_EQ(t.m_keyParts[0].m_kind, "Primary Key");
        EXPECT_EQ(t.m_keyParts[0].m_column, 1);
        EXPECT_EQ(t.m_keyParts[1].m_kind, "Key");
        EXPECT_EQ(t.m_keyParts[1].m_column, 12);
        EXPECT_EQ(r->m_engineName, "InnoDB") << server;
    }
}

TEST(FrmReaderForeign, ScreenLabelsGiveTheNamesWhenTheNamesBlockIsDamaged)
{
    GRISOLT_FOREIGN_FIXTURES(dir);
    const QString path = dir + "/mysql-5.1/classicmodels/customers.frm";
    Bytes bytes = readBytes(path);
    const auto good = FrmReader::read(bytes, path);
    ASSERT_TRUE(good.ok());
    // The names block follows the 13 field records, after the screens.
    const std::size_t form = 8192;
    const std::size_t screens = bytes[form + 260] | bytes[form + 261] << 8;
    ASSERT_GT(screens, 0u);
    const std::size_t names = form + 288 + screens + 13 * 17;
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(names), bytes.begin() + static_cast<std::ptrdiff_t>(names + 40), 0);
    const auto r = FrmReader::read(bytes, path);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(columnNames(*r->m_table), columnNames(*good->m_table));
    // And the other way round: screens gone, the names block still has them.
    Bytes noScreens = readBytes(path);
    std::fill(noScreens.begin() + form + 288, noScreens.begin() + static_cast<std::ptrdiff_t>(form + 288 + screens), 0);
    const auto r2 = FrmReader::read(noScreens, path);
    ASSERT_TRUE(r2.ok());
    EXPECT_EQ(columnNames(*r2->m_table), columnNames(*good->m_table));
}

TEST(FrmReaderForeign, SystemTablesKeepTheirEnumsAndDefaults)
{
    GRISOLT_FOREIGN_FIXTURES(dir);
    const QString path = dir + "/mysql-5.5/mysqlsys/user.frm";
    auto r = FrmReader::read(readBytes(path), path);
    ASSERT_TRUE(r.ok());
    const TableInformation& t = *r->m_table;
    EXPECT_EQ(t.columns()[0]->m_name, "Host");
    EXPECT_EQ(t.columns()[0]->m_typeName, "char");
    const ColumnInformation* select = column(t, "Select_priv");
    ASSERT_NE(select, nullptr);
    EXPECT_EQ(select->m_typeName, "enum");
    EXPECT_EQ(select->m_members, QStringList({"N", "Y"}));
    EXPECT_EQ(select->m_defaultText, "N");
    const ColumnInformation* ssl = column(t, "ssl_type");
    ASSERT_NE(ssl, nullptr);
    EXPECT_EQ(ssl->m_members, QStringList({"", "ANY", "X509", "SPECIFIED"}));
    const ColumnInformation* maxQuestions = column(t, "max_questions");
    EXPECT_EQ(maxQuestions->m_signText, "unsigned");
    EXPECT_EQ(maxQuestions->m_defaultText, "0");
    EXPECT_EQ(t.m_keyNames, QStringList({"PRIMARY"}));
    EXPECT_EQ(r->m_engineName, "MyISAM");
}

} // namespace
