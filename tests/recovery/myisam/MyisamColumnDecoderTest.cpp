// Blob and text values of a MyISAM record: the preview shows a long MEDIUM or
// LONG one as its placeholder; read whole, every value keeps all its bytes.
#include "model/ColumnInformation.h"
#include "recovery/myisam/MyisamColumnDecoder.h"
#include "recovery/myisam/MyisamRecord.h"
#include "recovery/myisam/MyisamRowLayout.h"

#include <gtest/gtest.h>

namespace {

using recovery::myisam::MyisamColumnDecoder;
using Use = MyisamColumnDecoder::Use;

TEST(MyisamColumnDecoder, LargeBlobsAndTextsShowTheirPlaceholderInThePreview)
{
    const QString large = QStringLiteral("Large data of longblob");
    const struct {
        engine::ColumnTypeCode code;
        std::uint8_t lengthBytes;
        std::size_t size;
        bool placeholder; // in the preview
    } cases[] = {
        {engine::TYPE_MEDIUMTEXT, 3, 300, true},
        {engine::TYPE_LONGTEXT, 4, 300, true},
        {engine::TYPE_MEDIUMBLOB, 3, 300, true},
        {engine::TYPE_LONGBLOB, 4, 300, true},
        {engine::TYPE_MEDIUMTEXT, 3, 256, false},
        {engine::TYPE_LONGBLOB, 4, 256, false},
        {engine::TYPE_TEXT, 2, 300, false},
        {engine::TYPE_BLOB, 2, 300, false},
        {engine::TYPE_TINYTEXT, 1, 255, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + " of " + std::to_string(c.size) + " bytes");
        engine::ColumnInformation column;
        column.m_name = QStringLiteral("v");
        column.m_typeCode = c.code;
        column.m_charset = 8; // latin1
        recovery::myisam::MyisamColumnLayout layout;
        layout.m_column = &column;
        layout.m_fieldDef = 0;
        layout.m_length = c.lengthBytes + 8u;
        layout.m_blobLengthBytes = c.lengthBytes;
        // The record image keeps the length and a pointer; the bytes follow
        // in the packed record.
        recovery::myisam::MyisamRecord record;
        record.m_image.assign(layout.m_length, 0);
        for (unsigned i = 0; i < c.lengthBytes; ++i)
            record.m_image[i] = static_cast<std::uint8_t>(c.size >> (8 * i));
        for (std::size_t i = 0; i < c.size; ++i)
            record.m_packed.push_back(static_cast<std::uint8_t>('a' + i % 26));
        record.m_blobs = {{0, c.size}};
        const QByteArray bytes(reinterpret_cast<const char*>(record.m_packed.data()),
                               static_cast<qsizetype>(record.m_packed.size()));

        const auto shown = MyisamColumnDecoder::decode(layout, record, Use::Preview);
        ASSERT_TRUE(shown) << shown.error().what;
        EXPECT_EQ(shown->text(), c.placeholder ? large : QString::fromLatin1(bytes));
        const auto whole = MyisamColumnDecoder::decode(layout, record, Use::Whole);
        ASSERT_TRUE(whole) << whole.error().what;
        EXPECT_EQ(whole->bytes(), bytes);
        EXPECT_EQ(whole->text(), QString::fromLatin1(bytes));
    }
}

} // namespace
