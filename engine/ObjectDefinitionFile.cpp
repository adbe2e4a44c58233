#include "engine/ObjectDefinitionFile.h"

#include "model/FrmText.h"

namespace engine {

QMap<QByteArray, QByteArray> ObjectDefinitionFile::Parse(const QByteArray& bytes)
{
    QMap<QByteArray, QByteArray> values;
    for (const QByteArray& line : bytes.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq);
        if (!values.contains(key)) // the first occurrence wins, as the server reads it
            values.insert(key, line.mid(eq + 1));
    }
    return values;
}

QByteArray ObjectDefinitionFile::FromKey(const QByteArray& bytes, const QByteArray& key)
{
    const QByteArray marker = key + '=';
    // The key as a line's start, not the same letters inside a value.
    qsizetype at = bytes.startsWith(marker) ? 0 : -1;
    if (at < 0) {
        at = bytes.indexOf('\n' + marker);
        if (at < 0)
            return {};
        ++at;
    }
    QByteArray text = bytes.mid(at + marker.size());
    if (text.endsWith('\n'))
        text.chop(1);
    return text;
}

QByteArray ObjectDefinitionFile::Unescape(const QByteArray& value)
{
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const char next = value[++i];
        switch (next) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case 'z': // as the server writes it
        case 'Z': out += '\x1a'; break;
        default: out += next; break; // \' \" \\ and anything else: the byte itself
        }
    }
    return out;
}

QList<QByteArray> ObjectDefinitionFile::QuotedList(const QByteArray& value)
{
    QList<QByteArray> items = QuotedListAsStored(value);
    for (QByteArray& item : items)
        item = Unescape(item);
    return items;
}

QList<QByteArray> ObjectDefinitionFile::QuotedListAsStored(const QByteArray& value)
{
    QList<QByteArray> items;
    qsizetype i = 0;
    while (i < value.size()) {
        if (value[i] != '\'') {
            ++i;
            continue;
        }
        QByteArray raw;
        ++i;
        // An item ends at the first quote that no backslash escapes.
        while (i < value.size() && value[i] != '\'') {
            if (value[i] == '\\' && i + 1 < value.size())
                raw += value[i++];
            raw += value[i++];
        }
        ++i;
        items << raw;
    }
    return items;
}

QString ObjectDefinitionFile::Text(const QByteArray& bytes, const QByteArray& charsetName)
{
    if (charsetName.isEmpty() || charsetName.startsWith("utf8"))
        return QString::fromUtf8(bytes);
    return FrmText::windows1252(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size())));
}

} // namespace engine
