// The levels move between the stored ExternalAuthorizationLevel of each component and the
// selection of its level list exactly as the window shows and writes them, through a real
// ProjectSettings on real files.
#include "projectdb/authorization_levels.h"

#include <gtest/gtest.h>

#include <variant>

#include "i18n/MResources.h"
#include "jet/database.h"
#include "projectdb/project_settings.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

using logic_test::LevelLists;
using logic_test::StoredLevels;
using projectdb::ComponentKeys;
using projectdb::ProjectSettings;
namespace fs = std::filesystem;

using Texts = std::vector<std::string>;

class Levels : public ::testing::Test {
  protected:
    Levels() : file_(logic_test::CopyProject(dir_.path(), "p.kxs")) {}
    // Runs LoadAuthorizationLevels or SaveAuthorizationLevels on a handle of its own; a failed walk
    // leaves it to the instance to let the file go.
    template <typename Walker>
    void Walk(Walker walk, LevelLists& lists) {
        ProjectSettings settings;
        const auto handle = settings.OpenProject(file_.string());
        walk(settings, handle, lists.pointers);
        settings.CloseProject(handle);
    }
    void Load(LevelLists& lists) { Walk(projectdb::LoadAuthorizationLevels, lists); }
    void Save(LevelLists& lists) { Walk(projectdb::SaveAuthorizationLevels, lists); }
    void Store(const std::string& key, const jet::Value& value) {
        logic_test::StoreRawLevel(file_, false, key, value);
    }
    fixture::TempDir dir_;
    fs::path file_;
};

struct StoredCase {
    const char* label;
    jet::Value stored;
    std::size_t component;
    int expectedData;  // -1: no entry selected
    int expectedIndex;
};

void PrintTo(const StoredCase& c, std::ostream* out) {
    *out << c.label;
}

class StoredLevel : public Levels, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredLevel, SelectsTheEntryTheStoredValueReadsAs) {
    const StoredCase& c = GetParam();
    Store(ComponentKeys()[c.component], c.stored);
    LevelLists lists;
    Load(lists);
    EXPECT_EQ(lists.lists[c.component].selectedIndex(), c.expectedIndex);
    for (std::size_t i = 0; i < projectdb::kComponentCount; ++i) {
        EXPECT_EQ(lists.selectedData(i), i == c.component ? c.expectedData : 5)
            << "component " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StoredLevel,
    ::testing::Values(StoredCase{"Digit", std::string("3"), 0, 3, 3},
                      StoredCase{"DigitWithBlanks", std::string(" 3 "), 1, 3, 3},
                      StoredCase{"DigitInTheOpcList", std::string("3"), 2, 3, 2},
                      StoredCase{"HalfGoesDownToEven", std::string("2.5"), 3, 2, 2},
                      StoredCase{"HalfGoesUpToEven", std::string("3.5"), 4, 4, 4},
                      StoredCase{"Letters", std::string("abc"), 5, 0, 0},
                      StoredCase{"BlanksOnly", std::string("   "), 6, 0, 0},
                      StoredCase{"TrailingLetters", std::string("4 Rechte"), 7, 4, 4},
                      StoredCase{"Hexadecimal", std::string("&H4"), 0, 4, 4},
                      StoredCase{"Exponent", std::string("1e0"), 1, 1, 1},
                      StoredCase{"EmptyTextIsUnset", std::string(""), 1, 5, 5},
                      StoredCase{"Long", std::int64_t{4}, 0, 4, 4},
                      StoredCase{"EditTextsInTheOpcList", std::int64_t{2}, 2, -1, -1},
                      StoredCase{"AboveTheLevels", std::string("6"), 0, -1, -1},
                      StoredCase{"BelowTheLevels", std::int64_t{-1}, 3, -1, -1},
                      StoredCase{"HalfRoundsOutOfRange", std::string("5.5"), 4, -1, -1}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Levels, NeverWrittenShowsAllRightsAndTheSaveWritesFive) {
    LevelLists lists;
    Load(lists);
    for (const projectdb::MemoryList& list : lists.lists) {
        EXPECT_EQ(list.selectedIndex(), list.count() - 1);
        EXPECT_EQ(list.text(list.selectedIndex()), i18n::GetResourceString(125));
    }
    EXPECT_EQ(StoredLevels(file_, false), Texts(8, ""));
    Save(lists);
    EXPECT_EQ(StoredLevels(file_, false), Texts(8, "5"));
}

// Written back as integers, read through a later handle and through mdb-prop.
TEST_F(Levels, LoadThenSaveWritesBackWhatWasShownAsIntegers) {
    Store("KXAlarmeditor", std::string(" 1 "));
    Store("KXOPCEditor", std::string("2.5e0"));  // 2: no entry in the OPC list
    Store("KXIndextexteditor", std::string("2.5"));
    Store("KXRecipeEditor", std::int64_t{0});
    LevelLists lists;
    lists.lists[2].setSelectedIndex(3);  // an earlier load had shown level 4 for the OPC editor
    Load(lists);
    Save(lists);
    logic_test::ExpectLevels(file_, false, {"1", "5", "4", "2", "5", "0", "5", "5"});
    const auto database = jet::Database::Open(file_.string());
    for (const std::string& key : ComponentKeys()) {
        const auto value = database->customProperty(
            ProjectSettings::StoredPropertyName(key, projectdb::kExternalAuthorizationLevel));
        EXPECT_TRUE(value && std::holds_alternative<std::int64_t>(*value)) << key;
    }
}

TEST_F(Levels, AnOverflowingStoredValueStopsTheLoadAtThatComponent) {
    Store("KXArchiveditor", std::int64_t{4});
    Store("KXIndextexteditor", std::string("1e10"));
    LevelLists lists;
    EXPECT_EQ(logic_test::Thrown([&] { Load(lists); }), "6Overflow");
    EXPECT_EQ(lists.selectedData(0), 5);
    EXPECT_EQ(lists.selectedData(1), 4);
    EXPECT_EQ(lists.selectedData(3), -1);
    EXPECT_EQ(lists.selectedData(4), -1) << "components after the failure were loaded";
    EXPECT_EQ(logic_test::Thrown([] { projectdb::StoredTextToLevel("2147483647.5"); }),
              "6Overflow");
    EXPECT_EQ(projectdb::StoredTextToLevel("-2147483648.5"), -2147483647 - 1);
}

TEST_F(Levels, ASaveStopsAtAListWithoutSelectionAfterWritingTheEarlierOnes) {
    // A stored 2 leaves the OPC list without selection after a fresh load.
    Store("KXOPCEditor", std::int64_t{2});
    LevelLists fresh;
    Load(fresh);
    EXPECT_EQ(logic_test::Thrown([&] { Save(fresh); }), "381Invalid property array index");
    EXPECT_EQ(StoredLevels(file_, false), (Texts{"5", "5", "2", "", "", "", "", ""}));

    LevelLists lists;
    for (projectdb::MemoryList& list : lists.lists) list.setSelectedIndex(1);
    lists.lists[3].setSelectedIndex(-1);  // the user typed into the list's text field
    EXPECT_EQ(logic_test::Thrown([&] { Save(lists); }), "381Invalid property array index");
    EXPECT_EQ(StoredLevels(file_, false), (Texts{"1", "1", "1", "", "", "", "", ""}));
}

}  // namespace
