// A damaged project file is refused by every operation that would write it, without a byte
// changing; repeated exports reuse the space they free; and the check agrees with the readers.
#include <gtest/gtest.h>

#include <stdexcept>

#include "jet/database.h"
#include "projectdb/apply.h"
#include "projectdb/password.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<char>;

std::size_t PageSize(const Bytes& file) {
    return file.at(0x14) == 0 ? 2048 : 4096;
}

std::uint32_t U32(const Bytes& file, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(file.at(at + i));
    return value;
}

// The last page of a type (0x01 data, 0x02 table definition) and owner (0: any).
std::size_t LastPage(const Bytes& file, char type, std::uint32_t owner = 0) {
    const std::size_t size = PageSize(file);
    std::size_t found = 0;
    for (std::size_t page = 1; (page + 1) * size <= file.size(); ++page) {
        if (file[page * size] == type && (owner == 0 || U32(file, page * size + 4) == owner))
            found = page;
    }
    return found;
}

// travix-cli check's exit status and what it names.
logic_test::CliRun Check(const fs::path& file) {
    return logic_test::RunIn(file.parent_path(), {TRAVIX_CLI_PATH, "check", file.string()});
}

struct DamageKind {
    const char* name;
    void (*apply)(Bytes& file, std::size_t definition);
    // An engine write that needs the damaged structure, on jet4/testV2003.mdb only (the damage
    // is written for its bytes); without one, the project's writes.
    void (*write)(jet::Database&) = nullptr;
};

// One byte of jet4/testV2003.mdb (4096-byte pages, not encoded) set to `byte`.
template <std::size_t at, char byte>
void Poke(Bytes& f, std::size_t) {
    f.at(at) = byte;
}

// The first definition page of the first user table that has rows: the owner of its rows' page.
std::size_t UserTableDefinition(const fs::path& file, const Bytes& bytes) {
    auto database =
        jet::Database::Open(file.string(), {.exclusive = true, .readOnly = true, .connect = {}});
    for (const std::string& name : database->tableNames()) {
        jet::RowCursor rows = database->OpenTable(name).rows();
        if (rows.moveNext()) return U32(bytes, rows.rowId().page * PageSize(bytes) + 4);
    }
    return 0;
}

const DamageKind kDamageKinds[] = {
    {"CutInsideItsLastPage", [](Bytes& f, std::size_t) { f.resize(f.size() - PageSize(f) / 2); }},
    {"CutToHalfItsPages",
     [](Bytes& f, std::size_t) { f.resize(f.size() / PageSize(f) / 2 * PageSize(f)); }},
    // The next-page pointer of a user table's definition names a page far beyond the end.
    {"DefinitionChainLeavesTheFile",
     [](Bytes& f, std::size_t definition) {
         const std::size_t at = definition * PageSize(f) + 4;
         f.at(at) = 0x00, f.at(at + 1) = 0x00, f.at(at + 2) = static_cast<char>(0xF0);
     }},
    // The catalog's inline usage map starts at the file's end, so that its pages lie beyond it;
    // they used to be skipped without a word.
    {"CatalogMapBeyondTheEnd",
     [](Bytes& f, std::size_t) {
         const bool jet3 = PageSize(f) == 2048;
         const std::uint32_t map = U32(f, 2 * PageSize(f) + (jet3 ? 35 : 55));
         const std::size_t page = (map >> 8) * PageSize(f);
         const std::size_t slot = page + (jet3 ? 8 : 12) + 2 + 2 * (map & 0xFF);
         const std::size_t row = page + (U32(f, slot) & 0x1FFF);
         if (f.at(row) != 0) throw std::runtime_error("not an inline map");
         const std::uint32_t end = static_cast<std::uint32_t>(f.size() / PageSize(f));
         for (int i = 0; i < 4; ++i) f.at(row + 1 + i) = static_cast<char>(end >> (8 * i));
     }},
    // A page of catalog rows whose row count runs its offset table past the page.
    {"CatalogRowTableRunsPastItsPage",
     [](Bytes& f, std::size_t) {
         const std::size_t count = PageSize(f) == 2048 ? 8 : 12;
         f.at(LastPage(f, 0x01, 2) * PageSize(f) + count + 1) = 0x7F;
     }},
    // Page 1, row 0 (at 3991): the global usage map's type byte.
    // A blob of several pages needs new pages, which the global map must record.
    {"GlobalUsageMapOfUnknownType", Poke<4096 + 3991, 7>,
     [](jet::Database& db) { db.SetCustomProperty("Big", std::string(5000, 'b')); }},
    // Page 6, row 11 (at 3196): the map of LvProp's LVAL pages with free space.
    {"LongValueFreeMapOfUnknownType", Poke<6 * 4096 + 3196, 7>,
     [](jet::Database& db) { db.AddBooleanColumn("Table1", "ToolBoxAccess", "x"); }},
    // Page 27 holds Table1's rows: a row count beyond what the page holds, and row 0 (at 0x0FB8)
    // with a column count whose null mask is longer than the row.
    {"DataPageRowCountTooLarge", Poke<27 * 4096 + 13, 0x7F>,
     [](jet::Database& db) {
         db.SetBoolean("Table1", {27, 0}, "I", true);
     }},
    {"RowColumnCountTooLarge", Poke<27 * 4096 + 0x0FB8 + 1, 0x7F>,
     [](jet::Database& db) {
         db.SetBoolean("Table1", {27, 0}, "I", true);
     }},
    // Table1's definition (page 24): its real index count, beyond what the definition holds.
    {"DefinitionIndexCountTooLarge", Poke<24 * 4096 + 53, 0x10>,
     [](jet::Database& db) { db.AddBooleanColumn("Table1", "ToolBoxAccess", "x"); }},
};

