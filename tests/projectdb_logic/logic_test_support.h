// Shared helpers of the project database logic tests: project files made by the fixture builder or
// copied from real Access files, the eight level lists as the window fills them, and raw writes of
// a stored level that the program itself would never make (text, out of range).
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "jet/value.h"
#include "projectdb/authorization_levels.h"
#include "projectdb/level_list.h"
#include "tests/support/jet4_builder.h"

namespace logic_test {

// A project database with the given languages, built where asked; returns its path.
std::filesystem::path BuildProject(const std::filesystem::path& folder, const std::string& name,
                                   const std::vector<fixture::Language>& languages,
                                   bool withReleaseColumn = true,
                                   std::optional<std::string> password = std::nullopt);

// A writable copy of a real file from the shared corpus ("jet4/testV2003.mdb").
std::filesystem::path CopyJetFile(const std::filesystem::path& folder, const std::string& relative);

// Connection text for a project file: its path, or path "|" password.
std::string ConnectionText(const std::filesystem::path& file, bool standardPassword);

// Writes a component's ExternalAuthorizationLevel as `value` straight through the engine, so that
// tests can store what the program never writes (text, floating point, out of range).
void StoreRawLevel(const std::filesystem::path& file, bool standardPassword,
                   const std::string& componentKey, const jet::Value& value);

// The eight level lists as the window holds them after start-up: filled, nothing selected.
struct LevelLists {
    LevelLists();
    std::array<projectdb::MemoryList, projectdb::kComponentCount> lists;
    std::array<projectdb::ListControl*, projectdb::kComponentCount> pointers{};
    int selectedData(std::size_t i) const;  // item data of the selection, -1 for none
};

// mdb-prop's listing of one object's properties ("UserDefined" for the custom ones); "" when it
// fails.
std::string MdbProp(const std::filesystem::path& file, const std::string& object);

// Whether mdb-reader reads every table of the file (with the standard password when asked).
bool MdbReaderReads(const std::filesystem::path& file, bool standardPassword = false);

}  // namespace logic_test
