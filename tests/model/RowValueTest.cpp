#include "model/RowValue.h"

#include <gtest/gtest.h>

namespace {

using engine::RowValue;

QString upper(const QByteArray& bytes, std::uint16_t tag)
{
    return QString::fromLatin1(bytes).toUpper() + QString::number(tag);
}

// Each factory keeps one form; the other must come out as the decoders
// used to build it eagerly.
TEST(RowValueTest, TheMissingFormIsDerivedOnDemand)
{
    struct Case {
        const char* name;
        RowValue value;
        QString text;
        QByteArray bytes;
        bool isNull;
    };
    const Case cases[] = {
        {"null", RowValue::Null(), QStringLiteral("null"), QByteArray(), true},
        {"text", RowValue::Text(QStringLiteral("caf\u00e9")), QStringLiteral("caf\u00e9"), QByteArray("caf\xc3\xa9"), false},
        {"ascii", RowValue::Ascii("-12.50", 6), QStringLiteral("-12.50"), QByteArray("-12.50"), false},
        {"stored", RowValue::Stored(QByteArray("\x0f\xff", 2), QStringLiteral("4095")), QStringLiteral("4095"),
         QByteArray("\x0f\xff", 2), false},
        {"shown later", RowValue::Stored(QByteArray("ab"), &upper, 7), QStringLiteral("AB7"), QByteArray("ab"), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value.text(), c.text) << c.name;
        EXPECT_EQ(c.value.bytes(), c.bytes) << c.name;
        EXPECT_EQ(c.value.m_isNull, c.isNull) << c.name;
        const RowValue copy = c.value;  // a copy made after the cache was filled
        EXPECT_EQ(copy.text(), c.text) << c.name;
    }
}

} // namespace
