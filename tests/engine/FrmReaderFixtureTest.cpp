// The reader against real data folders written by MariaDB 10.11: every
// table's columns and keys must agree with what the server itself reported
// (expected/<db>/<table>.columns.tsv and .keys.tsv), and damaged copies of
// its files must give errors or fewer columns, never a crash or a hang.
#include "engine/FrmReader.h"

#include "model/Collations.h"
#include "model/ColumnTypeCode.h"
#include "tests/support/FixtureSet.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <algorithm>
#include <vector>

using engine::ColumnInformation;
using engine::FrmReader;
using engine::TableInformation;

namespace {

using Bytes = std::vector<std::uint8_t>;

using testsupport::FixtureSet;

// The server's file-name encoding, enough for the fixture names: letters,
// digits and "_" stay, everything else becomes @ and four hex digits.
QString encodeFileName(const QString& name)
{
    QString out;
    for (const QChar c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')
            out += c;
        else
            out += QStringLiteral("@%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return out;
}

struct FixtureTable {
    QString set, db, table;
    QString frmPath() const
    {
        return FixtureSet::dataFolder(set) + "/" + encodeFileName(db) + "/" + encodeFileName(table) + ".frm";
    }
    QString expected(const char* suffix) const
    {
        return FixtureSet::expectedFile(set, db, table, QString::fromLatin1(suffix));
    }
    std::string label() const { return (set + ":" + db + "." + table).toStdString(); }
};

std::vector<FixtureTable> fixtureTables()
{
    std::vector<FixtureTable> tables;
    for (const char* set : {"legacy", "default"}) {
        for (const QStringList& row : FixtureSet::readTsv(FixtureSet::folder(set) + "/expected/tables.tsv")) {
            if (row.size() >= 3 && row[2] == QLatin1String("BASE TABLE"))
                tables.push_back({QString::fromLatin1(set), row[0], row[1]});
        }
    }
    return tables;
}

int bytesPerChar(const QString& charsetName)
{
    if (charsetName == QLatin1String("utf8mb4"))
        return 4;
    if (charsetName.startsWith(QLatin1String("utf8")))
        return 3;
    return 1;
}

// '...' with '' inside -> the text; \N -> no default; anything else as it stands.
QString unquote(const QString& v)
{
    if (v.size() >= 2 && v.startsWith(QLatin1Char('\'')) && v.endsWith(QLatin1Char('\'')))
        return v.mid(1, v.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    return v;
}

QStringList membersOf(const QString& columnType)
{
    QStringList members;
    static const QRegularExpression member(QStringLiteral("'((?:[^']|'')*)'"));
    auto it = member.globalMatch(columnType);
    while (it.hasNext())
        members.append(it.next().captured(1).replace(QStringLiteral("''"), QStringLiteral("'")));
    return members;
}

// The server shows an expression default in parentheses unless it is a
// function call; ours is kept without them.
// A TEXT or BLOB column has no bytes for a default in the definition's
// record: even a literal one is kept as an expression.
bool isExpressionDefault(const QString& def, const QString& dataType)
{
    return def.startsWith(QLatin1Char('(')) || def.startsWith(QLatin1String("current_timestamp"))
        || ((dataType.endsWith(QLatin1String("text")) || dataType.endsWith(QLatin1String("blob")))
            && def.startsWith(QLatin1Char('\'')));
}

// The expression of a generated column in the server's SHOW CREATE TABLE.
QString generationExpression(const FixtureTable& ft, const QString& column)
{
    QFile f(ft.expected(".create.sql"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString start = QStringLiteral("  `") + QString(column).replace(QLatin1Char('`'), QStringLiteral("``"))
        + QStringLiteral("` ");
    static const QRegularExpression generated(QStringLiteral(" GENERATED ALWAYS AS \\((.*)\\) (VIRTUAL|STORED)"));
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(start))
            return generated.match(line).captured(1);
    }
    return {};
}

// Generated columns, expression defaults and ON UPDATE against EXTRA,
// COLUMN_DEFAULT and the server's statement.
void compareExpressions(const FixtureTable& ft, const QStringList& row, const ColumnInformation& c)
{
    const std::string where = ft.label() + "." + row[0].toStdString();
    const QString& extra = row[11];
    const engine::Generated generated = extra.contains(QLatin1String("VIRTUAL GENERATED")) ? engine::Generated::Virtual
        : extra.contains(QLatin1String("STORED GENERATED"))                               ? engine::Generated::Stored
                                                                                           : engine::Generated::None;
    EXPECT_EQ(c.m_generated, generated) << where;
    EXPECT_EQ(c.m_generationExpression, generated == engine::Generated::None ? QString() : generationExpression(ft, c.m_name))
        << where;
    const QString& def = row[4];
    if (isExpressionDefault(def, row[2])) {
        EXPECT_TRUE(def == c.m_defaultExpression || def == "(" + c.m_defaultExpression + ")")
            << where << " ours " << c.m_defaultExpression.toStdString() << ", server " << def.toStdString();
    } else {
        EXPECT_EQ(c.m_defaultExpression, QString()) << where;
    }
    static const QRegularExpression onUpdate(QStringLiteral("on update (\\S+)"));
    EXPECT_EQ(c.m_onUpdateExpression, onUpdate.match(extra).captured(1)) << where;
    EXPECT_EQ(c.m_checkExpression, QString()) << where; // no fixture column has a CHECK
}

// What our default text should be for the server's COLUMN_DEFAULT, or
// nullopt where we intentionally do not compare.
std::optional<QString> expectedDefault(const QStringList& row, const ColumnInformation& c)
{
    const QString& def = row[4];
    const QString& dataType = row[2];
    // A generated column has no default; an expression default is no literal one.
    if (row[11].contains(QLatin1String("GENERATED")) || isExpressionDefault(def, row[2]))
        return QString();
    if (def == QLatin1String("\\N"))
        return QString(); // no DEFAULT clause (auto_increment, NOT NULL without default)
    if (def == QLatin1String("NULL"))
        return QStringLiteral("NULL");
    if (dataType == QLatin1String("bit")) // b'1010' -> its value in decimal
        return QString::number(def.mid(2, def.size() - 3).toULongLong(nullptr, 2));
    if (dataType == QLatin1String("float") || dataType == QLatin1String("double")) {
        EXPECT_DOUBLE_EQ(c.m_defaultText.toDouble(), def.toDouble()) << c.m_name.toStdString();
        return std::nullopt;
    }
    if (dataType == QLatin1String("char")) // CHAR pads with blanks; the server strips them
        return c.m_defaultText.trimmed().isEmpty() && unquote(def).isEmpty() ? c.m_defaultText : unquote(def);
    if (dataType == QLatin1String("timestamp")) // we write two blanks between date and time
        return unquote(def).replace(QLatin1Char(' '), QStringLiteral("  "));
    return unquote(def);
}

void compareColumns(const FixtureTable& ft, const TableInformation& t)
{
    const QList<QStringList> rows = FixtureSet::readTsv(ft.expected(".columns.tsv"));
    ASSERT_FALSE(rows.isEmpty()) << ft.label();
    // The server's own hidden columns (the hashes of long UNIQUE keys) are
    // fields of the definition but no columns it reports.
    std::vector<const ColumnInformation*> shown;
    for (const auto& column : t.columns())
        if (column->isTableColumn())
            shown.push_back(column.get());
        else
            EXPECT_TRUE(column->m_name.startsWith(QLatin1String("DB_ROW_HASH_"))) << ft.label();
    ASSERT_EQ(shown.size(), static_cast<std::size_t>(rows.size())) << ft.label();
    EXPECT_EQ(t.m_columnCount, t.columns().size()) << ft.label();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QStringList& row = rows[i];
        ASSERT_GE(row.size(), 13) << ft.label();
        const ColumnInformation& c = *shown[static_cast<std::size_t>(i)];
        const std::string where = ft.label() + "." + row[0].toStdString();
        EXPECT_EQ(c.m_name, row[0]) << where;
        EXPECT_EQ(c.m_visibility == engine::Visibility::Invisible, row[11].contains(QLatin1String("INVISIBLE")))
            << where;
        EXPECT_EQ(c.m_typeName, row[2]) << where;
        EXPECT_EQ(c.m_nullText, row[3] == QLatin1String("YES") ? "null" : "not null") << where;
        EXPECT_EQ(c.m_comment, row[12]) << where;
        const QString& columnType = row[1];
        const bool isUnsigned = columnType.contains(QLatin1String("unsigned"));
        if (columnType.contains(QLatin1String("zerofill"))) {
            EXPECT_EQ(c.m_signText, "unsigned zerofill") << where;
        } else if (isUnsigned) {
            EXPECT_EQ(c.m_signText, "unsigned") << where;
        }
        EXPECT_EQ(c.m_autoIncrement, row[11].contains(QLatin1String("auto_increment"))) << where;
        EXPECT_EQ(c.m_compressed, columnType.contains(QLatin1String("COMPRESSED"))) << where;

        const QString& dataType = row[2];
        if (dataType == QLatin1String("enum") || dataType == QLatin1String("set")) {
            EXPECT_EQ(c.m_members, membersOf(columnType)) << where;
        } else if (dataType == QLatin1String("decimal")) {
            EXPECT_EQ(c.m_length, row[6].toUInt()) << where;
            EXPECT_EQ(c.m_scale, row[7].toUInt()) << where;
        } else if (dataType == QLatin1String("bit")) {
            EXPECT_EQ(c.m_length, row[6].toUInt()) << where;
        } else if (dataType.endsWith(QLatin1String("char")) || dataType.endsWith(QLatin1String("binary"))) {
            // The definition counts bytes; the server reports characters.
            EXPECT_EQ(c.m_length, row[5].toUInt() * bytesPerChar(row[9])) << where;
        } else if (QStringList({"tinyint", "smallint", "mediumint", "int", "bigint"}).contains(dataType)) {
            // The definition keeps the display width: int(11) has length 11.
            static const QRegularExpression width(QStringLiteral("\\((\\d+)\\)"));
            EXPECT_EQ(c.m_length, width.match(columnType).captured(1).toUInt()) << where;
        }
        if (const auto want = expectedDefault(row, c)) {
            EXPECT_EQ(c.m_defaultText, *want) << where << " server default " << row[4].toStdString();
        }
        // '' is a default of its own, not the lack of one (a CHAR's is its blanks).
        EXPECT_EQ(c.m_defaultIsEmptyString, row[4] == QLatin1String("''") && dataType != QLatin1String("char"))
            << where;
        compareExpressions(ft, row, c);
    }
}

void compareKeys(const FixtureTable& ft, const TableInformation& t)
{
    QList<QStringList> keyRows;
    for (const QStringList& row : FixtureSet::readTsv(ft.expected(".keys.tsv"))) {
        if (row.value(0) == QLatin1String("KEY"))
            keyRows.append(row);
    }
    ASSERT_EQ(t.m_keyParts.size(), static_cast<std::size_t>(keyRows.size())) << ft.label();
    QStringList wantNames;
    for (const QStringList& row : keyRows) {
        if (row[2] == QLatin1String("1"))
            wantNames.append(row[1]);
    }
    EXPECT_EQ(t.m_keyNames, wantNames) << ft.label();
    const QList<QStringList> columns = FixtureSet::readTsv(ft.expected(".columns.tsv"));
    for (qsizetype i = 0; i < keyRows.size(); ++i) {
        const QStringList& row = keyRows[i];
        const auto& part = t.m_keyParts[static_cast<std::size_t>(i)];
        const std::string where = ft.label() + " key " + row[1].toStdString() + " part " + row[2].toStdString();
        ASSERT_GE(part.m_column, 1) << where;
        ASSERT_LE(part.m_column, t.columns().size()) << where;
        EXPECT_EQ(t.columns()[part.m_column - 1u]->m_name, row[3]) << where;
        QString kind = QStringLiteral("Key");
        if (row[1] == QLatin1String("PRIMARY"))
            kind = QStringLiteral("Primary Key");
        else if (row[6] == QLatin1String("FULLTEXT"))
            kind = QStringLiteral("FULLTEXT Key");
        else if (row[6] == QLatin1String("SPATIAL"))
            kind = QStringLiteral("SPATIAL Key");
        else if (row[4] == QLatin1String("0"))
            kind = QStringLiteral("Unique Key");
        EXPECT_EQ(part.m_kind, kind) << where;
        EXPECT_EQ(part.m_longHash, row[6] == QLatin1String("HASH")) << where;
        if (row[5] != QLatin1String("\\N")) { // prefix: characters there, bytes here
            const QStringList& col = columns[part.m_column - 1];
            EXPECT_EQ(part.m_prefixLength, row[5].toUInt() * bytesPerChar(col[9])) << where;
        }
    }
}

class FrmReaderFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!FixtureSet::built("default"))
            GTEST_SKIP() << "fixtures not built in " << FixtureSet::folder("default").toStdString();
    }
};

