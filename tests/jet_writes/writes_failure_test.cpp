// A write that fails at any one of its page writes must be reported, and leave a file that opens
// and reads, to us and to mdb-reader, as it was before the operation or as it is after it; a write
// refused is refused before the file changes.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "jet/database.h"
#include "tests/jet_writes/writes_test_support.h"

namespace {

using writes_test::rowIds;
using writes_test::Scratch;
using writes_test::WriteCounter;
using Operation = std::function<void(jet::Database&)>;

struct FailureCase {
    const char* name;
    const char* file;
    Operation prepare;
    Operation operation;
};

// After eight new columns (a null mask a byte longer each) rows of testIndexCodesV1997's Table1
// stop fitting their page: the first row whose set writes more than its own page.
void addSpareColumns(jet::Database& db) {
    for (int i = 1; i <= 8; ++i) db.AddBooleanColumn("Table1", "Spare" + std::to_string(i), "");
}

std::size_t movingRow() {
    static const std::size_t row = [] {
        Scratch scratch("jet3/testIndexCodesV1997.mdb");
        auto counter = std::make_shared<WriteCounter>();
        auto db =
            jet::Database::Open(scratch.file().string(), {}, writes_test::failingWrites(counter));
        addSpareColumns(*db);
        const auto ids = rowIds(*db, "Table1");
        std::size_t i = 0;
        for (int before = counter->writes; i < ids.size(); ++i, before = counter->writes) {
            db->SetBoolean("Table1", ids[i], "Spare8", true);
            if (counter->writes - before > 1) break;
        }
        return i;
    }();
    return row;
}

const FailureCase kCases[] = {
    {"AddColumnJet3Encoded", "jet3/db97-enc.mdb", [](jet::Database&) {},
     [](jet::Database& db) { db.AddBooleanColumn("Table1", "ToolBoxAccess", "Beschreibung "); }},
    {"AddColumnToADefinitionSpanningPages", "jet4/testV2003.mdb",
     [](jet::Database& db) {
         for (int i = 0; i < 80; ++i) db.AddBooleanColumn("Table1", "C" + std::to_string(i), "");
     },
     [](jet::Database& db) { db.AddBooleanColumn("Table1", "ToolBoxAccess", "Beschreibung "); }},
    {"CustomPropertyInAChain", "jet4/testV2003.mdb",
     [](jet::Database& db) {
         for (int i = 0; i < 40; ++i)
             db.SetCustomProperty("P" + std::to_string(i), std::string(80, 'p'));
     },
     [](jet::Database& db) { db.SetCustomProperty("Level", std::int64_t{4}); }},
    {"SetBooleanInPlace", "jet3/testV1997.mdb", [](jet::Database&) {},
     [](jet::Database& db) { db.SetBoolean("Table1", rowIds(db, "Table1").at(1), "I", false); }},
    {"SetBooleanMovingTheRow", "jet3/testIndexCodesV1997.mdb",
     [](jet::Database& db) {
         addSpareColumns(db);
         const auto ids = rowIds(db, "Table1");
         for (std::size_t i = 0; i < movingRow(); ++i)
             db.SetBoolean("Table1", ids[i], "Spare8", true);
     },
     [](jet::Database& db) {
         db.SetBoolean("Table1", rowIds(db, "Table1").at(movingRow()), "Spare8", true);
     }},
    {"SetPassword", "jet4/testV2003.mdb", [](jet::Database&) {},
     [](jet::Database& db) { db.NewPassword("", "Neu"); }},
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

// Runs the operation on `file`, failing its `failAt`-th write (0: none). Returns the number of
// writes the operation made or tried, and whether it failed.
std::pair<int, bool> run(const FailureCase& c, const std::filesystem::path& file, int failAt) {
    auto counter = std::make_shared<WriteCounter>();
    auto db = jet::Database::Open(file.string(), {}, writes_test::failingWrites(counter));
    const int before = counter->writes;
    if (failAt > 0) counter->failAt = before + failAt;
    try {
        c.operation(*db);
        EXPECT_EQ(db->check(jet::CheckScope::Written), std::vector<std::string>{});
    } catch (const jet::JetError& error) {
        EXPECT_EQ(error.number(), 3043) << error.description();
        return {counter->writes - before, true};
    }
    return {counter->writes - before, false};
}

// mdb-reader's tables as row sets, each headed by its name and columns.
std::vector<fixture::RowSet> tablesOf(const std::filesystem::path& file,
                                      const std::vector<std::string>& args = {}) {
    const auto dump = fixture::DumpWithMdbReader(file, args);
    EXPECT_TRUE(dump);
    std::vector<fixture::RowSet> out;
    for (const auto& table : dump ? dump->tables : std::vector<fixture::OracleTable>{}) {
        out.push_back({table.column_names});
        out.back().front().insert(out.back().front().begin(), table.name);
        out.back().insert(out.back().end(), table.rows.begin(), table.rows.end());
    }
    return out;
}

// mdb-reader reads a moved row where it lies and skips pointer rows, so between the write of the
// moved row and that of its pointer it also shows the new copy: every row before, and one more.
bool beforePlusOrphan(const std::vector<fixture::RowSet>& now,
                      const std::vector<fixture::RowSet>& before) {
    for (std::size_t i = 0; i < now.size() && now.size() == before.size(); ++i) {
        const auto& a = now[i];
        const auto& b = before[i];
        if (a != b && (a.size() != b.size() + 1 || a.front() != b.front() ||
                       !std::includes(a.begin() + 1, a.end(), b.begin() + 1, b.end())))
            return false;
    }
    return now.size() == before.size();
}

class InjectedFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(InjectedFailure, EveryWriteFailingLeavesAReadableFileAsBeforeOrAfter) {
    const FailureCase& c = GetParam();
    Scratch prepared(c.file);
    c.prepare(*jet::Database::Open(prepared.file().string()));
    const auto preparedBytes = jettest::readBytes(prepared.file());
    const auto engineBefore = writes_test::dumpWithEngine(prepared.file());
    const auto tablesBefore = tablesOf(prepared.file());
    const auto file = prepared.path() / "operated.mdb";
    jettest::writeBytes(file, preparedBytes);
    const auto [writes, failed] = run(c, file, 0);
    ASSERT_FALSE(failed);
    const bool moves = std::string(c.name) == "SetBooleanMovingTheRow";
    ASSERT_GT(writes, moves ? 1 : 0);
    const bool password = std::string(c.name) == "SetPassword";
    const auto engineAfter = writes_test::dumpWithEngine(file, password ? ";pwd=Neu" : "");
    const auto tablesAfter = tablesOf(file);

    for (int k = 1; k <= writes; ++k) {
        SCOPED_TRACE("write " + std::to_string(k) + " of " + std::to_string(writes));
        jettest::writeBytes(file, preparedBytes);
        EXPECT_TRUE(run(c, file, k).second);
        const auto fixed = jettest::readBytes(file) == preparedBytes;
        const std::string connect = password && !fixed ? ";pwd=Neu" : "";
        writes_test::EngineDump engine;
        ASSERT_NO_THROW(engine = writes_test::dumpWithEngine(file, connect));
        EXPECT_EQ(jet::Database::Open(file.string(), {.connect = connect})->check(),
                  std::vector<std::string>{});
        EXPECT_TRUE(engine == engineBefore || engine == engineAfter);
        const auto tables = tablesOf(file);
        EXPECT_TRUE(tables == tablesBefore || tables == tablesAfter ||
                    (moves && beforePlusOrphan(tables, tablesBefore)));
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, InjectedFailure, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Refused before touching the file: only the column added changes it.
TEST(RefusedWrites, LeaveTheFileAsItWas) {
    Scratch scratch("jet3/testIndexCodesV1997.mdb");
    auto db = jet::Database::Open(scratch.file().string());
    const jet::RowId id = rowIds(*db, "Table10").at(0);
    // Table10's Boolean "data" is indexed: its index entries would have to change too.
    const std::vector<std::pair<Operation, int>> refused = {
        {[&](jet::Database& d) { d.SetBoolean("Table10", id, "data", false); }, 3001},
        {[&](jet::Database& d) { d.SetBoolean("Table10", id, "name", true); }, 3421},
        {[&](jet::Database& d) { d.SetBoolean("Table10", id, "Data", true); }, 3265},
        {[&](jet::Database& d) { d.SetBoolean("NoSuchTable", id, "data", true); }, 3265},
        {[&](jet::Database& d) { d.AddBooleanColumn("Table10", "Free", ""); }, 0},
        {[&](jet::Database& d) {
             d.SetBoolean("Table10", {id.page, 200}, "Free", true);
         },
         3049},
        {[&](jet::Database& d) {
             d.SetBoolean("Table10", {1u << 20, 0}, "Free", true);
         },
         3049},
        {[&](jet::Database& d) {
             d.SetBoolean("Table10", {2, 0}, "Free", true);
         },
         3049},
        {[&](jet::Database& d) { d.AddBooleanColumn("NoSuchTable", "New", "x"); }, 3265},
        {[&](jet::Database& d) { d.AddBooleanColumn("Table10", "", "x"); }, 3001},
        {[&](jet::Database& d) { d.SetCustomProperty("Level", 2.5); }, 3001},
        {[&](jet::Database& d) { d.SetCustomProperty("Flag", true); }, 3001},
    };
    for (std::size_t i = 0; i < refused.size(); ++i)
        EXPECT_EQ(jettest::errorOf([&] { refused[i].first(*db); }), refused[i].second) << i;
    db->Close();
    db = jet::Database::Open(scratch.file().string(), {.readOnly = true});
    EXPECT_EQ(jettest::errorOf([&] { db->SetBoolean("Table10", id, "data", true); }), 3027);
    auto expected = writes_test::dumpWithEngine(jettest::jetFile("jet3/testIndexCodesV1997.mdb"));
    for (std::string& line : expected["Table10"]) line += "Free=false|";
    EXPECT_EQ(writes_test::dumpWithEngine(scratch.file()), expected);
}

}  // namespace
