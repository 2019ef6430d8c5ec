// A Boolean column added to a table that has rows, then set on every row, on copies of real Jet 3
// and Jet 4 files: mdbtools and mdb-reader must see the column, its Description and the values, and
// everything else as before.

#include <gtest/gtest.h>

#include <algorithm>

#include "jet/database.h"
#include "tests/jet_writes/writes_test_support.h"
#include "tests/support/run_command.h"

namespace {

using writes_test::Scratch;

const std::string kDescription = "Ist die Spalte in der ToolBox freigegeben ? ";

struct TableCase {
    const char* file;
    const char* table;
    // Boolean columns added before ToolBoxAccess: enough of them grow the null mask of every
    // row that is set, and rows on full pages then have to move.
    int spareColumns = 0;
    bool expectMovedRows = false;
    const char* password = "";
};

void PrintTo(const TableCase& c, std::ostream* out) {
    *out << c.file << " " << c.table << " +" << c.spareColumns;
}

class AddAndSetBoolean : public ::testing::TestWithParam<TableCase> {};

TEST_P(AddAndSetBoolean, EveryReaderSeesTheColumnItsDescriptionAndTheValues) {
    const TableCase& c = GetParam();
    Scratch scratch(c.file);
    const std::string connect = *c.password ? std::string(";pwd=") + c.password : "";
    const auto readerArgs = *c.password ? std::vector<std::string>{"--password", c.password}
                                        : std::vector<std::string>{};
    const auto engineBefore = writes_test::dumpWithEngine(scratch.file(), connect);
    const auto readerBefore = fixture::DumpWithMdbReader(scratch.file(), readerArgs);
    ASSERT_TRUE(readerBefore);
    const int pointersBefore = writes_test::rowsFlagged(scratch.file());
    std::vector<std::string> added;
    for (int i = 1; i <= c.spareColumns; ++i) added.push_back("Spare" + std::to_string(i));
    added.push_back("ToolBoxAccess");

    // Every row predates the column and reads false until set; each is set twice (alternating
    // from true), the second time in place, which must not change the outcome.
    std::vector<bool> set;
    {
        auto db = jet::Database::Open(scratch.file().string(), {.connect = connect});
        for (const std::string& column : added) db->AddBooleanColumn(c.table, column, kDescription);
        for (jet::RowCursor rows = db->OpenTable(c.table).rows(); rows.moveNext();)
            EXPECT_EQ(rows.value("ToolBoxAccess"), jet::Value(false));
        for (int pass = 0; pass < 2; ++pass) {
            const auto ids = writes_test::rowIds(*db, c.table);
            ASSERT_FALSE(ids.empty());
            set.clear();
            for (std::size_t i = 0; i < ids.size(); ++i) {
                db->SetBoolean(c.table, ids[i], "ToolBoxAccess", i % 2 == 0);
                set.push_back(i % 2 == 0);
            }
        }
    }

    // Our reader, through a new handle: the values in engine order, everything else as before.
    EXPECT_EQ(writes_test::booleans(scratch.file(), c.table, "ToolBoxAccess", connect), set);
    auto engineAfter = writes_test::dumpWithEngine(scratch.file(), connect);
    for (std::string& line : engineAfter[c.table])
        line = line.substr(0, line.find(added.front() + "="));
    EXPECT_EQ(engineAfter, engineBefore);
    if (c.expectMovedRows) {
        EXPECT_GT(writes_test::rowsFlagged(scratch.file()), pointersBefore);
    }

    // mdbtools: the schema, the Description with its trailing blank, the exported values.
    const std::string schema = writes_test::mdbSchema(scratch.file(), c.table);
    EXPECT_NE(schema.find("[ToolBoxAccess]\t\t\tBoolean"), std::string::npos) << schema;
    const auto props = fixture::MdbProperties(scratch.file(), c.table);
    ASSERT_TRUE(props);
    for (const std::string& column : added) {
        ASSERT_TRUE(props->count(column)) << column;
        EXPECT_EQ(props->at(column).at("Description"), kDescription);
    }

    // mdb-reader: the new columns at the end with the values set (the spare ones all false), every
    // other table and column as before.
    const auto readerAfter = fixture::DumpWithMdbReader(scratch.file(), readerArgs);
    ASSERT_TRUE(readerAfter);
    ASSERT_EQ(readerAfter->tables.size(), readerBefore->tables.size());
    for (const auto& before : readerBefore->tables) {
        const fixture::OracleTable* after = writes_test::findTable(*readerAfter, before.name);
        ASSERT_TRUE(after) << before.name;
        if (before.name != c.table) {
            EXPECT_EQ(after->rows, before.rows) << before.name;
            continue;
        }
        ASSERT_EQ(after->column_names.size(), before.column_names.size() + added.size());
        EXPECT_EQ(after->column_names.back(), "ToolBoxAccess");
        EXPECT_EQ(after->column_types.back(), "boolean");
        const auto stripped = writes_test::stripAddedColumns(*after, before.column_names.size());
        EXPECT_EQ(stripped.rows, before.rows);
        std::vector<std::size_t> trues(added.size(), 0);
        trues.back() = static_cast<std::size_t>(std::count(set.begin(), set.end(), true));
        EXPECT_EQ(stripped.trues, trues);

        const auto exported = fixture::MdbExportRows(scratch.file(), c.table, after->column_names,
                                                     after->column_types);
        if (exported) {
            EXPECT_EQ(*exported, after->rows);
            continue;
        }
        // Text holding the helper's separators defeats its parser (on the pristine file too);
        // the new column is the last one, so count its values at the record ends.
        EXPECT_FALSE(fixture::MdbExportRows(jettest::jetFile(c.file), c.table, before.column_names,
                                            before.column_types));
        const auto csv = fixture::RunCommand(
            {"mdb-export", "-H", "-R", "<end>", scratch.file().string(), c.table});
        ASSERT_EQ(csv.exit_code, 0);
        std::size_t ones = 0;
        std::size_t records = 0;
        for (std::size_t pos = 0; (pos = csv.out.find("<end>", pos)) != std::string::npos;
             pos += 5) {
            ++records;
            ones += pos >= 2 && csv.out.compare(pos - 2, 2, ",1") == 0;
        }
        EXPECT_EQ(records, after->rows.size());
        EXPECT_EQ(ones, trues.back());
    }
}

INSTANTIATE_TEST_SUITE_P(
    RealFiles, AddAndSetBoolean,
    ::testing::Values(TableCase{"jet4/testV2003.mdb", "Table1"},
                      TableCase{"jet3/testV1997.mdb", "Table1"},
                      TableCase{"jet4/db-enc.mdb", "Table1"},
                      TableCase{"jet3/db97-enc.mdb", "Table1"},
                      TableCase{"jet4/overflowTestV2003.mdb", "Table1"},
                      TableCase{"jet3/overflowTestV1997.mdb", "Table1"},
                      TableCase{"jet3/testIndexCodesV1997.mdb", "Table1"},
                      TableCase{"jet4/V2003_no-password.mdb", "Table1"},
                      TableCase{"jet3/testIndexCodesV1997.mdb", "Table1", 7, true},
                      TableCase{"jet3/testIndexCodesV1997.mdb", "Table10", 10, false},
                      TableCase{"jet4/overflowTestV2003.mdb", "Table1", 7, false},
                      TableCase{"jet4/V2003_with-password.mdb", "Table1", 0, false, "password"}),
    [](const auto& info) {
        return jettest::testName(std::string(info.param.file) + "_" + info.param.table + "_" +
                                 std::to_string(info.param.spareColumns));
    });

}  // namespace