TEST_F(FrmReaderFixture, EveryTableAgreesWithTheServer)
{
    const auto tables = fixtureTables();
    ASSERT_GT(tables.size(), 40u);
    for (const FixtureTable& ft : tables) {
        const Bytes bytes = FixtureSet::readBytes(ft.frmPath());
        ASSERT_FALSE(bytes.empty()) << ft.label();
        auto r = FrmReader::read(bytes, ft.frmPath());
        ASSERT_TRUE(r.ok()) << ft.label() << ": " << r.error().what;
        ASSERT_FALSE(r->m_isView) << ft.label();
        EXPECT_FALSE(r->m_damage.has_value()) << ft.label() << ": " << r->m_damage->what;
        compareColumns(ft, *r->m_table);
        compareKeys(ft, *r->m_table);
        // The table's own collation, as its statement names it.
        static const QRegularExpression collate(QStringLiteral("\\n\\) ENGINE=.* COLLATE=(\\S+)"));
        QFile createFile(ft.expected(".create.sql"));
        ASSERT_TRUE(createFile.open(QIODevice::ReadOnly)) << ft.label();
        const QString createSql = QString::fromUtf8(createFile.readAll());
        EXPECT_EQ(engine::Collations::Find(r->m_table->m_collation).m_name, collate.match(createSql).captured(1))
            << ft.label();
        const QString engineFile = FixtureSet::readTsv(ft.expected(".engine")).value(0).value(0).trimmed();
        // A partitioned table's clause follows the options line, as the definition keeps it.
        const qsizetype clause = createSql.indexOf(QLatin1String("\n PARTITION BY "));
        if (clause >= 0) {
            EXPECT_EQ(r->m_engineName, QStringLiteral("partition")) << ft.label();
            EXPECT_EQ(r->m_partitionClause, createSql.mid(clause + 1).trimmed().prepend(QLatin1Char(' ')))
                << ft.label();
        } else if (!engineFile.isEmpty()) {
            EXPECT_TRUE(r->m_partitionClause.isEmpty()) << ft.label();
            EXPECT_EQ(r->m_engineName.toLower(), engineFile.toLower()) << ft.label();
        }
    }
}

