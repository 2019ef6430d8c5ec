// The levels move between the stored ExternalAuthorizationLevel of each component and the
// selection of its level list exactly as the window shows and writes them, through a real
// ProjectSettings on real files.
#include "projectdb/authorization_levels.h"

#include <gtest/gtest.h>

#include <variant>

#include "i18n/MResources.h"
#include "jet/database.h"
#include "platform/runtime_error.h"
#include "projectdb/project_settings.h"
#include "tests/projectdb_logic/logic_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

using logic_test::LevelLists;
using projectdb::ComponentKeys;
using projectdb::ProjectSettings;
namespace fs = std::filesystem;

const std::vector<fixture::Language> kLanguages = {{1031, "Deutsch", "de", "Deutsch", true}};

class Levels : public ::testing::Test {
  protected:
    fs::path NewProject(const std::string& name = "project.kxs") {
        return logic_test::BuildProject(dir_.path(), name, kLanguages);
    }
    void Load(const fs::path& file, LevelLists& lists) {
        ProjectSettings settings;
        const ProjectSettings::Handle handle =
            settings.OpenProject(logic_test::ConnectionText(file, false));
        projectdb::LoadAuthorizationLevels(settings, handle, lists.pointers);
        settings.CloseProject(handle);
    }
    void Save(const fs::path& file, LevelLists& lists) {
        ProjectSettings settings;
        const ProjectSettings::Handle handle =
            settings.OpenProject(logic_test::ConnectionText(file, false));
        projectdb::SaveAuthorizationLevels(settings, handle, lists.pointers);
        settings.CloseProject(handle);
    }
    // Every component's stored text, read through a fresh instance and handle.
    std::vector<std::string> Stored(const fs::path& file) {
        ProjectSettings settings;
        const ProjectSettings::Handle handle =
            settings.OpenProject(logic_test::ConnectionText(file, false));
        std::vector<std::string> texts;
        for (const std::string& key : ComponentKeys()) {
            texts.push_back(
                settings.GetProperty(handle, key, projectdb::kExternalAuthorizationLevel, "unset"));
        }
        settings.CloseProject(handle);
        return texts;
    }

    fixture::TempDir dir_;
};

TEST(LevelListsAfterStartUp, HoldEveryLevelByNameExceptEditTextsForTheOpcEditor) {
    LevelLists lists;
    for (std::size_t i = 0; i < projectdb::kComponentCount; ++i) {
        const projectdb::MemoryList& list = lists.lists[i];
        std::vector<int> data;
        for (int e = 0; e < list.count(); ++e) {
            data.push_back(list.itemData(e));
            EXPECT_EQ(list.text(e), i18n::GetResourceString(120 + list.itemData(e)));
        }
        const std::vector<int> expected =
            i == 2 ? std::vector<int>{0, 1, 3, 4, 5} : std::vector<int>{0, 1, 2, 3, 4, 5};
        EXPECT_EQ(data, expected) << "list " << i;
        EXPECT_EQ(list.selectedIndex(), -1);
    }
    EXPECT_EQ(lists.lists[0].text(5), "Alle Rechte");  // the table starts in German
    ASSERT_EQ(ComponentKeys().size(), 8u);
    EXPECT_EQ(ComponentKeys()[2], "KXOPCEditor");
    EXPECT_EQ(ComponentKeys()[7], "KX4VariableEditor");
}

TEST(SelectComboByItemData, SelectsTheFirstMatchAndOtherwiseKeepsTheSelection) {
    projectdb::MemoryList list;
    list.addItem("a", 7);
    list.addItem("b", 3);
    list.addItem("c", 3);
    projectdb::SelectComboByItemData(9, list);
    EXPECT_EQ(list.selectedIndex(), -1);
    projectdb::SelectComboByItemData(3, list);
    EXPECT_EQ(list.selectedIndex(), 1);
    projectdb::SelectComboByItemData(9, list);
    EXPECT_EQ(list.selectedIndex(), 1);
    projectdb::SelectComboByItemData(7, list);
    EXPECT_EQ(list.selectedIndex(), 0);
}

struct StoredCase {
    const char* label;
    jet::Value stored;
    std::size_t component;
    int expectedData;  // -1: no entry selected
    int expectedIndex;
};