namespace {

// What a write refuses, it refuses before touching the file.
TEST(RefusedWrites, LeaveTheFileAsItWas) {
    using jettest::errorOf;
    Scratch scratch("jet3/testIndexCodesV1997.mdb");
    const auto pristine = jettest::readBytes(scratch.file());
    {
        auto db = jet::Database::Open(scratch.file().string());
        const jet::RowId id = writes_test::rowIds(*db, "Table10").at(0);
        // Table10's Boolean "data" is indexed: its index entries would have to change too.
        EXPECT_EQ(errorOf([&] { db->SetBoolean("Table10", id, "data", false); }), 3001);
        EXPECT_EQ(errorOf([&] { db->SetBoolean("Table10", id, "name", true); }), 3421);
        EXPECT_EQ(errorOf([&] { db->SetBoolean("Table10", id, "Data", true); }), 3265);
        EXPECT_EQ(errorOf([&] { db->SetBoolean("NoSuchTable", id, "data", true); }), 3265);
        db->AddBooleanColumn("Table10", "Free", "");
        EXPECT_EQ(errorOf([&] { db->SetBoolean("Table10", {id.page, 200}, "Free", true); }), 3049);
        EXPECT_EQ(errorOf([&] { db->SetBoolean("Table10", {1u << 20, 0}, "Free", true); }), 3049);
        EXPECT_EQ(errorOf([&] { db->SetBoolean("Table10", {2, 0}, "Free", true); }), 3049);
        EXPECT_EQ(errorOf([&] { db->AddBooleanColumn("Table10", "DATA", "x"); }), 3191);
        EXPECT_EQ(errorOf([&] { db->AddBooleanColumn("NoSuchTable", "New", "x"); }), 3265);
        EXPECT_EQ(errorOf([&] { db->AddBooleanColumn("Table10", "", "x"); }), 3001);
        EXPECT_EQ(errorOf([&] { db->SetCustomProperty("Level", 2.5); }), 3001);
        EXPECT_EQ(errorOf([&] { db->SetCustomProperty("Level", std::int64_t{1} << 40); }), 3001);
    }
    {
        auto db = jet::Database::Open(scratch.file().string(), {.readOnly = true});
        const jet::RowId id = writes_test::rowIds(*db, "Table10").at(0);
        EXPECT_EQ(errorOf([&] { db->SetBoolean("Table10", id, "data", true); }), 3027);
    }
    // Only the column added above changed the file.
    auto expected = writes_test::dumpWithEngine(jettest::jetFile("jet3/testIndexCodesV1997.mdb"));
    for (std::string& line : expected["Table10"]) line += "Free=false|";
    EXPECT_EQ(writes_test::dumpWithEngine(scratch.file()), expected);
    EXPECT_NE(jettest::readBytes(scratch.file()), pristine);
}

}  // namespace