TEST_F(FrmReaderFixture, ViewsAreViews)
{
    for (const char* set : {"legacy", "default"}) {
        for (const char* view : {"fx_objects/v_customers.frm", "fx_objects/v_order_totals.frm"}) {
            const QString path = FixtureSet::dataFolder(set) + "/" + view;
            auto r = FrmReader::read(FixtureSet::readBytes(path), path);
            ASSERT_TRUE(r.ok()) << view;
            EXPECT_TRUE(r->m_isView) << view;
        }
    }
}

TEST_F(FrmReaderFixture, TableCommentAndSmallFiles)
{
    const QString path = FixtureSet::dataFolder("default") + "/fx_myisam/all_types.frm";
    const Bytes bytes = FixtureSet::readBytes(path);
    // MariaDB 10.x files are compact: far below the 8192 bytes of older servers.
    EXPECT_LT(bytes.size(), 8192u);
    auto r = FrmReader::read(bytes, path);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->m_table->m_options.m_comment, "one column of every type");
    EXPECT_EQ(r->m_table->m_name, "all_types");
}

// ------------------------------------------------------------------ damage

// Reads the damaged bytes from a scratch copy, as the scan would.
void expectSurvives(const Bytes& damaged, const std::string& label, std::size_t maxColumns)
{
    testsupport::TempDir dir;
    const QString path = dir.write(QStringLiteral("db/t.frm"), damaged);
    auto r = FrmReader::read(FixtureSet::readBytes(path), path);
    if (r.ok() && r->m_table) {
        EXPECT_LE(r->m_table->columns().size(), std::max<std::size_t>(maxColumns, r->m_table->m_columnCount))
            << label;
    }
}

