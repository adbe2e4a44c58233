#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace engine {

// The session settings a trigger was made under, which the server parses
// and runs it under: sql_mode, character_set_client and
// collation_connection. A .TRG file keeps them per trigger (sql_modes as
// the mode's bits, client_cs_names, connection_cl_names). An empty member
// (no sql_mode at all) is a setting not given.
class TriggerSession {
public:
    std::optional<QString> m_sqlMode; // "" is the empty mode
    QString m_client;
    QString m_collation;

    // The settings of the file's trigger number index. A list the file
    // lacks (older servers) gives nothing; an entry the server never writes
    // (an unknown mode bit, a name that is no name, a cut list) gives
    // nothing for that setting and a line in problems.
    static TriggerSession FromValues(const QMap<QByteArray, QByteArray>& values, qsizetype index,
                                     QStringList& problems);
    // The names of the mode's bits as @@sql_mode lists them; nothing when
    // a bit is one the server does not know.
    static std::optional<QString> SqlModeNames(std::uint64_t bits);

    bool IsEmpty() const { return !m_sqlMode && m_client.isEmpty() && m_collation.isEmpty(); }
    // What of this differs from current. The client character set only
    // where the statement is ASCII: its text is sent in the connection's
    // own character set, which ASCII reads alike in every other.
    TriggerSession ChangesFrom(const TriggerSession& current, bool asciiStatement) const;
    // This session's values of the settings that changes sets, to put
    // the session back afterwards.
    TriggerSession ValuesOf(const TriggerSession& changes) const;
    // "SET SESSION sql_mode = '...', ..." for the settings given; empty
    // when none is.
    QString SetStatement() const;
};

} // namespace engine
