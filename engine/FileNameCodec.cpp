#include "engine/FileNameCodec.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace engine {

namespace {

struct TwoCharacterCode {
    char16_t codePoint;
    char code[3];
};

// Sorted by code point.
constexpr TwoCharacterCode kTwoCharacterCodes[] = {
#include "engine/FileNameTable.inc"
};

// Both characters of a code lie in '0'..'z' (digits, '@', letters).
constexpr char16_t kCodeFirst = u'0';
constexpr char16_t kCodeLast = u'z';
constexpr int kCodeSpan = kCodeLast - kCodeFirst + 1;

int codeIndex(QChar a, QChar b)
{
    const char16_t x = a.unicode();
    const char16_t y = b.unicode();
    if (x < kCodeFirst || x > kCodeLast || y < kCodeFirst || y > kCodeLast)
        return -1;
    return (x - kCodeFirst) * kCodeSpan + (y - kCodeFirst);
}

// Two characters -> code point, 0 where the server has no such code.
const std::array<char16_t, kCodeSpan * kCodeSpan>& decodeTable()
{
    static const auto table = [] {
        std::array<char16_t, kCodeSpan * kCodeSpan> t{};
        for (const TwoCharacterCode& entry : kTwoCharacterCodes)
            t[codeIndex(QLatin1Char(entry.code[0]), QLatin1Char(entry.code[1]))] = entry.codePoint;
        return t;
    }();
    return table;
}

const TwoCharacterCode* findCode(char16_t codePoint)
{
    const auto end = std::end(kTwoCharacterCodes);
    const auto it = std::lower_bound(std::begin(kTwoCharacterCodes), end, codePoint,
        [](const TwoCharacterCode& entry, char16_t u) { return entry.codePoint < u; });
    return it != end && it->codePoint == codePoint ? it : nullptr;
}

int hexValue(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        return c.unicode() - 'a' + 10;
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    return -1;
}

// The character written at `at` (just after an '@') and how many characters
// it took, or 0 if it is neither form.
qsizetype decodeAt(const QString& s, qsizetype at, QChar& out)
{
    if (at + 2 <= s.size()) {
        const int index = codeIndex(s[at], s[at + 1]);
        if (index >= 0 && decodeTable()[index] != 0) {
            out = QChar(decodeTable()[index]);
            return 2;
        }
    }
    if (at + 4 > s.size())
        return 0;
    int code = 0;
    for (qsizetype k = 0; k < 4; ++k) {
        const int digit = hexValue(s[at + k]);
        if (digit < 0)
            return 0;
        code = code * 16 + digit;
    }
    out = QChar(static_cast<char16_t>(code));
    return 4;
}

} // namespace

QString FileNameCodec::Decode(const QString& fileName)
{
    QString out;
    out.reserve(fileName.size());
    for (qsizetype i = 0; i < fileName.size(); ++i) {
        QChar c;
        const qsizetype used = fileName[i] == QLatin1Char('@') ? decodeAt(fileName, i + 1, c) : 0;
        if (used > 0) {
            out += c;
            i += used;
        } else {
            out += fileName[i];
        }
    }
    return out;
}

QString FileNameCodec::Encode(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_')
            out += c;
        else if (const TwoCharacterCode* entry = findCode(u))
            out += QLatin1Char('@') + QLatin1String(entry->code, 2);
        else
            out += QStringLiteral("@%1").arg(static_cast<uint>(u), 4, 16, QLatin1Char('0'));
    }
    return out;
}

} // namespace engine
