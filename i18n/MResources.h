#pragma once
// The bilingual string table: texts keyed by "R" + (string ID + language index * 100000), filled
// once at start-up; the UI language is chosen from the LCID in the registry. Lookups never fail.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace i18n {

constexpr std::int32_t kLanguageStride = 100000;

// The table itself, kept as a class so tests can have fresh ones; the program uses the one instance
// behind the MResources functions below. Texts are UTF-8.
class ResourceTable {
  public:
    // Adds texts[i] under the key for id + i * 100000; a duplicate key or an overflowing sum leaves
    // that language out silently.
    void AddResource(std::int32_t id, const std::vector<std::string>& texts);

    // The text of id in the language chosen by the offset, or "Resource <id> not found".
    std::string GetResourceString(std::int32_t id) const;

    // Reads LCID from the registry (default 1031), sets the offset (1031 -> 0, 1033 -> 100000, any
    // other value leaves it), then fills the table. Registry failures and an LCID that is not a
    // 32-bit integer propagate (platform::RegistryError).
    void InitLanguage();

    std::int32_t languageOffset() const { return offset_; }
    std::int32_t currentLcid() const { return lcid_; }
    std::size_t size() const { return entries_.size(); }

    // "R" followed by the decimal digits of the sum; nullopt when id + offset overflows 32 bits.
    static std::optional<std::string> ResourceKey(std::int32_t id, std::int64_t offset);

  private:
    std::map<std::string, std::string> entries_;
    std::int32_t offset_ = 0;
    std::int32_t lcid_ = 0;
};

// The process-wide table, created empty on first use.
ResourceTable& ProcessResourceTable();

// The module functions the window uses; they work on the process-wide table.
void InitLanguage();
void AddResource(std::int32_t id, const std::vector<std::string>& texts);
std::string GetResourceString(std::int32_t id);

// Adds the 27 rows of the product's texts (German index 0, English index 1) to table.
void FillResourceTable(ResourceTable& table);
void FillResourceTable();

}  // namespace i18n
