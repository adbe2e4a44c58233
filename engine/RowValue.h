#pragma once

#include <QByteArray>
#include <QString>

namespace engine {

// One decoded column value of a record, as both outputs need it.
struct RowValue {
    bool m_isNull = false;
    // What the preview shows; "null" for SQL NULL.
    QString m_text;
    // What a repair sends to the server: the stored bytes for character,
    // binary, BIT and spatial columns (RowWriter::SendsStoredBytes), the
    // UTF-8 text otherwise.
    QByteArray m_bytes;

    static RowValue Null() { return {true, QStringLiteral("null"), {}}; }
    static RowValue Text(const QString& text) { return {false, text, text.toUtf8()}; }
    static RowValue Stored(const QByteArray& bytes, const QString& shown) { return {false, shown, bytes}; }
};

} // namespace engine
