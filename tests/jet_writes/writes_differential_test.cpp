// Every write operation on a copy of every real and project file: custom properties, Boolean
// columns added, their values set (rows that outgrow their page move); the password change is
// judged in tests/jet. mdbtools and mdb-reader must read the result as the file before plus exactly
// the change, and the engine's check must find nothing.

#include <gtest/gtest.h>

#include <algorithm>

#include "jet/database.h"
#include "tests/jet_writes/writes_test_support.h"
#include "tests/support/run_command.h"

namespace {

using writes_test::Scratch;

const std::string kDescription = "Ist die Spalte in der ToolBox freigegeben ? ";

struct WriteCase {
    std::string file;        // under tests/data
    std::string table = {};  // "": the first table with rows
    int columns = 1;         // many grow the null mask until rows, or the definition, move
    int properties = 2;      // many make the blob a chain of LVAL rows
    std::size_t propertyBytes = 60;
    bool rowsMove = false;      // pointer rows must appear (moved data or catalog rows)
    std::string password = {};  // the file's own
    std::string name = {};
};

void PrintTo(const WriteCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<WriteCase> cases() {
    std::vector<WriteCase> all;
    for (const std::string& file : jettest::allJetFiles()) {
        WriteCase c{file};
        // Its UserDefined catalog row has no room on its page even for a short inline blob.
        c.rowsMove = file == "jet3/testIndexCodesV1997.mdb";
        c.properties = c.rowsMove ? 0 : 2;
        c.password = file == "jet4/V2003_with-password.mdb" ? "password" : "";
        all.push_back(c);
    }
    for (const char* project : {"project.kxs", "no-release-column.kxs", "duplicate-languages.kxs",
                                "empty-languages.kxs", "odd-languages.kxs", "other-table.kxs"})
        all.push_back({std::string("projects/") + project});
    all.push_back({"projects/project-protected.kxs", "", 1, 2, 60, false, "QTRMBXLNAHZWEP"});
    all.push_back({"jet3/testIndexCodesV1997.mdb", "Table1", 8, 2, 60, true});
    all.push_back({"jet4/overflowTestV2003.mdb", "Table1", 8});
    all.push_back({"jet4/testV2003.mdb", "Table1", 90, 60});
    all.push_back({"jet3/db97-enc.mdb", "Table1", 90, 60});
    all.push_back({"projects/wide-tables.kxs", "WideInline", 160, 2, 60, true});
    all.push_back({"projects/wide-tables.kxs", "WideReference", 160, 2, 60, true});
    all.push_back({"projects/wide-tables.kxs", "WideMoved", 160, 2, 60, true});
    // New pages then lie beyond the reach of the table's inline usage map (values short of
    // mdb-prop's 16 KB limit).
    all.push_back({"projects/wide-tables.kxs", "WideInline", 160, 80, 16000, true});
    for (WriteCase& c : all) {
        c.name = jettest::testName(c.file + "_" + (c.table.empty() ? "" : c.table + "_") +
                                   std::to_string(c.columns) + "_" + std::to_string(c.properties));
    }
    return all;
}

std::string firstTableWithRows(const std::filesystem::path& file, const std::string& connect) {
    auto db = jet::Database::Open(file.string(), {.readOnly = true, .connect = connect});
    for (const std::string& name : db->tableNames()) {
        if (db->OpenTable(name).rows().moveNext()) return name;
    }
    return "";
}

std::vector<std::string> withPassword(const std::string& password) {
    return password.empty() ? std::vector<std::string>{}
                            : std::vector<std::string>{"--password", password};
}

class EveryWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(EveryWrite, ReadsAsBeforePlusTheChangeToEveryReader) {
    const WriteCase& c = GetParam();
    Scratch scratch(c.file);
    const auto& file = scratch.file();
    const std::string connect = c.password.empty() ? "" : ";pwd=" + c.password;
    const std::string table = c.table.empty() ? firstTableWithRows(file, connect) : c.table;
    const auto engineBefore = writes_test::dumpWithEngine(file, connect);
    const auto readerBefore = fixture::DumpWithMdbReader(file, withPassword(c.password));
    ASSERT_TRUE(readerBefore);
    auto propsBefore =
        fixture::MdbProperties(file, "UserDefined").value_or(fixture::PropertyBlocks{});
    const auto tablePropsBefore =
        table.empty() ? fixture::PropertyBlocks{} : *fixture::MdbProperties(file, table);
    const int pointersBefore = writes_test::rowsFlagged(file);

    std::vector<std::string> added;
    std::vector<bool> set;
    {
        auto db = jet::Database::Open(file.string(), {.connect = connect});
        EXPECT_EQ(db->check(), std::vector<std::string>{});
        // Where UserDefined has no blob yet, mdb-prop shows the one it read before.
        if (!db->customProperties()) propsBefore.clear();
        std::vector<std::pair<std::string, jet::Value>> properties;
        for (int i = 0; i < c.properties; ++i) {
            properties.emplace_back("P" + std::to_string(i),
                                    std::string(c.propertyBytes, 'p') + std::to_string(i));
            propsBefore[""]["P" + std::to_string(i)] =
                std::get<std::string>(properties.back().second);
        }
        db->SetCustomProperties(properties);
        db->SetCustomProperty("Level", std::int64_t{5});
        db->SetCustomProperty("level", std::int64_t{-2147483648LL});  // replaces, whatever the case
        propsBefore[""]["Level"] = "-2147483648";
        EXPECT_EQ(jettest::errorOf([&] { db->SetCustomProperty("Big", std::int64_t{1} << 31); }),
                  3001);
        if (!table.empty()) {
            for (int i = 0; i < c.columns; ++i) {
                added.push_back("B" + std::to_string(i));
                db->AddBooleanColumn(table, added.back(), kDescription);
            }
            EXPECT_EQ(jettest::errorOf([&] { db->AddBooleanColumn(table, "b0", ""); }), 3191);
            // All rows in one commit, as the language releases are stored, then the first one
            // alone and in place.
            const auto ids = writes_test::rowIds(*db, table);
            std::vector<std::pair<jet::RowId, bool>> changes;
            for (std::size_t i = 0; i < ids.size(); ++i) {
                changes.emplace_back(ids[i], i % 3 != 0);
                set.push_back(i % 3 != 0);
            }
            db->SetBooleans(table, added.back(), changes);
            if (!ids.empty()) db->SetBoolean(table, ids[0], added.back(), set[0] = true);
        }
        EXPECT_EQ(db->check(jet::CheckScope::Written), std::vector<std::string>{});
    }

    // Our reader through a new handle: the values, everything else as before.
    auto stripped = writes_test::dumpWithEngine(file, connect);
    if (!table.empty()) {
        EXPECT_EQ(writes_test::booleans(file, table, added.back(), connect), set);
        for (std::string& line : stripped[table]) line = line.substr(0, line.find("B0="));
    }
    EXPECT_EQ(stripped, engineBefore);
    if (c.rowsMove) {
        EXPECT_GT(writes_test::rowsFlagged(file), pointersBefore);
    }

    // mdbtools: the properties, the values at the ends of the exported records.
    EXPECT_EQ(fixture::MdbProperties(file, "UserDefined"), propsBefore);
    if (!table.empty()) {
        auto expected = tablePropsBefore;
        for (const std::string& column : added) expected[column]["Description"] = kDescription;
        const auto props = fixture::MdbProperties(file, table);
        ASSERT_TRUE(props);
        for (const auto& [block, values] : expected) {
            for (const auto& [name, value] : values)
                EXPECT_EQ(props->at(block).at(name), value) << block << "." << name;
        }
        const auto csv =
            fixture::RunCommand({"mdb-export", "-H", "-R", "<end>", file.string(), table});
        ASSERT_EQ(csv.exit_code, 0);
        std::size_t ones = 0, records = 0;
        for (std::size_t at = 0; (at = csv.out.find("<end>", at)) != std::string::npos; at += 5) {
            ++records;
            ones += at >= 2 && csv.out.compare(at - 2, 2, ",1") == 0;
        }
        EXPECT_EQ(records, set.size());
        EXPECT_EQ(ones, static_cast<std::size_t>(std::count(set.begin(), set.end(), true)));
    }

    // mdb-reader: the new columns at the end, every other table and column as before.
    const auto readerAfter = fixture::DumpWithMdbReader(file, withPassword(c.password));
    ASSERT_TRUE(readerAfter);
    ASSERT_EQ(readerAfter->tables.size(), readerBefore->tables.size());
    for (const auto& before : readerBefore->tables) {
        const fixture::OracleTable* after = writes_test::findTable(*readerAfter, before.name);
        ASSERT_TRUE(after) << before.name;
        if (before.name != table) {
            EXPECT_EQ(after->rows, before.rows) << before.name;
            continue;
        }
        ASSERT_EQ(after->column_names.size(), before.column_names.size() + added.size());
        EXPECT_EQ(after->column_types.back(), "boolean");
        const auto stripped = writes_test::stripAddedColumns(*after, before.column_names.size());
        EXPECT_EQ(stripped.rows, before.rows);
        std::vector<std::size_t> trues(added.size(), 0);
        trues.back() = static_cast<std::size_t>(std::count(set.begin(), set.end(), true));
        EXPECT_EQ(stripped.trues, trues);
    }

    EXPECT_EQ(jet::Database::Open(file.string(), {.readOnly = true, .connect = connect})->check(),
              std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Files, EveryWrite, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
