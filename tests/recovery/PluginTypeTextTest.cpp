#include "recovery/PluginTypeText.h"

#include <QByteArray>

#include <gtest/gtest.h>

using namespace engine;
using recovery::PluginTypeText;

namespace {

std::string textOf(ColumnTypeCode code, const char* hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    const auto text = PluginTypeText::ascii(
        code, std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
    return text ? text->toString().toStdString() : "error: " + text.error().what;
}

// Stored bytes as MariaDB 10.11 wrote them (hexdumps of its .MYD files) and
// the text its SELECT gave; the fixture's tables hold them too. The servers
// before the fix of 10.11.5 turn every UUID around.
TEST(PluginTypeText, StoredBytesGiveTheServersText)
{
    const struct {
        const char* name;
        ColumnTypeCode code;
        const char* stored;
        const char* text;
    } cases[] = {
        {"uuid v1 turned", TYPE_UUID, "5b8c656024db95641026baba6ccd780c", "6ccd780c-baba-1026-9564-5b8c656024db"},
        {"uuid v4 turned", TYPE_UUID, "556642440000a45642d3e89b123e4567", "123e4567-e89b-42d3-a456-556642440000"},
        {"uuid v1 variant 110 turned", TYPE_UUID, "426614174000c45612d3e89b123e4567",
         "123e4567-e89b-12d3-c456-426614174000"},
        {"uuid v7 as written", TYPE_UUID, "01890a5dac96774bbcceb302099a8057", "01890a5d-ac96-774b-bcce-b302099a8057"},
        {"uuid v1 variant 0 as written", TYPE_UUID, "11223344556617887899aabbccddeeff",
         "11223344-5566-1788-7899-aabbccddeeff"},
        {"uuid version 0 with bits, variant 1 turned", TYPE_UUID, "aabbccddeeff88990788556611223344",
         "11223344-5566-0788-8899-aabbccddeeff"},
        {"uuid version byte 00 as written", TYPE_UUID, "11223344556600888899aabbccddeeff",
         "11223344-5566-0088-8899-aabbccddeeff"},
        {"uuid nil", TYPE_UUID, "00000000000000000000000000000000", "00000000-0000-0000-0000-000000000000"},
        {"uuid all ones", TYPE_UUID, "ffffffffffffffffffffffffffffffff", "ffffffff-ffff-ffff-ffff-ffffffffffff"},
        {"old uuid v7 turned too", TYPE_UUID_ALWAYS_TURNED, "b302099a8057bcce774bac9601890a5d",
         "01890a5d-ac96-774b-bcce-b302099a8057"},
        {"inet6 gap inside", TYPE_INET6, "20010db8000000000000ff0000428329", "2001:db8::ff00:42:8329"},
        {"inet6 loopback", TYPE_INET6, "00000000000000000000000000000001", "::1"},
        {"inet6 all zero", TYPE_INET6, "00000000000000000000000000000000", "::"},
        {"inet6 single zero group", TYPE_INET6, "00010000000200030004000500060007", "1::2:3:4:5:6:7"},
        {"inet6 first of the longest runs", TYPE_INET6, "00010000000000020000000000000003", "1:0:0:2::3"},
        {"inet6 gap at the end", TYPE_INET6, "00010002000300040005000600000000", "1:2:3:4:5:6::"},
        {"inet6 ipv4-mapped", TYPE_INET6, "00000000000000000000ffffc0000280", "::ffff:192.0.2.128"},
        {"inet6 ipv4-compatible", TYPE_INET6, "00000000000000000000000001020304", "::1.2.3.4"},
        {"inet6 mapped zero address", TYPE_INET6, "00000000000000000000ffff00000000", "::ffff:0.0.0.0"},
        {"inet4", TYPE_INET4, "c0a8010a", "192.168.1.10"},
        {"inet4 extremes", TYPE_INET4, "ff000000", "255.0.0.0"},
        {"inet6 cut short", TYPE_INET6, "20010db8", "error: a value of type 178 in 4 bytes"},
        {"not such a type", TYPE_INT, "00000001", "error: a value of type 3 in 4 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(textOf(c.code, c.stored), c.text);
    }
}

} // namespace
