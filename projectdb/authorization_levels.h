#pragma once
// The authorisation level of each editor component: how the stored ExternalAuthorizationLevel of
// every component key moves into the selection of that component's level list and back. The caller
// opens and closes the project; nothing here does.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "projectdb/level_list.h"
#include "projectdb/project_settings.h"

namespace projectdb {

inline constexpr std::size_t kComponentCount = 8;
inline constexpr char kExternalAuthorizationLevel[] = "ExternalAuthorizationLevel";
inline constexpr std::int32_t kLowestLevel = 0;
inline constexpr std::int32_t kHighestLevel = 5;       // "All Rights"
inline constexpr std::int32_t kLevelNameBaseId = 120;  // the name of level n is string 120 + n
// The OPC editor has no "Edit Texts" level: it has no index texts.
inline constexpr std::size_t kOpcEditorIndex = 2;
inline constexpr std::int32_t kEditTextsLevel = 2;

// The component keys in index order; index i is also the index of the component's level list.
const std::array<std::string, kComponentCount>& ComponentKeys();

// Fills a level list after start-up: one entry per level in ascending order, text the level's name
// in the current UI language, item data the level; the list of index 2 lacks level 2. Nothing is
// selected.
void FillLevelList(ListControl& list, std::size_t componentIndex);

// Selects the first entry whose item data equals `value`; without one the selection stays as it
// was (possibly none).
void SelectComboByItemData(std::int32_t value, ListControl& list);

// The level a stored text stands for: its leading number rounded to the nearest 32-bit integer
// (halves to even). platform::RuntimeError 6 (overflow) when the rounded value does not fit.
std::int32_t StoredTextToLevel(const std::string& text);

// For each component in index order: reads its stored level and selects it in lists[i]; a text
// exactly "" (never written) selects the last entry. Any failure stops the walk at that component
// and passes on; earlier lists keep what was loaded. REQUIRES: `handle` open in `settings`;
// lists.size() == kComponentCount (3001 otherwise, before anything is read).
void LoadAuthorizationLevels(const ProjectSettings& settings, ProjectSettings::Handle handle,
                             std::span<ListControl* const> lists);

// For each component in index order: writes the item data of lists[i]'s selected entry as a
// 32-bit integer. A list without a selection fails with RuntimeError 381 at that component, after
// the earlier ones were written. REQUIRES as for the load.
void SaveAuthorizationLevels(ProjectSettings& settings, ProjectSettings::Handle handle,
                             std::span<ListControl* const> lists);

}  // namespace projectdb
