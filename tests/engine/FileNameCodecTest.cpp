#include "engine/FileNameCodec.h"

#include <gtest/gtest.h>

using engine::FileNameCodec;

namespace {

struct TableEntry {
    char16_t codePoint;
    char code[3];
};

// The same table the codec is built from, as the server wrote it.
constexpr TableEntry kTable[] = {
#include "engine/FileNameTable.inc"
};

bool keptAsIs(char16_t u)
{
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_';
}

TEST(FileNameCodec, EveryTwoCharacterCodeGoesBothWays)
{
    ASSERT_GT(std::size(kTable), 1000u);
    for (const TableEntry& entry : kTable) {
        const QString name(QChar(entry.codePoint));
        const QString file = QLatin1Char('@') + QLatin1String(entry.code, 2);
        EXPECT_EQ(FileNameCodec::Encode(name), file) << unsigned(entry.codePoint);
        EXPECT_EQ(FileNameCodec::Decode(file), name) << unsigned(entry.codePoint);
    }
}

// Surrogates are left out: the server refuses characters beyond the BMP.
TEST(FileNameCodec, EveryBmpCharacterRoundTripsInOneOfTheThreeForms)
{
    for (unsigned u = 1; u <= 0xFFFF; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        const QString name(QChar(static_cast<char16_t>(u)));
        const QString file = FileNameCodec::Encode(name);
        EXPECT_EQ(FileNameCodec::Decode(file), name) << u;
        if (keptAsIs(static_cast<char16_t>(u)))
            EXPECT_EQ(file, name) << u;
        else
            EXPECT_TRUE(file.size() == 3 || file == QStringLiteral("@%1").arg(static_cast<uint>(u), 4, 16, QLatin1Char('0')))
                << u;
    }
}

// Names and the file names the server 10.11 gave them.
TEST(FileNameCodec, KnownNames)
{
    const struct {
        const char* name;
        const char* file;
    } rows[] = {
        {"plain_Name09", "plain_Name09"},
        {"fx names", "fx@0020names"},
        {"it's", "it@0027s"},
        {"\xe2\x82\xac", "@20ac"},                                    // €
        {"caf\xc3\xa9", "caf@0p"},                                   // café
        {"donn\xc3\xa9" "es", "donn@0pes"},                          // données
        {"\xce\xa9\xce\xbc\xce\xad\xce\xb3\xce\xb1", "@7P@6w@6h@6n@6l"}, // Ωμέγα
        {"\xd0\x96\xd1\x83\xd0\xba", "@M0@z0@q0"},                   // Жук
        {"\xe4\xb8\xad\xe6\x96\x87", "@4e2d@6587"},                  // 中文
        // Ⅻ, Ⓐ, full-width Ａ and ｚ, €: codes that start or end with '@'.
        {"\xe2\x85\xab \xe2\x92\xb6 \xef\xbc\xa1\xef\xbd\x9a \xe2\x82\xac", "@R9@0020@@A@0020@A@@z@@0020@20ac"},
        // ĳ, ǅ, ﬁ, ß, Ÿ
        {"\xc4\xb3 \xc7\x85 \xef\xac\x81 \xc3\x9f \xc5\xb8", "@2x@0020@01c5@0020@fb01@0020@1j@0020@1R"},
    };
    for (const auto& row : rows) {
        const QString name = QString::fromUtf8(row.name);
        EXPECT_EQ(FileNameCodec::Encode(name), QLatin1String(row.file)) << row.file;
        EXPECT_EQ(FileNameCodec::Decode(QLatin1String(row.file)), name) << row.file;
    }
}

// What no server writes is kept, so a damaged or foreign name still shows.
TEST(FileNameCodec, UnknownSequencesAreKept)
{
    const struct {
        const char* file;
        const char* name;
    } rows[] = {
        {"@", "@"},
        {"a@", "a@"},
        {"@0", "@0"},
        {"@00", "@00"},
        {"@002", "@002"},
        {"@zz", "@zz"},
        {"@~123x", "@~123x"},
        {"@~0G", "@~0G"},
        {"@0G@", "\xc3\x80@"},        // À, then a lone '@'
        {"@0041@00", "A@00"},
        {"@00C9", "\xc3\x89"},        // upper-case hex is read too
    };
    for (const auto& row : rows)
        EXPECT_EQ(FileNameCodec::Decode(QLatin1String(row.file)), QString::fromUtf8(row.name)) << row.file;
}

} // namespace
