#include "engine/FrmExpressionBlock.h"

#include "tests/support/FixtureSet.h"

#include <QFile>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using engine::FrmExpression;
using engine::FrmExpressionBlock;
using engine::FrmExpressionKind;
using platform::ByteReader;
using platform::DecodeErrorCode;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = FrmExpressionKind;

constexpr std::uint64_t kBase = 5000; // where the block sits in its file
constexpr std::size_t kHeader = 16;

Bytes entry(std::uint8_t kind, std::uint16_t field, const QByteArray& name, const QByteArray& text)
{
    Bytes e{kind, static_cast<std::uint8_t>(field), static_cast<std::uint8_t>(field >> 8),
            static_cast<std::uint8_t>(text.size()), static_cast<std::uint8_t>(text.size() >> 8),
            static_cast<std::uint8_t>(name.size())};
    // Byte by byte: GCC 12 warns of a range insert into this small vector.
    for (const QByteArray* part : {&name, &text})
        for (const char c : *part)
            e.push_back(static_cast<std::uint8_t>(c));
    return e;
}

Bytes block(const std::vector<Bytes>& entries)
{
    Bytes b(kHeader, 0);
    for (const Bytes& e : entries)
        b.insert(b.end(), e.begin(), e.end());
    return b;
}

Bytes cut(Bytes b, std::size_t drop)
{
    b.resize(b.size() - drop);
    return b;
}

struct Want {
    Kind kind;
    std::uint16_t field;
    const char* name;
    const char* text;
};

void expectEntries(const std::vector<FrmExpression>& got, const std::vector<Want>& want, const std::string& label)
{
    ASSERT_EQ(got.size(), want.size()) << label;
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].kind, want[i].kind) << label << " #" << i;
        EXPECT_EQ(got[i].field, want[i].field) << label << " #" << i;
        EXPECT_EQ(got[i].name, QString::fromUtf8(want[i].name)) << label << " #" << i;
        EXPECT_EQ(got[i].text, QString::fromUtf8(want[i].text)) << label << " #" << i;
    }
}

const Bytes kVirtual = entry(0, 1, "v", "`a` + 1");
const Bytes kStored = entry(1, 2, "s", "concat(`b`,'!')");
const Want kVirtualWant{Kind::VirtualColumn, 1, "v", "`a` + 1"};
const Want kStoredWant{Kind::StoredColumn, 2, "s", "concat(`b`,'!')"};
// Where the second entry starts when kVirtual is the first.
const std::uint64_t kSecond = kBase + kHeader + kVirtual.size();

