// The stored ExternalAuthorizationLevel of each component, as the level lists show it (how a text
// reads as a number is the number reader's table's to prove), and as ProjectSettings opens a
// project by its connection text, keeps a level for a later handle and mdb-prop, and holds the
// file until the handle is closed; on copies of the project files.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>

#include "jet/error.h"
#include "projectdb/project_settings.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

using projectdb::ProjectSettings;
namespace fs = std::filesystem;

constexpr char kLevel[] = "ExternalAuthorizationLevel";

struct StoredCase {
    const char* label;
    jet::Value stored;
    std::size_t component;
    int expectedData;  // -1: no entry selected
    int expectedIndex;
    const char* thrown = "";  // the load stops at this component with this message
    friend void PrintTo(const StoredCase& c, std::ostream* out) { *out << c.label; }
};

class StoredLevel : public ::testing::TestWithParam<StoredCase> {};

TEST_P(StoredLevel, SelectsTheEntryTheStoredValueReadsAs) {
    const StoredCase& c = GetParam();
    fixture::TempDir dir;
    const fs::path file = logic_test::CopyProject(dir.path(), "p.kxs");
    logic_test::StoreRawLevel(file, false, projectdb::ComponentKeys()[c.component], c.stored);
    logic_test::LevelLists lists;
    ProjectSettings settings;
    const auto handle = settings.OpenProject(file.string());
    EXPECT_EQ(logic_test::Thrown(
                  [&] { projectdb::LoadAuthorizationLevels(settings, handle, lists.pointers); }),
              c.thrown);
    EXPECT_EQ(lists.lists[c.component].selectedIndex(), c.expectedIndex);
    for (std::size_t i = 0; i < projectdb::kComponentCount; ++i) {
        const int unread = *c.thrown && i > c.component ? -1 : 5;
        EXPECT_EQ(lists.selectedData(i), i == c.component ? c.expectedData : unread) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StoredLevel,
    ::testing::Values(StoredCase{"Digit", std::string("3"), 0, 3, 3},
                      StoredCase{"DigitInTheOpcList", std::string("3"), 2, 3, 2},
                      StoredCase{"HalfGoesDownToEven", std::string("2.5"), 3, 2, 2},
                      StoredCase{"HalfGoesUpToEven", std::string("3.5"), 4, 4, 4},
                      StoredCase{"Letters", std::string("abc"), 5, 0, 0},
                      StoredCase{"Hexadecimal", std::string("&H4"), 0, 4, 4},
                      StoredCase{"EmptyTextIsUnset", std::string(""), 1, 5, 5},
                      StoredCase{"Long", std::int64_t{4}, 0, 4, 4},
                      StoredCase{"EditTextsInTheOpcList", std::int64_t{2}, 2, -1, -1},
                      StoredCase{"AboveTheLevels", std::string("6"), 0, -1, -1},
                      StoredCase{"BelowTheLevels", std::int64_t{-1}, 3, -1, -1},
                      StoredCase{"HalfRoundsOutOfRange", std::string("5.5"), 4, -1, -1},
                      StoredCase{"Overflow", std::string("1e10"), 3, -1, -1, "6Overflow"},
                      StoredCase{"OverflowByHalf", std::string("2147483647.5"), 5, -1, -1,
                                 "6Overflow"}),
    [](const auto& info) { return std::string(info.param.label); });

struct Connection {
    const char* name;
    const char* file;  // in the test's folder
    bool standardPassword;
    const char* tail;  // after the path; "|std" stands for "|" and the standard password
    int error;         // 0: opens and keeps the levels
    friend void PrintTo(const Connection& c, std::ostream* out) { *out << c.name; }
};

class OpenProject : public ::testing::TestWithParam<Connection> {};

// Keys in any letter case name one component; a later value replaces an earlier one.
TEST_P(OpenProject, TakesThePathAndThePasswordAfterTheLastBarAndKeepsTheLevels) {
    const Connection& c = GetParam();
    fixture::TempDir dir;
    const fs::path file =
        logic_test::CopyProject(dir.path(), c.file, "project.kxs",
                                c.standardPassword ? projectdb::GetStandardPassword() : "");
    std::ofstream(dir.path() / "amb").put('x');  // beside "amb|x.kxs"
    const std::string tail =
        c.tail == std::string("|std") ? "|" + projectdb::GetStandardPassword() : c.tail;
    ProjectSettings settings;
    EXPECT_EQ(logic_test::ThrownNumber([&] {
                  const auto handle = settings.OpenProject(file.string() + tail);
                  EXPECT_EQ(settings.Format(handle), jet::Version::Jet4);
                  EXPECT_EQ(settings.GetProperty(handle, "KXAlarmeditor", kLevel, "none"), "none");
                  EXPECT_EQ(logic_test::ThrownNumber(
                                [&] { ProjectSettings().OpenProject(file.string() + tail); }),
                            jet::kFileInUse);
                  for (const auto& [key, value] : {std::pair{"KXAlarmeditor", 0},
                                                   {"KXOPCEditor", 5},
                                                   {"KXRecipeEditor", -1},
                                                   {"KXFormulaEditor", INT_MIN},
                                                   {"KXUserAdminEditor", INT_MAX},
                                                   {"kxopceditor", 3}})
                      settings.SetProperty(handle, key, kLevel, value);
                  EXPECT_EQ(logic_test::ThrownNumber(
                                [&] { settings.SetProperty(handle, "KX.OPC", kLevel, 1); }),
                            jet::kInvalidArgument);
                  settings.CloseProject(handle);
                  EXPECT_EQ(logic_test::ThrownNumber([&] { settings.CloseProject(handle); }),
                            jet::kObjectInvalid);
              }),
              c.error);
    if (c.error == 0) {
        logic_test::ExpectLevels(file, c.standardPassword,
                                 {"0", "", "3", "", "-2147483648", "-1", "2147483647", ""});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, OpenProject,
    ::testing::Values(Connection{"Plain", "p.kxs", false, "", 0},
                      Connection{"StandardPassword", "p.kxs", true, "|std", 0},
                      Connection{"NoPassword", "p.kxs", true, "", jet::kNotAValidPassword},
                      Connection{"WrongPassword", "p.kxs", true, "|WRONG", jet::kNotAValidPassword},
                      Connection{"EmptyPassword", "p.kxs", true, "|", jet::kNotAValidPassword},
                      Connection{"BarInThePath", "a|b.kxs", false, "", 0},
                      Connection{"BarInThePathAndPassword", "c|d.kxs", true, "|std", 0},
                      Connection{"Ambiguous", "amb|x.kxs", false, "", jet::kInvalidArgument},
                      Connection{"Missing", "p.kxs", false, ".none|x", jet::kFileNotFound}),
    [](const auto& info) { return std::string(info.param.name); });

// An embedded NUL would otherwise name the existing file in front of it.
TEST(FileExists, AnEmbeddedNulNamesNoFile) {
    fixture::TempDir dir;
    const std::string file = logic_test::CopyProject(dir.path(), "p.kxs").string();
    EXPECT_TRUE(projectdb::FileExists(file));
    EXPECT_FALSE(projectdb::FileExists(file + std::string("\0tail", 5)));
}

}  // namespace