class StoredLevel : public Levels, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredLevel, SelectsTheEntryTheStoredValueReadsAs) {
    const StoredCase& c = GetParam();
    const fs::path file = NewProject();
    logic_test::StoreRawLevel(file, false, ComponentKeys()[c.component], c.stored);
    LevelLists lists;
    Load(file, lists);
    EXPECT_EQ(lists.selectedData(c.component), c.expectedData);
    EXPECT_EQ(lists.lists[c.component].selectedIndex(), c.expectedIndex);
    for (std::size_t i = 0; i < projectdb::kComponentCount; ++i) {
        if (i != c.component) {
            EXPECT_EQ(lists.selectedData(i), 5) << "unset component " << i;
        }
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
    const fs::path file = NewProject();
    EXPECT_EQ(Stored(file), std::vector<std::string>(8, "unset"));
    LevelLists lists;
    Load(file, lists);
    for (std::size_t i = 0; i < projectdb::kComponentCount; ++i) {
        const projectdb::MemoryList& list = lists.lists[i];
        EXPECT_EQ(list.selectedIndex(), list.count() - 1);
        EXPECT_EQ(list.text(list.selectedIndex()), i18n::GetResourceString(125));
    }
    Save(file, lists);
    EXPECT_EQ(Stored(file), std::vector<std::string>(8, "5"));
}

TEST_F(Levels, LoadThenSaveWritesBackWhatWasShownAsIntegers) {
    const fs::path file = NewProject();
    logic_test::StoreRawLevel(file, false, "KXAlarmeditor", std::string(" 1 "));
    logic_test::StoreRawLevel(file, false, "KXOPCEditor", std::string("2.5e0"));  // 2 -> no match
    logic_test::StoreRawLevel(file, false, "KXIndextexteditor", std::string("2.5"));
    logic_test::StoreRawLevel(file, false, "KXRecipeEditor", std::int64_t{0});
    LevelLists lists;
    lists.lists[2].setSelectedIndex(3);  // an earlier load had shown level 4 for the OPC editor
    Load(file, lists);
    Save(file, lists);
    EXPECT_EQ(Stored(file), (std::vector<std::string>{"1", "5", "4", "2", "5", "0", "5", "5"}));

    const std::unique_ptr<jet::Database> database = jet::Database::Open(file.string());
    for (const std::string& key : ComponentKeys()) {
        const auto value = database->customProperty(
            ProjectSettings::StoredPropertyName(key, projectdb::kExternalAuthorizationLevel));
        ASSERT_TRUE(value.has_value()) << key;
        EXPECT_TRUE(std::holds_alternative<std::int64_t>(*value)) << key << " is not an integer";
    }
}

TEST_F(Levels, AnOverflowingStoredValueStopsTheLoadAtThatComponent) {
    const fs::path file = NewProject();
    logic_test::StoreRawLevel(file, false, "KXArchiveditor", std::int64_t{4});
    logic_test::StoreRawLevel(file, false, "KXIndextexteditor", std::string("1e10"));
    LevelLists lists;
    try {
        Load(file, lists);
        FAIL() << "no overflow";
    } catch (const platform::RuntimeError& error) {
        EXPECT_EQ(error.number(), 6);
        EXPECT_EQ(error.description(), "Overflow");
    }
    EXPECT_EQ(lists.selectedData(0), 5);
    EXPECT_EQ(lists.selectedData(1), 4);
    EXPECT_EQ(lists.selectedData(3), -1);
    EXPECT_EQ(lists.selectedData(4), -1) << "components after the failure were loaded";
    EXPECT_THROW(projectdb::StoredTextToLevel("2147483647.5"), platform::RuntimeError);
    EXPECT_EQ(projectdb::StoredTextToLevel("-2147483648.5"), -2147483647 - 1);
}

TEST_F(Levels, ASaveStopsAtAListWithoutSelectionAfterWritingTheEarlierOnes) {
    const fs::path file = NewProject();
    LevelLists lists;
    for (std::size_t i = 0; i < projectdb::kComponentCount; ++i) lists.lists[i].setSelectedIndex(1);
    lists.lists[3].setSelectedIndex(-1);  // the user typed into the list's text field
    try {
        Save(file, lists);
        FAIL() << "the save went through a list without selection";
    } catch (const platform::RuntimeError& error) {
        EXPECT_EQ(error.number(), 381);
        EXPECT_EQ(error.description(), "Invalid property array index");
    }
    EXPECT_EQ(Stored(file), (std::vector<std::string>{"1", "1", "1", "unset", "unset", "unset",
                                                      "unset", "unset"}));
}

TEST_F(Levels, AFreshListWithoutMatchFailsTheNextSave) {
    const fs::path file = NewProject();
    logic_test::StoreRawLevel(file, false, "KXOPCEditor", std::int64_t{2});
    LevelLists lists;
    Load(file, lists);
    EXPECT_THROW(Save(file, lists), platform::RuntimeError);
    EXPECT_EQ(Stored(file)[1], "5");
    EXPECT_EQ(Stored(file)[2], "2");
}

TEST_F(Levels, AHandleThatIsNotOpenFailsTheWalk) {
    const fs::path file = NewProject();
    ProjectSettings settings;
    const ProjectSettings::Handle handle =
        settings.OpenProject(logic_test::ConnectionText(file, false));
    settings.CloseProject(handle);
    LevelLists lists;
    EXPECT_THROW(projectdb::LoadAuthorizationLevels(settings, handle, lists.pointers),
                 jet::JetError);
    EXPECT_EQ(lists.lists[0].selectedIndex(), -1);
    EXPECT_THROW(projectdb::SaveAuthorizationLevels(settings, handle, lists.pointers),
                 platform::RuntimeError);  // list 0 has no selection: it fails before the handle
    std::array<projectdb::ListControl*, 7> seven{};
    EXPECT_THROW(projectdb::LoadAuthorizationLevels(settings, handle, seven), jet::JetError);
}

}  // namespace
