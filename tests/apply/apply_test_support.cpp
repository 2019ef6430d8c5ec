#include "tests/apply/apply_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "projectdb/authorization_levels.h"
#include "projectdb/language_releases.h"
#include "projectdb/project_settings.h"
#include "tests/support/oracles.h"

namespace apply_test {

namespace fs = std::filesystem;

std::vector<char> ReadBytes(const fs::path& file) {
    std::error_code error;
    const auto size = fs::file_size(file, error);
    if (error) return {};
    std::vector<char> bytes(size);
    std::ifstream(file, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(size));
    return bytes;
}

void WriteBytes(const fs::path& file, const std::vector<char>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WindowLists::choose(std::size_t index, std::int32_t level) {
    projectdb::SelectComboByItemData(level, levels.lists.at(index));
    ASSERT_EQ(levels.selectedData(index), level);
}

void WindowLists::mark(std::int32_t lcid, bool released) {
    for (int i = 0; i < languages.count(); ++i) {
        if (languages.itemData(i) == lcid) languages.setChecked(i, released);
    }
}

WindowLists Refresh(const fs::path& file, projectdb::DatabaseState state) {
    WindowLists lists;
    projectdb::ProjectSettings settings;
    const auto handle = settings.OpenProject(
        logic_test::ConnectionText(file, state == projectdb::kStateStandardPassword));
    projectdb::LoadAuthorizationLevels(settings, handle, lists.levels.pointers);
    settings.CloseProject(handle);
    try {
        projectdb::LoadLanguageList(file.string(), state, lists.languages);
    } catch (const std::exception&) {
        // A real Access file has no TcfgLanguages: its list stays empty, as the window's would.
    }
    return lists;
}

std::array<std::string, projectdb::kComponentCount> StoredLevels(const fs::path& file,
                                                                 projectdb::DatabaseState state) {
    std::array<std::string, projectdb::kComponentCount> stored;
    projectdb::ProjectSettings settings;
    const auto handle = settings.OpenProject(
        logic_test::ConnectionText(file, state == projectdb::kStateStandardPassword));
    for (std::size_t i = 0; i < stored.size(); ++i) {
        stored[i] = settings.GetProperty(handle, projectdb::ComponentKeys()[i],
                                         projectdb::kExternalAuthorizationLevel, "");
    }
    settings.CloseProject(handle);
    return stored;
}

OracleView ReadWithOracles(const fs::path& file, bool standardPassword) {
    OracleView view;
    std::vector<std::string> extra;
    if (standardPassword) extra = {"--password", projectdb::GetStandardPassword()};
    const auto dump = fixture::DumpWithMdbReader(file, extra);
    EXPECT_TRUE(dump.has_value()) << "mdb-reader cannot read " << file;
    if (dump) {
        view.password = dump->password;
        for (const fixture::OracleTable& table : dump->tables) {
            if (table.name != projectdb::kLanguagesTable) continue;
            EXPECT_EQ(
                fixture::MdbExportRows(file, table.name, table.column_names, table.column_types),
                std::optional<fixture::RowSet>(table.rows))
                << "mdb-export and mdb-reader disagree";
            const auto column = [&](const char* name) {
                return std::find(table.column_names.begin(), table.column_names.end(), name) -
                       table.column_names.begin();
            };
            const auto lcid = column(projectdb::kLcidColumn);
            const auto mark = column(projectdb::kReleaseColumn);
            if (mark == static_cast<std::ptrdiff_t>(table.column_names.size())) break;
            for (const fixture::Row& row : table.rows) view.marks[row[lcid]] = row[mark];
        }
    }
    view.customProperties = logic_test::MdbProp(file, "UserDefined");
    return view;
}

std::string PropLine(const std::string& key, std::int32_t level) {
    return projectdb::ProjectSettings::StoredPropertyName(key,
                                                          projectdb::kExternalAuthorizationLevel) +
           ": " + std::to_string(level);
}

}  // namespace apply_test
