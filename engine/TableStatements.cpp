#include "engine/TableStatements.h"

#include "model/Collations.h"
#include "model/ColumnTypeCode.h"
#include "engine/FileNameCodec.h"
#include "engine/RowWriter.h"

#include <QRegularExpression>

#include <array>
#include <vector>

namespace engine {

namespace {

// Character columns count their length in characters, the definition in bytes.
unsigned bytesPerCharacter(const ColumnInformation& column)
{
    if (!isCharacterCode(column.m_typeCode))
        return 1;
    const unsigned maxBytes = Collations::Find(column.m_charset).m_maxBytes;
    return maxBytes == 0 ? 1 : maxBytes;
}

// The attribute follows the type and its length.
QString compressedAttribute(const ColumnInformation& column)
{
    return column.m_compressed ? QStringLiteral("compressed ") : QString();
}

// The characters (bytes of a binary string) a key part takes of its column;
// 0 when it takes the whole column. A text or blob column always names its
// prefix; a string column only when the part is shorter than the column.
unsigned keyPrefix(const ColumnInformation& column, std::uint16_t partBytes)
{
    const unsigned prefix = partBytes / bytesPerCharacter(column);
    if (isTextOrBlobCode(column.m_typeCode))
        return prefix;
    switch (column.m_typeCode) {
    case TYPE_CHAR: case TYPE_VARCHAR: case TYPE_VAR_STRING: case TYPE_BINARY: case TYPE_VARBINARY:
        return partBytes < column.m_length ? prefix : 0;
    default:
        return 0;
    }
}

// MySQL 4.1's VARBINARY keeps the code of its VARCHAR, with the binary
// character set.
bool isBinaryString(const ColumnInformation& column)
{
    return column.m_typeCode == TYPE_BINARY || column.m_typeCode == TYPE_VARBINARY
        || (column.m_typeCode == TYPE_VAR_STRING && column.m_charset == kBinaryCollation);
}

const char* const kRowFormats[] = {"", "FIXED", "DYNAMIC", "COMPRESSED", "REDUNDANT", "COMPACT", "PAGE"};

bool quotedDefault(ColumnTypeCode code)
{
    switch (code) {
    case TYPE_SET: case TYPE_ENUM: case TYPE_YEAR: case TYPE_DATETIME:
    case TYPE_TIMESTAMP: case TYPE_TIME: case TYPE_TIMESTAMP2: case TYPE_DATETIME2: case TYPE_TIME2:
    case TYPE_VARCHAR: case TYPE_VAR_STRING: case TYPE_CHAR: case TYPE_DATE: case TYPE_NEWDATE:
        return true;
    case TYPE_UUID: case TYPE_UUID_ALWAYS_TURNED: case TYPE_INET6: case TYPE_INET4:
        return true;
    default:
        return false;
    }
}

// The server's own spelling of the one function a default may name bare.
bool isCurrentTimestamp(const QString& expression)
{
    static const QRegularExpression now(QStringLiteral("^current_timestamp\\([0-6]?\\)$"));
    return now.match(expression).hasMatch();
}

bool paddedWithBlanks(ColumnTypeCode code)
{
    return code == TYPE_CHAR || code == TYPE_VAR_STRING;
}

// x'...' of a binary string kept one character per byte.
QString hexLiteral(const QString& bytes)
{
    return QStringLiteral("x'") + QString::fromLatin1(bytes.toLatin1().toHex()) + QLatin1Char('\'');
}

bool isPlainNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]+)?$"));
    return number.match(text).hasMatch();
}

// One key of the definition: its first part (kind, flags), its name (empty
// when the definition lost it) and its columns as the statement names them,
// each with the prefix it takes.
struct KeyReferences {
    const KeysInformation* first = nullptr;
    QString name;
    QStringList references;
    bool valid = true; // false: a part names no column
};

