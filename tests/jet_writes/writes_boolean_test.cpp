// A Boolean column added to a table that has rows, then set on every row, on copies of real Jet 3
// and Jet 4 files: mdbtools and mdb-reader must see the column, its Description and the values, and
// everything else as before.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

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

class AddAndSetBoolean : public ::testing::TestWithParam<TableCase> {};

// Sets the column on every row, alternating from true, and returns the values in engine order.
std::vector<bool> setAlternating(jet::Database& db, const std::string& table,
                                 const std::string& column) {
    std::vector<jet::RowId> ids;
    {
        jet::RowCursor rows = db.OpenTable(table).rows();
        while (rows.moveNext()) ids.push_back(rows.rowId());
    }
    std::vector<bool> set;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        db.SetBoolean(table, ids[i], column, i % 2 == 0);
        set.push_back(i % 2 == 0);
    }
    return set;
}

std::vector<bool> engineValues(const std::filesystem::path& file, const std::string& table,
                               const std::string& column, const std::string& connect) {
    auto db = jet::Database::Open(file.string(), {.readOnly = true, .connect = connect});
    std::vector<bool> values;
    jet::RowCursor rows = db->OpenTable(table).rows();
    while (rows.moveNext()) values.push_back(std::get<bool>(rows.value(column)));
    return values;
}

TEST_P(AddAndSetBoolean, EveryReaderSeesTheColumnItsDescriptionAndTheValues) {
    const TableCase& c = GetParam();
    Scratch scratch(c.file);
    const std::string connect = *c.password ? std::string(";pwd=") + c.password : "";
    const std::vector<std::string> readerArgs =
        *c.password ? std::vector<std::string>{"--password", c.password}
                    : std::vector<std::string>{};
    const auto engineBefore = writes_test::dumpWithEngine(scratch.file(), connect);
    const auto readerBefore = fixture::DumpWithMdbReader(scratch.file(), readerArgs);
    ASSERT_TRUE(readerBefore);

    const int pointersBefore = writes_test::pointerRows(scratch.file());
    std::vector<std::string> added;
    for (int i = 1; i <= c.spareColumns; ++i) added.push_back("Spare" + std::to_string(i));
    added.push_back("ToolBoxAccess");

    std::vector<bool> set;
    {
        auto db = jet::Database::Open(scratch.file().string(), {.connect = connect});
        for (const std::string& column : added) db->AddBooleanColumn(c.table, column, kDescription);
        // Every row predates the column and reads false until set.
        {
            jet::RowCursor rows = db->OpenTable(c.table).rows();
            while (rows.moveNext()) EXPECT_EQ(rows.value("ToolBoxAccess"), jet::Value(false));
        }
        set = setAlternating(*db, c.table, "ToolBoxAccess");
        ASSERT_FALSE(set.empty());
        // Setting again (now in place) must not change the outcome.
        set = setAlternating(*db, c.table, "ToolBoxAccess");
    }

    // Our reader, through a new handle: the values in engine order, everything else as before.
    EXPECT_EQ(engineValues(scratch.file(), c.table, "ToolBoxAccess", connect), set);
    auto engineAfter = writes_test::dumpWithEngine(scratch.file(), connect);
    for (std::string& line : engineAfter[c.table])
        line = line.substr(0, line.find(added.front() + "="));
    EXPECT_EQ(engineAfter, engineBefore);
    if (c.expectMovedRows) {
        EXPECT_GT(writes_test::pointerRows(scratch.file()), pointersBefore);
    }

    // mdbtools: the schema, the Description with its trailing blank, the exported values.
    const std::string schema = writes_test::mdbSchema(scratch.file(), c.table);
    EXPECT_NE(schema.find("[ToolBoxAccess]\t\t\tBoolean"), std::string::npos) << schema;
    const auto props = writes_test::mdbProp(scratch.file(), c.table);
    ASSERT_TRUE(props);
    for (const std::string& column : added) {
        ASSERT_TRUE(props->count(column)) << column;
        EXPECT_EQ(props->at(column).at("Description"), kDescription);
    }

    // mdb-reader: the new column with the values set, every other table and column as before.
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
        const auto at =
            std::find(after->column_names.begin(), after->column_names.end(), "ToolBoxAccess") -
            after->column_names.begin();
        ASSERT_LT(static_cast<std::size_t>(at), after->column_names.size());
        EXPECT_EQ(after->column_types[static_cast<std::size_t>(at)], "boolean");
        fixture::RowSet stripped;
        std::size_t trues = 0;
        for (fixture::Row row : after->rows) {
            trues += row[static_cast<std::size_t>(at)] == "1";
            for (std::size_t k = row.size(); k-- > 0;) {
                const auto& name = after->column_names[k];
                if (std::find(added.begin(), added.end(), name) == added.end()) continue;
                if (name != "ToolBoxAccess") {
                    EXPECT_EQ(row[k], "0") << name;
                }
                row.erase(row.begin() + static_cast<std::ptrdiff_t>(k));
            }
            stripped.push_back(std::move(row));
        }
        std::sort(stripped.begin(), stripped.end());
        EXPECT_EQ(stripped, before.rows);
        EXPECT_EQ(trues, static_cast<std::size_t>(std::count(set.begin(), set.end(), true)));

        const auto exported = fixture::MdbExportRows(scratch.file(), c.table, after->column_names,
                                                     after->column_types);
        if (exported) {
            EXPECT_EQ(*exported, after->rows);
        } else {
            // Text holding the helper's separators defeats its parser (on the pristine file
            // too); the new column is the last one, so count its values at the record ends.
            Scratch pristine(c.file);
            EXPECT_FALSE(fixture::MdbExportRows(pristine.file(), c.table, before.column_names,
                                                before.column_types));
            EXPECT_EQ(at + 1, static_cast<std::ptrdiff_t>(after->column_names.size()));
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
            EXPECT_EQ(ones, trues);
        }
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
        std::string name = std::string(info.param.file) + "_" + info.param.table + "_" +
                           std::to_string(info.param.spareColumns);
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return name;
    });

}  // namespace

