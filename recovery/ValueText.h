#pragma once

#include "model/ColumnTypeCode.h"
#include "model/RowValue.h"
#include "platform/Result.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace recovery {

// A short ASCII text (a number, a date, a decimal) built on the stack, so
// that a decoder makes one string of it at the end instead of many on the way.
class ShortText {
public:
    static constexpr std::size_t kCapacity = 96;
    // Characters past the capacity are dropped; callers size their texts
    // below it (the widest, a DECIMAL(65), takes 67).
    void append(char c)
    {
        if (m_size < kCapacity)
            m_chars[m_size++] = c;
    }
    void append(const char* chars, std::size_t size)
    {
        const std::size_t n = size < kCapacity - m_size ? size : kCapacity - m_size;
        std::copy(chars, chars + n, m_chars + m_size);
        m_size += n;
    }
    // value in decimal digits, zero-padded on the left to `width`.
    void appendNumber(std::uint64_t value, unsigned width = 0);
    const char* data() const { return m_chars; }
    std::size_t size() const { return m_size; }
    QString toString() const { return QString::fromLatin1(m_chars, static_cast<qsizetype>(m_size)); }

private:
    char m_chars[kCapacity];
    std::size_t m_size = 0;
};

// What the server's text of a number depends on besides the value: ZEROFILL
// pads it on the left with zeros to the display width, FLOAT(M,D) and
// DOUBLE(M,D) show exactly D digits after the point.
struct NumberColumn {
    engine::ColumnTypeCode code = 0;
    bool zerofill = false;
    std::uint32_t length = 0; // display width; DECIMAL: precision
    std::uint16_t scale = 0;  // digits after the point; FLOAT, DOUBLE: 0 = as many as the value needs

    // From a column description of either engine (a type code, sign text,
    // length and scale).
    template <class Column>
    static NumberColumn of(const Column& c)
    {
        return {c.m_typeCode, c.m_signText.endsWith(QLatin1String("zerofill")), c.m_length, c.m_scale};
    }
};

// Value texts shared by the row readers of both engines. Each function takes
// a number or bytes already taken out of the record (the engines differ in
// byte order and sign handling of the plain integer forms, not in these
// texts) and returns the text the server prints for the value, so that a
// preview shows what a SELECT would and a repair sends text the server reads
// back to the same value.
class ValueText {
public:
    // Integers of every width: the caller has already removed any storage
    // bias; signExtend widens a two's complement number of `bytes` bytes.
    static std::int64_t signExtend(std::uint64_t raw, unsigned bytes);
    static QString signedText(std::int64_t value);
    static QString unsignedText(std::uint64_t value);
    static ShortText signedAscii(std::int64_t value);
    static ShortText unsignedAscii(std::uint64_t value);

    // DOUBLE as the server prints it: the shortest digits that read back to
    // the same double, fixed notation for decimal exponents -14..15 (and for
    // longer numbers whose digits all lie before the point), else "1.5e-16".
    static QString doubleText(double value);
    static ShortText doubleAscii(double value);
    // FLOAT as the server prints it: six significant digits, same layout.
    static QString floatText(float value);
    // A FLOAT text that reads back to the same float and never lies beyond
    // it (3.4028234663852886e38 for the largest float, which six or nine
    // digits would round past the range): what a repair sends.
    static QString floatExactText(float value);
    static ShortText floatAscii(float value);
    static ShortText floatExactAscii(float value);

    // Bytes of a binary DECIMAL(precision, scale).
    static std::uint32_t decimalStoredSize(std::uint32_t precision, std::uint32_t scale);
    // The server's text of a binary DECIMAL: no leading zeros, "0" before the
    // point of a value below 1, exactly `scale` digits after it. Damaged
    // bytes (a size that does not match, a digit group above 999999999):
    // an error naming `offset`.
    static platform::Result<QString> decimalText(std::span<const std::uint8_t> bytes, std::uint32_t precision,
                                                 std::uint32_t scale, std::uint64_t offset = 0);
    static platform::Result<ShortText> decimalAscii(std::span<const std::uint8_t> bytes, std::uint32_t precision,
                                                    std::uint32_t scale, std::uint64_t offset = 0);

