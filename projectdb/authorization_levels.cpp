#include "projectdb/authorization_levels.h"

#include <exception>
#include <optional>
#include <vector>

#include "i18n/MResources.h"
#include "i18n/number_reading.h"
#include "jet/error.h"
#include "platform/runtime_error.h"

namespace projectdb {

namespace {

// What a component without the property reads as: the default handed to GetProperty.
const std::string kUnset;

void RequireAllLists(std::span<ListControl* const> lists) {
    if (lists.size() != kComponentCount) {
        throw jet::invalidArgument("one level list per component key is needed");
    }
    for (const ListControl* list : lists) {
        if (list == nullptr) throw jet::invalidArgument("a level list is missing");
    }
}

}  // namespace

const std::array<std::string, kComponentCount>& ComponentKeys() {
    static const std::array<std::string, kComponentCount> keys = {
        "KXAlarmeditor",   "KXArchiveditor", "KXOPCEditor",       "KXIndextexteditor",
        "KXFormulaEditor", "KXRecipeEditor", "KXUserAdminEditor", "KX4VariableEditor",
    };
    return keys;
}

void FillLevelList(ListControl& list, std::size_t componentIndex) {
    list.clear();
    for (std::int32_t level = kLowestLevel; level <= kHighestLevel; ++level) {
        if (componentIndex == kOpcEditorIndex && level == kEditTextsLevel) continue;
        list.addItem(i18n::GetResourceString(kLevelNameBaseId + level), level);
    }
}

void SelectComboByItemData(std::int32_t value, ListControl& list) {
    const int entries = list.count();
    for (int i = 0; i < entries; ++i) {
        if (list.itemData(i) == value) {
            list.setSelectedIndex(i);
            return;
        }
    }
}

std::int32_t StoredTextToLevel(const std::string& text) {
    const std::optional<std::int32_t> level = i18n::RoundToInt32(i18n::ReadLeadingNumber(text));
    if (!level) throw platform::overflow();
    return *level;
}

void LoadAuthorizationLevels(const ProjectSettings& settings, ProjectSettings::Handle handle,
                             std::span<ListControl* const> lists) {
    RequireAllLists(lists);
    const std::array<std::string, kComponentCount>& keys = ComponentKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        ListControl& list = *lists[i];
        const std::string stored =
            settings.GetProperty(handle, keys[i], kExternalAuthorizationLevel, kUnset);
        if (stored != kUnset) {
            SelectComboByItemData(StoredTextToLevel(stored), list);
        } else {
            // In an empty list this is -1: no selection.
            list.setSelectedIndex(list.count() - 1);
        }
    }
}

void SaveAuthorizationLevels(ProjectSettings& settings, ProjectSettings::Handle handle,
                             std::span<ListControl* const> lists) {
    RequireAllLists(lists);
    const std::array<std::string, kComponentCount>& keys = ComponentKeys();
    // All levels go in one rewrite of the stored properties. A list without a selection still
    // fails at its component, after the levels before it are stored.
    std::vector<ProjectSettings::PropertyValue> levels;
    std::exception_ptr failure;
    for (std::size_t i = 0; i < keys.size() && !failure; ++i) {
        try {
            const ListControl& list = *lists[i];
            levels.push_back(
                {keys[i], kExternalAuthorizationLevel, list.itemData(list.selectedIndex())});
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (!levels.empty()) settings.SetProperties(handle, levels);
    if (failure) std::rethrow_exception(failure);
}

}  // namespace projectdb
