#include "tests/projectdb_logic/logic_test_support.h"

#include "i18n/MResources.h"
#include "jet/database.h"
#include "projectdb/password.h"
#include "projectdb/project_settings.h"
#include "tests/support/oracles.h"
#include "tests/support/run_command.h"

namespace logic_test {

namespace fs = std::filesystem;

fs::path BuildProject(const fs::path& folder, const std::string& name,
                      const std::vector<fixture::Language>& languages, bool withReleaseColumn,
                      std::optional<std::string> password) {
    const fs::path file = folder / name;
    fixture::ProjectDatabase(languages, withReleaseColumn, std::move(password)).Build(file);
    return file;
}

fs::path CopyJetFile(const fs::path& folder, const std::string& relative) {
    const fs::path source = fs::path(TRAVIX_JETFILES_DIR) / relative;
    const fs::path target = folder / source.filename();
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    return target;
}

std::string ConnectionText(const fs::path& file, bool standardPassword) {
    return file.string() + (standardPassword ? "|" + projectdb::GetStandardPassword() : "");
}

void StoreRawLevel(const fs::path& file, bool standardPassword, const std::string& componentKey,
                   const jet::Value& value) {
    std::unique_ptr<jet::Database> database = jet::Database::Open(
        file.string(),
        jet::OpenOptions{.connect = standardPassword ? projectdb::GetPasswordConnectText() : ""});
    database->SetCustomProperty(projectdb::ProjectSettings::StoredPropertyName(
                                    componentKey, projectdb::kExternalAuthorizationLevel),
                                value);
    database->Close();
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

std::string MdbProp(const fs::path& file, const std::string& object) {
    const fixture::CommandResult result = fixture::RunCommand({"mdb-prop", file.string(), object});
    return result.exit_code == 0 ? result.out : std::string();
}

bool MdbReaderReads(const fs::path& file, bool standardPassword) {
    const std::vector<std::string> args =
        standardPassword ? std::vector<std::string>{"--password", projectdb::GetStandardPassword()}
                         : std::vector<std::string>{};
    return fixture::DumpWithMdbReader(file, args).has_value();
}

}  // namespace logic_test