TEST_F(FrmReaderFixture, DamagedCopiesGiveErrorsOrFewerColumns)
{
    const QString path = FixtureSet::dataFolder("default") + "/fx_myisam/all_types.frm";
    const Bytes good = FixtureSet::readBytes(path);
    ASSERT_GT(good.size(), 1000u);
    auto whole = FrmReader::read(good, path);
    ASSERT_TRUE(whole.ok());
    const std::size_t columns = whole->m_table->columns().size();

    // Cut short at every length up to the header, then in steps.
    for (std::size_t n = 0; n < good.size(); n += (n < 128 ? 1 : 37)) {
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        auto r = FrmReader::read(cut, path);
        if (n < 64) {
            EXPECT_FALSE(r.ok()) << "cut at " << n;
        } else if (r.ok()) {
            EXPECT_LE(r->m_table->columns().size(), columns) << "cut at " << n;
            EXPECT_TRUE(r->m_damage.has_value()) << "cut at " << n;
        }
    }

    // Zeroed file: the header's magic is gone.
    auto zero = FrmReader::read(Bytes(good.size(), 0), path);
    ASSERT_FALSE(zero.ok());
    EXPECT_EQ(zero.error().code, platform::DecodeErrorCode::Corrupt);

    // Offsets and counts pointing past the end.
    struct Patch {
        const char* name;
        std::size_t at;
        std::vector<std::uint8_t> bytes;
    };
    const std::size_t formPosAt = 64 + (good[4] | good[5] << 8);
    const std::size_t form = good[formPosAt] | good[formPosAt + 1] << 8;
    const Patch patches[] = {
        {"form position past the end", formPosAt, {0xFF, 0xFF, 0xFF, 0x7F}},
        {"key area past the end", 6, {0xFF, 0xFF}},
        {"key length huge", 47, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"record length huge", 16, {0xFF, 0xFF}},
        {"extra segment huge", 55, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"field count huge", form + 258, {0xFF, 0xFF}},
        {"names length huge", form + 268, {0xFF, 0xFF}},
        {"interval length huge", form + 274, {0xFF, 0xFF}},
        {"comment length huge", form + 284, {0xFF, 0xFF}},
        {"screens length huge", form + 260, {0xFF, 0xFF}},
        {"key count and parts huge", static_cast<std::size_t>(good[6] | good[7] << 8), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Patch& p : patches) {
        Bytes bad = good;
        ASSERT_LE(p.at + p.bytes.size(), bad.size()) << p.name;
        std::copy(p.bytes.begin(), p.bytes.end(), bad.begin() + static_cast<std::ptrdiff_t>(p.at));
        expectSurvives(bad, p.name, columns);
    }

    // Random bytes over everything after the magic, many seeds.
    std::mt19937 rng(1234);
    for (int round = 0; round < 200; ++round) {
        Bytes bad = good;
        const int flips = 1 + round % 40;
        for (int i = 0; i < flips; ++i)
            bad[2 + rng() % (bad.size() - 2)] = static_cast<std::uint8_t>(rng());
        auto r = FrmReader::read(bad, path);
        (void)r;
    }
    Bytes noise(good.size());
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(rng());
    noise[0] = 0xFE;
    noise[1] = 0x01;
    auto r = FrmReader::read(noise, path);
    (void)r;
}

// The expression block comes last: damage there costs expressions, never
// the columns read before it.
TEST_F(FrmReaderFixture, DamagedExpressionBlockKeepsTheColumns)
{
    const QString path = FixtureSet::dataFolder("default") + "/fx_myisam/defaults.frm";
    const Bytes good = FixtureSet::readBytes(path);
    ASSERT_GT(good.size(), 1000u);
    const std::size_t formPosAt = 64 + (good[4] | good[5] << 8);
    const std::size_t form = good[formPosAt] | good[formPosAt + 1] << 8;
    const std::size_t blockLength = good[form + 286] | good[form + 287] << 8;
    const std::size_t block = good.size() - blockLength; // the file ends with it
    const std::size_t second = block + 16 + 6 + 4 + 11;  // past "expr" and "`n_int` * 2"
    using engine::Generated;
    struct Case {
        const char* name;
        std::size_t at; // where the bytes go; the file is cut there when bytes is empty
        Bytes bytes;
        bool damaged;
        bool defaultExpression;
        Generated virtualColumn;
        Generated storedColumn;
    };
    const Case cases[] = {
        {"intact", good.size(), {}, false, true, Generated::Virtual, Generated::Stored},
        {"block length past the end", form + 286, {0xFF, 0xFF}, true, true, Generated::Virtual, Generated::Stored},
        // Version 10 files of MariaDB 5.2 to 10.1 keep another layout there.
        {"older version", 2, {10}, false, false, Generated::None, Generated::None},
        {"unknown kind in the second entry", second, {9}, true, true, Generated::None, Generated::None},
        {"second entry names field 24 of 24", second + 1, {24, 0}, true, true, Generated::None, Generated::Stored},
        {"file cut in the last entry", good.size() - 3, {}, true, true, Generated::Virtual, Generated::None},
    };
    for (const Case& c : cases) {
        Bytes bad = good;
        if (c.bytes.empty())
            bad.resize(c.at);
        else
            std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + static_cast<std::ptrdiff_t>(c.at));
        auto r = FrmReader::read(bad, path);
        ASSERT_TRUE(r.ok()) << c.name;
        const auto& columns = r->m_table->columns();
        ASSERT_EQ(columns.size(), 24u) << c.name;
        EXPECT_EQ(r->m_damage.has_value(), c.damaged) << c.name;
        EXPECT_EQ(columns[17]->m_defaultExpression, c.defaultExpression ? "`n_int` * 2" : "") << c.name;
        EXPECT_EQ(columns[18]->m_generated, c.virtualColumn) << c.name;
        EXPECT_EQ(columns[19]->m_generated, c.storedColumn) << c.name;
        EXPECT_EQ(columns[19]->m_typeName, "varchar") << c.name;
        // The unireg byte, not the block, holds the CURRENT_TIMESTAMP parts.
        EXPECT_EQ(columns[10]->m_defaultExpression, "current_timestamp()") << c.name;
        EXPECT_EQ(columns[10]->m_onUpdateExpression, "current_timestamp()") << c.name;
        EXPECT_EQ(columns[11]->m_defaultExpression, "current_timestamp(3)") << c.name;
        EXPECT_EQ(columns[11]->m_onUpdateExpression, "") << c.name;
    }
}

