// Shared helpers of the project database logic, apply and command-line tests: copies of the
// checked-in project files, the window's lists as start-up and a refresh fill them, raw writes of a
// stored level that the program itself would never make, and what the independent readers see in
// a file afterwards.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jet/value.h"
#include "projectdb/authorization_levels.h"
#include "projectdb/level_list.h"
#include "projectdb/password.h"
#include "tests/support/project_file.h"

namespace logic_test {

namespace fs = std::filesystem;

// A copy of the checked-in project file `file` at folder/name. With `password` the copy is
// protected: project.kxs by its protected twin, any other file through the engine.
fs::path CopyProject(const fs::path& folder, const std::string& name,
                     const std::string& file = "project.kxs", const std::string& password = "");

// Connection text for a project file: its path, or path "|" password.
std::string ConnectionText(const fs::path& file, bool standardPassword);

// Writes a component's ExternalAuthorizationLevel as `value` straight through the engine, so that
// tests can store what the program never writes (text, floating point, out of range).
void StoreRawLevel(const fs::path& file, bool standardPassword, const std::string& componentKey,
                   const jet::Value& value);

// Expects each component's stored level text through a fresh ProjectSettings ("" for never
// written) to be `expected`, and mdb-prop to list each written one with its value.
void ExpectLevels(const fs::path& file, bool standardPassword,
                  const std::vector<std::string>& expected);

// projectdb::FailureMessage of what `action` throws ("6Overflow"); "" when it throws nothing.
std::string Thrown(const std::function<void()>& action);
inline int ThrownNumber(const std::function<void()>& action) {
    return std::atoi(Thrown(action).c_str());
}

// The eight level lists as the window holds them after start-up: filled, nothing selected.
struct LevelLists {
    LevelLists();
    std::array<projectdb::MemoryList, projectdb::kComponentCount> lists;
    std::array<projectdb::ListControl*, projectdb::kComponentCount> pointers{};
    int selectedData(std::size_t i) const;  // item data of the selection, -1 for none
};

// The level lists and the language list after a refresh of `file` (state 1 or 2).
struct WindowLists {
    LevelLists levels;
    projectdb::MemoryList languages;
    void choose(std::size_t component, std::int32_t level);  // selects by item data
};
WindowLists Refresh(const fs::path& file, projectdb::DatabaseState state);

// What a reader we did not write sees: mdb-reader's decoded password, TcfgLanguages' `key` column
// -> ToolBoxAccess ("1"/"0"; empty without the column). That mdb-export reads every table as
// mdb-reader does after the same writes is the engine tests' to prove.
struct OracleView {
    std::optional<std::string> password;
    std::map<std::string, std::string> marks;
};
OracleView ReadWithOracles(const fs::path& file, bool standardPassword,
                           const std::string& key = "LCID");

}  // namespace logic_test
