#include "engine/FrmReader.h"

#include "model/Collations.h"
#include "model/ColumnTypeNames.h"
#include "engine/FrmDefaultValues.h"
#include "engine/FrmDataTypeNames.h"
#include "engine/FrmExpressionBlock.h"
#include "engine/FrmExtra2Block.h"
#include "model/FrmText.h"
#include "platform/ByteReader.h"
#include "recovery/ColumnStorage.h"

#include <QFileInfo>
#include <QDir>

#include <algorithm>
#include <vector>

// Table definition file (.frm), all numbers little-endian. L = file length.
//
// Header:
// | Offset | Size | Meaning                                                          |
// |--------|------|------------------------------------------------------------------|
// | 0      | 2    | FE 01                                                            |
// | 2      | 1    | version V: 7 oldest layout (11-byte field records), else 17-byte |
// | 3      | 1    | legacy engine number                                             |
// | 4      | 2    | MariaDB 10.x: length E of the extra2 block at 64 (3 before: "//")|
// | 6      | 2    | position of the key area (4096 before MariaDB 10.x)              |
// | 14     | 2    | key area length K (V = 7; 0xFFFF when it does not fit)           |
// | 16     | 2    | length R of a record (the default record)                        |
// | 18     | 4    | MAX_ROWS                                                         |
// | 22     | 4    | MIN_ROWS                                                         |
// | 30     | 2    | table options; bit 0 = pack record (null flags start at bit 0),  |
// |        |      | 0x02 PACK_KEYS=1, 0x20 CHECKSUM=1, 0x40 DELAY_KEY_WRITE=1,        |
// |        |      | 0x80 PACK_KEYS=0, 0x1000 STATS_PERSISTENT=1, 0x2000 =0            |
// | 34     | 4    | AVG_ROW_LENGTH                                                   |
// | 38     | 1    | the table's default collation number (low byte)                  |
// | 39     | 1    | MariaDB: bits 0-1 TRANSACTIONAL, bits 2-3 PAGE_CHECKSUM          |
// |        |      | (0 not declared, 1 = 0, 2 = 1)                                    |
// | 40     | 1    | row type (ROW_FORMAT): 0 default, 1 FIXED, 2 DYNAMIC,            |
// |        |      | 3 COMPRESSED, 4 REDUNDANT, 5 COMPACT, 6 PAGE                      |
// | 41     | 1    | MariaDB: high byte of the table's collation number               |
// | 42     | 2    | STATS_SAMPLE_PAGES (5.6 and later)                               |
// | 44     | 1    | STATS_AUTO_RECALC: 0 default, 1 = 1, 2 = 0 (5.6 and later)       |
// | 47     | 4    | key area length K (V > 7)                                        |
// | 51     | 4    | server version that wrote the file                               |
// | 55     | 4    | length X of the extra segment after the default record           |
// | 62     | 2    | KEY_BLOCK_SIZE (5.1 and later)                                   |
// | 64     | E    | MariaDB 10.x: extra2 block (see FrmExtra2Block.cpp)              |
// | 64 + E | 4    | position P of the form information (67 in the older files);      |
// |        |      | 0 = L rounded down to a multiple of 4096                          |
//
// Key area at A = the position above, K bytes:
// | A + 0  | 1    | key count (bit 7 set: 7 bits here, 8 more in A + 1)              |
// | A + 1  | 1    | total key parts (key count > 127: 2 bytes at A + 2)              |
// | A + 4  | 2    | length Nk of the key-name block                                  |
// | A + 6  |      | key records, each followed by its parts, then the key names      |
// Key record: 8 bytes (V = 7: 4): +0 flags (2; V = 7: 1) with the unique bit
// inverted (0x1000: the key has a comment, 0x8000: a KEY_BLOCK_SIZE of its
// own), +4 (V = 7: +3) part count, +5
// algorithm (V > 7; 5: a UNIQUE key checked through a hash kept in a hidden
// field), +6 KEY_BLOCK_SIZE (2). Key part, 9 bytes: +0 field number from 1
// (low 14 bits), +4 bit 0x80 DESC (MariaDB 10.8), +6 pack flags high byte of
// the column, +7 length (2).
// Key names: FF, then each name followed by FF, then 00; then, for each key
// with a comment in key order, its length (2) and text. Nk counts them all.
// Extra2 index flags (MariaDB 10.6): one byte per key, bit 0 IGNORED.
// Extra2 engine table options: per option its name length (1), name, value
// length (2, bit 15: the value was quoted) and value; a zero length ends them.
//
// Default record at A + K, R bytes (see FrmDefaultValues.cpp).
// Extra segment at A + K + R, X bytes: connect string (CONNECTION; 2-byte length + text),
// engine name (2-byte length + text), partition text (4-byte length + text +
// 0), one byte (5.1.11 and later), parser names of full-text keys that use
// one (zero-terminated), long table comment (2-byte length + text) when
// P + 46 holds 255.
//
// Form information at P, 288 bytes:
// | P + 46  | 1 | table comment length (255: in the extra segment), text at P + 47 |
// | P + 258 | 2 | field count n                                                  |
// | P + 260 | 2 | length S of the screens (0 in MariaDB 10.x files)              |
// | P + 268 | 2 | length of the names block                                      |
// | P + 270 | 2 | interval count                                                 |
// | P + 274 | 2 | length I of the interval block                                 |
// | P + 282 | 2 | nullable field count                                           |
// | P + 284 | 2 | length C of the comment block                                  |
// | P + 286 | 2 | length G of the expression block (MariaDB 10.x)                |
// Then, one after another: screens (S bytes), n field records, the names
// block (FF name FF ... FF 00), the interval block, the comment block and the
// expression block (G bytes; see FrmExpressionBlock.cpp). Version 11 marks a
// file with an expression block in MariaDB's 10.2 layout; version 10 files
// from MariaDB 5.2 to 10.1 keep another layout there, not read.
//
// Screens: each starts with its 2-byte length; labels from +48: 2 unused
// bytes, length l, l - 1 name bytes, 1 terminating byte.
//
// Field record, 17 bytes (V = 7: 11):
// | +3  | 2 (1)   | length                                                  |
// | +5  | 3 (+4 2)| position of the value in a record, plus 1                |
// | +8  | 1 (+6)  | pack flags low byte (V = 7: also the type byte)          |
// | +9  | 1 (+7)  | pack flags high: 0x80 nullable, 0x40 no default, decimals|
// | +10 | 1 (+8)  | unireg check; 15 = auto_increment; TIMESTAMP, DATETIME:  |
// |     |         | 21 DEFAULT now, 22 ON UPDATE now, 23 both;               |
// |     |         | VARCHAR, VARBINARY, BLOB, TEXT: 24 COMPRESSED            |
// | +11 | 1       | high byte of the collation number                        |
// | +12 | 1 (+10) | interval number (enum, set), from 1                      |
// | +13 | 1       | type byte                                                |
// | +14 | 1       | low byte of the collation number; geometry: subtype      |
// | +15 | 2       | comment length in the comment block                      |
// Extra2 field flags (MariaDB): one byte per field, its low two bits the
// visibility: 0 visible, 1 declared INVISIBLE, 2 made invisible by the
// server for system versioning (row_start, row_end), 3 the server's own
// (the hash of a long UNIQUE key).
// Interval block: per interval a separator byte (FF unless a member holds
// one), each member followed by the separator, then 00.