TEST(FrmExpressionBlock, EntriesAndDamage)
{
    const QByteArray longText = "concat('" + QByteArray(300, 'x') + "','€')";
    struct Case {
        const char* name;
        Bytes bytes;
        std::vector<Want> entries;
        std::optional<DecodeErrorCode> code; // nullopt: no damage
        std::uint64_t offset = 0;
    };
    const Case cases[] = {
        {"no block", {}, {}, std::nullopt},
        {"header alone", block({}), {}, std::nullopt},
        {"every kind",
         block({kVirtual, kStored, entry(2, 0, "a", "`c` * 2"), entry(3, 0, "a", "`a` > 0"),
                entry(4, 0xFFFF, "CONSTRAINT_1", "`b` is not null")}),
         {kVirtualWant, kStoredWant, {Kind::Default, 0, "a", "`c` * 2"}, {Kind::ColumnCheck, 0, "a", "`a` > 0"},
          {Kind::TableCheck, 0xFFFF, "CONSTRAINT_1", "`b` is not null"}},
         std::nullopt},
        // The length is two bytes: texts past 255 bytes, and UTF-8 in names and texts.
        {"long UTF-8 text", block({entry(2, 2, "é", longText)}), {{Kind::Default, 2, "é", longText.constData()}},
         std::nullopt},
        {"quotes, escapes and a double minus stay",
         block({entry(0, 1, "v", "'it''s (' + \"\\\") \" + --`a`")}), {{Kind::VirtualColumn, 1, "v", "'it''s (' + \"\\\") \" + --`a`"}},
         std::nullopt},
        {"header cut short", Bytes(10, 0), {}, DecodeErrorCode::OutOfRange, kBase},
        {"entry header cut short", cut(block({kVirtual, kStored}), kStored.size() - 2), {kVirtualWant},
         DecodeErrorCode::OutOfRange, kSecond + 1},
        {"text past the end", cut(block({kVirtual, kStored}), 1), {kVirtualWant}, DecodeErrorCode::OutOfRange,
         kSecond + 6 + 1},
        {"name past the end", block({kVirtual, {4, 0xFF, 0xFF, 1, 0, 200, 'x'}}), {kVirtualWant},
         DecodeErrorCode::OutOfRange, kSecond + 6},
        // An unknown kind ends the walk: the entries after it are not trusted.
        {"unknown kind", block({kVirtual, entry(9, 0, "x", "1"), kStored}), {kVirtualWant}, DecodeErrorCode::Corrupt,
         kSecond},
        // A bad entry whose lengths hold is left out; the walk goes on.
        {"field beyond the columns", block({kVirtual, entry(2, 3, "x", "1"), kStored}), {kVirtualWant, kStoredWant},
         DecodeErrorCode::Corrupt, kSecond},
        {"empty text", block({kVirtual, entry(1, 2, "s", ""), kStored}), {kVirtualWant, kStoredWant},
         DecodeErrorCode::Corrupt, kSecond},
        {"closes its parentheses early", block({kVirtual, entry(0, 2, "s", "1) virtual,x int as (1")}),
         {kVirtualWant}, DecodeErrorCode::Corrupt, kSecond},
        {"unclosed quote", block({kVirtual, entry(0, 2, "s", "concat('a)")}), {kVirtualWant},
         DecodeErrorCode::Corrupt, kSecond},
        {"statement separator", block({kVirtual, entry(2, 2, "s", "1;drop table t")}), {kVirtualWant},
         DecodeErrorCode::Corrupt, kSecond},
        {"comment hides a parenthesis", block({kVirtual, entry(2, 2, "s", "(1 /* ) */")}), {kVirtualWant},
         DecodeErrorCode::Corrupt, kSecond},
        {"line comment", block({kVirtual, entry(2, 2, "s", "1 -- )")}), {kVirtualWant}, DecodeErrorCode::Corrupt,
         kSecond},
    };
    for (const Case& c : cases) {
        const auto list = FrmExpressionBlock::read(ByteReader(c.bytes, kBase), 3);
        expectEntries(list.entries, c.entries, c.name);
        ASSERT_EQ(list.damage.has_value(), c.code.has_value()) << c.name << ": " << (list.damage ? list.damage->what : "");
        if (c.code) {
            EXPECT_EQ(list.damage->code, *c.code) << c.name << ": " << list.damage->what;
            EXPECT_EQ(list.damage->offset, c.offset) << c.name << ": " << list.damage->what;
        }
    }
}

TEST(FrmExpressionBlock, TheFirstDamageIsReported)
{
    const Bytes b = cut(block({entry(2, 7, "x", "1"), kVirtual}), 1);
    const auto list = FrmExpressionBlock::read(ByteReader(b, kBase), 3);
    ASSERT_TRUE(list.damage.has_value());
    EXPECT_EQ(list.damage->code, DecodeErrorCode::Corrupt);
    EXPECT_EQ(list.damage->offset, kBase + kHeader);
    EXPECT_TRUE(list.entries.empty());
}

// The block of the fixture table `defaults`, as MariaDB 10.11 wrote it: the
// last bytes of the file, their length at form position + 286.
TEST(FrmExpressionBlock, FixtureDefinitionsGiveTheirExpressions)
{
    for (const char* set : {"legacy", "default"}) {
        for (const char* db : {"fx_myisam", "fx_innodb_sys", "fx_innodb_ibd"}) {
            const QString path = testsupport::FixtureSet::dataFolder(QLatin1String(set))
                + QStringLiteral("/%1/defaults.frm").arg(QLatin1String(db));
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
            const QByteArray all = f.readAll();
            const Bytes bytes(all.begin(), all.end());
            ByteReader file(bytes);
            file.seek(4);
            file.seek(64 + file.u16le());
            file.seek(file.u32le() + 286);
            const std::uint16_t length = file.u16le();
            ASSERT_TRUE(file) << path.toStdString();
            ASSERT_GT(length, 0u);
            const auto list = FrmExpressionBlock::read(file.sub(bytes.size() - length, length), 24);
            EXPECT_FALSE(list.damage.has_value()) << path.toStdString();
            expectEntries(list.entries,
                          {{Kind::Default, 17, "expr", "`n_int` * 2"},
                           {Kind::VirtualColumn, 18, "gen_v", "`n_int` + 1"},
                           {Kind::StoredColumn, 19, "gen_s", "concat(`s`,'!')"}},
                          path.toStdString());
        }
    }
}

} // namespace
