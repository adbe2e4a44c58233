#include "engine/TriggerSession.h"

#include "engine/ObjectDefinitionFile.h"

#include <array>

namespace engine {

namespace {

// The sql_mode bits, lowest first, as MySQL 5.x and MariaDB number them
// (the last three are MariaDB's own). Composite modes (ANSI, TRADITIONAL,
// ORACLE, ...) keep their own bit beside the bits they stand for.
constexpr std::array<const char*, 35> kSqlModes{
    "REAL_AS_FLOAT", "PIPES_AS_CONCAT", "ANSI_QUOTES", "IGNORE_SPACE", "IGNORE_BAD_TABLE_OPTIONS",
    "ONLY_FULL_GROUP_BY", "NO_UNSIGNED_SUBTRACTION", "NO_DIR_IN_CREATE", "POSTGRESQL", "ORACLE",
    "MSSQL", "DB2", "MAXDB", "NO_KEY_OPTIONS", "NO_TABLE_OPTIONS",
    "NO_FIELD_OPTIONS", "MYSQL323", "MYSQL40", "ANSI", "NO_AUTO_VALUE_ON_ZERO",
    "NO_BACKSLASH_ESCAPES", "STRICT_TRANS_TABLES", "STRICT_ALL_TABLES", "NO_ZERO_IN_DATE", "NO_ZERO_DATE",
    "ALLOW_INVALID_DATES", "ERROR_FOR_DIVISION_BY_ZERO", "TRADITIONAL", "NO_AUTO_CREATE_USER",
    "HIGH_NOT_PRECEDENCE", "NO_ENGINE_SUBSTITUTION", "PAD_CHAR_TO_FULL_LENGTH", "EMPTY_STRING_IS_NULL",
    "SIMULTANEOUS_ASSIGNMENT", "TIME_ROUND_FRACTIONAL"};

// Character set and collation names: letters, digits and '_' only, so they
// go into a statement as they are.
bool isPlainName(const QByteArray& name)
{
    if (name.isEmpty() || name.size() > 64)
        return false;
    for (const char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

std::optional<std::uint64_t> decimal(const QByteArray& text)
{
    if (text.isEmpty() || text.size() > 20)
        return std::nullopt;
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok, 10);
    if (!ok || text.front() == '+' || text.front() == '-')
        return std::nullopt;
    return value;
}

} // namespace

std::optional<QString> TriggerSession::SqlModeNames(std::uint64_t bits)
{
    QStringList names;
    for (std::size_t bit = 0; bit < 64; ++bit) {
        if (!(bits & (std::uint64_t{1} << bit)))
            continue;
        if (bit >= kSqlModes.size())
            return std::nullopt;
        names << QString::fromLatin1(kSqlModes[bit]);
    }
    return names.join(QLatin1Char(','));
}

TriggerSession TriggerSession::FromValues(const QMap<QByteArray, QByteArray>& values, qsizetype index,
                                          QStringList& problems)
{
    TriggerSession session;
    if (values.contains("sql_modes")) {
        const QList<QByteArray> modes = values.value("sql_modes").split(' ');
        const QByteArray entry = index < modes.size() ? modes[index].trimmed() : QByteArray();
        const auto bits = decimal(entry);
        const auto names = bits ? SqlModeNames(*bits) : std::nullopt;
        if (names)
            session.m_sqlMode = *names;
        else
            problems << (entry.isEmpty() ? QStringLiteral("its file gives it no sql_mode")
                                         : QStringLiteral("its sql_mode \"%1\" is not one the server writes")
                                               .arg(QString::fromLatin1(entry.left(24))))
                    + QStringLiteral("; it is made under the connection's");
    }
    // Names of a list of quoted names, each checked.
    const auto name = [&](const QByteArray& key, const char* what) -> QString {
        if (!values.contains(key))
            return {};
        const QList<QByteArray> names = ObjectDefinitionFile::QuotedList(values.value(key));
        const QByteArray entry = names.value(index);
        if (isPlainName(entry))
            return QString::fromLatin1(entry);
        problems << (entry.isEmpty() ? QStringLiteral("its file gives it no %1").arg(QLatin1String(what))
                                     : QStringLiteral("its %1 \"%2\" is no name the server writes")
                                           .arg(QLatin1String(what), QString::fromLatin1(entry.left(24))))
                + QStringLiteral("; it is made under the connection's");
        return {};
    };
    session.m_client = name("client_cs_names", "character_set_client");
    session.m_collation = name("connection_cl_names", "collation_connection");
    return session;
}

TriggerSession TriggerSession::ChangesFrom(const TriggerSession& current, bool asciiStatement) const
{
    TriggerSession changes;
    if (m_sqlMode && m_sqlMode != current.m_sqlMode)
        changes.m_sqlMode = m_sqlMode;
    if (asciiStatement && !m_client.isEmpty() && m_client.compare(current.m_client, Qt::CaseInsensitive) != 0)
        changes.m_client = m_client;
    if (!m_collation.isEmpty() && m_collation.compare(current.m_collation, Qt::CaseInsensitive) != 0)
        changes.m_collation = m_collation;
    return changes;
}

TriggerSession TriggerSession::ValuesOf(const TriggerSession& changes) const
{
    TriggerSession values;
    if (changes.m_sqlMode)
        values.m_sqlMode = m_sqlMode;
    if (!changes.m_client.isEmpty())
        values.m_client = m_client;
    if (!changes.m_collation.isEmpty())
        values.m_collation = m_collation;
    return values;
}

QString TriggerSession::SetStatement() const
{
    QStringList assignments;
    if (m_sqlMode)
        assignments << QStringLiteral("sql_mode = '%1'").arg(*m_sqlMode);
    if (!m_client.isEmpty())
        assignments << QStringLiteral("character_set_client = %1").arg(m_client);
    if (!m_collation.isEmpty())
        assignments << QStringLiteral("collation_connection = %1").arg(m_collation);
    if (assignments.isEmpty())
        return {};
    return QStringLiteral("SET SESSION ") + assignments.join(QStringLiteral(", "));
}

} // namespace engine