namespace engine {

using platform::ByteReader;
using platform::DecodeError;
using platform::DecodeErrorCode;
using platform::Result;

namespace {

// The column's default is an expression, or it may have none.
void clearLiteralDefault(ColumnInformation& column)
{
    column.m_defaultText.clear();
    column.m_defaultIsEmptyString = false;
}

// The types the server stores compressed when a column is declared so.
bool canBeCompressed(ColumnTypeCode code)
{
    return code == TYPE_VARCHAR || code == TYPE_VARBINARY || (isTextOrBlobCode(code) && !isSpatialCode(code));
}

constexpr std::uint64_t kHeaderSize = 64;
constexpr std::uint64_t kIoSize = 4096;
constexpr std::uint64_t kVersionPos = 2;
constexpr std::uint64_t kExtra2LengthPos = 4;
constexpr std::uint64_t kKeyAreaPos = 6;
constexpr std::uint64_t kOldKeyLengthPos = 14;
constexpr std::uint64_t kRecordLengthPos = 16;
constexpr std::uint64_t kMaxRowsPos = 18;
constexpr std::uint64_t kOptionsPos = 30;
constexpr std::uint64_t kAvgRowLengthPos = 34;
constexpr std::uint64_t kTableCollationPos = 38;
constexpr std::uint64_t kChoicesPos = 39;
constexpr std::uint64_t kRowTypePos = 40;
constexpr std::uint64_t kTableCollationHighPos = 41;
constexpr std::uint64_t kStatsSamplePagesPos = 42;
constexpr std::uint64_t kKeyLengthPos = 47;
constexpr std::uint64_t kServerVersionPos = 51;
constexpr std::uint64_t kExtraSizePos = 55;
constexpr std::uint64_t kKeyBlockSizePos = 62;
constexpr std::uint64_t kOldFormPosPos = 67;

constexpr std::uint64_t kFormInfoSize = 288;
constexpr std::uint64_t kFormCommentLength = 46;
constexpr std::uint64_t kFormComment = 47;
constexpr std::uint64_t kFormFieldCount = 258;
constexpr std::uint64_t kFormScreensLength = 260;
constexpr std::uint64_t kFormNamesLength = 268;
constexpr std::uint64_t kFormIntervalCount = 270;
constexpr std::uint64_t kFormIntervalLength = 274;
constexpr std::uint64_t kFormCommentsLength = 284;
constexpr std::uint64_t kFormExpressionsLength = 286;

constexpr std::uint64_t kScreenLabelsStart = 48;
constexpr std::uint32_t kMaxLabelLength = 64;
constexpr std::uint32_t kFieldsPerScreen = 19;

constexpr std::uint8_t kExpressionsVersion = 11;
constexpr std::uint64_t kFieldRecordSize = 17;
constexpr std::uint64_t kOldFieldRecordSize = 11;
constexpr std::uint64_t kKeyRecordSize = 8;
constexpr std::uint64_t kOldKeyRecordSize = 4;
constexpr std::uint64_t kKeyPartSize = 9;

constexpr std::uint8_t kAutoIncrementCheck = 15;
constexpr std::uint8_t kDefaultNowCheck = 21;
constexpr std::uint8_t kUpdateNowCheck = 22;
constexpr std::uint8_t kDefaultAndUpdateNowCheck = 23;
constexpr std::uint8_t kCompressedCheck = 24;
constexpr std::uint8_t kNameSeparator = 0xFF;
constexpr std::uint8_t kLongHashAlgorithm = 5;
constexpr std::uint8_t kVisibilityMask = 0x03;
constexpr std::uint8_t kUserInvisible = 1;
constexpr std::uint8_t kServerHidden = 3;
constexpr std::uint16_t kFieldNumberMask = 0x3FFF; // the top bits mark "name used"
constexpr std::uint16_t kPackRecordOption = 0x0001;
constexpr std::uint16_t kUsesParserFlag = 0x4000;
constexpr std::uint16_t kUsesCommentFlag = 0x1000;
constexpr std::uint16_t kUsesBlockSizeFlag = 0x8000;
constexpr std::uint8_t kReverseSortBit = 0x80;
constexpr std::uint8_t kIgnoredKeyBit = 0x01;
constexpr std::uint32_t kAutoPartitionVersion = 50110;
// Servers before these kept other things (RAID settings) where the newer
// options are.
constexpr std::uint32_t kKeyBlockSizeVersion = 50100;
constexpr std::uint32_t kPersistentStatsVersion = 50606;

constexpr std::uint16_t kOptionPackKeys = 0x0002;
constexpr std::uint16_t kOptionChecksum = 0x0020;
constexpr std::uint16_t kOptionDelayKeyWrite = 0x0040;
constexpr std::uint16_t kOptionNoPackKeys = 0x0080;
constexpr std::uint16_t kOptionStatsPersistent = 0x1000;
constexpr std::uint16_t kOptionNoStatsPersistent = 0x2000;
constexpr std::uint8_t kLastRowType = 6; // PAGE
constexpr std::uint16_t kQuotedValueBit = 0x8000;

// Key flags (unique bit inverted) and the kind of key they make.
enum class KeyGroup { Foreign, PrimaryOrUnique, Plain, Fulltext, Spatial, Unknown };
struct KeyFlags {
    std::uint16_t flags;
    KeyGroup group;
};
constexpr KeyFlags kKeyFlags[] = {
    {0x2001, KeyGroup::Foreign}, {0x2003, KeyGroup::Foreign}, {0x2029, KeyGroup::Foreign},
    {0x2041, KeyGroup::Foreign}, {0x2043, KeyGroup::Foreign},
    {0x0000, KeyGroup::PrimaryOrUnique}, {0x0002, KeyGroup::PrimaryOrUnique},
    {0x0028, KeyGroup::PrimaryOrUnique}, {0x002A, KeyGroup::PrimaryOrUnique},
    {0x0040, KeyGroup::PrimaryOrUnique}, {0x0042, KeyGroup::PrimaryOrUnique},
    {0x0068, KeyGroup::PrimaryOrUnique}, {0x006A, KeyGroup::PrimaryOrUnique},
    {0x0200, KeyGroup::PrimaryOrUnique}, {0x0400, KeyGroup::PrimaryOrUnique},
    {0x0001, KeyGroup::Plain}, {0x0003, KeyGroup::Plain}, {0x0029, KeyGroup::Plain},
    {0x002B, KeyGroup::Plain}, {0x0041, KeyGroup::Plain}, {0x0043, KeyGroup::Plain},
    {0x0069, KeyGroup::Plain}, {0x0100, KeyGroup::Plain},
    {0x0081, KeyGroup::Fulltext}, {0x00A9, KeyGroup::Fulltext},
};
// Bits of the newer layout's key flags, for combinations the table lacks
// (key comments, spatial keys, ...).
constexpr std::uint16_t kNotUniqueBit = 0x0001;
constexpr std::uint16_t kFulltextBit = 0x0080;
constexpr std::uint16_t kSpatialBit = 0x0400;
constexpr std::uint16_t kGeneratedKeyBit = 0x2000;

KeyGroup keyGroup(std::uint16_t flags, bool oldLayout)
{
    for (const auto& k : kKeyFlags) {
        if (k.flags == flags)
            return k.group;
    }
    if (oldLayout)
        return KeyGroup::Unknown;
    if (flags & kFulltextBit)
        return KeyGroup::Fulltext;
    if (flags & kGeneratedKeyBit)
        return KeyGroup::Foreign;
    if (flags & kSpatialBit)
        return KeyGroup::Spatial;
    if (flags & kNotUniqueBit)
        return KeyGroup::Plain;
    return KeyGroup::PrimaryOrUnique;
}

QString kindText(KeyGroup group, bool primary)
{
    switch (group) {
    case KeyGroup::Foreign: return QStringLiteral("Foreign Key");
    case KeyGroup::PrimaryOrUnique: return primary ? QStringLiteral("Primary Key") : QStringLiteral("Unique Key");
    case KeyGroup::Plain: return QStringLiteral("Key");
    case KeyGroup::Fulltext: return QStringLiteral("FULLTEXT Key");
    case KeyGroup::Spatial: return QStringLiteral("SPATIAL Key");
    case KeyGroup::Unknown: break;
    }
    return {};
}

// Where the parts of the file are, from the header and the form information.
struct Layout {
    std::uint8_t version = 0;
    bool oldLayout = false;
    std::uint64_t keyArea = 0;
    std::uint64_t keyLength = 0;
    std::uint64_t recordLength = 0;
    std::uint16_t options = 0;
    std::uint8_t rowType = 0;
    std::uint16_t collation = 0;
    std::uint32_t serverVersion = 0;
    std::uint64_t extraSize = 0;
    std::uint64_t formPos = 0;
    // MariaDB's entries behind the header; empty in older files.
    FrmExtra2 extra2;
    bool hasForm = false;
    std::uint16_t fieldCount = 0;
    std::uint16_t screensLength = 0;
    std::uint16_t namesLength = 0;
    std::uint16_t intervalCount = 0;
    std::uint16_t intervalLength = 0;
    std::uint16_t commentsLength = 0;
    std::uint16_t expressionsLength = 0;
    std::uint8_t tableCommentLength = 0;
    std::uint32_t keyCountDeclared = 0;
    std::uint64_t fieldRecordSize = kFieldRecordSize;
    std::uint64_t fieldsPos = 0;
    std::uint64_t namesPos = 0;
    std::uint64_t intervalsPos = 0;
    std::uint64_t commentsPos = 0;
    std::uint64_t expressionsPos = 0;
};

// The key area's first bytes.
struct KeyAreaHeader {
    std::uint32_t keyCount = 0;
    std::uint32_t totalParts = 0;
    std::uint16_t namesLength = 0;
};

// One key as read: its kind, and where its parts lie in KeyRecords::parts.
struct KeyRead {
    KeyGroup group;
    std::uint8_t firstAttribute;
    std::size_t firstPart;
    std::size_t partCount;
    std::uint16_t blockSize;
};

// The key records read, in file order, with their flags and parts.
struct KeyRecords {
    std::vector<KeyRead> keys;
    std::vector<std::uint16_t> flags;
    std::vector<KeysInformation> parts;
};

// One field record, as stored.
struct FieldRecord {
    std::uint32_t length = 0;
    std::uint32_t recordPos = 0;
    std::uint8_t packLow = 0;
    std::uint8_t packHigh = 0;
    std::uint8_t uniregCheck = 0;
    std::uint8_t intervalNumber = 0;
    std::uint8_t typeByte = 0;
    std::uint16_t collation = 0;
    std::uint8_t subtypeOrCharset = 0;
    std::uint16_t commentLength = 0;
};

class Parser {
public:
    Parser(std::span<const std::uint8_t> bytes, const FrmReadOptions& options)
        : m_file(bytes), m_options(options)
    {
    }

