// Values an InnoDB record keeps off-page: the preview shows its type's
// placeholder without reading the chain; a repair reads the chain.
#include "platform/DataFile.h"
#include "recovery/innodb/InnodbBlobReader.h"
#include "recovery/innodb/InnodbRecordDecoder.h"
#include "tests/recovery/innodb/InnodbTestPages.h"

#include <gtest/gtest.h>

namespace {

using namespace recovery::innodb;

TEST(InnodbRecordDecoder, OffPageValuesShowTheirPlaceholderWithoutReadingTheChain)
{
    const QString blob = QStringLiteral("Large data of Blob or Tinyblob or Mediumblob or Longblob");
    const QString text = QStringLiteral("Large data of text  or Mediumtext or Longtext");
    const struct {
        engine::ColumnTypeCode code;
        QString placeholder;
    } cases[] = {
        {engine::TYPE_VARCHAR, QStringLiteral("Large data of Varchar")},
        {engine::TYPE_VAR_STRING, QStringLiteral("Large data of Varchar")},
        {engine::TYPE_TINYTEXT, QStringLiteral("Large data of Tinytext")},
        {engine::TYPE_VARBINARY, QStringLiteral("Large data of Varbinary")},
        {engine::TYPE_TEXT, text},
        {engine::TYPE_MEDIUMTEXT, text},
        {engine::TYPE_LONGTEXT, text},
        {engine::TYPE_BLOB, blob},
        {engine::TYPE_TINYBLOB, blob},
        {engine::TYPE_MEDIUMBLOB, blob},
        {engine::TYPE_LONGBLOB, blob},
    };
    // The chain's file is not even open: a read of it would fail.
    const platform::DataFile closed;
    for (const RecordFormat format : {RecordFormat::Compact, RecordFormat::Redundant}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(c.code));
            engine::tempColInfo column;
            column.m_name = QStringLiteral("v");
            column.m_typeCode = c.code;
            column.m_length = 70000;
            column.m_nullText = QStringLiteral("null");
            InnodbTableLayout layout;
            layout.format = format;
            layout.columns = {column};
            // DYNAMIC keeps only the reference; COMPACT and REDUNDANT a 768-byte prefix before it.
            for (const std::uint16_t local : {std::uint16_t{kExternRefSize}, std::uint16_t{768 + kExternRefSize}}) {
                innodbtest::PageBuilder builder;
                builder.format = format;
                innodbtest::Bytes bytes = builder.build();
                // The reference: space 0, first BLOB page 3, 70,000 bytes off-page.
                const std::size_t reference = 200 + local - kExternRefSize;
                innodbtest::put32(bytes, reference + 4, 3);
                innodbtest::put32(bytes, reference + 8, 38);
                innodbtest::put32(bytes, reference + 16, 70000);
                auto page = InnodbPage::parse(bytes, 0);
                ASSERT_TRUE(page) << page.error().what;
                const FieldSlice slice{200, local, false, true};
                InnodbRecordDecoder::Options preview;
                preview.offPagePlaceholders = true;
                auto shown = InnodbRecordDecoder(layout, closed, preview).value(*page, slice, 0);
                ASSERT_TRUE(shown) << shown.error().what;
                EXPECT_EQ(shown->text(), c.placeholder);
                EXPECT_FALSE(shown->m_isNull);
                // Read whole, as a repair reads it, the same field follows its
                // reference, to a page the file cannot give.
                auto whole = InnodbRecordDecoder(layout, closed, {}).value(*page, slice, 0);
                ASSERT_FALSE(whole);
                EXPECT_NE(whole.error().what.find("off-page chain names page 3"), std::string::npos)
                    << whole.error().what;
            }
        }
    }
}

} // namespace
