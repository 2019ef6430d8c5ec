// A write that fails at any one of its page writes must be reported, and leave a file that opens
// and reads, to us and to mdb-reader, as it was before the operation or as it is after it.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "jet/database.h"
#include "tests/jet_writes/writes_test_support.h"

namespace {

using writes_test::rowIds;
using writes_test::Scratch;
using writes_test::WriteCounter;

struct FailureCase {
    const char* name;
    const char* file;
    std::function<void(jet::Database&)> prepare;
    std::function<void(jet::Database&)> operation;
};

// Rows of testIndexCodesV1997's Table1 are set one by one after eight new columns (each one's null
// mask grows a byte); the operation sets the first row that no longer fits its page, found once on
// a scratch copy as the first set that writes more than its own page.
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
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const int before = counter->writes;
            db->SetBoolean("Table1", ids[i], "Spare8", true);
            if (counter->writes - before > 1) return i;
        }
        return ids.size();
    }();
    return row;
}

void prepareMovingRow(jet::Database& db) {
    addSpareColumns(db);
    const auto ids = rowIds(db, "Table1");
    for (std::size_t i = 0; i < movingRow(); ++i) db.SetBoolean("Table1", ids[i], "Spare8", true);
}

const FailureCase kCases[] = {
    {"AddColumnJet4", "jet4/testV2003.mdb", [](jet::Database&) {},
     [](jet::Database& db) { db.AddBooleanColumn("Table1", "ToolBoxAccess", "Beschreibung "); }},
    {"AddColumnJet3Encoded", "jet3/db97-enc.mdb", [](jet::Database&) {},
     [](jet::Database& db) { db.AddBooleanColumn("Table1", "ToolBoxAccess", "Beschreibung "); }},
    {"AddColumnToADefinitionSpanningPages", "jet4/testV2003.mdb",
     [](jet::Database& db) {
         for (int i = 0; i < 80; ++i)
             db.AddBooleanColumn("Table1", "Column" + std::to_string(i), "");
     },
     [](jet::Database& db) { db.AddBooleanColumn("Table1", "ToolBoxAccess", "Beschreibung "); }},
    {"CustomPropertyJet3", "jet3/testV1997.mdb", [](jet::Database&) {},
     [](jet::Database& db) { db.SetCustomProperty("Level", std::int64_t{4}); }},
    {"CustomPropertyInAChain", "jet4/testV2003.mdb",
     [](jet::Database& db) {
         for (int i = 0; i < 40; ++i)
             db.SetCustomProperty("P" + std::to_string(i), std::string(80, 'p'));
     },
     [](jet::Database& db) { db.SetCustomProperty("Level", std::int64_t{4}); }},
    {"SetBooleanInPlaceJet4", "jet4/testV2000.mdb", [](jet::Database&) {},
     [](jet::Database& db) { db.SetBoolean("Table1", rowIds(db, "Table1").at(0), "I", false); }},
    {"SetBooleanInPlaceJet3", "jet3/testV1997.mdb", [](jet::Database&) {},
     [](jet::Database& db) { db.SetBoolean("Table1", rowIds(db, "Table1").at(1), "I", false); }},
    {"SetBooleanMovingTheRow", "jet3/testIndexCodesV1997.mdb", prepareMovingRow,
     [](jet::Database& db) {
         db.SetBoolean("Table1", rowIds(db, "Table1").at(movingRow()), "Spare8", true);
     }},
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

class InjectedFailure : public ::testing::TestWithParam<FailureCase> {};

// Runs the operation on `file`, failing its `failAt`-th write (0: none). Returns the number of
// writes the operation made or tried.
int run(const FailureCase& c, const std::filesystem::path& file, int failAt, bool& failed) {
    auto counter = std::make_shared<WriteCounter>();
    auto db = jet::Database::Open(file.string(), {}, writes_test::failingWrites(counter));
    const int before = counter->writes;
    if (failAt > 0) counter->failAt = before + failAt;
    failed = false;
    try {
        c.operation(*db);
        // What the operation wrote, checked the way an apply checks it before handing it over.
        EXPECT_EQ(db->check(jet::CheckScope::Written), std::vector<std::string>{});
    } catch (const jet::JetError& error) {
        EXPECT_EQ(error.number(), 3043) << error.description();
        failed = true;
    }
    return counter->writes - before;
}

// A dump's tables as row sets, each headed by a row of its name and column names.
std::vector<fixture::RowSet> tablesOf(const fixture::ReaderDump& dump) {
    std::vector<fixture::RowSet> out;
    for (const auto& table : dump.tables) {
        fixture::Row head = table.column_names;
        head.insert(head.begin(), table.name);
        out.push_back({head});
        out.back().insert(out.back().end(), table.rows.begin(), table.rows.end());
    }
    return out;
}

// mdb-reader reads a relocated row where it lies and skips pointer rows, so between the write of
// a moved row and that of its pointer it also shows the unreferenced new copy: every row of
// `before` must still be there, and at most one more.
bool beforePlusOrphan(const std::vector<fixture::RowSet>& now,
                      const std::vector<fixture::RowSet>& before) {
    if (now.size() != before.size()) return false;
    for (std::size_t i = 0; i < now.size(); ++i) {
        const auto& a = now[i];
        const auto& b = before[i];
        if (a != b && (a.size() != b.size() + 1 || a.front() != b.front() ||
                       !std::includes(a.begin() + 1, a.end(), b.begin() + 1, b.end())))
            return false;
    }
    return true;
}

TEST_P(InjectedFailure, EveryWriteFailingLeavesAReadableFileAsBeforeOrAfter) {
    const FailureCase& c = GetParam();
    // The states the file may be in: before the operation (once prepared), and after it. Each
    // failing run starts from a copy of the prepared bytes.
    Scratch prepared(c.file);
    {
        auto db = jet::Database::Open(prepared.file().string());
        c.prepare(*db);
    }
    const auto preparedBytes = jettest::readBytes(prepared.file());
    const auto engineBefore = writes_test::dumpWithEngine(prepared.file());
    const auto readerBefore = fixture::DumpWithMdbReader(prepared.file());
    const auto file = prepared.path() / "operated.mdb";
    jettest::writeBytes(file, preparedBytes);
    bool failed = false;
    const int writes = run(c, file, 0, failed);
    ASSERT_FALSE(failed);
    ASSERT_GT(writes, std::string(c.name) == "SetBooleanMovingTheRow" ? 1 : 0);
    const auto engineAfter = writes_test::dumpWithEngine(file);
    const auto readerAfter = fixture::DumpWithMdbReader(file);
    ASSERT_TRUE(readerBefore && readerAfter);
    const auto tablesBefore = tablesOf(*readerBefore);
    const auto tablesAfter = tablesOf(*readerAfter);

    for (int k = 1; k <= writes; ++k) {
        SCOPED_TRACE("write " + std::to_string(k) + " of " + std::to_string(writes));
        jettest::writeBytes(file, preparedBytes);
        run(c, file, k, failed);
        EXPECT_TRUE(failed);
        writes_test::EngineDump engine;
        ASSERT_NO_THROW(engine = writes_test::dumpWithEngine(file));
        EXPECT_EQ(jet::Database::Open(file.string())->check(), std::vector<std::string>{});
        EXPECT_TRUE(engine == engineBefore || engine == engineAfter);
        const auto reader = fixture::DumpWithMdbReader(file);
        ASSERT_TRUE(reader);
        const auto tables = tablesOf(*reader);
        EXPECT_TRUE(tables == tablesBefore || tables == tablesAfter ||
                    (std::string(c.name) == "SetBooleanMovingTheRow" &&
                     beforePlusOrphan(tables, tablesBefore)));
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, InjectedFailure, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// A write on a file whose structures it needs are damaged refuses before it writes anything.
struct Damage {
    const char* name;
    std::size_t offset;  // in jet4/testV2003.mdb (4096-byte pages, not encoded)
    std::uint8_t byte;
    std::function<void(jet::Database&)> write;
};

const Damage kDamages[] = {
    // Page 1, row 0 starts at 3991: the global usage map's type byte. A blob of several pages
    // needs new pages, which the global map must record.
    {"GlobalUsageMapOfUnknownType", 4096 + 3991, 0x07,
     [](jet::Database& db) { db.SetCustomProperty("Big", std::string(5000, 'b')); }},
    // Page 6, row 11 (at 3196) is the map of LvProp's LVAL pages with free space, where a property
    // blob's new LVAL row is placed.
    {"LongValueFreeMapOfUnknownType", 6 * 4096 + 3196, 0x07,
     [](jet::Database& db) { db.AddBooleanColumn("Table1", "ToolBoxAccess", "x"); }},
    // Page 27 holds Table1's rows; its row count at 12 claims more rows than the page can hold.
    {"DataPageRowCountTooLarge", 27 * 4096 + 13, 0x7F,
     [](jet::Database& db) {
         db.SetBoolean("Table1", {27, 0}, "I", true);
     }},
    // Row 0 of page 27 starts at 0x0FB8; its column count claims a null mask longer than the row.
    {"RowColumnCountTooLarge", 27 * 4096 + 0x0FB8 + 1, 0x7F,
     [](jet::Database& db) {
         db.SetBoolean("Table1", {27, 0}, "I", true);
     }},
    // Table1's definition (page 24): its real index count, beyond what the definition holds.
    {"DefinitionIndexCountTooLarge", 24 * 4096 + 51 + 2, 0x10,
     [](jet::Database& db) { db.AddBooleanColumn("Table1", "ToolBoxAccess", "x"); }},
};

void PrintTo(const Damage& damage, std::ostream* out) {
    *out << damage.name;
}

class DamagedFile : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedFile, IsNotWrittenTo) {
    const Damage& d = GetParam();
    Scratch scratch("jet4/testV2003.mdb");
    auto bytes = jettest::readBytes(scratch.file());
    bytes.at(d.offset) = d.byte;
    jettest::writeBytes(scratch.file(), bytes);
    EXPECT_EQ(jettest::errorOf([&] { d.write(*jet::Database::Open(scratch.file().string())); }),
              3049);
    EXPECT_EQ(jettest::readBytes(scratch.file()), bytes);
    // The check names the damage, unless the open already refuses the file.
    std::vector<std::string> found;
    try {
        found = jet::Database::Open(scratch.file().string(), {.readOnly = true})->check();
    } catch (const jet::JetError& error) {
        found = {error.description()};
    }
    EXPECT_FALSE(found.empty());
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedFile, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// What a write refuses, it refuses before touching the file: only the column added changes it.
TEST(RefusedWrites, LeaveTheFileAsItWas) {
    using jettest::errorOf;
    Scratch scratch("jet3/testIndexCodesV1997.mdb");
    {
        auto db = jet::Database::Open(scratch.file().string());
        const jet::RowId id = rowIds(*db, "Table10").at(0);
        // Table10's Boolean "data" is indexed: its index entries would have to change too.
        const std::vector<std::pair<std::function<void()>, int>> refused = {
            {[&] { db->SetBoolean("Table10", id, "data", false); }, 3001},
            {[&] { db->SetBoolean("Table10", id, "name", true); }, 3421},
            {[&] { db->SetBoolean("Table10", id, "Data", true); }, 3265},
            {[&] { db->SetBoolean("NoSuchTable", id, "data", true); }, 3265},
            {[&] { db->AddBooleanColumn("Table10", "Free", ""); }, 0},
            {[&] {
                 db->SetBoolean("Table10", {id.page, 200}, "Free", true);
             },
             3049},
            {[&] {
                 db->SetBoolean("Table10", {1u << 20, 0}, "Free", true);
             },
             3049},
            {[&] {
                 db->SetBoolean("Table10", {2, 0}, "Free", true);
             },
             3049},
            {[&] { db->AddBooleanColumn("NoSuchTable", "New", "x"); }, 3265},
            {[&] { db->AddBooleanColumn("Table10", "", "x"); }, 3001},
            {[&] { db->SetCustomProperty("Level", 2.5); }, 3001},
            {[&] { db->SetCustomProperty("Flag", true); }, 3001},
        };
        for (std::size_t i = 0; i < refused.size(); ++i)
            EXPECT_EQ(errorOf(refused[i].first), refused[i].second) << "case " << i;
    }
    auto db = jet::Database::Open(scratch.file().string(), {.readOnly = true});
    EXPECT_EQ(
        errorOf([&] { db->SetBoolean("Table10", rowIds(*db, "Table10").at(0), "data", true); }),
        3027);
    db->Close();
    auto expected = writes_test::dumpWithEngine(jettest::jetFile("jet3/testIndexCodesV1997.mdb"));
    for (std::string& line : expected["Table10"]) line += "Free=false|";
    EXPECT_EQ(writes_test::dumpWithEngine(scratch.file()), expected);
}

}  // namespace
