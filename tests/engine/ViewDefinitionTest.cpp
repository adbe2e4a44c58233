// The clauses of a view file made into CREATE VIEW: files as the server
// writes them, files of servers before the keys, and damaged values.
#include "engine/ObjectDefinitionFile.h"
#include "engine/ViewDefinition.h"

#include <gtest/gtest.h>

namespace {

using engine::ObjectDefinitionFile;
using engine::ViewDefinition;

// A MariaDB view file's lines around the clauses.
QByteArray viewFile(const QByteArray& clauses, bool mariadb = true)
{
    return "TYPE=VIEW\nquery=select 1 AS `1`\nmd5=0\nupdatable=0\n" + clauses
        + "timestamp=0001700000000000000\ncreate-version=2\nsource=SELECT 1\nclient_cs_name=utf8mb4\n"
        + (mariadb ? QByteArray("mariadb-version=101119\n") : QByteArray());
}

struct Case {
    const char* name;
    QByteArray file;
    const char* statement;
    QStringList problems;
};

TEST(ViewDefinition, ClausesAsTheFileGivesThem)
{
    const QByteArray root = "definer_user=root\ndefiner_host=localhost\n";
    const Case cases[] = {
        {"MERGE, INVOKER, CASCADED",
         viewFile("algorithm=1\n" + root + "suid=0\nwith_check_option=2\n"),
         "CREATE ALGORITHM=MERGE DEFINER=`root`@`localhost` SQL SECURITY INVOKER VIEW `v` AS q WITH CASCADED CHECK OPTION",
         {}},
        {"TEMPTABLE, DEFINER, LOCAL", viewFile("algorithm=2\n" + root + "suid=1\nwith_check_option=1\n"),
         "CREATE ALGORITHM=TEMPTABLE DEFINER=`root`@`localhost` SQL SECURITY DEFINER VIEW `v` AS q WITH LOCAL CHECK OPTION",
         {}},
        // suid 2: no SQL SECURITY was given, and none is given again.
        {"nothing given", viewFile("algorithm=0\n" + root + "suid=2\nwith_check_option=0\n"),
         "CREATE ALGORITHM=UNDEFINED DEFINER=`root`@`localhost` VIEW `v` AS q", {}},
        // MySQL numbers the two algorithms the other way round.
        {"MySQL's TEMPTABLE", viewFile("algorithm=1\n" + root + "suid=2\nwith_check_option=0\n", false),
         "CREATE ALGORITHM=TEMPTABLE DEFINER=`root`@`localhost` VIEW `v` AS q", {}},
        {"MySQL's MERGE", viewFile("algorithm=2\n", false), "CREATE ALGORITHM=MERGE VIEW `v` AS q", {}},
        {"a server before the keys", viewFile(""), "create view `v` as q", {}},
        {"escaped definer, any host", viewFile("definer_user=fx_gone\\'s\ndefiner_host=%\n"),
         "CREATE DEFINER=`fx_gone's`@`%` VIEW `v` AS q", {}},
        {"quote in a name", viewFile("definer_user=a`b\ndefiner_host=h\n"), "CREATE DEFINER=`a``b`@`h` VIEW `v` AS q", {}},
        {"a role has no host", viewFile("definer_user=admins\ndefiner_host=\n"), "CREATE DEFINER=`admins` VIEW `v` AS q", {}},
        // Damage costs the clause, not the view.
        {"unknown algorithm", viewFile("algorithm=9\n" + root + "suid=0\n"),
         "CREATE DEFINER=`root`@`localhost` SQL SECURITY INVOKER VIEW `v` AS q",
         {"its algorithm= value \"9\" is not one the server writes; the view is made without its ALGORITHM clause"}},
        {"cut suid line", viewFile("algorithm=1\nsuid=\nwith_check_option=2\n"),
         "CREATE ALGORITHM=MERGE VIEW `v` AS q WITH CASCADED CHECK OPTION",
         {"its suid= line has no value; the view is made without its SQL SECURITY clause"}},
        {"check option not a number", viewFile("with_check_option=2x\nsuid=-1\n"), "create view `v` as q",
         {"its with_check_option= value \"2x\" is not one the server writes; the view is made without its CHECK "
          "OPTION clause",
          "its suid= value \"-1\" is not one the server writes; the view is made without its SQL SECURITY clause"}},
        {"a number past the table", viewFile("algorithm=99999999999999999999\n"), "create view `v` as q",
         {"its algorithm= value \"99999999999999999999\" is not one the server writes; the view is made without its "
          "ALGORITHM clause"}},
        {"file cut after the definer's user", "TYPE=VIEW\nquery=q\nalgorithm=1\ndefiner_user=root\n",
         "CREATE ALGORITHM=TEMPTABLE VIEW `v` AS q",
         {"its definer is cut (definer_host= is missing); the view is made without its DEFINER clause"}},
        {"definer without a user", viewFile("definer_user=\ndefiner_host=localhost\n"), "create view `v` as q",
         {"its definer_user= line has no value; the view is made without its DEFINER clause"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ViewDefinition view = ViewDefinition::FromValues(ObjectDefinitionFile::Parse(c.file));
        EXPECT_EQ(view.CreateStatement(QStringLiteral("`v`"), QStringLiteral("q")).toStdString(), c.statement);
        // The problems in any order.
        QStringList want = c.problems;
        QStringList got = view.Problems();
        want.sort();
        got.sort();
        EXPECT_EQ(got, want);
    }
}

TEST(ViewDefinition, WithoutItsDefinerTheLoginBecomesIt)
{
    const ViewDefinition view = ViewDefinition::FromValues(
        ObjectDefinitionFile::Parse(viewFile("algorithm=2\ndefiner_user=root\ndefiner_host=localhost\nsuid=1\n")));
    ASSERT_TRUE(view.HasDefiner());
    EXPECT_EQ(view.Definer(), QStringLiteral("`root`@`localhost`"));
    EXPECT_EQ(view.CreateStatement(QStringLiteral("`v`"), QStringLiteral("q"), false),
              QStringLiteral("CREATE ALGORITHM=TEMPTABLE SQL SECURITY DEFINER VIEW `v` AS q"));
    EXPECT_FALSE(ViewDefinition::FromValues(ObjectDefinitionFile::Parse(viewFile(""))).HasDefiner());
}

} // namespace
