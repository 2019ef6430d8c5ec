#include "tests/projectdb_logic/logic_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "i18n/MResources.h"
#include "jet/database.h"
#include "projectdb/language_releases.h"
#include "projectdb/project_settings.h"
#include "tests/support/oracles.h"
#include "tests/support/project_file.h"
#include "tests/support/run_command.h"

namespace logic_test {

std::vector<char> ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::vector<char>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

fs::path CopyReal(const fs::path& folder, const std::string& relative, const std::string& name) {
    const fs::path source = fs::path(TRAVIX_JETFILES_DIR) / relative;
    const fs::path target = folder / (name.empty() ? source.filename().string() : name);
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    return target;
}

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
    const auto database = jet::Database::Open(
        file.string(),
        jet::OpenOptions{.connect = standardPassword ? projectdb::GetPasswordConnectText() : ""});
    database->SetCustomProperty(projectdb::ProjectSettings::StoredPropertyName(
                                    componentKey, projectdb::kExternalAuthorizationLevel),
                                value);
    database->Close();
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
    const std::string listing = MdbProp(file, "UserDefined");
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string name = projectdb::ProjectSettings::StoredPropertyName(
            projectdb::ComponentKeys()[i], projectdb::kExternalAuthorizationLevel);
        const std::size_t at = listing.find(name + ": ");
        if (expected[i].empty()) {
            EXPECT_EQ(at, std::string::npos) << listing;
        } else {
            const std::string line =
                at == std::string::npos ? "" : listing.substr(at, listing.find('\n', at) - at);
            EXPECT_EQ(line, name + ": " + expected[i]) << listing;
        }
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

CliRun RunIn(const fs::path& home, const std::vector<std::string>& argv) {
    const std::string quoted = fixture::ShellQuote(home.string());
    std::string command = "HOME=" + quoted + " XDG_CONFIG_HOME=" + quoted;
    for (const std::string& arg : argv) command += " " + fixture::ShellQuote(arg);
    const fs::path err = home / ".stderr";
    const fixture::CommandResult run =
        fixture::RunCommand({"sh", "-c", command + " 2>" + fixture::ShellQuote(err.string())});
    const std::vector<char> bytes = ReadBytes(err);
    fs::remove(err);
    return {run.exit_code, run.out, {bytes.begin(), bytes.end()}};
}

std::string MdbProp(const fs::path& file, const std::string& object) {
    const fixture::CommandResult result = fixture::RunCommand({"mdb-prop", file.string(), object});
    return result.exit_code == 0 ? result.out : std::string();
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
        EXPECT_EQ(fixture::MdbExportRows(file, table.name, table.column_names, table.column_types),
                  std::optional<fixture::RowSet>(table.rows))
            << "mdb-export and mdb-reader disagree";
        const auto& names = table.column_names;
        const auto keyAt = std::find(names.begin(), names.end(), key) - names.begin();
        const auto markAt =
            std::find(names.begin(), names.end(), projectdb::kReleaseColumn) - names.begin();
        const auto size = static_cast<std::ptrdiff_t>(names.size());
        if (markAt == size || keyAt == size) break;
        EXPECT_EQ(table.column_types[markAt], "boolean");
        for (const fixture::Row& row : table.rows) view.marks[row[keyAt]] = row[markAt];
    }
    return view;
}

}  // namespace logic_test
