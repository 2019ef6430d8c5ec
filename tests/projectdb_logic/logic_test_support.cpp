#include "tests/projectdb_logic/logic_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "i18n/MResources.h"
#include "jet/database.h"
#include "projectdb/language_releases.h"
#include "projectdb/project_settings.h"
#include "tests/support/oracles.h"
#include "tests/support/temp_dir.h"

namespace logic_test {

// The project layer reads no configuration, but the programs the tests run get a home of their own.
const fixture::TemporaryHome kHome;

fs::path CopyProject(const fs::path& folder, const std::string& name, const std::string& file,
                     const std::string& password) {
    const bool twin = file == "project.kxs" && password == projectdb::GetStandardPassword();
    const fs::path target =
        fixture::CopyProjectFile(twin ? "project-protected.kxs" : file, folder / name);
    if (!password.empty() && !twin) jet::Database::Open(target.string())->NewPassword("", password);
    return target;
}

std::string ConnectionText(const fs::path& file, bool standardPassword) {
    return file.string() + (standardPassword ? "|" + projectdb::GetStandardPassword() : "");
}

void StoreRawLevel(const fs::path& file, bool standardPassword, const std::string& componentKey,
                   const jet::Value& value) {
    jet::Database::Open(file.string(),
                        {.connect = standardPassword ? projectdb::GetPasswordConnectText() : ""})
        ->SetCustomProperty(projectdb::ProjectSettings::StoredPropertyName(
                                componentKey, projectdb::kExternalAuthorizationLevel),
                            value);
}

void ExpectLevels(const fs::path& file, bool standardPassword,
                  const std::vector<std::string>& expected) {
    projectdb::ProjectSettings settings;
    const auto handle = settings.OpenProject(ConnectionText(file, standardPassword));
    std::vector<std::string> stored;
    for (const std::string& key : projectdb::ComponentKeys())
        stored.push_back(
            settings.GetProperty(handle, key, projectdb::kExternalAuthorizationLevel, ""));
    settings.CloseProject(handle);
    EXPECT_EQ(stored, expected);
    auto custom = fixture::MdbProperties(file, "UserDefined").value_or(fixture::PropertyBlocks{});
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string name = projectdb::ProjectSettings::StoredPropertyName(
            projectdb::ComponentKeys()[i], projectdb::kExternalAuthorizationLevel);
        const auto found = custom[""].find(name);
        EXPECT_EQ(found == custom[""].end() ? "" : found->second, expected[i]) << name;
    }
}

std::string Thrown(const std::function<void()>& action) {
    try {
        action();
    } catch (...) {
        return projectdb::FailureMessage(std::current_exception());
    }
    return "";
}

LevelLists::LevelLists() {
    if (i18n::ProcessResourceTable().size() == 0) i18n::FillResourceTable();
    for (std::size_t i = 0; i < lists.size(); ++i) {
        projectdb::FillLevelList(lists[i], i);
        pointers[i] = &lists[i];
    }
}

int LevelLists::selectedData(std::size_t i) const {
    const int selected = lists[i].selectedIndex();
    return selected < 0 ? -1 : lists[i].itemData(selected);
}

void WindowLists::choose(std::size_t component, std::int32_t level) {
    projectdb::SelectComboByItemData(level, levels.lists.at(component));
    ASSERT_EQ(levels.selectedData(component), level);
}

WindowLists Refresh(const fs::path& file, projectdb::DatabaseState state) {
    WindowLists lists;
    projectdb::ProjectSettings settings;
    const auto handle =
        settings.OpenProject(ConnectionText(file, state == projectdb::kStateStandardPassword));
    projectdb::LoadAuthorizationLevels(settings, handle, lists.levels.pointers);
    settings.CloseProject(handle);
    try {
        projectdb::LoadLanguageList(file.string(), state, lists.languages);
    } catch (const std::exception&) {
        // A real Access file has no TcfgLanguages: its list stays empty, as the window's would.
    }
    return lists;
}

OracleView ReadWithOracles(const fs::path& file, bool standardPassword, const std::string& key) {
    OracleView view;
    const auto dump = fixture::DumpWithMdbReader(
        file, standardPassword
                  ? std::vector<std::string>{"--password", projectdb::GetStandardPassword()}
                  : std::vector<std::string>{});
    EXPECT_TRUE(dump.has_value()) << "mdb-reader cannot read " << file;
    if (!dump) return view;
    view.password = dump->password;
    for (const fixture::OracleTable& table : dump->tables) {
        if (table.name != projectdb::kLanguagesTable) continue;
        const auto& names = table.column_names;
        const auto keyAt = std::ranges::find(names, key) - names.begin();
        const auto markAt = std::ranges::find(names, projectdb::kReleaseColumn) - names.begin();
        if (std::max(keyAt, markAt) == std::ssize(names)) break;
        for (const fixture::Row& row : table.rows) view.marks[row[keyAt]] = row[markAt];
    }
    return view;
}

}  // namespace logic_test