// The keys in the definition's order. Every key moves the name cursor, so
// the keys after one left out keep their own names.
std::vector<KeyReferences> keyReferences(const TableInformation& table)
{
    std::vector<KeyReferences> keys;
    const auto& columns = table.columns();
    const auto& parts = table.m_keyParts;
    qsizetype nameIndex = 0;
    for (std::size_t i = 0; i < parts.size();) {
        const KeysInformation& first = parts[i];
        if (first.m_partCount == 0) {
            ++i;
            continue;
        }
        const std::size_t count = std::min<std::size_t>(first.m_partCount, parts.size() - i);
        KeyReferences key{&first, table.m_keyNames.value(nameIndex++), {}, true};
        // Full-text and spatial keys take whole columns.
        const bool wholeColumns =
            first.m_kind == QLatin1String("FULLTEXT Key") || first.m_kind == QLatin1String("SPATIAL Key");
        for (std::size_t k = i; k < i + count; ++k) {
            const int index = parts[k].m_column - 1;
            if (index < 0 || index >= static_cast<int>(columns.size())) {
                key.valid = false;
                break;
            }
            const ColumnInformation& column = *columns[static_cast<std::size_t>(index)];
            QString reference = RowWriter::QuoteName(column.m_name);
            const unsigned prefix = keyPrefix(column, parts[k].m_prefixLength);
            if (prefix > 0 && !wholeColumns)
                reference += QStringLiteral("(%1)").arg(prefix);
            if (parts[k].m_descending && !wholeColumns)
                reference += QStringLiteral(" desc");
            key.references << reference;
        }
        i += count;
        keys.push_back(std::move(key));
    }
    return keys;
}

} // namespace

