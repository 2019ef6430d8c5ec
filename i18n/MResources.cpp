#include "i18n/MResources.h"

#include <limits>

#include "platform/registry.h"

namespace i18n {
namespace {

constexpr std::int32_t kGermanLcid = 1031;
constexpr std::int32_t kEnglishLcid = 1033;
constexpr char kLanguageKeyPath[] = "SOFTWARE\\BRENLAK GmbH\\Korvex\\4.0";

}  // namespace

std::optional<std::string> ResourceTable::ResourceKey(std::int32_t id, std::int64_t offset) {
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    // Both bounds are computed in 64 bits, so the check itself cannot overflow.
    if (offset > kMax - id || offset < kMin - id) return std::nullopt;
    return "R" + std::to_string(id + offset);
}

void ResourceTable::AddResource(std::int32_t id, const std::vector<std::string>& texts) {
    std::int64_t offset = 0;
    for (const std::string& text : texts) {
        // try_emplace keeps an existing entry: a duplicate add leaves the first text in place.
        if (const auto key = ResourceKey(id, offset)) entries_.try_emplace(*key, text);
        offset += kLanguageStride;
    }
}

std::string ResourceTable::GetResourceString(std::int32_t id) const {
    if (const auto key = ResourceKey(id, offset_)) {
        if (const auto found = entries_.find(*key); found != entries_.end()) return found->second;
    }
    return "Resource " + std::to_string(id) + " not found";
}

void ResourceTable::InitLanguage() {
    const platform::RegistryValue value = platform::RegistryReader::Registry().GetValue(
        platform::HKEY_LOCAL_MACHINE_HIVE, kLanguageKeyPath, "LCID", std::int64_t{kGermanLcid});
    lcid_ = platform::RegistryValueToInt32(value);
    // Only these two exact identifiers choose a language; any other keeps the current one.
    if (lcid_ == kGermanLcid) offset_ = 0;
    if (lcid_ == kEnglishLcid) offset_ = kLanguageStride;
    FillResourceTable(*this);
}

ResourceTable& ProcessResourceTable() {
    static ResourceTable table;
    return table;
}

void InitLanguage() {
    ProcessResourceTable().InitLanguage();
}

void AddResource(std::int32_t id, const std::vector<std::string>& texts) {
    ProcessResourceTable().AddResource(id, texts);
}

std::string GetResourceString(std::int32_t id) {
    return ProcessResourceTable().GetResourceString(id);
}

void FillResourceTable() {
    FillResourceTable(ProcessResourceTable());
}

}  // namespace i18n
