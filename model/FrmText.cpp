#include "model/FrmText.h"

#include "model/Collations.h"

#include <QByteArray>
#include <QStringDecoder>

#include <algorithm>

namespace engine {

namespace {

QString decode(QStringConverter::Encoding fallbackless, std::span<const std::uint8_t> bytes)
{
    QStringDecoder decoder(fallbackless);
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five unused
// bytes keep their Latin-1 control characters, as the Windows converter does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

QString FrmText::windows1252(std::span<const std::uint8_t> bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const std::uint8_t b : bytes)
        text.append(QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b)));
    return text;
}

bool FrmText::isUtf8Collation(std::uint16_t collation)
{
    return Collations::IsUtf8(collation);
}

QString FrmText::columnText(std::span<const std::uint8_t> bytes, std::uint16_t collation)
{
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    const auto text = bytes.first(static_cast<std::size_t>(end - bytes.begin()));
    return isUtf8Collation(collation) ? decode(QStringConverter::Utf8, text) : windows1252(text);
}

QString FrmText::metadataText(std::span<const std::uint8_t> bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decoder.hasError())
        return windows1252(bytes);
    return text;
}

} // namespace engine