QString TableStatements::Literal(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QString TableStatements::SqlName(const QString& fileName)
{
    return FileNameCodec::Decode(fileName);
}

QString TableStatements::TypeText(const ColumnInformation& column)
{
    const QString& type = column.m_typeName;
    const ColumnTypeCode code = column.m_typeCode;
    if (type == QLatin1String("enum") || type == QLatin1String("set")) {
        QStringList members;
        for (const QString& member : column.m_members)
            members << Literal(member);
        return type + QLatin1Char('(') + (members.isEmpty() ? QStringLiteral("''") : members.join(QLatin1Char(',')))
            + QStringLiteral(") ");
    }
    if (isTimeOfDayCode(code)) {
        const unsigned decimals = temporalDecimals(code, column.m_length);
        return decimals ? type + QStringLiteral("(%1) ").arg(decimals) : type + QLatin1Char(' ');
    }
    if (isTextOrBlobCode(code) || isPluginTypeCode(code) || type == QLatin1String("date"))
        return type + QLatin1Char(' ') + compressedAttribute(column);
    if (type == QLatin1String("double") || type == QLatin1String("float")) {
        const std::uint8_t flags = column.m_packFlags;
        if (flags == 0x1F || flags == 0x5F || flags == 0x9F)
            return type + QLatin1Char(' ');
        return type + QStringLiteral("(%1,%2) ").arg(column.m_length).arg(column.m_scale);
    }
    if (type == QLatin1String("decimal"))
        return type + QStringLiteral("(%1,%2) ").arg(std::min<std::uint32_t>(column.m_length, 65)).arg(column.m_scale);
    return type + QStringLiteral("(%1) ").arg(column.m_length / bytesPerCharacter(column))
        + compressedAttribute(column);
}

QString TableStatements::DefaultClause(const ColumnInformation& column)
{
    if (!column.m_defaultExpression.isEmpty()) {
        const QString& e = column.m_defaultExpression;
        return QStringLiteral(" default ") + (isCurrentTimestamp(e) ? e : QLatin1Char('(') + e + QLatin1Char(')'));
    }
    if (column.m_defaultIsEmptyString)
        return QStringLiteral(" default ''");
    const QString& value = column.m_defaultText;
    if (value.isEmpty())
        return {};
    const ColumnTypeCode code = column.m_typeCode;
    QString text;
    if (value.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0)
        text = QStringLiteral("NULL");
    else if (isBinaryString(column))
        text = hexLiteral(value); // the bytes as they are, whatever the connection's character set
    else if (quotedDefault(code)) // blanks only pad a CHAR; a VARCHAR keeps them
        text = paddedWithBlanks(code) && value.trimmed().isEmpty() ? QStringLiteral("''") : Literal(value);
    else if (isPlainNumber(value))
        text = value; // unquoted: a quoted number would be a string to a BIT column
    else
        text = Literal(value);
    return QStringLiteral(" default ") + text;
}

QString TableStatements::ColumnClause(const TableInformation& table, const ColumnInformation& column)
{
    QString clause = RowWriter::QuoteName(column.m_name) + QLatin1Char(' ') + TypeText(column);
    if (isCharacterCode(column.m_typeCode) && !isBinaryString(column)) {
        const Collation collation = Collations::Find(column.m_charset);
        if (!collation.m_name.isEmpty())
            clause += QStringLiteral("character set %1 collate %2 ").arg(collation.m_charset, collation.m_name);
    }
    if (column.m_signText == QLatin1String("unsigned") || column.m_signText == QLatin1String("unsigned zerofill"))
        clause += column.m_signText + QLatin1Char(' ');
    if (column.m_generated != Generated::None) {
        // The server takes neither NULL nor a default with a generated column.
        clause += QStringLiteral("generated always as (") + column.m_generationExpression
            + (column.m_generated == Generated::Virtual ? QStringLiteral(") virtual") : QStringLiteral(") stored"));
    } else {
        clause += column.m_nullText;
        if (column.m_autoIncrement)
            clause += QStringLiteral(" auto_increment ");
        clause += QLatin1Char(' ');
        clause += DefaultClause(column);
        if (!column.m_onUpdateExpression.isEmpty())
            clause += QStringLiteral(" on update ") + column.m_onUpdateExpression;
    }
    if (column.m_visibility == Visibility::Invisible)
        clause += QStringLiteral(" invisible");
    if (!column.m_comment.isEmpty() && table.m_frmVersion > 9)
        clause += QStringLiteral(" COMMENT ") + Literal(column.m_comment);
    if (!column.m_checkExpression.isEmpty())
        clause += QStringLiteral(" check (") + column.m_checkExpression + QLatin1Char(')');
    return clause;
}

QString TableStatements::KeyOptions(const TableInformation& table, const KeysInformation& key)
{
    QString text;
    if (key.m_blockSize != 0 && key.m_blockSize != table.m_options.m_keyBlockSize)
        text += QStringLiteral(" key_block_size=%1").arg(key.m_blockSize);
    if (!key.m_comment.isEmpty())
        text += QStringLiteral(" comment ") + Literal(key.m_comment);
    if (key.m_ignored)
        text += QStringLiteral(" ignored");
    return text;
}

std::vector<TableStatements::KeyDefinition> TableStatements::KeyDefinitions(const TableInformation& table)
{
    // The keys in the order the statement lists them: single-column primary,
    // single-column unique, multi-column unique, multi-column primary,
    // single-column key (spatial keys among them), multi-column key, single-
    // and multi-column full-text.
    std::array<std::vector<KeyDefinition>, 8> pieces;
    for (const KeyReferences& key : keyReferences(table)) {
        if (!key.valid)
            continue; // a part naming no column: the key is left out
        const KeysInformation& first = *key.first;
        const bool single = key.references.size() == 1;
        const QString list = QLatin1Char('(') + key.references.join(QLatin1Char(',')) + QLatin1Char(')')
            + (first.m_longHash ? QStringLiteral(" using hash") : QString()) + KeyOptions(table, first);
        // A name lost with a damaged definition is left to the server, which
        // names the key after its first column; an empty name would cost the table.
        const QString named = (key.name.isEmpty() ? QString() : RowWriter::QuoteName(key.name)) + list;
        const bool primary = first.m_kind == QLatin1String("Primary Key")
            || key.name.compare(QLatin1String("PRIMARY"), Qt::CaseInsensitive) == 0;
        if (primary)
            pieces[single ? 0 : 3].push_back({QStringLiteral("Primary key") + list, key.name, true});
        else if (first.m_kind == QLatin1String("Unique Key"))
            pieces[single ? 1 : 2].push_back({QStringLiteral("Unique key ") + named, key.name, false});
        else if (first.m_kind == QLatin1String("FULLTEXT Key"))
            pieces[single ? 6 : 7].push_back({QStringLiteral("Fulltext Key ") + named, key.name, false});
        else if (first.m_kind == QLatin1String("SPATIAL Key")) // always of one column
            pieces[4].push_back({QStringLiteral("Spatial Key ") + named, key.name, false});
        else // a plain key, or the index the server made for a foreign key
            pieces[single ? 4 : 5].push_back({QStringLiteral("Key ") + named, key.name, false});
    }
    std::vector<KeyDefinition> keys;
    for (const auto& piece : pieces)
        keys.insert(keys.end(), piece.begin(), piece.end());
    return keys;
}

QString TableStatements::KeyClause(const TableInformation& table)
{
    QString clause;
    for (const KeyDefinition& key : KeyDefinitions(table))
        clause += QLatin1Char(',') + key.text;
    return clause;
}

QString TableStatements::CheckClause(const TableInformation& table)
{
    QString clause;
    for (const CheckConstraint& check : table.m_checkConstraints) {
        // The server names every constraint; a damaged name lets it choose one.
        if (!check.m_name.isEmpty())
            clause += QStringLiteral(",constraint ") + RowWriter::QuoteName(check.m_name);
        clause += (check.m_name.isEmpty() ? QStringLiteral(",check (") : QStringLiteral(" check ("))
            + check.m_expression + QLatin1Char(')');
    }
    return clause;
}

QString TableStatements::MyisamPartitionClause(const QString& clause)
{
    // The server writes each partition's "ENGINE = <name>"; names, literals
    // and comments between quotes are passed over, never changed.
    static const QRegularExpression engine(QStringLiteral(" ENGINE = \\w+"));
    QString out;
    QChar quote;
    for (qsizetype i = 0; i < clause.size(); ++i) {
        const QChar c = clause[i];
        if (!quote.isNull()) {
            if (c == QLatin1Char('\\') && quote != QLatin1Char('`') && i + 1 < clause.size()) {
                out += c;
                out += clause[++i];
                continue;
            }
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
            quote = c;
        } else if (c == QLatin1Char(' ')) {
            const QRegularExpressionMatch match =
                engine.match(clause, i, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
            if (match.hasMatch()) {
                out += QStringLiteral(" ENGINE = MyISAM");
                i += match.capturedLength() - 1;
                continue;
            }
        }
        out += c;
    }
    return out;
}

bool TableStatements::OptionsGoWithCreate(const TableInformation& table)
{
    return table.m_engine != QLatin1String("innodb");
}

QString TableStatements::TableOptionsClause(const TableInformation& table)
{
    const TableOptions& o = table.m_options;
    QString text;
    const auto number = [&text](const char* name, std::uint32_t value) {
        if (value != 0)
            text += QStringLiteral(" %1=%2").arg(QLatin1String(name)).arg(value);
    };
    const auto choice = [&text](const char* name, OptionChoice value) {
        if (value != OptionChoice::Unset)
            text += QStringLiteral(" %1=%2").arg(QLatin1String(name)).arg(value == OptionChoice::Yes ? 1 : 0);
    };
    number("MIN_ROWS", o.m_minRows);
    number("MAX_ROWS", o.m_maxRows);
    number("AVG_ROW_LENGTH", o.m_avgRowLength);
    if (o.m_packKeys)
        text += QStringLiteral(" PACK_KEYS=1");
    else if (o.m_noPackKeys)
        text += QStringLiteral(" PACK_KEYS=0");
    if (o.m_statsPersistent)
        text += QStringLiteral(" STATS_PERSISTENT=1");
    else if (o.m_noStatsPersistent)
        text += QStringLiteral(" STATS_PERSISTENT=0");
    if (o.m_statsAutoRecalc != StatsRecalc::Default)
        text += QStringLiteral(" STATS_AUTO_RECALC=%1").arg(o.m_statsAutoRecalc == StatsRecalc::On ? 1 : 0);
    number("STATS_SAMPLE_PAGES", o.m_statsSamplePages);
    if (o.m_checksum)
        text += QStringLiteral(" CHECKSUM=1");
    choice("PAGE_CHECKSUM", o.m_pageChecksum);
    if (o.m_delayKeyWrite)
        text += QStringLiteral(" DELAY_KEY_WRITE=1");
    if (o.m_rowType != 0 && o.m_rowType < std::size(kRowFormats))
        text += QStringLiteral(" ROW_FORMAT=") + QLatin1String(kRowFormats[o.m_rowType]);
    choice("TRANSACTIONAL", o.m_transactional);
    number("KEY_BLOCK_SIZE", o.m_keyBlockSize);
    if (!o.m_comment.isEmpty())
        text += QStringLiteral(" COMMENT=") + Literal(o.m_comment);
    if (!o.m_connection.isEmpty())
        text += QStringLiteral(" CONNECTION=") + Literal(o.m_connection);
    for (const auto& [name, value] : o.m_engineOptions)
        text += QLatin1Char(' ') + RowWriter::QuoteName(name) + QLatin1Char('=') + Literal(value);
    return text;
}

QString TableStatements::CreateTable(const TableInformation& table, bool withOptions, bool withPartitions)
{
    QStringList clauses;
    for (const auto& column : table.columns())
        if (column->isTableColumn()) // the server makes its own again from the keys
            clauses << ColumnClause(table, *column);
    QString options = QStringLiteral("engine=myisam");
    const Collation collation = Collations::Find(table.m_collation);
    if (!collation.m_name.isEmpty())
        options += QStringLiteral(" default charset=%1 collate=%2").arg(collation.m_charset, collation.m_name);
    if (withOptions && OptionsGoWithCreate(table))
        options += TableOptionsClause(table);
    if (withPartitions && !table.m_partitionClause.isEmpty())
        options += MyisamPartitionClause(table.m_partitionClause);
    return QStringLiteral("create table ") + RowWriter::QuoteName(SqlName(table.m_name)) + QLatin1Char('(')
        + clauses.join(QLatin1Char(',')) + KeyClause(table) + CheckClause(table) + QLatin1Char(')') + options
        + QLatin1Char(';');
}

QString TableStatements::AlterToInnodb(const TableInformation& table, bool withOptions)
{
    // The options are the InnoDB table's: a MyISAM table may refuse some.
    const QString options = withOptions && !OptionsGoWithCreate(table) ? TableOptionsClause(table) : QString();
    const QString keys = KeysAgain(table);
    return QStringLiteral("alter table  ") + RowWriter::QuoteName(SqlName(table.m_name)) + QStringLiteral(" engine=innodb")
        + options + (keys.isEmpty() ? HashKeysAgain(table) : keys);
}

QString TableStatements::KeysAgain(const TableInformation& table)
{
    // MyISAM gives every key the block size of its index file (1024 and up), and a
    // change of engine keeps it: where the table has a KEY_BLOCK_SIZE, or a
    // key one of its own, the server would show it on every key, or on that
    // key, in place of the original's. Made again in the same statement,
    // each key takes the size the original declared.
    bool blockSizes = table.m_options.m_keyBlockSize != 0;
    for (const KeysInformation& part : table.m_keyParts)
        blockSizes = blockSizes || part.m_blockSize != 0;
    if (!blockSizes)
        return {};
    const std::vector<KeyDefinition> keys = KeyDefinitions(table);
    QString drops;
    QString adds;
    for (const KeyDefinition& key : keys) {
        // A key whose name was lost cannot be named to drop it.
        if (!key.primary && key.name.isEmpty())
            return {};
        drops += key.primary ? QStringLiteral(", drop primary key")
                             : QStringLiteral(", drop key ") + RowWriter::QuoteName(key.name);
        adds += QStringLiteral(", add ") + key.text;
    }
    return drops + adds;
}

QString TableStatements::HashKeysAgain(const TableInformation& table)
{
    // A change of engine turns a hash key whose values fit the engine's own
    // index into a plain unique one; made again in the same statement, it
    // stays as the original had it.
    QString clause;
    for (const KeyReferences& key : keyReferences(table)) {
        if (key.first->m_longHash && key.valid && !key.name.isEmpty())
            clause += QStringLiteral(", drop key %1, add unique key %1(%2) using hash")
                          .arg(RowWriter::QuoteName(key.name), key.references.join(QLatin1Char(',')))
                + KeyOptions(table, *key.first);
    }
    return clause;
}

} // namespace engine