// Where a text first occurs in the file; the file's size when it does not.
std::size_t findText(const Bytes& bytes, const char* text)
{
    const std::string t(text);
    return static_cast<std::size_t>(std::search(bytes.begin(), bytes.end(), t.begin(), t.end()) - bytes.begin());
}

// An option or a comment the server never writes so costs that option or
// comment; the columns, the keys and the other options stay.
TEST_F(FrmReaderFixture, DamagedOptionsCostTheOptionNotTheTable)
{
    const QString path = FixtureSet::dataFolder("default") + "/fx_mariadb/opt_innodb_redundant.frm";
    const Bytes good = FixtureSet::readBytes(path);
    const QString dynamicPath = FixtureSet::dataFolder("default") + "/fx_mariadb/opt_innodb_dynamic.frm";
    const Bytes dynamic = FixtureSet::readBytes(dynamicPath);
    ASSERT_GT(good.size(), 1000u);
    ASSERT_GT(dynamic.size(), 500u);
    const std::size_t keyComment = findText(good, "a key comment longer") - 2;
    const std::size_t tableComment = findText(good, "a table comment too long") - 2;
    const std::size_t engineOptionValue = findText(dynamic, "ENCRYPTED") + 9;
    ASSERT_LT(tableComment, good.size());
    ASSERT_LT(engineOptionValue, dynamic.size());
    struct Case {
        const char* name;
        bool dynamicTable;
        std::size_t at;
        Bytes bytes;
        const char* damage; // a word of the damage text; null: none
    };
    const Case cases[] = {
        {"intact", false, 0, {}, nullptr},
        {"row format 9", false, 40, {9}, "ROW_FORMAT"},
        {"choices 3 and 3", false, 39, {0x0F}, "TRANSACTIONAL"},
        {"stats recalculation 7", false, 44, {7}, "STATS_AUTO_RECALC"},
        {"key comment past the names", false, keyComment, {0xFF, 0x7F}, "comment of key 2"},
        {"table comment past the segment", false, tableComment, {0xFF, 0x7F}, "table's COMMENT"},
        {"engine option past its entry", true, engineOptionValue, {0xFF, 0x7F}, "engine option"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bad = c.dynamicTable ? dynamic : good;
        std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + static_cast<std::ptrdiff_t>(c.at));
        auto r = FrmReader::read(bad, c.dynamicTable ? dynamicPath : path);
        ASSERT_TRUE(r.ok());
        const TableInformation& t = *r->m_table;
        EXPECT_EQ(t.columns().size(), 2u);
        const QStringList keyNames = c.dynamicTable ? QStringList{"PRIMARY"} : QStringList{"PRIMARY", "kv", "kvi"};
        EXPECT_EQ(t.m_keyNames, keyNames);
        EXPECT_EQ(r->m_damage.has_value(), c.damage != nullptr);
        if (c.damage && r->m_damage) {
            EXPECT_NE(r->m_damage->what.find(c.damage), std::string::npos) << r->m_damage->what;
        }
        const std::string name = c.name;
        const engine::TableOptions& o = t.m_options;
        if (c.dynamicTable) {
            EXPECT_EQ(o.m_rowType, 2u);
            EXPECT_EQ(o.m_comment, "it's \\ quoted");
            EXPECT_TRUE(o.m_engineOptions.empty());
            continue;
        }
        EXPECT_EQ(o.m_rowType, name == "row format 9" ? 0u : 4u);
        const bool choicesLost = name == "choices 3 and 3";
        EXPECT_EQ(o.m_pageChecksum, choicesLost ? engine::OptionChoice::Unset : engine::OptionChoice::Yes);
        EXPECT_EQ(o.m_transactional, choicesLost ? engine::OptionChoice::Unset : engine::OptionChoice::No);
        EXPECT_EQ(o.m_statsAutoRecalc, name == "stats recalculation 7" ? engine::StatsRecalc::Default
                                                                       : engine::StatsRecalc::Off);
        EXPECT_TRUE(o.m_statsPersistent);
        EXPECT_EQ(o.m_maxRows, 1000u);
        EXPECT_EQ(o.m_comment.startsWith("a table comment too long"), name != "table comment past the segment");
        ASSERT_EQ(t.m_keyParts.size(), 4u);
        EXPECT_TRUE(t.m_keyParts[0].m_descending);
        EXPECT_EQ(t.m_keyParts[1].m_comment.startsWith("a key comment longer"), name != "key comment past the names");
        EXPECT_TRUE(t.m_keyParts[2].m_ignored);
        EXPECT_TRUE(t.m_keyParts[3].m_ignored);
        EXPECT_EQ(t.m_keyParts[3].m_comment, name == "key comment past the names" ? "" : "ignored and commented");
    }
}

TEST_F(FrmReaderFixture, StopFlagEndsTheReadEarly)
{
    const QString path = FixtureSet::dataFolder("default") + "/fx_myisam/all_types.frm";
    std::atomic<bool> stop{true};
    engine::FrmReadOptions options;
    options.stop = &stop;
    auto r = FrmReader::read(FixtureSet::readBytes(path), path, options);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r->m_table->columns().empty());
    EXPECT_TRUE(r->m_table->m_keyParts.empty());
}

} // namespace