void PrintTo(const DamageKind& kind, std::ostream* out) {
    *out << kind.name;
}

const char* const kDamagedFiles[] = {"jet4/testV2003.mdb", "jet3/testV1997.mdb",
                                     "jet4/V2003_no-password.mdb"};

class DamagedProject : public ::testing::TestWithParam<std::tuple<DamageKind, std::string>> {};

TEST_P(DamagedProject, IsRefusedByProbeExportAndPasswordWithoutAByteChanging) {
    // Not a structured binding: clang 14 cannot capture one in the lambdas below.
    const auto& kind = std::get<0>(GetParam());
    const auto& real = std::get<1>(GetParam());
    fixture::TempDir dir;
    const fs::path file = logic_test::CopyReal(dir.path(), real);
    Bytes bytes = logic_test::ReadBytes(file);
    kind.apply(bytes, UserTableDefinition(file, bytes));
    logic_test::WriteBytes(file, bytes);
    if (kind.write) {
        EXPECT_EQ(
            logic_test::ThrownNumber([&] { kind.write(*jet::Database::Open(file.string())); }),
            3049);
        std::vector<std::string> found;  // what the check names, or the open's refusal
        const std::string refused = logic_test::Thrown(
            [&] { found = jet::Database::Open(file.string(), {.readOnly = true})->check(); });
        EXPECT_FALSE(refused.empty() && found.empty());
        EXPECT_EQ(logic_test::ReadBytes(file), bytes);
        return;
    }
    EXPECT_EQ(projectdb::GetDatabaseState(file.string()), projectdb::kStateUnreadable);
    logic_test::LevelLists levels;
    for (auto& list : levels.lists) list.setSelectedIndex(0);
    const projectdb::MemoryList languages;
    const projectdb::ApplyResult result =
        projectdb::ApplyChanges({file.string(), "", true, false}, levels.pointers, languages, {});
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(logic_test::ThrownNumber([&] { projectdb::SetStandardPassword(file.string()); }),
              3049);
    const logic_test::CliRun check = Check(file);
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out, "");
    EXPECT_EQ(logic_test::ReadBytes(file), bytes);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamagedProject, ::testing::ValuesIn([] {
                             std::vector<std::tuple<DamageKind, std::string>> cases;
                             for (const DamageKind& kind : kDamageKinds) {
                                 for (const char* file : kDamagedFiles) {
                                     if (!kind.write || file == kDamagedFiles[0])
                                         cases.emplace_back(kind, file);
                                 }
                             }
                             return cases;
                         }()),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param).name + std::string("_") +
                                                std::get<1>(info.param);
                             for (char& c : name) c = std::isalnum(c) ? c : '_';
                             return name;
                         });

// A hundred in-place exports alternating between two sets of choices, so that every run rewrites
// the levels (in a property blob longer than a page) and the marks: after the first two the file
// does not grow, because the slots a rewritten blob frees are used again. The readers see the last
// run's levels and every property of other tools.
TEST(RepeatedExports, KeepTheFileSizeAfterTheFirstTwo) {
    fixture::TempDir dir;
    // Three languages, no release column, and custom properties beside the levels.
    const fs::path file = logic_test::CopyProject(dir.path(), "p.kxs", "no-release-column.kxs");
    // Enough properties of other tools that the blob is a chain of page-long rows.
    {
        std::vector<std::pair<std::string, jet::Value>> others;
        for (int i = 0; i < 60; ++i)
            others.emplace_back("Other" + std::to_string(i), std::string(80, 'o'));
        jet::Database::Open(file.string())->SetCustomProperties(others);
    }
    std::uintmax_t settled = 0;
    std::vector<std::string> levels;
    for (int run = 0; run < 100; ++run) {
        logic_test::WindowLists lists = logic_test::Refresh(file, projectdb::kStateNoPassword);
        levels.clear();
        for (std::size_t c = 0; c < projectdb::kComponentCount; ++c) {
            const std::int32_t level = (run + static_cast<int>(c)) % 2 ? 1 : 4;
            lists.choose(c, level);
            levels.push_back(std::to_string(level));
        }
        lists.languages.setChecked(0, run % 2 == 0);  // 1031
        lists.languages.setChecked(2, run % 2 == 1);  // 1036
        const projectdb::ApplyResult result = projectdb::ApplyChanges(
            {file.string(), "", false, false}, lists.levels.pointers, lists.languages, {});
        ASSERT_TRUE(result.completed) << run << ": " << result.failure;
        if (run == 1) settled = fs::file_size(file);
        if (run > 1) {
            ASSERT_EQ(fs::file_size(file), settled) << "run " << run;
        }
    }
    logic_test::ExpectLevels(file, false, levels);
    const std::string properties = logic_test::MdbProp(file, "UserDefined");
    EXPECT_NE(properties.find("Note: kept"), std::string::npos);
    EXPECT_NE(properties.find("Other59: " + std::string(80, 'o')), std::string::npos);
    EXPECT_EQ(Check(file).status, 0);
}

}  // namespace