    Result<FrmContents> run(const QString& path);

private:
    bool stopped() const { return m_options.stop && m_options.stop->load(std::memory_order_relaxed); }
    void damage(const DecodeError& error)
    {
        if (!m_out.m_damage)
            m_out.m_damage = error;
    }
    void damage(const ByteReader& r)
    {
        if (r.error())
            damage(*r.error());
    }
    void damage(std::uint64_t offset, const std::string& what)
    {
        damage(platform::corrupt(offset, what));
    }

    std::optional<DecodeError> readHeader();
    void readTableOptions();
    static bool readChoice(std::uint8_t bits, OptionChoice& choice);
    void readEngineOptions();
    void readFormInfo();
    QStringList readScreenLabels();
    QStringList readNamesBlock();
    QStringList readColumnNames();
    std::vector<QList<QByteArray>> readIntervals();
    FieldRecord readFieldRecord(std::uint64_t pos);
    void readColumns(const QStringList& names);
    void fillColumn(ColumnInformation& column, const FieldRecord& f);
    FrmDataTypes readDataTypes();
    void applyDataType(ColumnInformation& column, std::uint32_t field, const FrmDataTypes& types) const;
    void applyMembersAndDefault(ColumnInformation& column, const FieldRecord& f, FrmDefaultValues& defaults,
                                const std::vector<QList<QByteArray>>& intervals);
    static void applyTimestampFunctions(ColumnInformation& column, const FieldRecord& f);
    void readExpressions();
    void applyVisibility();
    void readKeys();
    KeyAreaHeader readKeyAreaHeader(ByteReader& k);
    KeyRecords readKeyRecords(ByteReader& k, const KeyAreaHeader& header);
    std::optional<std::size_t> readKeyNames(ByteReader& k, const KeyAreaHeader& header, std::size_t keysRead);
    std::vector<QString> readKeyComments(ByteReader& k, const KeyAreaHeader& header,
                                         std::optional<std::size_t> afterNames,
                                         const std::vector<std::uint16_t>& keyFlags);
    std::vector<std::uint8_t> readIndexFlags(std::size_t keyCount);
    void placeKeyParts(const KeyRecords& read, const std::vector<QString>& comments);
    void readExtraSegment(const std::vector<std::uint16_t>& keyFlags);

