#pragma once

#include "platform/ByteReader.h"
#include "platform/Result.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace engine {

// What an entry of the expression block gives its expression to; the
// numbers are the ones the server writes.
enum class FrmExpressionKind : std::uint8_t {
    VirtualColumn = 0, // GENERATED ALWAYS AS (...) VIRTUAL
    StoredColumn = 1,  // GENERATED ALWAYS AS (...) STORED
    Default = 2,       // DEFAULT (...)
    ColumnCheck = 3,   // CHECK (...) on a column
    TableCheck = 4,    // CONSTRAINT name CHECK (...)
};

struct FrmExpression {
    FrmExpressionKind kind = FrmExpressionKind::Default;
    // Field number from 0; 0xFFFF for a table check.
    std::uint16_t field = 0;
    // The column's name, or the constraint's for a table check.
    QString name;
    // As the server prints it, without enclosing parentheses.
    QString text;
};

struct FrmExpressionList {
    std::vector<FrmExpression> entries;
    // Set when part of the block could not be read; entries holds those before it.
    std::optional<platform::DecodeError> damage;
};

// The expression block MariaDB 10.2 and later write at the end of a table
// definition (definition version 11): generated columns, expression
// defaults and CHECK constraints.
class FrmExpressionBlock {
public:
    // block: the whole block, based at its file offset. fieldCount: the
    // table's columns; an entry naming a field beyond them is left out.
    // Damaged input gives the entries before the damage and the error.
    static FrmExpressionList read(platform::ByteReader block, std::size_t fieldCount);

    static constexpr std::uint16_t kTableField = 0xFFFF;
};

} // namespace engine