    // DATE: day in bits 0-4, month 5-8, year from bit 9 ("YYYY-MM-DD").
    static QString dateText(std::uint32_t packed);
    // The older DATETIME: the number YYYYMMDDhhmmss.
    static QString datetimeText(std::uint64_t number);
    // The older TIME: the signed number [-]HHHMMSS ("-838:59:59").
    static QString timeText(std::int64_t number);
    // TIMESTAMP: seconds since 1970-01-01 UTC, shown in UTC; 0 is the zero
    // timestamp "0000-00-00 00:00:00". decimals 0..6 digits of micros follow.
    static QString timestampText(std::uint32_t seconds, std::uint32_t micros = 0, unsigned decimals = 0);
    // YEAR: 0 = "0000", else 1900 + the byte.
    static QString yearText(std::uint8_t stored);
    // A YEAR column of display width 2 shows the last two digits; a repair
    // sends all four, which read back to the same year ("00" would be 2000).
    static engine::RowValue yearValue(std::uint8_t stored, std::uint32_t width);
    // The same texts on the stack.
    static ShortText dateAscii(std::uint32_t packed);
    static ShortText datetimeAscii(std::uint64_t number);
    static ShortText timeAscii(std::int64_t number);
    static ShortText timestampAscii(std::uint32_t seconds, std::uint32_t micros = 0, unsigned decimals = 0);

    // The temporal forms that both engines keep as the same big-endian bytes:
    // TIMESTAMP2, DATETIME2 and TIME2 (the 5.6 formats, MariaDB's default),
    // and MariaDB's own TIMESTAMP(n), DATETIME(n) and TIME(n) of the older
    // format (codes 7, 12 and 11 with decimals from the column's length).
    // Stored size for (code, length); 0 = not one of these forms.
    static std::uint32_t bigEndianTemporalSize(engine::ColumnTypeCode code, std::uint32_t length);
    // Their text; bytes of the wrong size or fields out of range: an error.
    static platform::Result<QString> bigEndianTemporalText(engine::ColumnTypeCode code, std::uint32_t length,
                                                           std::span<const std::uint8_t> bytes,
                                                           std::uint64_t offset = 0);
    static platform::Result<ShortText> bigEndianTemporalAscii(engine::ColumnTypeCode code, std::uint32_t length,
                                                              std::span<const std::uint8_t> bytes,
                                                              std::uint64_t offset = 0);

    // A number as both outputs need it: a repair sends `exact`, which reads
    // back to the stored value; the preview shows the server's text, `shown`
    // (empty: `exact` itself), zero-filled when the column is ZEROFILL.
    static engine::RowValue numberValue(const NumberColumn& column, const ShortText& exact,
                                        const QString& shown = QString());
    static platform::Result<engine::RowValue> numberValue(const NumberColumn& column,
                                                          const platform::Result<ShortText>& exact);
    // FLOAT (the value of its binary32 bits) or DOUBLE, by column.code.
    static engine::RowValue floatingValue(const NumberColumn& column, double value);
    // The old DECIMAL keeps its text as the server wrote it, padded with
    // blanks in front; the server shows it without them.
    static QString oldDecimalText(std::span<const std::uint8_t> bytes);

    // ENUM: member `index` counted from 1; 0 or an index past the members
    // gives the empty text (the server's value for an invalid entry).
    static QString enumText(std::uint64_t index, const QStringList& members);
    // SET: the members of the set bits, in member order, joined by ",".
    // Bits past the member list are left out.
    static QString setText(std::uint64_t bits, const QStringList& members);

    // Stored character bytes as text, by the column's collation number:
    // UTF-8 for utf8mb3/utf8mb4, UTF-16/UTF-32 for ucs2/utf16/utf32, else
    // Windows-1252 (the server's latin1, and any single-byte or unknown set).
    // Every byte counts: zero bytes inside a value are kept.
    static QString characterText(std::span<const std::uint8_t> bytes, std::uint16_t collation);
    static bool isUtf8Collation(std::uint16_t collation);
    // The same two as RowValue::ShowFunction, for texts made only when shown:
    // characterText of the bytes, and the text of a binary value (BINARY,
    // VARBINARY, the BLOBs, geometry): its bytes up to the first zero byte,
    // one character each (Windows-1252).
    static QString storedCharacterText(const QByteArray& bytes, std::uint16_t collation);
    static QString binaryText(const QByteArray& bytes, std::uint16_t unused);
};

} // namespace recovery