namespace {

// What a write refuses, it refuses before touching the file.
TEST(RefusedWrites, LeaveTheFileAsItWas) {
    Scratch scratch("jet3/testIndexCodesV1997.mdb");
    const auto pristine = writes_test::readFile(scratch.file());
    {
        auto db = jet::Database::Open(scratch.file().string());
        jet::RowCursor rows = db->OpenTable("Table10").rows();
        ASSERT_TRUE(rows.moveNext());
        const jet::RowId id = rows.rowId();
        auto number = [](const std::function<void()>& write) {
            try {
                write();
            } catch (const jet::JetError& error) {
                return error.number();
            }
            return 0;
        };
        // Table10's Boolean "data" is indexed: its index entries would have to change too.
        EXPECT_EQ(number([&] { db->SetBoolean("Table10", id, "data", false); }), 3001);
        EXPECT_EQ(number([&] { db->SetBoolean("Table10", id, "name", true); }), 3421);
        EXPECT_EQ(number([&] { db->SetBoolean("Table10", id, "Data", true); }), 3265);
        EXPECT_EQ(number([&] { db->SetBoolean("NoSuchTable", id, "data", true); }), 3265);
        db->AddBooleanColumn("Table10", "Free", "");
        EXPECT_EQ(number([&] { db->SetBoolean("Table10", {id.page, 200}, "Free", true); }), 3049);
        EXPECT_EQ(number([&] { db->SetBoolean("Table10", {1u << 20, 0}, "Free", true); }), 3049);
        EXPECT_EQ(number([&] { db->SetBoolean("Table10", {2, 0}, "Free", true); }), 3049);
        EXPECT_EQ(number([&] { db->AddBooleanColumn("Table10", "DATA", "x"); }), 3191);
        EXPECT_EQ(number([&] { db->AddBooleanColumn("NoSuchTable", "New", "x"); }), 3265);
        EXPECT_EQ(number([&] { db->AddBooleanColumn("Table10", "", "x"); }), 3001);
        EXPECT_EQ(number([&] { db->SetCustomProperty("Level", 2.5); }), 3001);
        EXPECT_EQ(number([&] { db->SetCustomProperty("Level", std::int64_t{1} << 40); }), 3001);
    }
    {
        auto db = jet::Database::Open(scratch.file().string(), {.readOnly = true});
        jet::RowCursor rows = db->OpenTable("Table10").rows();
        ASSERT_TRUE(rows.moveNext());
        try {
            db->SetBoolean("Table10", rows.rowId(), "data", true);
            ADD_FAILURE() << "a read-only handle wrote";
        } catch (const jet::JetError& error) {
            EXPECT_EQ(error.number(), 3027);
        }
    }
    // Only the column added above changed the file.
    const auto after = writes_test::dumpWithEngine(scratch.file());
    Scratch fresh("jet3/testIndexCodesV1997.mdb");
    auto expected = writes_test::dumpWithEngine(fresh.file());
    for (std::string& line : expected["Table10"]) line += "Free=false|";
    EXPECT_EQ(after, expected);
    EXPECT_NE(writes_test::readFile(scratch.file()), pristine);
}

}  // namespace
