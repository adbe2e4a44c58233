// The settings a trigger was made under, read from its .TRG file's lists,
// and the statements that set them and put the connection's back.
#include "engine/TriggerSession.h"

#include "engine/ObjectDefinitionFile.h"

#include <gtest/gtest.h>

namespace {

using engine::ObjectDefinitionFile;
using engine::TriggerSession;

struct Case {
    const char* name;
    QByteArray lists; // the file's lines after "triggers="
    qsizetype index;
    std::optional<QString> sqlMode;
    const char* client;
    const char* collation;
    QStringList problems;
};

TEST(TriggerSession, SettingsOfEachTrigger)
{
    const QByteArray three = "sql_modes=1073741824 1073741826 1411383296\n"
                             "client_cs_names='utf8mb4' 'utf8mb4' 'latin1'\n"
                             "connection_cl_names='utf8mb4_general_ci' 'utf8mb4_general_ci' 'latin1_swedish_ci'\n";
    const Case cases[] = {
        {"not strict", three, 0, QStringLiteral("NO_ENGINE_SUBSTITUTION"), "utf8mb4", "utf8mb4_general_ci", {}},
        {"pipes", three, 1, QStringLiteral("PIPES_AS_CONCAT,NO_ENGINE_SUBSTITUTION"), "utf8mb4", "utf8mb4_general_ci", {}},
        {"the default, latin1", three, 2,
         QStringLiteral("STRICT_TRANS_TABLES,ERROR_FOR_DIVISION_BY_ZERO,NO_AUTO_CREATE_USER,NO_ENGINE_SUBSTITUTION"),
         "latin1", "latin1_swedish_ci", {}},
        // The empty mode is a mode: the trigger runs under none.
        {"no mode at all", "sql_modes=0\n", 0, QString(), "", "", {}},
        {"MariaDB's own bits", "sql_modes=30064771072\n", 0,
         QStringLiteral("EMPTY_STRING_IS_NULL,SIMULTANEOUS_ASSIGNMENT,TIME_ROUND_FRACTIONAL"), "", "", {}},
        {"an old file without the lists", "", 0, std::nullopt, "", "", {}},
        // Damage costs the setting, not the trigger.
        {"a bit no server knows", "sql_modes=34359738368\n", 0, std::nullopt, "", "",
         {"its sql_mode \"34359738368\" is not one the server writes; it is made under the connection's"}},
        {"not a number", "sql_modes=12a\n", 0, std::nullopt, "", "",
         {"its sql_mode \"12a\" is not one the server writes; it is made under the connection's"}},
        {"list cut short", "sql_modes=1073741824\nclient_cs_names='utf8mb4'\n", 1, std::nullopt, "", "",
         {"its file gives it no sql_mode; it is made under the connection's",
          "its file gives it no character_set_client; it is made under the connection's"}},
        {"a name that is no name", "connection_cl_names='latin1; DROP'\n", 0, std::nullopt, "", "",
         {"its collation_connection \"latin1; DROP\" is no name the server writes; it is made under the "
          "connection's"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList problems;
        const TriggerSession session =
            TriggerSession::FromValues(ObjectDefinitionFile::Parse("TYPE=TRIGGERS\ntriggers='a' 'b' 'c'\n" + c.lists),
                                       c.index, problems);
        EXPECT_EQ(session.m_sqlMode, c.sqlMode);
        EXPECT_EQ(session.m_client, QLatin1String(c.client));
        EXPECT_EQ(session.m_collation, QLatin1String(c.collation));
        EXPECT_EQ(problems, c.problems);
    }
}

TEST(TriggerSession, OnlyWhatDiffersIsSetAndPutBack)
{
    TriggerSession own;
    own.m_sqlMode = QStringLiteral("STRICT_TRANS_TABLES");
    own.m_client = QStringLiteral("utf8mb4");
    own.m_collation = QStringLiteral("utf8mb4_general_ci");

    TriggerSession made = own;
    EXPECT_TRUE(made.ChangesFrom(own, true).IsEmpty());
    EXPECT_TRUE(made.ChangesFrom(own, true).SetStatement().isEmpty());
    made.m_collation = QStringLiteral("UTF8MB4_GENERAL_CI");
    EXPECT_TRUE(made.ChangesFrom(own, true).IsEmpty()) << "names compare without case";

    made.m_sqlMode = QString();
    made.m_client = QStringLiteral("latin1");
    made.m_collation = QStringLiteral("latin1_swedish_ci");
    const TriggerSession changes = made.ChangesFrom(own, true);
    EXPECT_EQ(changes.SetStatement(),
              QStringLiteral("SET SESSION sql_mode = '', character_set_client = latin1, collation_connection = latin1_swedish_ci"));
    EXPECT_EQ(own.ValuesOf(changes).SetStatement(),
              QStringLiteral("SET SESSION sql_mode = 'STRICT_TRANS_TABLES', character_set_client = utf8mb4, "
                             "collation_connection = utf8mb4_general_ci"));
    // Text beyond ASCII goes in the connection's own character set.
    const TriggerSession nonAscii = made.ChangesFrom(own, false);
    EXPECT_EQ(nonAscii.SetStatement(), QStringLiteral("SET SESSION sql_mode = '', collation_connection = latin1_swedish_ci"));
    EXPECT_EQ(own.ValuesOf(nonAscii).SetStatement(),
              QStringLiteral("SET SESSION sql_mode = 'STRICT_TRANS_TABLES', collation_connection = utf8mb4_general_ci"));
    // What the file does not give stays as the connection has it.
    EXPECT_TRUE(TriggerSession().ChangesFrom(own, true).IsEmpty());
}

} // namespace
