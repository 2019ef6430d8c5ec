// A damaged project file is refused by every operation that would write it, without a byte
// changing; repeated exports reuse the space they free; and the check agrees with the readers.
#include <gtest/gtest.h>

#include "jet/database.h"
#include "projectdb/apply.h"
#include "projectdb/password.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/oracles.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixture::Bytes;

// travix-cli check's exit status and what it names.
fixture::CommandResult Check(const fs::path& file) {
    return fixture::RunIn(file.parent_path(), {TRAVIX_CLI_PATH, "check", file.string()});
}

// The engine's failure table proves that each kind of damage is found; here every operation of
// the project layer and travix-cli refuses a file the engine finds damaged, without a byte
// changing: a Jet 3 file cut inside its last page, a catalog usage map beyond the file's end, a
// page of catalog rows whose row table runs past the page.
TEST(DamagedProject, IsRefusedByProbeExportPasswordAndCheckWithoutAByteChanging) {
    const std::tuple<const char*, std::size_t, Bytes> damages[] = {
        {"jet3/testV1997.mdb", 117760, {}},  // cut there
        {"jet4/testV2003.mdb", 0x6FBC, {4, 3, 0, 0}},
        {"jet4/V2003_no-password.mdb", 0x1100D, {0x7F}},
    };
    for (const auto& [real, at, patch] : damages) {
        SCOPED_TRACE(real);
        fixture::TempDir dir;
        const fs::path file = fixture::CopyReal(dir.path(), real);
        Bytes bytes = fixture::ReadBytes(file);
        if (patch.empty()) bytes.resize(at);
        std::copy(patch.begin(), patch.end(), bytes.begin() + static_cast<long>(at));
        fixture::WriteBytes(file, bytes);
        EXPECT_EQ(projectdb::GetDatabaseState(file.string()), projectdb::kStateUnreadable);
        logic_test::LevelLists levels;
        for (auto& list : levels.lists) list.setSelectedIndex(0);
        const projectdb::MemoryList languages;
        EXPECT_FALSE(projectdb::ApplyChanges({file.string(), "", true, false}, levels.pointers,
                                             languages, {})
                         .completed);
        EXPECT_EQ(logic_test::ThrownNumber([&] { projectdb::SetStandardPassword(file.string()); }),
                  3049);
        const fixture::CommandResult check = Check(file);
        EXPECT_EQ(check.exit_code, 1);
        EXPECT_NE(check.out, "");
        EXPECT_EQ(fixture::ReadBytes(file), bytes);
    }
}

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
    auto properties = fixture::MdbProperties(file, "UserDefined").value();
    EXPECT_EQ(properties[""]["Note"], "kept");
    EXPECT_EQ(properties[""]["Other59"], std::string(80, 'o'));
    EXPECT_EQ(Check(file).exit_code, 0);
}

}  // namespace
