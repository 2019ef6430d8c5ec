// Helpers of the apply tests: raw bytes of a file, the window's lists as a refresh fills them from
// a project, and what our reader and the independent readers see in a target afterwards.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "projectdb/password.h"
#include "tests/projectdb_logic/logic_test_support.h"

namespace apply_test {

std::vector<char> ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::vector<char>& bytes);

// The level lists and the language list after a refresh of `file` (state 1 or 2).
struct WindowLists {
    logic_test::LevelLists levels;
    projectdb::MemoryList languages;
    // Selects the entry whose item data is `level` in the list of component `index`.
    void choose(std::size_t index, std::int32_t level);
    void mark(std::int32_t lcid, bool released);
};
WindowLists Refresh(const std::filesystem::path& file, projectdb::DatabaseState state);

// Each component's stored level text ("" for never written), read through ProjectSettings.
std::array<std::string, projectdb::kComponentCount> StoredLevels(const std::filesystem::path& file,
                                                                 projectdb::DatabaseState state);

// What readers we did not write see: mdb-reader's decoded password (nullopt for none or when it
// fails), the LCID -> ToolBoxAccess ("1"/"0") of TcfgLanguages as both mdb-reader and mdb-export
// read it (the test fails when they disagree), and mdb-prop's listing of the custom properties.
struct OracleView {
    std::optional<std::string> password;
    std::map<std::string, std::string> marks;
    std::string customProperties;
};
OracleView ReadWithOracles(const std::filesystem::path& file, bool standardPassword);

// "KXAlarmeditor.ExternalAuthorizationLevel: 3" as mdb-prop lists it.
std::string PropLine(const std::string& key, std::int32_t level);

}  // namespace apply_test
