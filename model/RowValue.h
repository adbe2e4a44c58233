#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace engine {

// One decoded column value of a record, as both outputs need it: text() is
// what the preview shows ("null" for SQL NULL); bytes() is what a repair
// sends to the server: the stored bytes for character, binary, BIT and
// spatial columns (RowWriter::SendsStoredBytes), the UTF-8 text otherwise.
// A decoder builds one of the two; the other is derived on first use, so a
// repair never pays for the preview's text nor the preview for the bytes.
class RowValue {
public:
    // Derives the shown text from the bytes; `tag` is the decoder's own
    // parameter (a collation, say).
    using ShowFunction = QString (*)(const QByteArray& bytes, std::uint16_t tag);

    bool m_isNull = false;

    RowValue() = default;

    static RowValue Null();
    static RowValue Text(const QString& text);
    static RowValue Stored(const QByteArray& bytes, const QString& shown);
    // An ASCII text (numbers, dates): one buffer serves as text and bytes.
    static RowValue Ascii(const char* chars, std::size_t size);
    // Stored bytes whose text is made by `show` only when someone asks.
    static RowValue Stored(const QByteArray& bytes, ShowFunction show, std::uint16_t tag = 0);

    const QString& text() const;
    const QByteArray& bytes() const;

private:
    mutable QString m_text;
    mutable QByteArray m_bytes;
    ShowFunction m_show = nullptr;  // set while m_text is still to be made
    std::uint16_t m_tag = 0;
    mutable bool m_hasText = false;
    mutable bool m_hasBytes = false;
};

} // namespace engine