    ByteReader m_file;
    FrmReadOptions m_options;
    Layout m_l;
    FrmContents m_out;
    QByteArray m_commentBlock;
    std::uint64_t m_commentCursor = 0;
};

std::optional<DecodeError> Parser::readHeader()
{
    ByteReader h = m_file.sub(0, kHeaderSize);
    if (!h)
        return DecodeError{DecodeErrorCode::ShortRead, 0, "table definition shorter than its 64-byte header"};
    if (h.u8() != 0xFE || h.u8() != 0x01)
        return platform::corrupt(0, "not a table definition (no FE 01 at its start)");
    h.seek(kVersionPos);
    m_l.version = h.u8();
    m_l.oldLayout = m_l.version <= FrmDefaultValues::kOldestVersion;
    m_l.fieldRecordSize = m_l.oldLayout ? kOldFieldRecordSize : kFieldRecordSize;
    h.seek(kKeyAreaPos);
    const std::uint16_t keyArea = h.u16le();
    m_l.keyArea = (m_l.oldLayout || keyArea == 0) ? kIoSize : keyArea;
    h.seek(kOldKeyLengthPos);
    const std::uint16_t oldKeyLength = h.u16le();
    m_l.recordLength = h.u16le();
    h.seek(kOptionsPos);
    m_l.options = h.u16le();
    h.seek(kTableCollationPos);
    const std::uint8_t collationLow = h.u8();
    h.seek(kRowTypePos);
    m_l.rowType = h.u8();
    // Older servers leave the high byte 0 (or kept other things there).
    h.seek(kTableCollationHighPos);
    const auto collation = static_cast<std::uint16_t>(collationLow | h.u8() << 8);
    m_l.collation = !Collations::Find(collation).m_name.isEmpty() ? collation : collationLow;
    h.seek(kKeyLengthPos);
    const std::uint32_t keyLength = h.u32le();
    m_l.keyLength = (m_l.oldLayout || keyLength == 0) ? oldKeyLength : keyLength;
    h.seek(kServerVersionPos);
    m_l.serverVersion = h.u32le();
    h.seek(kExtraSizePos);
    m_l.extraSize = h.u32le();

    // MariaDB 10.x puts its extra2 block at 64 and the form position after
    // it; older files have "//" and a zero byte there, so the same rule gives 67.
    std::uint64_t formPosPos = kOldFormPosPos;
    ByteReader e2 = m_file.sub(kExtra2LengthPos, 2);
    if (!m_l.oldLayout && m_file.canRead(kHeaderSize, 1) && m_file.sub(kHeaderSize, 1).u8() != '/') {
        const std::uint16_t extra2Length = e2.u16le();
        formPosPos = kHeaderSize + extra2Length;
        m_l.extra2 = FrmExtra2Block::read(m_file.sub(kHeaderSize, extra2Length));
        if (m_l.extra2.damage)
            damage(*m_l.extra2.damage);
    }
    ByteReader fp = m_file.sub(formPosPos, 4);
    m_l.formPos = fp.u32le();
    if (!fp) {
        damage(fp);
        return std::nullopt;
    }
    if (m_l.formPos == 0) // the oldest servers left it out: the last 4096 boundary
        m_l.formPos = m_file.size() / kIoSize * kIoSize;
    return std::nullopt;
}

// A choice of TRANSACTIONAL or PAGE_CHECKSUM; false for a value the server
// never writes, which leaves the choice unset.
bool Parser::readChoice(std::uint8_t bits, OptionChoice& choice)
{
    if (bits > static_cast<std::uint8_t>(OptionChoice::Yes))
        return false;
    choice = static_cast<OptionChoice>(bits);
    return true;
}

// The options of the header. A value the server never writes costs that
// option alone.
void Parser::readTableOptions()
{
    TableOptions& o = m_out.m_table->m_options;
    ByteReader h = m_file.sub(0, kHeaderSize);
    h.seek(kMaxRowsPos);
    o.m_maxRows = h.u32le();
    o.m_minRows = h.u32le();
    h.seek(kAvgRowLengthPos);
    o.m_avgRowLength = h.u32le();
    const std::uint16_t options = m_l.options;
    o.m_packKeys = options & kOptionPackKeys;
    o.m_noPackKeys = options & kOptionNoPackKeys;
    o.m_checksum = options & kOptionChecksum;
    o.m_delayKeyWrite = options & kOptionDelayKeyWrite;
    if (m_l.rowType <= kLastRowType)
        o.m_rowType = m_l.rowType;
    else
        damage(kRowTypePos, "ROW_FORMAT " + std::to_string(m_l.rowType) + " is no row format; left out");
    if (m_l.oldLayout)
        return;
    h.seek(kChoicesPos);
    const std::uint8_t choices = h.u8();
    if (!readChoice(choices & 0x03, o.m_transactional))
        damage(kChoicesPos, "TRANSACTIONAL holds a value the server never writes; left out");
    if (!readChoice((choices >> 2) & 0x03, o.m_pageChecksum))
        damage(kChoicesPos, "PAGE_CHECKSUM holds a value the server never writes; left out");
    if (m_l.serverVersion >= kKeyBlockSizeVersion) {
        h.seek(kKeyBlockSizePos);
        o.m_keyBlockSize = h.u16le();
    }
    if (m_l.serverVersion < kPersistentStatsVersion)
        return;
    o.m_statsPersistent = options & kOptionStatsPersistent;
    o.m_noStatsPersistent = options & kOptionNoStatsPersistent;
    h.seek(kStatsSamplePagesPos);
    o.m_statsSamplePages = h.u16le();
    const std::uint8_t recalc = h.u8();
    if (recalc <= static_cast<std::uint8_t>(StatsRecalc::Off))
        o.m_statsAutoRecalc = static_cast<StatsRecalc>(recalc);
    else
        damage(kStatsSamplePagesPos + 2, "STATS_AUTO_RECALC " + std::to_string(recalc) + " is no choice; left out");
}

// The engine's own options, from the extra2 block: those read before a
// damaged one are kept.
void Parser::readEngineOptions()
{
    const std::vector<std::uint8_t>* entry = m_l.extra2.find(FrmExtra2Kind::EngineTableOptions);
    if (!entry)
        return;
    ByteReader r(*entry, kHeaderSize);
    auto& options = m_out.m_table->m_options.m_engineOptions;
    while (r.remaining() > 0) {
        const std::uint64_t at = r.pos();
        const std::uint8_t nameLength = r.u8();
        if (nameLength == 0)
            return; // the table's options end; the columns' and keys' follow
        auto name = r.bytes(nameLength);
        const std::uint16_t valueLength = r.u16le() & ~kQuotedValueBit;
        auto value = r.bytes(valueLength);
        if (!r) {
            damage(r.base() + at, "an engine option of the table runs past its entry; it and those after it are left out");
            return;
        }
        options.emplace_back(FrmText::metadataText(name), FrmText::metadataText(value));
    }
}

void Parser::readFormInfo()
{
    ByteReader f = m_file.sub(m_l.formPos, kFormInfoSize);
    if (!f) {
        damage(f);
        return;
    }
    m_l.hasForm = true;
    f.seek(kFormCommentLength);
    m_l.tableCommentLength = f.u8();
    f.seek(kFormFieldCount);
    m_l.fieldCount = f.u16le();
    m_l.screensLength = f.u16le();
    f.seek(kFormNamesLength);
    m_l.namesLength = f.u16le();
    m_l.intervalCount = f.u16le();
    f.seek(kFormIntervalLength);
    m_l.intervalLength = f.u16le();
    // The nullable field count is not needed: the null flags are placed from
    // the columns' own nullability.
    f.seek(kFormCommentsLength);
    m_l.commentsLength = f.u16le();
    m_l.expressionsLength = f.u16le();

    if (m_l.tableCommentLength != 0xFF) {
        ByteReader c = f.sub(kFormComment, std::min<std::uint64_t>(m_l.tableCommentLength, kFormInfoSize - kFormComment));
        m_out.m_table->m_options.m_comment = FrmText::metadataText(c.bytes(c.size()));
    }
    m_l.fieldsPos = m_l.formPos + kFormInfoSize + m_l.screensLength;
    m_l.namesPos = m_l.fieldsPos + m_l.fieldCount * m_l.fieldRecordSize;
    m_l.intervalsPos = m_l.namesPos + m_l.namesLength;
    m_l.commentsPos = m_l.intervalsPos + m_l.intervalLength;
    m_l.expressionsPos = m_l.commentsPos + m_l.commentsLength;
}

QStringList Parser::readScreenLabels()
{
    QStringList labels;
    std::uint64_t screen = m_l.formPos + kFormInfoSize;
    const std::uint64_t screensEnd = screen + m_l.screensLength;
    const std::uint32_t screens = (m_l.fieldCount + kFieldsPerScreen - 1) / kFieldsPerScreen;
    for (std::uint32_t s = 0; s < screens && !stopped() && screen < screensEnd; ++s) {
        ByteReader len = m_file.sub(screen, 2);
        const std::uint16_t screenLength = len.u16le();
        if (!len || screenLength == 0 || screen + screenLength > screensEnd)
            break; // a screen that does not fit ends the walk; the names block is the fallback
        ByteReader r = m_file.sub(screen, screenLength);
        r.seek(kScreenLabelsStart);
        while (r.remaining() >= 3 && !stopped()) {
            r.skip(2);
            const std::uint64_t q = r.pos();
            const std::uint8_t l = r.u8();
            if (l == 0) {
                r.skip(1);
                continue;
            }
            if (l > kMaxLabelLength || !r.canRead(q + 1, l)) { // not a label: resync on the next byte
                r.seek(q + 1);
                continue;
            }
            labels.append(FrmText::metadataText(r.bytes(l - 1u)));
            r.skip(1);
        }
        screen += screenLength;
    }
    return labels;
}

QStringList Parser::readNamesBlock()
{
    QStringList names;
    ByteReader r = m_file.sub(m_l.namesPos, m_l.namesLength);
    if (!r) {
        damage(r);
        return names;
    }
    auto block = r.bytes(r.size());
    std::size_t start = 1; // after the leading separator
    for (std::size_t i = 1; i < block.size() && names.size() < m_l.fieldCount && !stopped(); ++i) {
        if (block[i] == kNameSeparator) {
            names.append(FrmText::metadataText(block.subspan(start, i - start)));
            start = i + 1;
        } else if (block[i] == 0) {
            break;
        }
    }
    return names;
}

QStringList Parser::readColumnNames()
{
    // Older servers keep the names twice, in the screens and in the names
    // block; MariaDB 10.x writes no screens.
    const QStringList labels = m_l.screensLength > 0 ? readScreenLabels() : QStringList();
    if (labels.size() == m_l.fieldCount)
        return labels;
    const QStringList names = readNamesBlock();
    if (names.size() != m_l.fieldCount)
        damage(m_l.namesPos, "column names: " + std::to_string(names.size()) + " of "
                                 + std::to_string(m_l.fieldCount) + " could be read");
    return names.size() >= labels.size() ? names : labels;
}

std::vector<QList<QByteArray>> Parser::readIntervals()
{
    std::vector<QList<QByteArray>> intervals;
    if (m_l.intervalLength == 0)
        return intervals;
    ByteReader r = m_file.sub(m_l.intervalsPos, m_l.intervalLength);
    if (!r) {
        damage(r);
        return intervals;
    }
    auto block = r.bytes(r.size());
    std::size_t i = 0;
    while (i < block.size() && intervals.size() < m_l.intervalCount && !stopped()) {
        const std::uint8_t separator = block[i++];
        QList<QByteArray> members;
        std::size_t start = i;
        for (; i < block.size() && block[i] != 0; ++i) {
            if (block[i] == separator) {
                members.append(QByteArray(reinterpret_cast<const char*>(block.data() + start),
                                          static_cast<qsizetype>(i - start)));
                start = i + 1;
            }
        }
        ++i; // the terminating zero
        intervals.push_back(std::move(members));
    }
    return intervals;
}

FieldRecord Parser::readFieldRecord(std::uint64_t pos)
{
    FieldRecord f;
    ByteReader r = m_file.sub(pos, m_l.fieldRecordSize);
    if (m_l.oldLayout) {
        r.seek(3);
        f.length = r.u8();
        f.recordPos = r.u16le();
        f.typeByte = r.u8();
        f.packLow = f.typeByte;
        f.packHigh = r.u8();
        f.uniregCheck = r.u8();
        r.skip(1);
        f.intervalNumber = r.u8();
    } else {
        r.seek(3);
        f.length = r.u16le();
        f.recordPos = r.u24le();
        f.packLow = r.u8();
        f.packHigh = r.u8();
        f.uniregCheck = r.u8();
        const std::uint8_t collationHigh = r.u8();
        f.intervalNumber = r.u8();
        f.typeByte = r.u8();
        f.subtypeOrCharset = r.u8();
        f.commentLength = r.u16le();
        f.collation = f.typeByte == kGeometryTypeByte ? f.subtypeOrCharset
                                                    : static_cast<std::uint16_t>(f.subtypeOrCharset | collationHigh << 8);
    }
    damage(r);
    return f;
}

void Parser::fillColumn(ColumnInformation& column, const FieldRecord& f)
{
    ColumnTypeCode code = f.typeByte;
    if (m_l.oldLayout) {
        column.m_typeName = ColumnTypeNames::OldFieldTypeName(code, f.packHigh, m_options.myiProbeByte);
    } else {
        column.m_typeName = ColumnTypeNames::FieldTypeName(
            code, f.typeByte == kGeometryTypeByte ? f.subtypeOrCharset : f.collation);
        // MySQL 4.1's VARBINARY (the type 5.0 replaced) keeps its values at
        // full width like CHAR, not behind a length: it keeps the old code.
        if (f.typeByte == TYPE_VAR_STRING && code == TYPE_VARBINARY)
            code = TYPE_VAR_STRING;
        column.m_charset = f.collation;
        column.m_commentLength = f.commentLength;
        if (f.commentLength > 0) {
            const auto available = static_cast<std::uint64_t>(m_commentBlock.size()) - m_commentCursor;
            const auto take = std::min<std::uint64_t>(f.commentLength, available);
            if (take < f.commentLength)
                damage(m_l.commentsPos + m_commentCursor, "column comment past the comment block");
            column.m_comment = FrmText::metadataText(std::span<const std::uint8_t>(
                reinterpret_cast<const std::uint8_t*>(m_commentBlock.constData()) + m_commentCursor, take));
            m_commentCursor += take;
        }
    }
    column.m_typeCode = code;
    column.m_signText = ColumnTypeNames::SignAttributeName(code, f.packLow);
    column.m_packFlags = f.packHigh;
    column.m_autoIncrement = f.uniregCheck == kAutoIncrementCheck;
    column.m_compressed = !m_l.oldLayout && f.uniregCheck == kCompressedCheck && canBeCompressed(code);
    column.m_nullText = f.packHigh >= kPackFlagNullable ? QStringLiteral("null") : QStringLiteral("not null");
    column.m_length = f.length;
    // The definition counts a compressed VARCHAR's header byte in its length.
    if (column.m_compressed && !isTextOrBlobCode(code) && column.m_length > 0)
        --column.m_length;

    const std::uint8_t h = f.packHigh;
    // Below the nullable or the no-default bit the high byte keeps the scale.
    std::uint16_t scaleFromFlags = h;
    if (h >= kPackFlagNullable)
        scaleFromFlags = h - kPackFlagNullable;
    else if (h >= kPackFlagNoDefault)
        scaleFromFlags = h - kPackFlagNoDefault;
    if (column.m_typeName == QLatin1String("enum")) {
        if (const std::uint32_t width = recovery::ColumnStorage::enumBytes(f.packLow))
            column.m_length = width;
    } else if (column.m_typeName == QLatin1String("set")) {
        if (const std::uint32_t width = recovery::ColumnStorage::setBytes(f.packLow))
            column.m_length = width;
    } else if (column.m_typeName == QLatin1String("decimal")) {
        column.m_scale = scaleFromFlags;
        if (code == TYPE_DECIMAL) {
            // The stored length counts the point and the sign; the precision does not.
            const bool isSigned = column.m_signText == QLatin1String("signed");
            const bool noScale = h == 0x00 || h == kPackFlagNoDefault || h == kPackFlagNullable;
            const std::uint32_t drop = noScale ? (isSigned ? 1 : 0) : (isSigned ? 2 : 1);
            column.m_length = column.m_length >= drop ? column.m_length - drop : 0;
        }
    } else if (column.m_typeName == QLatin1String("float") || column.m_typeName == QLatin1String("double")) {
        column.m_scale = (h == 0x1F || h == 0x5F || h == 0x9F) ? 0 : scaleFromFlags;
    }
}

FrmDataTypes Parser::readDataTypes()
{
    const std::vector<std::uint8_t>* entry = m_l.extra2.find(FrmExtra2Kind::FieldDataTypeInfo);
    if (!entry)
        return {};
    FrmDataTypes types = FrmDataTypeNames::read(ByteReader(*entry, kHeaderSize));
    if (types.damage)
        damage(*types.damage);
    return types;
}

// The definition stores a plugin's type as CHAR of its text's length; the
// extra2 block names the type.
void Parser::applyDataType(ColumnInformation& column, std::uint32_t field, const FrmDataTypes& types) const
{
    const auto it = types.names.find(field);
    if (it == types.names.end())
        return;
    ColumnTypeCode code = column.m_typeCode;
    const QString name = ColumnTypeNames::PluginTypeName(it->second, m_l.serverVersion, code);
    if (name.isEmpty())
        return;
    column.m_typeName = name;
    column.m_typeCode = code;
}

void Parser::applyMembersAndDefault(ColumnInformation& column, const FieldRecord& f, FrmDefaultValues& defaults,
                                    const std::vector<QList<QByteArray>>& intervals)
{
    const bool isEnum = column.m_typeName == QLatin1String("enum");
    const bool isSet = column.m_typeName == QLatin1String("set");
    if (isEnum || isSet) {
        // Columns with equal member lists share one interval, by its number.
        if (f.intervalNumber >= 1 && f.intervalNumber <= intervals.size()) {
            for (const QByteArray& m : intervals[f.intervalNumber - 1u])
                column.m_members.append(FrmText::columnText(
                    std::span(reinterpret_cast<const std::uint8_t*>(m.constData()), static_cast<std::size_t>(m.size())),
                    f.collation));
        } else {
            damage(m_l.intervalsPos, "enum or set column without its member list");
        }
    }

    DefaultColInfo info;
    info.typeCode = column.m_typeCode;
    info.packFlagHigh = f.packHigh;
    info.packFlagLow = m_l.oldLayout ? 0 : f.packLow;
    info.bAutoIncrement = column.m_autoIncrement;
    info.bNullable = f.packHigh >= kPackFlagNullable;
    info.bHasDefault = !(f.packHigh >= kPackFlagNoDefault && f.packHigh < kPackFlagNullable);
    info.length = column.m_typeName == QLatin1String("decimal") ? column.m_length : f.length;
    info.scale = column.m_scale;
    info.sign = column.m_signText;
    info.recordOffset = f.recordPos > 0 ? f.recordPos - 1 : 0;
    info.charset = f.collation;
    info.compressed = column.m_compressed;
    const FrmDefault value = defaults.ReadFrmDefaultValue(info);
    const QString& t = value.text;

    if (!isEnum && !isSet) {
        column.m_defaultText = t;
        column.m_defaultIsEmptyString = value.emptyString;
        return;
    }
    if (t.isEmpty())
        return; // no DEFAULT clause
    if (t.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0) {
        column.m_defaultText = QStringLiteral("NULL");
        return;
    }
    const std::uint64_t v = t.toULongLong();
    if (isEnum) {
        if (v >= 1 && v <= static_cast<std::uint64_t>(column.m_members.size())) {
            column.m_defaultText = column.m_members[static_cast<qsizetype>(v - 1)];
            column.m_defaultIsEmptyString = column.m_defaultText.isEmpty(); // a member ''
        }
        return;
    }
    // A set default names every member whose bit is set.
    QStringList chosen;
    for (qsizetype i = 0; i < column.m_members.size() && i < 64; ++i) {
        if (v & (std::uint64_t{1} << i))
            chosen.append(column.m_members[i]);
    }
    column.m_defaultText = chosen.join(QLatin1Char(','));
    column.m_defaultIsEmptyString = chosen.isEmpty();
}

void Parser::applyTimestampFunctions(ColumnInformation& column, const FieldRecord& f)
{
    // The numbers mean "now" only on the two types that can default to the
    // current time (MySQL 4.1 and later write them there).
    const bool temporal = column.m_typeName == QLatin1String("timestamp") || column.m_typeName == QLatin1String("datetime");
    if (!temporal || f.uniregCheck < kDefaultNowCheck || f.uniregCheck > kDefaultAndUpdateNowCheck)
        return;
    const unsigned decimals = temporalDecimals(column.m_typeCode, column.m_length);
    const QString now = decimals ? QStringLiteral("current_timestamp(%1)").arg(decimals)
                                 : QStringLiteral("current_timestamp()");
    if (f.uniregCheck != kUpdateNowCheck) {
        column.m_defaultExpression = now;
        clearLiteralDefault(column);
    }
    if (f.uniregCheck != kDefaultNowCheck)
        column.m_onUpdateExpression = now;
}

void Parser::readExpressions()
{
    TableInformation& table = *m_out.m_table;
    if (m_l.expressionsLength == 0 || m_l.version < kExpressionsVersion || stopped())
        return;
    ByteReader block = m_file.sub(m_l.expressionsPos, m_l.expressionsLength);
    if (!block) {
        // A file cut short still gives the entries that are in it.
        damage(block);
        if (m_l.expressionsPos >= m_file.size())
            return;
        block = m_file.sub(m_l.expressionsPos, m_file.size() - m_l.expressionsPos);
    }
    const FrmExpressionList list = FrmExpressionBlock::read(block, table.columns().size());
    for (const FrmExpression& e : list.entries) {
        if (e.kind == FrmExpressionKind::TableCheck) {
            table.m_checkConstraints.push_back({e.name, e.text});
            continue;
        }
        ColumnInformation& column = *table.columns()[e.field];
        switch (e.kind) {
        case FrmExpressionKind::VirtualColumn:
        case FrmExpressionKind::StoredColumn:
            column.m_generated = e.kind == FrmExpressionKind::VirtualColumn ? Generated::Virtual : Generated::Stored;
            column.m_generationExpression = e.text;
            clearLiteralDefault(column); // the server allows a generated column no default
            break;
        case FrmExpressionKind::Default:
            column.m_defaultExpression = e.text;
            clearLiteralDefault(column);
            break;
        case FrmExpressionKind::ColumnCheck:
            column.m_checkExpression = e.text;
            break;
        case FrmExpressionKind::TableCheck:
            break;
        }
    }
    if (list.damage)
        damage(*list.damage);
}

void Parser::readColumns(const QStringList& names)
{
    TableInformation& table = *m_out.m_table;
    ByteReader comments = m_file.sub(m_l.commentsPos, m_l.commentsLength);
    if (!comments && m_l.commentsLength > 0)
        damage(comments);
    auto commentBytes = comments.bytes(comments.size());
    m_commentBlock = QByteArray(reinterpret_cast<const char*>(commentBytes.data()), static_cast<qsizetype>(commentBytes.size()));

    const std::vector<QList<QByteArray>> intervals = readIntervals();
    ByteReader record = m_file.sub(m_l.keyArea + m_l.keyLength, m_l.recordLength);
    if (!record)
        damage(record);
    const bool packed = !m_l.oldLayout && (m_l.options & kPackRecordOption);
    FrmDefaultValues defaults(record, packed, m_l.version);
    const FrmDataTypes dataTypes = readDataTypes();

    for (qsizetype i = 0; i < names.size() && !stopped(); ++i) {
        const std::uint64_t pos = m_l.fieldsPos + static_cast<std::uint64_t>(i) * m_l.fieldRecordSize;
        if (!m_file.canRead(pos, m_l.fieldRecordSize)) {
            damage(DecodeError{DecodeErrorCode::OutOfRange, pos, "field record past the end of the file"});
            break;
        }
        const FieldRecord f = readFieldRecord(pos);
        ColumnInformation& column = table.AddColumn();
        column.m_name = names[i];
        fillColumn(column, f);
        applyDataType(column, static_cast<std::uint32_t>(i), dataTypes);
        applyMembersAndDefault(column, f, defaults, intervals);
        applyTimestampFunctions(column, f);
    }
    if (defaults.error())
        damage(*defaults.error());
}

void Parser::applyVisibility()
{
    const std::vector<std::uint8_t>* flags = m_l.extra2.find(FrmExtra2Kind::FieldFlags);
    if (!flags)
        return;
    const auto& columns = m_out.m_table->columns();
    if (flags->size() != m_l.fieldCount) {
        damage(kHeaderSize, "the field flags name " + std::to_string(flags->size()) + " of "
                                + std::to_string(m_l.fieldCount) + " fields");
        return;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        // Visibility 2 (system versioning's period columns) stays visible:
        // the table comes back plain, with them as ordinary columns.
        switch ((*flags)[i] & kVisibilityMask) {
        case kUserInvisible: columns[i]->m_visibility = Visibility::Invisible; break;
        case kServerHidden: columns[i]->m_visibility = Visibility::Hidden; break;
        default: break;
        }
    }
}

void Parser::readKeys()
{
    ByteReader k = m_file.sub(m_l.keyArea, m_l.keyLength);
    if (!k || m_l.keyLength < 6) {
        if (m_l.keyLength > 0)
            damage(k);
        return;
    }
    const KeyAreaHeader header = readKeyAreaHeader(k);
    m_l.keyCountDeclared = header.keyCount;
    const KeyRecords keys = readKeyRecords(k, header);
    const std::optional<std::size_t> afterNames = readKeyNames(k, header, keys.keys.size());
    placeKeyParts(keys, readKeyComments(k, header, afterNames, keys.flags));
    readExtraSegment(keys.flags);
}

KeyAreaHeader Parser::readKeyAreaHeader(ByteReader& k)
{
    KeyAreaHeader h;
    h.keyCount = k.u8();
    h.totalParts = k.u8();
    if (h.keyCount & 0x80) { // many keys: 15-bit count, 16-bit part total
        h.keyCount = (h.keyCount & 0x7F) | (h.totalParts << 7);
        h.totalParts = k.u16le();
    } else {
        k.skip(2);
    }
    h.namesLength = k.u16le();
    return h;
}

KeyRecords Parser::readKeyRecords(ByteReader& k, const KeyAreaHeader& header)
{
    KeyRecords out;
    const std::uint64_t recordSize = m_l.oldLayout ? kOldKeyRecordSize : kKeyRecordSize;
    std::uint32_t remaining = header.totalParts;
    while (remaining > 0 && out.keys.size() < header.keyCount && !stopped()) {
        const std::uint64_t start = k.pos();
        std::uint16_t flags = 0;
        if (m_l.oldLayout) // one flag byte, read with the byte before it as the low byte
            flags = k.sub(start - 1, 2).u16le();
        else
            flags = k.u16le();
        k.seek(start + (m_l.oldLayout ? 3 : 4));
        const std::uint8_t partCount = k.u8();
        const std::uint8_t algorithm = m_l.oldLayout ? 0 : k.u8();
        // The size is the key's own only where its flags say it was declared.
        const std::uint16_t storedBlockSize = m_l.oldLayout || m_l.serverVersion < kKeyBlockSizeVersion ? 0 : k.u16le();
        const std::uint16_t blockSize = (flags & kUsesBlockSizeFlag) ? storedBlockSize : 0;
        k.seek(start + recordSize);
        const KeyGroup group = keyGroup(flags, m_l.oldLayout);
        if (!k || group == KeyGroup::Unknown || partCount == 0 || partCount > remaining
            || !k.canRead(k.pos(), partCount * kKeyPartSize)) {
            damage(m_l.keyArea + start, "key " + std::to_string(out.keys.size() + 1) + " unreadable (flags "
                                            + std::to_string(flags) + ")");
            break;
        }
        KeyRead key{group, 0, out.parts.size(), partCount, blockSize};
        for (std::uint8_t p = 0; p < partCount; ++p) {
            ByteReader part = k.sub(k.pos(), kKeyPartSize);
            KeysInformation info;
            info.m_column = part.u16le() & kFieldNumberMask;
            part.seek(4);
            info.m_descending = !m_l.oldLayout && (part.u8() & kReverseSortBit) != 0;
            part.seek(6);
            const std::uint8_t attribute = part.u8();
            info.m_prefixLength = part.u16le();
            info.m_partCount = partCount;
            info.m_longHash = algorithm == kLongHashAlgorithm;
            if (p == 0)
                key.firstAttribute = attribute;
            out.parts.push_back(info);
            k.skip(kKeyPartSize);
        }
        out.keys.push_back(key);
        out.flags.push_back(flags);
        remaining -= partCount;
    }
    return out;
}

// Returns where the names end in the block (past the last separator); none
// when they could not all be read.
std::optional<std::size_t> Parser::readKeyNames(ByteReader& k, const KeyAreaHeader& header, std::size_t keysRead)
{
    // Key names follow the last part: FF name FF name ... FF.
    TableInformation& table = *m_out.m_table;
    ByteReader names = k.sub(k.pos(), std::min<std::uint64_t>(header.namesLength, k.remaining()));
    auto block = names.bytes(names.size());
    std::size_t cursor = 1;
    for (std::uint32_t i = 0; i < header.keyCount && !stopped(); ++i) {
        std::size_t end = cursor;
        while (end < block.size() && block[end] != kNameSeparator && block[end] != 0)
            ++end;
        if (cursor >= block.size() || end >= block.size()) {
            if (i < keysRead)
                damage(m_l.keyArea + k.pos(), "key names cut short");
            return std::nullopt;
        }
        table.m_keyNames.append(FrmText::metadataText(block.subspan(cursor, end - cursor)));
        cursor = end + 1;
    }
    return cursor;
}

// The comments of the keys whose flags say they have one, in key order,
// behind the names and their closing zero; empty for the others, and for
// all when the names could not be read. A comment that runs past the block
// is lost, and so are those after it.
std::vector<QString> Parser::readKeyComments(ByteReader& k, const KeyAreaHeader& header,
                                             std::optional<std::size_t> afterNames,
                                             const std::vector<std::uint16_t>& keyFlags)
{
    std::vector<QString> comments(keyFlags.size());
    if (!afterNames)
        return comments;
    ByteReader block = k.sub(k.pos(), std::min<std::uint64_t>(header.namesLength, k.remaining()));
    block.seek(*afterNames + 1);
    for (std::size_t i = 0; i < keyFlags.size() && !stopped(); ++i) {
        if (m_l.oldLayout || !(keyFlags[i] & kUsesCommentFlag))
            continue;
        const std::uint64_t at = block.pos();
        const std::uint16_t length = block.u16le();
        auto text = block.bytes(length);
        if (!block) {
            damage(block.base() + at,
                   "the comment of key " + std::to_string(i + 1) + " runs past the key names");
            break;
        }
        comments[i] = FrmText::metadataText(text);
    }
    return comments;
}

// One byte per key (bit 0: IGNORED); empty when the file has none or they
// do not match the keys.
std::vector<std::uint8_t> Parser::readIndexFlags(std::size_t keyCount)
{
    const std::vector<std::uint8_t>* flags = m_l.extra2.find(FrmExtra2Kind::IndexFlags);
    if (!flags)
        return {};
    if (flags->size() != m_l.keyCountDeclared) {
        damage(kHeaderSize, "the index flags (IGNORED) name " + std::to_string(flags->size()) + " of "
                                + std::to_string(m_l.keyCountDeclared) + " keys");
        return {};
    }
    return std::vector<std::uint8_t>(flags->begin(), flags->begin() + static_cast<std::ptrdiff_t>(
                                                         std::min(keyCount, flags->size())));
}

void Parser::placeKeyParts(const KeyRecords& read, const std::vector<QString>& comments)
{
    // The primary key is the first key, unique, and named PRIMARY by the server;
    // without the names, its parts must be NOT NULL.
    TableInformation& table = *m_out.m_table;
    const std::vector<std::uint8_t> indexFlags = readIndexFlags(read.keys.size());
    for (std::size_t i = 0; i < read.keys.size(); ++i) {
        const KeyRead& key = read.keys[i];
        bool primary = false;
        if (i == 0 && key.group == KeyGroup::PrimaryOrUnique) {
            primary = !table.m_keyNames.isEmpty() ? table.m_keyNames.front() == QLatin1String("PRIMARY")
                                                   : key.firstAttribute <= 0x40;
        }
        for (std::size_t p = 0; p < key.partCount; ++p) {
            KeysInformation part = read.parts[key.firstPart + p];
            part.m_kind = kindText(key.group, primary);
            part.m_comment = comments[i];
            part.m_ignored = i < indexFlags.size() && (indexFlags[i] & kIgnoredKeyBit) != 0;
            part.m_blockSize = key.blockSize;
            table.m_keyParts.push_back(part);
        }
    }
}

void Parser::readExtraSegment(const std::vector<std::uint16_t>& keyFlags)
{
    if (m_l.extraSize == 0 || m_l.oldLayout)
        return;
    ByteReader x = m_file.sub(m_l.keyArea + m_l.keyLength + m_l.recordLength, m_l.extraSize);
    if (!x) {
        damage(x);
        return;
    }
    const std::uint16_t connectLength = x.u16le();
    auto connect = x.bytes(connectLength);
    if (!x) {
        damage(x.base(), "the CONNECTION string runs past the extra segment");
        return;
    }
    m_out.m_table->m_options.m_connection = FrmText::metadataText(connect);
    if (x.remaining() > 2) {
        const std::uint16_t n = x.u16le();
        auto name = x.bytes(n);
        m_out.m_engineName = FrmText::metadataText(name);
    }
    if (m_l.tableCommentLength != 0xFF) {
        damage(x);
        return;
    }
    // The long table comment comes last, behind the partition text and parser names.
    if (x.remaining() > 5) {
        const std::uint32_t partitionLength = x.u32le();
        x.skip(std::uint64_t{partitionLength} + 1);
    }
    if (m_l.serverVersion >= kAutoPartitionVersion && x.remaining() > 0)
        x.skip(1);
    for (const std::uint16_t flags : keyFlags) {
        if (!(flags & kUsesParserFlag))
            continue;
        while (x.remaining() > 0 && x.u8() != 0) {
        }
    }
    const std::uint64_t at = x.base() + x.pos();
    const std::uint16_t n = x.u16le();
    auto comment = x.bytes(n);
    if (x)
        m_out.m_table->m_options.m_comment = FrmText::metadataText(comment);
    else
        damage(at, "the table's COMMENT runs past the extra segment; left out");
}

Result<FrmContents> Parser::run(const QString& path)
{
    if (auto fatal = readHeader())
        return *fatal;
    m_out.m_table = std::make_unique<TableInformation>();
    TableInformation& table = *m_out.m_table;
    table.m_name = FrmReader::tableNameFromPath(path);
    table.m_frmVersion = m_l.version;
    table.m_dynamicRows = m_l.rowType == 2;
    table.m_collation = m_l.collation;
    if (!m_out.m_damage)
        readFormInfo();
    // After the form information, which a damaged header keeps unread: a
    // damaged option costs that option alone.
    readTableOptions();
    readEngineOptions();
    if (m_l.hasForm) {
        table.m_columnCount = m_l.fieldCount;
        readColumns(readColumnNames());
        readExpressions();
        applyVisibility();
    }
    readKeys();
    return std::move(m_out);
}

} // namespace

bool FrmReader::isViewFile(std::span<const std::uint8_t> bytes)
{
    static constexpr char kView[] = "VIEW";
    return bytes.size() >= 9 && std::equal(kView, kView + 4, bytes.begin() + 5);
}

Result<FrmContents> FrmReader::read(std::span<const std::uint8_t> bytes, const QString& path,
                                    const FrmReadOptions& options)
{
    if (isViewFile(bytes)) {
        FrmContents view;
        view.m_isView = true;
        return view;
    }
    Parser parser(bytes, options);
    return parser.run(path);
}

QString FrmReader::tableNameFromPath(const QString& path)
{
    const QString file = QFileInfo(path).fileName();
    return file.left(file.indexOf(QLatin1Char('.')) < 0 ? file.size() : file.indexOf(QLatin1Char('.')));
}

QString FrmReader::databaseNameFromPath(const QString& path)
{
    return QFileInfo(path).dir().dirName();
}

FrmReader::StorageChoice FrmReader::chooseStorage(const QString& frmPath, const QString& ibdataPath,
                                                  const std::function<bool(const QString&)>& fileExists)
{
    QString base = frmPath;
    if (base.endsWith(QLatin1String(".frm"), Qt::CaseInsensitive))
        base.chop(4);
    const QString ibd = base + QStringLiteral(".ibd");
    if (fileExists(ibd))
        return {QStringLiteral("innodb"), ibd};
    const QString myd = base + QStringLiteral(".MYD");
    if (fileExists(myd))
        return {QStringLiteral("myisam"), myd};
    return {QStringLiteral("innodb"), ibdataPath};
}

} // namespace engine
