#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

namespace engine {

// The server's text files for views (.frm starting "TYPE=VIEW") and triggers
// (.TRG): one key=value line after another. Values escape line breaks,
// quotes and backslashes with a backslash; a trigger file's values are lists
// of quoted strings, one per trigger.
class ObjectDefinitionFile {
public:
    // Keys and their values as stored (escapes kept).
    static QMap<QByteArray, QByteArray> Parse(const QByteArray& bytes);
    // Everything after the first "key=" that starts a line, the lines after
    // it included, without the file's final line break; empty when no line
    // starts with it.
    static QByteArray FromKey(const QByteArray& bytes, const QByteArray& key);
    // A stored value with its escapes undone.
    static QByteArray Unescape(const QByteArray& value);
    // The quoted strings of a list value ('a' 'b' ...), unescaped.
    static QList<QByteArray> QuotedList(const QByteArray& value);
    // The same strings with their escapes as stored.
    static QList<QByteArray> QuotedListAsStored(const QByteArray& value);
    // Stored text bytes as text: UTF-8 for the utf8 character sets (the
    // server's usual client set), Windows-1252 otherwise.
    static QString Text(const QByteArray& bytes, const QByteArray& charsetName);
};

} // namespace engine
