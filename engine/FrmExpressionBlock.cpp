#include "engine/FrmExpressionBlock.h"

#include "model/FrmText.h"

#include <string>

// Expression block of a table definition (MariaDB 10.2 and later, version
// byte 11), at the end of the form information's blocks; its length is the
// 2-byte value at form position + 286. Numbers little-endian.
//
// | Offset | Size | Meaning                                                      |
// |--------|------|--------------------------------------------------------------|
// | 0      | 16   | header, zero                                                 |
// | 16     |      | entries, one after another to the end of the block           |
//
// Entry:
// | +0     | 1    | kind: 0 virtual, 1 stored generated, 2 default expression,   |
// |        |      | 3 column check, 4 table check                                |
// | +1     | 2    | field number from 0 (FFFF for a table check)                 |
// | +3     | 2    | length L of the expression                                   |
// | +5     | 1    | length N of the name                                         |
// | +6     | N    | name: the column's, or the constraint's (UTF-8)              |
// | +6 + N | L    | expression as the server prints it, no outer parentheses     |
// |        |      | (UTF-8)                                                      |
//
// CURRENT_TIMESTAMP defaults and ON UPDATE are not here: the field record's
// unireg check byte keeps them.

namespace engine {

using platform::ByteReader;
using platform::DecodeError;

namespace {

constexpr std::uint64_t kHeaderSize = 16;
constexpr std::uint8_t kLastKind = static_cast<std::uint8_t>(FrmExpressionKind::TableCheck);

// True when the text cannot reach outside the parentheses it is put in:
// quotes closed, parentheses balanced, and outside quotes no statement
// separator and no comment (which could hide a parenthesis). The text goes
// into a statement as it stands (an expression cannot be bound); the server
// never prints a comment into one.
bool selfContained(const QString& text)
{
    int depth = 0;
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (c == QLatin1Char('\\') && quote != QLatin1Char('`'))
                ++i; // an escaped character inside a string
            else if (c == quote)
                quote = QChar(); // a doubled quote reopens at once
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`'))
            quote = c;
        else if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')') && --depth < 0)
            return false;
        else if (c == QLatin1Char(';') || c == QLatin1Char('#'))
            return false;
        else if (c == QLatin1Char('/') && text.mid(i + 1, 1) == QLatin1String("*"))
            return false;
        else if (c == QLatin1Char('-') && text.mid(i + 1, 1) == QLatin1String("-")
                 && (i + 2 >= text.size() || text[i + 2] <= QLatin1Char(' ')))
            return false; // "--" starts a comment only before a blank; "--`a`" is a double minus
    }
    return quote.isNull() && depth == 0;
}

void note(FrmExpressionList& out, DecodeError error)
{
    if (!out.damage) // the first damage is the one worth reporting
        out.damage = std::move(error);
}

} // namespace

FrmExpressionList FrmExpressionBlock::read(ByteReader block, std::size_t fieldCount)
{
    FrmExpressionList out;
    if (block.size() == 0)
        return out;
    if (!block.skip(kHeaderSize)) {
        note(out, *block.error());
        return out;
    }
    // Every entry takes at least 6 bytes, so the walk ends within the block.
    while (block.remaining() > 0) {
        const std::uint64_t start = block.pos();
        const std::uint8_t kind = block.u8();
        const std::uint16_t field = block.u16le();
        const std::uint16_t textLength = block.u16le();
        const std::uint8_t nameLength = block.u8();
        const auto name = block.bytes(nameLength);
        const auto expression = block.bytes(textLength);
        if (!block) {
            note(out, *block.error());
            return out;
        }
        // Nothing marks where an entry starts: past a kind we do not know
        // the lengths cannot be trusted either, so the walk ends there.
        if (kind > kLastKind) {
            note(out, platform::corrupt(block.base() + start, "expression entry of unknown kind " + std::to_string(kind)));
            return out;
        }
        FrmExpression entry;
        entry.kind = static_cast<FrmExpressionKind>(kind);
        entry.field = field;
        entry.name = FrmText::metadataText(name);
        entry.text = FrmText::metadataText(expression);
        const bool ofColumn = entry.kind != FrmExpressionKind::TableCheck;
        if (entry.text.isEmpty() || !selfContained(entry.text) || (ofColumn && field >= fieldCount)) {
            // A clause without its column, or with an expression that would
            // not stay inside its parentheses, is left out.
            note(out, platform::corrupt(block.base() + start,
                                        "unusable expression entry (field " + std::to_string(field) + " of "
                                            + std::to_string(fieldCount) + ", " + std::to_string(textLength)
                                            + " bytes of text)"));
            continue;
        }
        out.entries.push_back(std::move(entry));
    }
    return out;
}

} // namespace engine
