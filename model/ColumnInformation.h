#pragma once

#include "model/ColumnTypeCode.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace engine {

// Whether the server computes a column, and whether it keeps the result.
enum class Generated : std::uint8_t {
    None,
    Virtual, // computed when read; not in the table's records
    Stored,  // computed when written; in the records like any column
};

// Who sees a column. The server's own columns (the hash of a long UNIQUE
// key) take their place in the records but are no column of the table.
enum class Visibility : std::uint8_t {
    Visible,
    Invisible, // declared INVISIBLE: left out of SELECT * and of an INSERT without a column list
    Hidden,    // kept by the server for itself
};

// One column of a table definition.
struct ColumnInformation {
    // Whether the user and the server see it: listed, created, read as a value.
    bool isTableColumn() const { return m_visibility != Visibility::Hidden; }

    QString m_name;
    // "NULL" for a NULL default, empty when the column gets no DEFAULT
    // clause or its default is an expression. Binary strings hold one
    // character (U+0000 to U+00FF) per byte.
    QString m_defaultText;
    // The default is the empty string '': m_defaultText is empty then too.
    bool m_defaultIsEmptyString = false;
    // An expression default as the server prints it, without enclosing
    // parentheses: "`n` * 2", "current_timestamp(3)". Empty: none.
    QString m_defaultExpression;
    // ON UPDATE: "current_timestamp()" or "current_timestamp(n)"; empty: none.
    QString m_onUpdateExpression;
    // The expression of a generated column.
    QString m_generationExpression;
    // The column's own CHECK constraint; empty: none.
    QString m_checkExpression;
    // Members of an enum or set column, in definition order.
    QStringList m_members;
    QString m_typeName;
    QString m_nullText;   // "null" or "not null"
    QString m_signText;   // "signed", "unsigned", "unsigned zerofill" or empty
    QString m_comment;
    ColumnTypeCode m_typeCode = 0;
    // Bytes of the comment; two bytes in the field record, so comments may pass 255.
    std::uint16_t m_commentLength = 0;
    // Collation number; numbers above 255 occur, so it is wider than a byte.
    std::uint16_t m_charset = 0;
    std::uint32_t m_length = 0;
    std::uint16_t m_scale = 0;
    // High byte of the definition's pack flags; 0x80 and above marks a nullable column.
    std::uint8_t m_packFlags = 0;
    bool m_autoIncrement = false;
    Generated m_generated = Generated::None;
    Visibility m_visibility = Visibility::Visible;
    // Declared COMPRESSED: each value is kept behind a header byte, deflated
    // or as it is. m_length is the declared length, without that byte.
    bool m_compressed = false;
};

} // namespace engine
