#include "engine/FrmDataTypeNames.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using engine::FrmDataTypeNames;
using platform::ByteReader;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kBase = 64;

// The entry MariaDB 10.11 wrote for (id INT, u UUID, i6 INET6, i4 INET4),
// then entries the same server would write for field numbers and names
// beyond one byte.
TEST(FrmDataTypeNames, NamesAreReadByFieldUntilTheEntryEndsOrBreaks)
{
    const Bytes written{1, 4, 'u', 'u', 'i', 'd', 2, 5, 'i', 'n', 'e', 't', '6', 3, 5, 'i', 'n', 'e', 't', '4'};
    Bytes wide{252, 0x2C, 0x01, 4, 'u', 'u', 'i', 'd'}; // field 300
    Bytes longName{7, 252, 0x00, 0x01};
    longName.resize(longName.size() + 256, 'x');
    const struct {
        const char* name;
        Bytes value;
        std::map<std::uint32_t, QByteArray> names;
        bool damaged;
        std::uint64_t damageOffset;
    } cases[] = {
        {"as the server wrote it", written, {{1, "uuid"}, {2, "inet6"}, {3, "inet4"}}, false, 0},
        {"a field number of two bytes", wide, {{300, "uuid"}}, false, 0},
        {"a name of 256 bytes", longName, {{7, QByteArray(256, 'x')}}, false, 0},
        {"a name past the entry", Bytes{1, 4, 'u', 'u', 'i', 'd', 2, 9, 'i', 'n'}, {{1, "uuid"}}, true, kBase + 6},
        {"a number cut short", Bytes{1, 4, 'u', 'u', 'i', 'd', 252, 1}, {{1, "uuid"}}, true, kBase + 6},
        {"the null marker as a number", Bytes{251, 4, 'u', 'u', 'i', 'd'}, {}, true, kBase},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto got = FrmDataTypeNames::read(ByteReader(c.value, kBase));
        EXPECT_EQ(got.names, c.names);
        ASSERT_EQ(got.damage.has_value(), c.damaged);
        if (c.damaged) {
            EXPECT_EQ(got.damage->offset, c.damageOffset);
        }
    }
}

} // namespace
