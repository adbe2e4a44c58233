// The definition of every InnoDB fixture table against the data dictionary the
// server wrote beside it, and definitions changed the ways a damaged .frm is.
#include "recovery/innodb/InnodbDefinitionCheck.h"

#include "engine/FileNameCodec.h"
#include "tests/recovery/innodb/InnodbRowsTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <functional>

namespace {

using recovery::innodb::InnodbDefinitionCheck;
using testsupport::FixtureSet;

QStringList fixtureFolders(const QString& set)
{
    return QDir(FixtureSet::dataFolder(set)).entryList({QStringLiteral("fx*")}, QDir::Dirs);
}

// The definition's positions of the key columns the reader chose.
std::vector<std::size_t> keyPositions(const engine::MySqlRepair& repair, const engine::TableInformation& table)
{
    std::vector<std::size_t> key;
    for (const engine::tempColInfo& k : repair.m_keyColumns)
        for (std::size_t j = 0; j < table.columns().size(); ++j)
            if (table.columns()[j]->m_name == k.m_name)
                key.push_back(j);
    return key;
}

// Every InnoDB table of both sets: the dictionary tells, and agrees; the
// reader prepares the table and counts the server's rows.
TEST(InnodbDefinitionCheck, EveryFixtureTableAgrees)
{
    for (const char* setName : {"legacy", "default"}) {
        const QString set = QLatin1String(setName);
        if (!FixtureSet::built(set))
            GTEST_SKIP() << "fixture data folders not built";
        SCOPED_TRACE(setName);
        testsupport::ScannedEngine s(FixtureSet::dataFolder(set), fixtureFolders(set));
        ASSERT_NE(s.repair.m_dictionary, nullptr);
        const recovery::innodb::InnodbDictionary& dictionary = *s.repair.m_dictionary;
        int checked = 0;
        for (const auto& database : s.repair.m_databases) {
            for (const auto& table : database->m_tables) {
                // Tables whose rows are not read (compressed pages, other
                // engines) are not checked against the dictionary.
                if (table->m_engine != QLatin1String("innodb") || table->m_rowsNotRead)
                    continue;
                const QString qualified = database->m_name + QLatin1Char('/') + table->m_name;
                SCOPED_TRACE(qualified.toStdString());
                const auto logBefore = s.report.log().size();
                s.app.m_bRepair = false;
                s.repair.LocateInnoDbTableData(*table);
                for (const QString& line : s.report.log().mid(logBefore))
                    EXPECT_FALSE(line.contains(QLatin1String("data dictionary"))) << line.toStdString();
                const auto expected = testsupport::ExpectedRows::load(
                    set, engine::FileNameCodec::Decode(database->m_name), engine::FileNameCodec::Decode(table->m_name));
                // A system-versioned table's records also hold its history,
                // which the server's SELECT left out.
                if (FixtureSet::tableType(set, engine::FileNameCodec::Decode(database->m_name),
                                          engine::FileNameCodec::Decode(table->m_name))
                    == QLatin1String("SYSTEM VERSIONED")) {
                    EXPECT_GT(static_cast<std::size_t>(s.app.m_nTotalRecords), expected.rows().size());
                } else {
                    EXPECT_EQ(static_cast<std::size_t>(s.app.m_nTotalRecords), expected.rows().size());
                }

                // Not only no disagreement: the dictionary could tell, of
                // each partition (a tablespace named as its file) too.
                QStringList tablespaces{qualified};
                if (!table->m_partitions.empty()) {
                    tablespaces.clear();
                    for (const engine::TablePartition& partition : table->m_partitions)
                        tablespaces << database->m_name + QLatin1Char('/')
                                + QFileInfo(partition.m_dataFile).completeBaseName();
                }
                for (const QString& tablespace : tablespaces) {
                    auto location = dictionary.findTable(tablespace);
                    ASSERT_TRUE(location) << tablespace.toStdString() << ": " << location.error().what;
                    const auto verdict = InnodbDefinitionCheck::check(dictionary, location->clusteredIndexId, *table,
                                                                      keyPositions(s.repair, *table));
                    EXPECT_EQ(verdict.outcome, InnodbDefinitionCheck::Outcome::Agrees) << verdict.what.toStdString();
                }
                ++checked;
            }
        }
        EXPECT_GT(checked, 25);
    }
}

// One fixture table's definition changed in one place at a time, as a
// damaged .frm changes it: each change is named.
TEST(InnodbDefinitionCheck, ChangedDefinitionsDisagree)
{
    const QString set = QStringLiteral("default");
    if (!FixtureSet::built(set))
        GTEST_SKIP() << "fixture data folders not built";
    testsupport::ScannedEngine s(FixtureSet::dataFolder(set), {QStringLiteral("fx_innodb_sys")});
    ASSERT_NE(s.repair.m_dictionary, nullptr);
    const recovery::innodb::InnodbDictionary& dictionary = *s.repair.m_dictionary;

    using engine::ColumnInformation;
    using Change = std::function<void(engine::TableInformation&, std::vector<std::size_t>&)>;
    const auto column = [](engine::TableInformation& t, const char* name) -> ColumnInformation& {
        for (const auto& c : t.columns())
            if (c->m_name == QLatin1String(name))
                return *c;
        ADD_FAILURE() << "no column " << name;
        return *t.columns().front();
    };
    const struct {
        const char* name;
        const char* table;
        Change change;
        const char* what;  // empty: agrees
    } cases[] = {
        {"unchanged", "composite_pk", [](auto&, auto&) {}, ""},
        {"a name in another letter case", "composite_pk",
         [&](auto& t, auto&) { column(t, "label").m_name = QStringLiteral("LABEL"); }, ""},
        {"a column renamed", "composite_pk", [&](auto& t, auto&) { column(t, "label").m_name = QStringLiteral("lbl"); },
         "column 4 is `lbl` in the definition, `label` in the InnoDB data dictionary"},
        {"key parts in another order", "composite_pk", [](auto&, auto& key) { std::swap(key[1], key[2]); },
         "the clustered index's key is (`region`, `day`, `num`) in the definition, (`region`, `num`, `day`) in the "
         "InnoDB data dictionary"},
        {"a key part fewer", "composite_pk", [](auto&, auto& key) { key.pop_back(); }, "the clustered index's key"},
        {"no key where the dictionary has one", "composite_pk", [](auto&, auto& key) { key.clear(); },
         "(DB_ROW_ID) in the definition"},
        {"a key where the dictionary has DB_ROW_ID", "no_pk", [](auto&, auto& key) { key = {0}; },
         "(`a`) in the definition, (DB_ROW_ID) in the InnoDB data dictionary"},
        {"INT made BIGINT", "composite_pk",
         [&](auto& t, auto&) { column(t, "num").m_typeCode = engine::TYPE_BIGINT; }, "column 2 `num`"},
        {"DATE made DATETIME", "composite_pk",
         [&](auto& t, auto&) {
             column(t, "day").m_typeCode = engine::TYPE_DATETIME2;
             column(t, "day").m_length = 19;
         },
         "column 3 `day`"},
        {"DECIMAL(12,4) made DECIMAL(14,4)", "composite_pk",
         [&](auto& t, auto&) { column(t, "amount").m_length = 14; }, "column 5 `amount`"},
        {"DECIMAL made DOUBLE", "composite_pk",
         [&](auto& t, auto&) { column(t, "amount").m_typeCode = engine::TYPE_DOUBLE; }, "column 5 `amount`"},
        {"a VARCHAR of other length", "composite_pk",
         [&](auto& t, auto&) { column(t, "label").m_length -= 4; }, "column 4 `label`"},
        {"a VARCHAR made a TEXT", "composite_pk",
         [&](auto& t, auto&) { column(t, "label").m_typeCode = engine::TYPE_TEXT; }, "column 4 `label`"},
        {"CHAR made VARCHAR", "composite_pk",
         [&](auto& t, auto&) { column(t, "region").m_typeCode = engine::TYPE_VARCHAR; }, "column 1 `region`"},
        {"a virtual column renamed", "defaults",
         [&](auto& t, auto&) { column(t, "gen_v").m_name = QStringLiteral("gen_w"); },
         "the virtual column `gen_v` in the InnoDB data dictionary"},
        {"a virtual column made stored", "defaults",
         [&](auto& t, auto&) { column(t, "gen_v").m_generated = engine::Generated::Stored; },
         "stored columns"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A fresh scan each time: the changes are made to the scanned table.
        testsupport::ScannedEngine fresh(FixtureSet::dataFolder(set), {QStringLiteral("fx_innodb_sys")});
        engine::TableInformation* table = fresh.table(QStringLiteral("fx_innodb_sys"), QLatin1String(c.table));
        ASSERT_NE(table, nullptr);
        fresh.app.m_bRepair = false;
        fresh.repair.LocateInnoDbTableData(*table);
        std::vector<std::size_t> key = keyPositions(fresh.repair, *table);
        c.change(*table, key);
        auto location = dictionary.findTable(QStringLiteral("fx_innodb_sys/") + QLatin1String(c.table));
        ASSERT_TRUE(location);
        const auto verdict = InnodbDefinitionCheck::check(dictionary, location->clusteredIndexId, *table, key);
        if (*c.what == '\0') {
            EXPECT_EQ(verdict.outcome, InnodbDefinitionCheck::Outcome::Agrees) << verdict.what.toStdString();
        } else {
            EXPECT_EQ(verdict.outcome, InnodbDefinitionCheck::Outcome::Disagrees) << verdict.what.toStdString();
            EXPECT_TRUE(verdict.what.contains(QString::fromUtf8(c.what))) << verdict.what.toStdString();
        }
    }
}

} // namespace
